// The number rules shared by the whole program: how numbers are read from and written to the
// texts of the controls, the two-digit form of the ball boxes, and how a random value becomes a
// ball number. Plain functions without any widget, so they are tested on their own.
#pragma once

#include <QString>

namespace qelvora {

inline constexpr int kRedBallCount = 33;  // red numbers lie in 1..33
inline constexpr int kBlueBallCount = 16; // blue numbers lie in 1..16

// "1".."9" (exactly one of those one-character texts) becomes "01".."09"; every other text,
// "01", "10", "0", "" or " 5" among them, is returned unchanged.
QString twoDigitForm(const QString &text);

// The text with every full-width digit (U+FF10..U+FF19) replaced by the ASCII digit it stands for
// and every ideographic space (U+3000) by a blank: what a Chinese input method in full-width mode
// commits for digits and blanks.
QString withAsciiDigits(const QString &text);

// Reads the number a text begins with, the way numbers typed into a text box are read:
// blanks, tabs and line feeds are skipped wherever they stand, then an optional sign, digits,
// an optional decimal point with digits and an optional exponent are taken; reading stops at
// the first character that cannot continue the number. A text that does not begin with a
// number gives 0. ASCII and full-width digits count (the ideographic space is a blank), and the
// decimal point is "." in every locale.
double lenientParse(const QString &text);

// The general number-to-text conversion: a whole number prints as plain decimal digits, however
// large (with a minus sign when negative, never an exponent, a leading zero, a decimal point or a
// separator); any other value prints with up to 15 significant digits. Locale-independent.
QString numberToText(double value);

// Turns a value r with 0 <= r < 1 into a ball number Int(r * count + 1), for count 33 (red) or
// 16 (blue). The product is formed in double precision so that a single-precision r just below
// 1 can never round up to count + 1; the result always lies in 1..count.
int ballNumberFromUnit(float r, int count);

} // namespace qelvora
