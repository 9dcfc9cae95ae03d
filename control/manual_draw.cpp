// The manual draw and the pieces of a draw start that the automatic cycle shares with it.
#include "form1.h"
#include "number_rules.h"
#include "text_boxes.h"

namespace qelvora {

void Form1::Command1_Click() { BeginDraw(); }

void Form1::BeginDraw()
{
    TrimResultLog();
    Command1->setEnabled(false);
    Command2->setEnabled(false);
    disarmRunningDraw();
    Module1.clearPicks();
    for (LockedLineEdit *box : ballBoxes())
        box->setText(QString());
    armDraw(Timer10);
    advanceDrawCounter();
}

// A draw start finds the engine idle in ordinary use. Should an earlier draw still be armed,
// its stage and rollers are switched off first: otherwise two stage chains would run at once
// over the same picks (duplicate reds, two blue rollers, two log entries).
void Form1::disarmRunningDraw()
{
    for (QTimer *timer : allTimers()) {
        if (timer != Timer15)
            setTimerEnabled(timer, false);
    }
}

// Arms stage 1, then the six red rollers and the given blue roller, in that order.
void Form1::armDraw(QTimer *blueRoller)
{
    setTimerEnabled(Timer4, true);
    for (int position = 1; position <= 6; ++position)
        setTimerEnabled(rollerTimer(position, BlueFinish::None), true);
    setTimerEnabled(blueRoller, true);
}

void Form1::advanceDrawCounter()
{
    Label4->setText(numberToText(lenientParse(Label4->text()) + 1.0));
}

} // namespace qelvora
