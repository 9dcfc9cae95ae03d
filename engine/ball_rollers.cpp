// The ball rollers: every 50 ms each box whose position has no pick yet counts on by one; on the
// first tick after its pick arrives it shows the pick in two-digit form and stops. The blue
// roller, which settles last, also finishes the draw.
#include "accessibility.h"
#include "form1.h"
#include "number_rules.h"
#include "text_boxes.h"

namespace qelvora {

void Form1::Timer1_Timer() { runRoller(1, BlueFinish::None); }
void Form1::Timer2_Timer() { runRoller(2, BlueFinish::None); }
void Form1::Timer3_Timer() { runRoller(3, BlueFinish::None); }
void Form1::Timer7_Timer() { runRoller(4, BlueFinish::None); }
void Form1::Timer8_Timer() { runRoller(5, BlueFinish::None); }
void Form1::Timer9_Timer() { runRoller(6, BlueFinish::None); }
void Form1::Timer10_Timer() { runRoller(7, BlueFinish::ManualDraw); }
void Form1::Timer16_Timer() { runRoller(7, BlueFinish::AutomaticDraw); }

void Form1::runRoller(int position, BlueFinish finish)
{
    LockedLineEdit *box = ballBoxes().at(position - 1);
    const QString &pick = Module1.pick(position);

    if (!isPicked(pick)) {
        // The wrap value is compared as text: "33" wraps, "033" or " 33" would count on.
        const QString wrap = numberToText(position == 7 ? kBlueBallCount : kRedBallCount);
        const QString shown = box->text();
        boxRolls(box);
        box->setText(shown == wrap ? QStringLiteral("1") : numberToText(lenientParse(shown) + 1));
        return;
    }

    box->setText(pick);
    box->setText(twoDigitForm(box->text()));
    boxSettled(box);
    setTimerEnabled(rollerTimer(position, finish), false);
    if (finish == BlueFinish::None)
        return;

    AppendResultLogLine();
    // Only the manual path gives the buttons back; during an automatic run they belong to the
    // cycle and to Stop.
    if (finish == BlueFinish::ManualDraw) {
        Command1->setEnabled(true);
        Command2->setEnabled(true);
    }
    Text4->setSelStart(int(Text4->text().size()));
    // Last, after a button has taken back the focus: a screen reader that speaks the focus
    // change first then speaks the result, rather than cutting it short.
    announceDraw(this);
}

} // namespace qelvora
