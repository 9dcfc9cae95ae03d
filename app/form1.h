// Form1, the program's one window.
#pragma once

#include "draw_slots.h"
#include "random_source.h"

#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>
#include <QWidget>

#include <array>
#include <memory>

class QMessageBox;
class QPainter;
class QWebEnginePage;

namespace qelvora {

class LockedLineEdit;
class LogTextBox;
class PanelWatch;

// The site the two web panels load their pages from.
inline constexpr char kVendorSite[] = "http://www.qelvora.com";

// How a draw flows. A draw is not a call chain but a relay of timer handlers. A button handler
// arms timers; each tick does one small step, reads and writes the shared draw state
// (Module1, a DrawSlots) and the texts of the controls, and arms or disarms timers. Nothing
// else carries state from one step to the next.
//
//   Command1_Click -> BeginDraw -> Timer4 (stage 1) -> Timer5 -> Timer6 -> Timer11 -> Timer12
//                        |                          -> Timer13 -> Timer14 (stage 7: blue pick
//                        |                             and the two-digit log texts)
//                        |         one stage a second, each writes PickedBall<k>
//                        v
//                    Timer1, 2, 3, 7, 8, 9 (red rollers) and Timer10 / Timer16 (blue roller)
//                        every 50 ms: count on in the box until the position is picked,
//                        then show the pick in two-digit form and stop
//                        v
//                    the blue roller settles last -> AppendResultLogLine -> caret to the end
//
//   Command2_Click -> Timer15 every 11 s -> compare the seven boxes with the reference boxes
//                        -> equal: tell the user and end the run; otherwise start a new draw
//                           (the same relay, with Timer16 as the blue roller)
//
// The handlers keep the names of the controls and events they serve (Timer4_Timer,
// Command1_Click, ...). Where several handlers share an algorithm, each is a one-line call of
// it with its position; the position tables live in one place. Every timer is switched
// through setTimerEnabled(), which has the semantics the relay relies on.
class Form1 : public QWidget {
    Q_OBJECT

public:
    // random: the chance behind the stop stages (a ClockRandomSource when null).
    // siteBase: the site the web panels load from (kVendorSite normally; tests use loopback).
    explicit Form1(std::unique_ptr<RandomSource> random = nullptr,
                   const QUrl &siteBase = QUrl(QString::fromLatin1(kVendorSite)),
                   QWidget *parent = nullptr);
    ~Form1() override;

    // Enabling an enabled timer leaves its interval running; disabling and then enabling it
    // starts the interval afresh.
    static void setTimerEnabled(QTimer *timer, bool enabled);

    // True while any stop stage or ball roller is armed, that is while a draw is under way.
    bool drawRunning() const;

    // Controls, by the names of the window description.
    LockedLineEdit *Text1, *Text2, *Text3, *Text5, *Text6, *Text7, *Text8;  // ball boxes
    LogTextBox *Text4;                                                      // result log
    QLineEdit *Text9, *Text10, *Text11, *Text12, *Text13, *Text14, *Text15; // reference
    QPushButton *Command1, *Command2, *Command3;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9,
        *Label10;
    QWebEngineView *WebBrowser1, *WebBrowser2;
    QTimer *Timer1, *Timer2, *Timer3, *Timer4, *Timer5, *Timer6, *Timer7, *Timer8, *Timer9,
        *Timer10, *Timer11, *Timer12, *Timer13, *Timer14, *Timer15, *Timer16;

    // The watch over the web panels' processes (priority and memory), started with the panels.
    PanelWatch *panelWatch = nullptr;

    // Every timer, in the order the load handler sets them up.
    std::array<QTimer *, 16> allTimers() const;

    // The seven ball boxes and the seven reference boxes, each in position order (7 is blue).
    std::array<LockedLineEdit *, 7> ballBoxes() const;
    std::array<QLineEdit *, 7> referenceBoxes() const;

public slots:
    // Stop stages 1..7.
    void Timer4_Timer();
    void Timer5_Timer();
    void Timer6_Timer();
    void Timer11_Timer();
    void Timer12_Timer();
    void Timer13_Timer();
    void Timer14_Timer();

    // Ball rollers: red 1..6, blue of the manual and of the automatic path.
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void Timer7_Timer();
    void Timer8_Timer();
    void Timer9_Timer();
    void Timer10_Timer();
    void Timer16_Timer();

    // Draw control.
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Timer15_Timer();

    // Web panel and link label.
    void WebBrowser2_DocumentComplete();
    void Label5_MouseMove();
    void Form_MouseMove();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void keepClientSize();
    void createControls();
    void setObjectNames();
    void stackTextBoxesOverLabels();
    void keepMouseMovesWithControls();
    void createTimers();
    // The Tab order, the panels as one stop each, Return on the buttons, the focus in Text1
    // (focus.cpp).
    class PanelTabStops;
    PanelTabStops *m_panelTabStops = nullptr;
    void setUpFocus();
    void tearDownFocus();
    void setUpTabOrder();
    void letArrowsWalkPanelLinks(QWebEnginePage *page);
    bool panelHasFocus(const QWebEngineView *panel) const;
    void paintPanelFocusFrame(QPainter &painter);
    void connectHandlers();
    void Form_Load();

    // Draw start pieces shared by the manual draw and the automatic cycle.
    void BeginDraw();
    void disarmRunningDraw();
    void armDraw(QTimer *blueRoller);
    void advanceDrawCounter();

    // Stop stages 2..6 and the rollers, each written once for all positions.
    void runRedStage(int position);
    enum class BlueFinish { None, ManualDraw, AutomaticDraw };
    void runRoller(int position, BlueFinish finish);
    int drawBallNumber(int count);

    void AppendResultLogLine();
    void TrimResultLog();
    void NormalizeReferenceInputs();

    // Shows a modal message with one OK button. Returns false when the window was destroyed
    // while the message was open, so that the caller touches nothing of it any more.
    bool showMessage(const QString &text, const QString &title);

    // Position tables: index 0..6 for positions 1..7 (7 is blue).
    std::array<QTimer *, 7> stageTimers() const;
    QTimer *rollerTimer(int position, BlueFinish finish) const;

    void connectWebPanels();
    void navigate(QWebEngineView *view, const QString &path);
    void startPendingNavigations();
    void showPanelMenu(QWebEngineView *view, const QPoint &position);

    std::unique_ptr<RandomSource> m_random;
    QUrl m_siteBase;
    struct PendingNavigation {
        QPointer<QWebEngineView> view;
        QUrl url;
    };
    QList<PendingNavigation> m_pendingNavigations;
    bool m_painted = false;
    bool m_sizeFollowsState = false; // on Wayland, see keepClientSize()
    QPointer<QMessageBox> m_openMessage;
    bool m_matchMessageOpen = false;
};

} // namespace qelvora
