// The number rules: two-digit form, lenient numeric parse, number to text, ball number from r.
#include "number_rules.h"

#include <QByteArray>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace qelvora {

QString twoDigitForm(const QString &text)
{
    if (text.size() == 1 && text.at(0) >= u'1' && text.at(0) <= u'9')
        return QStringLiteral("0") + text;
    return text;
}

namespace {

bool isSkipped(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

double lenientParse(const QString &text)
{
    // Collect the characters of the leading number into plain ASCII, skipping blanks, tabs and
    // line feeds wherever they stand, then let strtod convert exactly what was collected.
    qsizetype i = 0;
    auto peek = [&]() -> QChar {
        while (i < text.size() && isSkipped(text.at(i)))
            ++i;
        return i < text.size() ? text.at(i) : QChar();
    };
    // Appends the next character to out when it passes the test; says whether it did.
    auto take = [&](QByteArray &out, auto test) {
        const QChar c = peek();
        if (c.isNull() || !test(c))
            return false;
        out.append(char(c.unicode()));
        ++i;
        return true;
    };
    auto isSign = [](QChar c) { return c == u'+' || c == u'-'; };
    auto takeDigits = [&](QByteArray &out) {
        bool any = false;
        while (take(out, isAsciiDigit))
            any = true;
        return any;
    };

    QByteArray number;
    take(number, isSign);
    bool mantissaDigits = takeDigits(number);
    if (take(number, [](QChar c) { return c == u'.'; }))
        mantissaDigits = takeDigits(number) || mantissaDigits;
    if (!mantissaDigits)
        return 0.0;

    // The exponent counts only when at least one digit follows the letter and its optional sign.
    QByteArray exponent;
    if (take(exponent, [](QChar c) { return c == u'e' || c == u'E'; })) {
        take(exponent, isSign);
        if (takeDigits(exponent))
            number.append(exponent);
    }
    return std::strtod(number.constData(), nullptr);
}

QString numberToText(double value)
{
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<long long>(value));
    return QString::number(value, 'g', 15);
}

int ballNumberFromUnit(float r, int count)
{
    const int n = static_cast<int>(std::floor(static_cast<double>(r) * count + 1.0));
    return std::clamp(n, 1, count);
}

} // namespace qelvora
