// The number rules: two-digit form, lenient numeric parse, number to text, ball number from r.
#include "number_rules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <string>

namespace qelvora {

QString twoDigitForm(const QString &text)
{
    if (text.size() == 1 && text.at(0) >= u'1' && text.at(0) <= u'9')
        return QStringLiteral("0") + text;
    return text;
}

namespace {

bool isSkipped(QChar c) { return c == u' ' || c == u'\t' || c == u'\n'; }

bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Whether a decimal number (digits with an optional point, then an optional exponent "e+12")
// is at least 1 in magnitude: whether its first non-zero digit stands at or left of the units
// place. Only asked of numbers too large or too small for a double, so one of them has a
// non-zero digit and the answer tells overflow from underflow.
bool magnitudeAtLeastOne(const std::string &mantissa, const std::string &exponent)
{
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t firstNonZero = mantissa.find_first_not_of("0.");
    if (firstNonZero == std::string::npos)
        return false;
    // Place of the first non-zero digit: 0 for units, 1 for tens, -1 for tenths.
    long long place = firstNonZero < point ? static_cast<long long>(point - firstNonZero - 1)
                                           : -static_cast<long long>(firstNonZero - point);
    long long shift = 0;
    for (char c : exponent) {
        if (c >= '0' && c <= '9')
            shift = std::min(shift * 10 + (c - '0'), 1'000'000'000LL); // saturates: far enough
    }
    if (exponent.find('-') != std::string::npos)
        shift = -shift;
    return place + shift >= 0;
}

} // namespace

QString withAsciiDigits(const QString &text)
{
    QString ascii = text;
    for (QChar &c : ascii) {
        if (c >= u'\uFF10' && c <= u'\uFF19')
            c = QChar(u'0' + (c.unicode() - 0xFF10));
        else if (c == u'\u3000')
            c = u' ';
    }
    return ascii;
}

double lenientParse(const QString &typed)
{
    const QString text = withAsciiDigits(typed);
    // Collect the characters of the leading number into plain ASCII, skipping blanks, tabs and
    // line feeds wherever they stand, then convert exactly what was collected. The conversion
    // is std::from_chars, which reads "." as the decimal point whatever the user's locale.
    qsizetype i = 0;
    auto peek = [&]() -> QChar {
        while (i < text.size() && isSkipped(text.at(i)))
            ++i;
        return i < text.size() ? text.at(i) : QChar();
    };
    // Appends the next character to out when it passes the test; says whether it did.
    auto take = [&](std::string &out, auto test) {
        const QChar c = peek();
        if (c.isNull() || !test(c))
            return false;
        out.push_back(char(c.unicode()));
        ++i;
        return true;
    };
    auto isSign = [](QChar c) { return c == u'+' || c == u'-'; };
    auto takeDigits = [&](std::string &out) {
        bool any = false;
        while (take(out, isAsciiDigit))
            any = true;
        return any;
    };

    std::string sign;
    take(sign, isSign);
    std::string mantissa;
    bool mantissaDigits = takeDigits(mantissa);
    if (take(mantissa, [](QChar c) { return c == u'.'; }))
        mantissaDigits = takeDigits(mantissa) || mantissaDigits;
    if (!mantissaDigits)
        return 0.0;

    // The exponent counts only when at least one digit follows the letter and its optional sign.
    std::string exponent;
    if (take(exponent, [](QChar c) { return c == u'e' || c == u'E'; })) {
        take(exponent, isSign);
        if (!takeDigits(exponent))
            exponent.clear();
    }

    const bool negative = sign == "-";
    const std::string number = mantissa + exponent;
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large gives infinity and too small gives zero, as the C library's conversion has
        // it; from_chars reports both without a value.
        value = magnitudeAtLeastOne(mantissa, exponent) ? HUGE_VAL : 0.0;
    }
    return negative ? -value : value;
}

QString numberToText(double value)
{
    if (std::isfinite(value) && value == std::trunc(value)) {
        if (value == 0.0)
            return QStringLiteral("0"); // negative zero too
        // Fixed notation prints the whole number's exact digits, however large it is.
        char digits[400];
        const auto result = std::to_chars(std::begin(digits), std::end(digits), value,
                                          std::chars_format::fixed);
        return QString::fromLatin1(digits, result.ptr - digits);
    }
    return QString::number(value, 'g', 15);
}

int ballNumberFromUnit(float r, int count)
{
    const int n = static_cast<int>(std::floor(static_cast<double>(r) * count + 1.0));
    return std::clamp(n, 1, count);
}

} // namespace qelvora
