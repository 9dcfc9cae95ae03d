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
    QByteArray number;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto peek = [&]() -> QChar {
        while (i < n && isSkipped(text.at(i)))
            ++i;
        return i < n ? text.at(i) : QChar();
    };

    QChar c = peek();
    if (c == u'+' || c == u'-') {
        number.append(char(c.unicode()));
        ++i;
        c = peek();
    }
    bool mantissaDigits = false;
    while (isAsciiDigit(c)) {
        number.append(char(c.unicode()));
        mantissaDigits = true;
        ++i;
        c = peek();
    }
    if (c == u'.') {
        number.append('.');
        ++i;
        c = peek();
        while (isAsciiDigit(c)) {
            number.append(char(c.unicode()));
            mantissaDigits = true;
            ++i;
            c = peek();
        }
    }
    if (!mantissaDigits)
        return 0.0;

    if (c == u'e' || c == u'E') {
        // The exponent counts only when at least one digit follows its optional sign.
        const qsizetype mark = i;
        QByteArray exponent("e");
        ++i;
        c = peek();
        if (c == u'+' || c == u'-') {
            exponent.append(char(c.unicode()));
            ++i;
            c = peek();
        }
        bool exponentDigits = false;
        while (isAsciiDigit(c)) {
            exponent.append(char(c.unicode()));
            exponentDigits = true;
            ++i;
            c = peek();
        }
        if (exponentDigits)
            number.append(exponent);
        else
            i = mark;
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
