// The shipped random source: a Mersenne Twister reseeded from the clock before every pick.
#include "random_source.h"

#include <array>
#include <chrono>

namespace qelvora {

namespace {

std::uint64_t splitMix64(std::uint64_t &state)
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

} // namespace

ClockRandomSource::ClockRandomSource() { reseed(); }

void ClockRandomSource::reseed()
{
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch();
    std::uint64_t state = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    state ^= splitMix64(++m_reseeds);
    std::array<std::uint32_t, 8> words{};
    for (std::size_t i = 0; i < words.size(); i += 2) {
        const std::uint64_t mixed = splitMix64(state);
        words[i] = static_cast<std::uint32_t>(mixed);
        words[i + 1] = static_cast<std::uint32_t>(mixed >> 32);
    }
    std::seed_seq seed(words.begin(), words.end());
    m_engine.seed(seed);
}

float ClockRandomSource::next()
{
    std::uniform_int_distribution<std::uint32_t> cell(0, kCells - 1);
    return static_cast<float>((cell(m_engine) + 0.5) / kCells);
}

} // namespace qelvora
