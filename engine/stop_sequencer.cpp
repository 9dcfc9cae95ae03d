// The stop sequencer: seven stage timers, one a second, each picking the number of one
// position (red 1..6, then blue). A stage that accepts its pick arms the next stage and disarms
// itself; a red stage that draws a number already picked in this draw tries again one full
// interval later.
#include "app/form1.h"
#include "engine/number_rules.h"

#include <algorithm>

namespace qelvora {

// Every single pick reseeds the generator from the clock before taking its value.
int Form1::drawBallNumber(int count)
{
    m_random->reseed();
    return ballNumberFromUnit(m_random->next(), count);
}

// Stage ticks fall due at whole stage intervals after the draw start. A timer fires a little
// late, and a stage that armed the next one a full interval after its own late tick would hand
// that lateness on: over seven stages it adds up to several milliseconds. So each stage arms the
// next tick (or its own retry) for the time left until that tick's due moment, and every tick is
// only as late as itself. Stage 1 is armed with the plain interval at every draw start, so its
// timer's interval is the stage interval. Without a draw clock (a stage driven on its own) the
// next tick simply comes one interval later.
void Form1::armStageTick(QTimer *stage)
{
    const qint64 interval = Timer4->interval();
    qint64 wait = interval;
    if (m_drawClock.isValid() && interval > 0) {
        const qint64 elapsedMs = (m_drawClock.nsecsElapsed() + 500000) / 1000000;
        const qint64 dueNow = (elapsedMs + interval / 2) / interval * interval;
        wait = std::clamp(dueNow + interval - elapsedMs, interval / 2, interval);
    }
    setTimerEnabled(stage, false);
    stage->setInterval(int(wait));
    setTimerEnabled(stage, true);
}

void Form1::Timer4_Timer()
{
    Module1.PickedBall1 = numberToText(drawBallNumber(kRedBallCount));
    armStageTick(Timer5);
    setTimerEnabled(Timer4, false);
}

void Form1::Timer5_Timer() { runRedStage(2); }
void Form1::Timer6_Timer() { runRedStage(3); }
void Form1::Timer11_Timer() { runRedStage(4); }
void Form1::Timer12_Timer() { runRedStage(5); }
void Form1::Timer13_Timer() { runRedStage(6); }

// Stage 2..6. The candidate is compared as text with every earlier pick of the draw (all of
// them, combined with a logical and): a pick of 5 and the candidate "5" are the same number,
// whichever way the pick is held.
void Form1::runRedStage(int position)
{
    Module1.CandidateBall = numberToText(drawBallNumber(kRedBallCount));
    bool differsFromAll = true;
    for (int earlier = 1; earlier < position; ++earlier)
        differsFromAll = differsFromAll && Module1.pick(earlier) != Module1.CandidateBall;

    QTimer *own = stageTimers().at(position - 1);
    if (differsFromAll) {
        Module1.pick(position) = Module1.CandidateBall;
        armStageTick(stageTimers().at(position));
        setTimerEnabled(own, false);
    } else {
        // The stage stays armed, switched off and on again so that its interval starts afresh:
        // the next attempt comes one full interval after this one, while the position's roller
        // keeps counting.
        armStageTick(own);
    }
}

// Stage 7: the blue pick, and in the same tick the two-digit texts of the whole draw for the
// log, so that a blue roller that sees the blue pick always logs the draw it shows.
void Form1::Timer14_Timer()
{
    Module1.PickedBall7 = numberToText(drawBallNumber(kBlueBallCount));
    for (int position = 1; position <= 7; ++position)
        Module1.logBall(position) = Module1.pick(position);
    for (int position = 1; position <= 7; ++position)
        Module1.logBall(position) = twoDigitForm(Module1.logBall(position));
    setTimerEnabled(Timer14, false);
}

} // namespace qelvora
