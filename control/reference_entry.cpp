// Reference entry: the Automatic draw button checks that all seven reference boxes are filled,
// writes single digits in two-digit form and arms the automatic cycle.
#include "form1.h"
#include "number_rules.h"

#include <algorithm>

namespace qelvora {

void Form1::Command2_Click()
{
    const auto boxes = referenceBoxes();
    // Empty means no character at all: a box holding a single blank counts as filled.
    if (std::any_of(boxes.begin(), boxes.end(),
                    [](QLineEdit *box) { return box->text().isEmpty(); })) {
        showMessage(
            QStringLiteral("请按照出球顺序填写全上期的开奖结果，以便于系统进行自动比较摇号"),
            QStringLiteral("自动摇奖提示"));
        return;
    }
    NormalizeReferenceInputs();
    setTimerEnabled(Timer15, true);
    Command1->setEnabled(false);
    Command2->setEnabled(false);
    Command3->setEnabled(true);
}

// Rewrites exactly "1".."9" as "01".."09" in every reference box, a full-width digit as the digit
// it stands for; anything else (" 5", "0", "34", "１２", letters) stays as typed. The box is read
// afresh for each digit, so it changes at most once.
void Form1::NormalizeReferenceInputs()
{
    for (QLineEdit *box : referenceBoxes()) {
        for (char16_t digit = u'1'; digit <= u'9'; ++digit) {
            if (withAsciiDigits(box->text()) == QString(QChar(digit)))
                box->setText(twoDigitForm(withAsciiDigits(box->text())));
        }
    }
}

} // namespace qelvora
