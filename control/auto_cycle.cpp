// The automatic comparison cycle: every 11 s compare the seven ball boxes with the reference
// result by value; equal ends the run with a message, anything else starts the next draw.
// Stop ends the run after the draw under way.
#include "form1.h"
#include "number_rules.h"
#include "text_boxes.h"

namespace qelvora {

void Form1::Timer15_Timer()
{
    // Timers keep ticking behind a modal message: a tick while the match message is open would
    // report the match a second time.
    if (m_matchMessageOpen)
        return;
    // A draw that is still running (many rejected candidates) shows rolling numbers, which must
    // neither be reported as a match nor be cut off by a new draw; the next tick compares the
    // finished draw.
    if (drawRunning())
        return;

    const auto reference = referenceBoxes();
    const auto balls = ballBoxes();
    bool found = true;
    for (std::size_t i = 0; i < reference.size(); ++i) {
        const double wanted = lenientParse(reference[i]->text());
        const double shown = lenientParse(balls[i]->text());
        found = (wanted == shown) && found;
    }

    if (found) {
        m_matchMessageOpen = true;
        const bool alive = showMessage(
            QStringLiteral("找到昨天开奖号码，您可以进行手选，试试手气了"),
            QStringLiteral("摇奖提示框"));
        if (!alive)
            return;
        m_matchMessageOpen = false;
        setTimerEnabled(Timer15, false);
        Command1->setEnabled(true);
        Command2->setEnabled(true);
        Command3->setEnabled(false);
        return;
    }

    // The next draw: unlike a manual one it keeps the boxes (the rollers count on from the last
    // draw), leaves Command2 alone and uses Timer16 as its blue roller.
    TrimResultLog();
    Command1->setEnabled(false);
    disarmRunningDraw();
    Module1.clearPicks();
    armDraw(Timer16);
    advanceDrawCounter();
}

// Stop ends the run, not the draw under way: that draw runs to its end and logs. Both draw
// buttons are back as soon as the message is answered; a manual draw started before the last
// automatic draw has settled supersedes it (a draw start disarms a draw still running).
void Form1::Command3_Click()
{
    setTimerEnabled(Timer15, false);
    Command2->setEnabled(true);
    if (!showMessage(QStringLiteral("本次摇奖结束后，将停止继续摇奖"),
                     QStringLiteral("摇奖提示框")))
        return;
    Command3->setEnabled(false);
    Command1->setEnabled(true);
}

} // namespace qelvora
