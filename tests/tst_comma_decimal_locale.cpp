// Numbers are read and written the same way on a desktop whose locale writes a comma as the
// decimal point. CTest runs this program under de_DE.UTF-8, a locale it builds itself, and the
// QApplication takes it from the environment exactly as the shipped program does.
#include "form1.h"
#include "number_rules.h"
#include "support/test_support.h"
#include "text_boxes.h"

#include <QLocale>
#include <QTest>

#include <clocale>
#include <cstdlib>

using namespace qelvora;

class TestCommaDecimalLocale : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void parse_data();
    void parse();
    void numberToText();
    void comparisonTick();
};

// Without the comma locale in effect this test would prove nothing, so it fails instead.
void TestCommaDecimalLocale::initTestCase()
{
    QVERIFY2(QString::fromLatin1(std::localeconv()->decimal_point) == QStringLiteral(","),
             "run under CTest, which sets LC_ALL=de_DE.UTF-8 and LOCPATH to a locale it builds");
    QCOMPARE(std::strtod("1.5", nullptr), 1.0); // the C library now stops at the point
    QCOMPARE(QLocale::system().decimalPoint(), QStringLiteral(","));
}

void TestCommaDecimalLocale::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("decimal") << "1.5" << 1.5;
    QTest::newRow("point then exponent") << "5.e2" << 500.0;
    QTest::newRow("blanks around the point") << " 1 . 5" << 1.5;
    QTest::newRow("negative with exponent") << "-.25e1" << -2.5;
    QTest::newRow("comma stops the number") << "2,5" << 2.0;
    QTest::newRow("two-digit form") << "07" << 7.0;
}

void TestCommaDecimalLocale::parse()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    const double parsed = lenientParse(text);
    QVERIFY2(parsed == expected, qPrintable(QString::number(parsed, 'g', 17)));
}

void TestCommaDecimalLocale::numberToText()
{
    QCOMPARE(qelvora::numberToText(1234567.0), QStringLiteral("1234567"));
    QCOMPARE(qelvora::numberToText(1e15), QStringLiteral("1000000000000000"));
    QCOMPARE(qelvora::numberToText(2.5), QStringLiteral("2.5"));
}

// A reference of ".5" in every box is 0.5, not the 0 of seven empty ball boxes: the first tick
// starts a draw instead of reporting a match. The next tick, with a reference of "1." .. "7.",
// finds the draw 01 .. 07.
void TestCommaDecimalLocale::comparisonTick()
{
    test::ScriptedRandom *random = nullptr;
    std::unique_ptr<Form1> window = test::makeScriptedWindow(random);
    test::shortenTimers(*window);
    random->queueDraw({1, 2, 3, 4, 5, 6}, 7);

    test::MessageCatcher catcher;
    test::startRun(*window, QStringList(7, QStringLiteral(".5")));
    QTRY_COMPARE_WITH_TIMEOUT(window->Label4->text(), QStringLiteral("1"), 10000);
    QVERIFY(catcher.seen.isEmpty());

    test::setReference(*window, {"1.", "2.", "3.", "4.", "5.", "6.", "7."});
    QTRY_COMPARE_WITH_TIMEOUT(catcher.seen.size(), 1, 10000);
    QCOMPARE(catcher.seen[0].text, test::kFound);
    QTRY_VERIFY(!window->Timer15->isActive());
    QCOMPARE(window->Label4->text(), QStringLiteral("1"));
    QCOMPARE(test::ballTexts(*window), QStringList({"01", "02", "03", "04", "05", "06", "07"}));
    QCOMPARE(random->shortfall, 0);
}

QELVORA_TEST_MAIN(TestCommaDecimalLocale)
#include "tst_comma_decimal_locale.moc"
