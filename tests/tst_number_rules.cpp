// The rules that turn texts into numbers and back, the draw state's pick tables, and the
// shipped random source's distribution through the real ball formula.
#include "draw_slots.h"
#include "number_rules.h"
#include "random_source.h"

#include <QTest>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>

using namespace qelvora;

namespace {

// QCOMPARE compares floating-point values fuzzily; the rules here must hold to the last bit,
// the sign of zero included.
bool sameBits(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

QString describe(double value) { return QString::number(value, 'g', 17); }

} // namespace

class TestNumberRules : public QObject {
    Q_OBJECT
private slots:
    void twoDigitForm_data();
    void twoDigitForm();
    void lenientParse_data();
    void lenientParse();
    void lenientParseAgreesWithTheCLibrary();
    void numberToText_data();
    void numberToText();
    void ballNumberFromUnit();
    void drawSlotsTables();
    void clockSourceIsUniform();
    void clockSourceReseedsDiffer();
};

void TestNumberRules::twoDigitForm_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    for (int d = 1; d <= 9; ++d)
        QTest::addRow("digit %d", d) << QString::number(d) << QStringLiteral("0%1").arg(d);
    QTest::newRow("ten") << "10"
                         << "10";
    QTest::newRow("thirty-three") << "33"
                                  << "33";
    QTest::newRow("already two-digit") << "01"
                                       << "01";
    QTest::newRow("zero") << "0"
                          << "0";
    QTest::newRow("double zero") << "00"
                                 << "00";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("blank before") << " 5"
                                  << " 5";
    QTest::newRow("blank after") << "5 "
                                 << "5 ";
    QTest::newRow("letter") << "a"
                            << "a";
    QTest::newRow("full-width digit") << "５"
                                      << "５";
}

void TestNumberRules::twoDigitForm()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(qelvora::twoDigitForm(text), expected);
}

void TestNumberRules::lenientParse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("leading zero") << "05" << 5.0;
    QTest::newRow("leading blank") << " 5" << 5.0;
    QTest::newRow("trailing letter") << "7a" << 7.0;
    QTest::newRow("blank inside") << "1 2" << 12.0;
    QTest::newRow("tab and line feed inside") << "\t1\n2" << 12.0;
    QTest::newRow("negative") << "-3" << -3.0;
    QTest::newRow("plus") << "+4" << 4.0;
    QTest::newRow("sign then blank") << "- 3" << -3.0;
    QTest::newRow("exponent") << "2.5e1" << 25.0;
    QTest::newRow("exponent with sign") << "25E-1" << 2.5;
    QTest::newRow("exponent without digits") << "3e" << 3.0;
    QTest::newRow("exponent sign without digits") << "3e+x" << 3.0;
    QTest::newRow("decimal") << "1.5" << 1.5;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("letter first") << "a7" << 0.0;
    QTest::newRow("sign only") << "-" << 0.0;
    QTest::newRow("point only") << "." << 0.0;
    QTest::newRow("blank only") << " " << 0.0;
    QTest::newRow("carriage return stops") << "1\r2" << 1.0;
    QTest::newRow("full-width digits") << "１２" << 12.0;
    QTest::newRow("full-width digits with a leading zero") << "０７" << 7.0;
    QTest::newRow("full-width digit after ASCII digit") << "1２" << 12.0;
    QTest::newRow("ideographic space skipped") << QStringLiteral("\u3000５") << 5.0;
    QTest::newRow("ideographic space between digits") << QStringLiteral("1\u30002") << 12.0;
    QTest::newRow("full-width sign is no sign") << "－５" << 0.0;
    QTest::newRow("counter") << "41" << 41.0;
    QTest::newRow("point then exponent") << "5.e2" << 500.0;
    QTest::newRow("comma is no decimal point") << "2,5" << 2.0;
    QTest::newRow("tenth is not a float") << "0.1" << 0.1;
    QTest::newRow("negative zero") << "-0" << -0.0;
    QTest::newRow("too large") << "1e999" << std::numeric_limits<double>::infinity();
    QTest::newRow("too large, negative") << "-1e999" << -std::numeric_limits<double>::infinity();
    QTest::newRow("too large by digits")
        << QString(400, u'9') << std::numeric_limits<double>::infinity();
    QTest::newRow("too small") << "1e-400" << 0.0;
    QTest::newRow("too small, negative") << "-1e-400" << -0.0;
    QTest::newRow("too small by zeros") << "0." + QString(400, u'0') + "1" << 0.0;
    QTest::newRow("huge exponent")
        << "1e99999999999999999999" << std::numeric_limits<double>::infinity();
    QTest::newRow("zero with huge exponent") << "0e99999" << 0.0;
    QTest::newRow("smallest subnormal") << "5e-324" << std::numeric_limits<double>::denorm_min();
    QTest::newRow("largest double")
        << "1.7976931348623157e308" << std::numeric_limits<double>::max();
}

