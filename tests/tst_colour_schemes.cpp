// The window under a dark colour scheme handed over by the desktop: every text of the window, its
// messages and the web panels' pages stays readable, and the fixed red and blue texts keep their
// colours and at least the contrast they have on Qt's default light colours. Contrast is the WCAG
// ratio of the colours the controls paint with.
//
// CTest runs the program twice: once with the "darker" scheme of qt6ct handed in as a desktop's
// Qt platform theme does, through QApplication::setPalette() before any window exists, and once
// with qt6ct itself as the platform theme, configured for that scheme (QT_QPA_PLATFORMTHEME).
#include "form1.h"
#include "support/test_support.h"
#include "text_boxes.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cmath>
#include <memory>

using namespace qelvora;

namespace {

// qt6ct's "darker" scheme (/usr/share/qt6ct/colors/darker.conf, active colours), in the order of
// QPalette::ColorRole, as qt6ct reads it.
const char kDarker[] = "#ffffffff, #ff424245, #ff979797, #ff5e5c5b, #ff302f2e, #ff4a4947, "
                       "#ffffffff, #ffffffff, #ffffffff, #ff3d3d3d, #ff222020, #ffe7e4e0, "
                       "#ff12608a, #fff9f9f9, #ff0986d3, #ffa70b06, #ff5c5b5a, #ffffffff, "
                       "#ff3f3f36, #ffffffff, #80ffffff";

QPalette darkerScheme()
{
    QPalette palette;
    const QStringList colours = QString::fromLatin1(kDarker).split(QStringLiteral(", "));
    for (int role = 0; role < colours.size(); ++role)
        palette.setColor(static_cast<QPalette::ColorRole>(role), QColor(colours[role]));
    return palette;
}

double luminance(const QColor &colour)
{
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF())
        + 0.0722 * channel(colour.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QString describe(const QColor &foreground, const QColor &background)
{
    return QStringLiteral("%1 on %2: %3 : 1")
        .arg(foreground.name(), background.name())
        .arg(contrast(foreground, background), 0, 'f', 2);
}

// Qt's own light palette, the one the window gets on a desktop that hands over no colours.
QPalette defaultLightPalette()
{
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    return fusion->standardPalette();
}

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

} // namespace

// Every case gets a window with the shipped random source, shown.
class TestColourSchemes : public test::WindowTest {
    Q_OBJECT
public:
    TestColourSchemes()
        : WindowTest({.scripted = false, .show = true})
    {
    }

private slots:
    void initTestCase();
    void textsStayReadable_data();
    void textsStayReadable();
    void backgroundsArePaintedInTheWindowsColours();
    void messagesStayReadable();
    void panelPagesStayReadable();
};

void TestColourSchemes::initTestCase()
{
    if (qEnvironmentVariable("QT_QPA_PLATFORMTHEME") == QLatin1String("qt6ct")) {
        // Without the scheme in effect this run would prove nothing, so it fails instead.
        QVERIFY2(QApplication::palette().color(QPalette::Window) == QColor(0x22, 0x20, 0x20),
                 "qt6ct (Debian package qt6ct) did not hand over its darker scheme; run under "
                 "CTest, which sets XDG_CONFIG_HOME to a qt6ct configuration it writes");
    } else {
        QApplication::setPalette(darkerScheme());
    }
    QCOMPARE(QApplication::palette().color(QPalette::Base), QColor(0x3d, 0x3d, 0x3d));
}

void TestColourSchemes::textsStayReadable_data()
{
    // Red texts must keep at least the contrast they have on the default light palette, which
    // is below 4.5 : 1 for pure red on any light grey; every other text must reach 4.5 : 1.
    const double redOnLight = contrast(kRed, defaultLightPalette().color(QPalette::Window));
    QTest::addColumn<QString>("control");
    QTest::addColumn<QColor>("colour"); // invalid: any colour
    QTest::addColumn<double>("least");
    QTest::newRow("draw counter") << "Label4" << kBlue << 4.5;
    QTest::newRow("counter prefix") << "Label2" << kBlue << 4.5;
    QTest::newRow("counter suffix") << "Label3" << kBlue << 4.5;
    QTest::newRow("result log") << "Text4" << kBlue << 4.5;
    QTest::newRow("link label, pointer over it") << "Label5 hot" << kBlue << 4.5;
    QTest::newRow("link label") << "Label5" << kRed << redOnLight;
    QTest::newRow("draw row heading") << "Label10" << kRed << redOnLight;
    QTest::newRow("reference row heading") << "Label9" << kRed << redOnLight;
    QTest::newRow("date note") << "Label6" << kRed << redOnLight;
    QTest::newRow("ball box") << "Text1" << QColor() << 4.5;
    QTest::newRow("reference box") << "Text9" << QColor() << 4.5;
    QTest::newRow("plus sign") << "Label7" << QColor() << 4.5;
    QTest::newRow("button") << "Command1" << QColor() << 4.5;
}

void TestColourSchemes::textsStayReadable()
{
    QFETCH(QString, control);
    QFETCH(QColor, colour);
    QFETCH(double, least);
    Form1 &window = *m_window;
    if (control == QLatin1String("Label5 hot")) {
        window.Label5_MouseMove();
        control = QStringLiteral("Label5");
    }
    QWidget *widget = test::control(window, control);
    QVERIFY2(widget, qPrintable(control));
    // A scrolling box paints its text on its viewport.
    if (auto *area = qobject_cast<QAbstractScrollArea *>(widget))
        widget = area->viewport();
    const QColor foreground = widget->palette().color(widget->foregroundRole());
    const QColor background = widget->palette().color(widget->backgroundRole());
    if (colour.isValid())
        QVERIFY2(foreground == colour,
                 qPrintable(QStringLiteral("%1 paints in %2, not %3")
                                .arg(control, foreground.name(), colour.name())));
    QVERIFY2(contrast(foreground, background) >= least,
             qPrintable(control + u' ' + describe(foreground, background)
                        + QStringLiteral(", needs %1").arg(least)));
}

// The counter and the log draw their backgrounds in the colours measured above.
void TestColourSchemes::backgroundsArePaintedInTheWindowsColours()
{
    Form1 &window = *m_window;
    const QImage counter = window.Label4->grab().toImage();
    QCOMPARE(counter.pixelColor(1, 1), window.Label4->palette().color(QPalette::Window));
    QWidget *log = window.Text4->viewport();
    const QImage logImage = log->grab().toImage();
    QCOMPARE(logImage.pixelColor(logImage.width() / 2, logImage.height() / 2),
             log->palette().color(log->backgroundRole()));
    QVERIFY2(contrast(kBlue, logImage.pixelColor(1, 1)) >= 4.5,
             qPrintable(describe(kBlue, logImage.pixelColor(1, 1))));
}

// A message keeps the window's light look.
void TestColourSchemes::messagesStayReadable()
{
    Form1 &window = *m_window;
    test::MessageCatcher catcher;
    QString measured;
    double ratio = 0;
    QColor messageBackground;
    catcher.beforeAnswer = [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        for (const QLabel *label : box->findChildren<QLabel *>()) {
            if (label->text() != box->text())
                continue;
            const QColor foreground = label->palette().color(label->foregroundRole());
            const QColor background = box->palette().color(box->backgroundRole());
            ratio = contrast(foreground, background);
            measured = describe(foreground, background);
            messageBackground = background;
        }
    };
    window.Command2_Click(); // reference boxes empty: the reference check's message
    QCOMPARE(catcher.seen.size(), 1);
    QVERIFY2(ratio >= 4.5, qPrintable(measured));
    // The message looks like the window it belongs to.
    QCOMPARE(messageBackground, window.palette().color(QPalette::Window));
}

// With no network the panels show the engine's own error page.
void TestColourSchemes::panelPagesStayReadable()
{
    // A window of its own, so that the spies are in place before its pages load.
    dropWindow();
    Form1 window(nullptr, test::kNowhere);
    QSignalSpy top(window.WebBrowser1, &QWebEngineView::loadFinished);
    QSignalSpy bottom(window.WebBrowser2, &QWebEngineView::loadFinished);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY_WITH_TIMEOUT(!top.isEmpty() && !bottom.isEmpty(), 20000);

    const auto cssColour = [](const QString &css) {
        // "rgb(r, g, b)" or "rgba(r, g, b, a)"; a transparent colour counts as none.
        const QStringList parts =
            css.section(u'(', 1).section(u')', 0, 0).split(QStringLiteral(", "));
        if (parts.size() < 3 || (parts.size() == 4 && parts[3].toDouble() == 0))
            return QColor();
        return QColor(parts[0].toInt(), parts[1].toInt(), parts[2].toInt());
    };
    for (QWebEngineView *panel : {window.WebBrowser1, window.WebBrowser2}) {
        const QStringList colours =
            test::evaluate(
                panel,
                QStringLiteral("(function () { var s = getComputedStyle(document.body); "
                               "var h = getComputedStyle(document.documentElement); "
                               "return [s.color, s.backgroundColor, h.backgroundColor]; })()"))
                .toStringList();
        QCOMPARE(colours.size(), 3);
        const QColor text = cssColour(colours[0]);
        QColor background = cssColour(colours[1]);
        if (!background.isValid())
            background = cssColour(colours[2]);
        if (!background.isValid())
            background = panel->page()->backgroundColor();
        QVERIFY2(text.isValid(), qPrintable(colours.join(u' ')));
        QVERIFY2(contrast(text, background) >= 4.5,
                 qPrintable(panel->accessibleName() + u' ' + describe(text, background)));
    }
}

QELVORA_TEST_MAIN(TestColourSchemes)
#include "tst_colour_schemes.moc"
