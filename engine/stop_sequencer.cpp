// The stop sequencer: seven stage timers, one a second, each picking the number of one
// position (red 1..6, then blue). A stage that accepts its pick arms the next stage and disarms
// itself; a red stage that draws a number already picked in this draw tries again one full
// interval later.
#include "form1.h"
#include "number_rules.h"

namespace qelvora {

// Every single pick reseeds the generator from the clock before taking its value.
int Form1::drawBallNumber(int count)
{
    m_random->reseed();
    return ballNumberFromUnit(m_random->next(), count);
}

void Form1::Timer4_Timer()
{
    Module1.PickedBall1 = numberToText(drawBallNumber(kRedBallCount));
    setTimerEnabled(Timer5, true);
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
        setTimerEnabled(stageTimers().at(position), true);
        setTimerEnabled(own, false);
    } else {
        // The stage stays armed, switched off and on again so that its interval starts afresh:
        // the next attempt comes one full interval after this one, however late this tick
        // came, while the position's roller keeps counting.
        setTimerEnabled(own, false);
        setTimerEnabled(own, true);
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