void TestNumberRules::lenientParse()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    const double parsed = qelvora::lenientParse(text);
    QVERIFY2(
        sameBits(parsed, expected),
        qPrintable(QStringLiteral("%1, expected %2").arg(describe(parsed), describe(expected))));
}

// The rule is the C library's conversion (in the "C" locale, this test's) of the text with its
// blanks, tabs and line feeds taken out. Random texts over the characters a number can hold,
// and a few that stop it, must give the same double, bit for bit.
void TestNumberRules::lenientParseAgreesWithTheCLibrary()
{
    const char alphabet[] = "0123456789012345..eE+-  \t\na,";
    std::mt19937 chance(20261207);
    std::uniform_int_distribution<int> length(0, 14);
    std::uniform_int_distribution<int> pick(0, int(sizeof alphabet) - 2);
    for (int round = 0; round < 50000; ++round) {
        std::string text;
        for (int n = length(chance); n > 0; --n)
            text.push_back(alphabet[pick(chance)]);
        std::string stripped;
        for (char c : text)
            if (c != ' ' && c != '\t' && c != '\n')
                stripped.push_back(c);
        const double expected = std::strtod(stripped.c_str(), nullptr);
        const double parsed = qelvora::lenientParse(QString::fromStdString(text));
        QVERIFY2(sameBits(parsed, expected),
                 qPrintable(
                     QStringLiteral("\"%1\": %2, expected %3")
                         .arg(QString::fromStdString(text), describe(parsed), describe(expected))));
    }
}

void TestNumberRules::numberToText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero plus one") << qelvora::lenientParse("0") + 1 << "1";
    QTest::newRow("nine plus one") << 9.0 + 1 << "10";
    QTest::newRow("large whole") << 123456789012.0 << "123456789012";
    QTest::newRow("negative") << -3.0 << "-3";
    QTest::newRow("fraction") << 2.5 << "2.5";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("ten to the fifteenth") << 1e15 << "1000000000000000";
    QTest::newRow("counter after 999999999999999")
        << qelvora::lenientParse("999999999999999") + 1 << "1000000000000000";
    QTest::newRow("and one more") << qelvora::lenientParse("1000000000000000") + 1
                                  << "1000000000000001";
    QTest::newRow("ten to the twentieth") << 1e20 << "100000000000000000000";
    // The double nearest 10^23 is 99999999999999991611392: its exact digits, not a rounding.
    QTest::newRow("ten to the twenty-third") << 1e23 << "99999999999999991611392";
    QTest::newRow("largest double")
        << std::numeric_limits<double>::max()
        << "17976931348623157081452742373170435679807056752584499659891747680315726078002853876058"
           "95586327668781715404589535143824642343213268894641827684675467035375169860499105765512"
           "82076245490090389328944075868508455133942304583236903222948165808559332123348274797826"
           "204144723168738177180919299881250404026184124858368";
}

void TestNumberRules::numberToText()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(qelvora::numberToText(value), expected);
}

