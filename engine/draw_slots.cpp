// The draw state and its position tables.
#include "draw_slots.h"

#include <array>

namespace qelvora {

DrawSlots Module1;

namespace {

using Field = QString DrawSlots::*;

constexpr std::array<Field, 7> kPicks = {
    &DrawSlots::PickedBall1, &DrawSlots::PickedBall2, &DrawSlots::PickedBall3,
    &DrawSlots::PickedBall4, &DrawSlots::PickedBall5, &DrawSlots::PickedBall6,
    &DrawSlots::PickedBall7,
};

constexpr std::array<Field, 7> kLogBalls = {
    &DrawSlots::LogBall1, &DrawSlots::LogBall2, &DrawSlots::LogBall3,    &DrawSlots::LogBall4,
    &DrawSlots::LogBall5, &DrawSlots::LogBall6, &DrawSlots::LogBlueBall,
};

} // namespace

QString &DrawSlots::pick(int position) { return this->*kPicks.at(position - 1); }

const QString &DrawSlots::pick(int position) const { return this->*kPicks.at(position - 1); }

QString &DrawSlots::logBall(int position) { return this->*kLogBalls.at(position - 1); }

void DrawSlots::clearPicks()
{
    for (Field field : kPicks)
        (this->*field).clear();
}

} // namespace qelvora
