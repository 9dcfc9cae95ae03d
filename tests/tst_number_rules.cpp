// The rules that turn texts into numbers and back, the draw state's pick tables, and the
// shipped random source's distribution through the real ball formula.
#include "engine/draw_slots.h"
#include "engine/number_rules.h"
#include "engine/random_source.h"

#include <QTest>

#include <array>
#include <cmath>
#include <limits>

using namespace qelvora;

class TestNumberRules : public QObject {
    Q_OBJECT
private slots:
    void twoDigitForm_data();
    void twoDigitForm();
    void lenientParse_data();
    void lenientParse();
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
    QTest::newRow("ten") << "10" << "10";
    QTest::newRow("thirty-three") << "33" << "33";
    QTest::newRow("already two-digit") << "01" << "01";
    QTest::newRow("zero") << "0" << "0";
    QTest::newRow("double zero") << "00" << "00";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("blank before") << " 5" << " 5";
    QTest::newRow("blank after") << "5 " << "5 ";
    QTest::newRow("letter") << "a" << "a";
    QTest::newRow("full-width digit") << "５" << "５";
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
    QTest::newRow("full-width digits are not digits") << "１２" << 0.0;
    QTest::newRow("counter") << "41" << 41.0;
}

void TestNumberRules::lenientParse()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(qelvora::lenientParse(text), expected);
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
    // The largest float below 1: in single precision r * 33 + 1 would round to 34.
    const float justBelowOne = std::nextafter(1.0f, 0.0f);
    QCOMPARE(justBelowOne * 33.0f + 1.0f, 34.0f);
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