void TestNumberRules::ballNumberFromUnit()
{
    QCOMPARE(qelvora::ballNumberFromUnit(0.0f, 33), 1);
    QCOMPARE(qelvora::ballNumberFromUnit(0.0f, 16), 1);
    // The largest float below 1. In single precision r * 16 + 1 rounds up to exactly 17, a
    // blue number out of range; the formula in double precision stays below.
    const float justBelowOne = std::nextafter(1.0f, 0.0f);
    QVERIFY(justBelowOne * 16.0f + 1.0f == 17.0f);
    QVERIFY(static_cast<double>(justBelowOne) * 16.0 + 1.0 < 17.0);
    QVERIFY(static_cast<double>(justBelowOne) * 33.0 + 1.0 < 34.0);
    QCOMPARE(qelvora::ballNumberFromUnit(justBelowOne, 33), 33);
    QCOMPARE(qelvora::ballNumberFromUnit(justBelowOne, 16), 16);
    QCOMPARE(qelvora::ballNumberFromUnit(0.5f, 16), 9);
    QCOMPARE(qelvora::ballNumberFromUnit(0.4999f, 16), 8);
}

void TestNumberRules::drawSlotsTables()
{
    DrawSlots state;
    for (int position = 1; position <= 7; ++position)
        state.pick(position) = QString::number(position);
    QCOMPARE(state.PickedBall1, QStringLiteral("1"));
    QCOMPARE(state.PickedBall4, QStringLiteral("4"));
    QCOMPARE(state.PickedBall7, QStringLiteral("7"));
    state.logBall(7) = QStringLiteral("09");
    state.logBall(1) = QStringLiteral("07");
    QCOMPARE(state.LogBlueBall, QStringLiteral("09"));
    QCOMPARE(state.LogBall1, QStringLiteral("07"));

    state.CandidateBall = QStringLiteral("5");
    state.clearPicks();
    for (int position = 1; position <= 7; ++position)
        QVERIFY(!isPicked(state.pick(position)));
    // Clearing the picks keeps the log texts and the candidate of the last draw.
    QCOMPARE(state.LogBall1, QStringLiteral("07"));
    QCOMPARE(state.CandidateBall, QStringLiteral("5"));
    // A pick of 5 is the text "5": equal to the candidate "5", not to "05".
    state.PickedBall1 = qelvora::numberToText(5);
    QCOMPARE(state.PickedBall1, state.CandidateBall);
    QVERIFY(state.PickedBall1 != QStringLiteral("05"));
}

// Many picks through the real formula, reseeding before each as the stages do: every number
// appears, none outside its range, and the counts pass a chi-square test at p < 1e-6.
void TestNumberRules::clockSourceIsUniform()
{
    ClockRandomSource source;
    auto check = [&](int count, int picks, double criticalValue) {
        std::vector<int> seen(count + 2, 0);
        for (int i = 0; i < picks; ++i) {
            source.reseed();
            const int n = qelvora::ballNumberFromUnit(source.next(), count);
            QVERIFY2(n >= 1 && n <= count, qPrintable(QString::number(n)));
            ++seen[n];
        }
        const double expected = double(picks) / count;
        double chiSquare = 0;
        for (int n = 1; n <= count; ++n) {
            QVERIFY2(seen[n] > 0, qPrintable(QStringLiteral("never drew %1").arg(n)));
            chiSquare += (seen[n] - expected) * (seen[n] - expected) / expected;
        }
        QVERIFY2(chiSquare < criticalValue, qPrintable(QString::number(chiSquare)));
    };
    // Critical values of chi-square at p = 1e-6: 32 degrees of freedom 86.7, 15 degrees 53.0.
    check(33, 66000, 86.7);
    check(16, 32000, 53.0);
}

// Reseeds in quick succession, within the same clock tick at times, must not repeat values.
void TestNumberRules::clockSourceReseedsDiffer()
{
    ClockRandomSource source;
    QSet<float> values;
    for (int i = 0; i < 2000; ++i) {
        source.reseed();
        const float r = source.next();
        QVERIFY(r >= 0.0f && r < 1.0f);
        values.insert(r);
    }
    // 2000 values from 540672 cells: a few collisions are chance, hundreds would be a fault.
    QVERIFY2(values.size() > 1980, qPrintable(QString::number(values.size())));
}

QTEST_APPLESS_MAIN(TestNumberRules)
#include "tst_number_rules.moc"
