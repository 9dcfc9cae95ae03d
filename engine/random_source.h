// Where the stop stages get their chance from. The window holds one RandomSource; the shipped
// program uses ClockRandomSource, tests hand in a scripted one.
#pragma once

#include <cstdint>
#include <random>

namespace qelvora {

class RandomSource {
public:
    virtual ~RandomSource() = default;

    // Reseeds the generator from the system clock.
    virtual void reseed() = 0;

    // The next value r, 0 <= r < 1, in single precision.
    virtual float next() = 0;
};

// Reseeded from a nanosecond clock reading before every pick. The reading and a running count of
// reseeds are mixed through SplitMix64 into a full 256-bit seed, so two reseeds within the same
// clock tick still give unrelated sequences. next() returns the centre of one of 540672 equal
// cells of [0, 1): that count is a multiple of both 33 and 16, so every red and every blue
// number gets exactly the same number of cells, and a cell centre stays far from the
// boundaries that single-precision rounding could move it across.
class ClockRandomSource final : public RandomSource {
public:
    ClockRandomSource();

    void reseed() override;
    float next() override;

    static constexpr std::uint32_t kCells = 33 * 16 * 1024;

private:
    std::mt19937_64 m_engine;
    std::uint64_t m_reseeds = 0;
};

} // namespace qelvora
