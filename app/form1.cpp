// Form1: construction of every control with its place, font and colour, the
// load handler, the timer switch, the message box and window-level events.
#include "form1.h"

#include "accessibility.h"
#include "client_size.h"
#include "colours.h"
#include "text_boxes.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleFactory>
#include <QWebEngineView>

#include <algorithm>
#include <memory>
#include <utility>

namespace qelvora {

namespace {

// Places are given in twips, 15 to a device-independent pixel.
void place(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(left / 15, top / 15, width / 15, height / 15);
}

constexpr int kClientWidth = 7710;
constexpr int kClientHeight = 9135;
constexpr QSize kClientSize(kClientWidth / 15, kClientHeight / 15);
constexpr int kLine2Top = 600;
constexpr int kLine1Top = 2280;
constexpr int kLineRight = 7680;
constexpr int kLogMaxLength = 60000;
constexpr int kReferenceMaxLength = 2;

// The window's text face. Linux has no font of that name; the program's start substitutes the
// Song-style face that is installed instead.
QFont songFont(qreal points, bool bold = false)
{
    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// The window's colours: Qt's own light palette, whatever scheme the desktop hands over. The pure
// red and pure blue texts of the layout were chosen for light system colours, and on a dark
// scheme's backgrounds the blue ones cannot be read. (Fusion is built into Qt and its standard
// palette is Qt's default, the one a desktop that hands over no colours gets.)
QPalette lightPalette()
{
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    return fusion ? fusion->standardPalette() : QPalette(QColor(239, 239, 239));
}

} // namespace

Form1::Form1(std::unique_ptr<RandomSource> random, const QUrl &siteBase, QWidget *parent)
    : QWidget(parent)
    , m_random(random ? std::move(random) : std::make_unique<ClockRandomSource>())
    , m_siteBase(siteBase)
{
    setWindowTitle(QStringLiteral("Qelvora—双色球摇奖测试工具"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/qelvora-32.png")));
    setFont(songFont(9));
    setPalette(lightPalette());
    keepClientSize();
    setMouseTracking(true);

    installAccessibleInterfaces();
    createControls();
    setObjectNames();
    nameControls(this);
    stackTextBoxesOverLabels();
    keepMouseMovesWithControls();
    createTimers();
    connectHandlers();
    Form_Load();
    setUpFocus();
    dropEarlyAccessibleInterfaces(this);
}

// The controls are torn down after this, and focus changes and events keep coming while they
// are: the window's own focus handling, which reads the window's members, is taken away first.
Form1::~Form1() { tearDownFocus(); }

// The client area is 514 x 609 and the layout does not adapt to any other size. Under X11 a
// fixed-size window is all it takes: the window manager neither maximises nor resizes it, and a
// tiling one floats it. A Wayland compositor may maximise any window, from the title bar Qt
// draws there (which has a maximise button whatever the window's flags) or on its own, and a
// maximised window must take exactly the size it is given: a window that keeps a fixed size is
// ended with a protocol error. So on Wayland the window announces its size as its minimum and
// maximum only in the normal state, which makes a tiling compositor float it, and takes
// whatever size a maximised or full-screen state gives it, with its layout unmoved at the top
// left (WaylandClientSize); back in the normal state it goes back to its own size
// (resizeEvent()).
void Form1::keepClientSize()
{
    m_sizeFollowsState = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (m_sizeFollowsState)
        new WaylandClientSize(this, kClientSize);
    else
        setFixedSize(kClientSize);
}

void Form1::createControls()
{
    auto label = [this](const QString &text, int left, int top, int width, int height,
                        const QFont &font, const QColor &color = QColor()) {
        auto *l = new QLabel(text, this);
        place(l, left, top, width, height);
        l->setFont(font);
        // The Song face's line box is taller than these labels; centring it keeps the glyphs
        // whole where a top-aligned line would lose their lowest strokes.
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        l->setAutoFillBackground(true);
        if (color.isValid())
            setTextColor(l, color);
        return l;
    };
    auto ballBox = [this](int left, int width) {
        auto *box = new LockedLineEdit(this);
        place(box, left, 1080, width, 855);
        box->setFont(songFont(36));
        box->setTextMargins(0, 0, 0, 0);
        return box;
    };
    auto referenceBox = [this](int left) {
        auto *box = new QLineEdit(this);
        place(box, left, 2760, 615, 495);
        box->setFont(songFont(15.75));
        box->setMaxLength(kReferenceMaxLength);
        keepWholeCharacters(box);
        return box;
    };
    auto button = [this](const QString &caption, int left, int width) {
        auto *b = new QPushButton(caption, this);
        place(b, left, 3600, width, 495);
        b->setFont(songFont(9));
        return b;
    };

    Label2 = label(QStringLiteral("<第"), 480, 120, 495, 375, songFont(15.75, true), kPureBlue);
    Label4 = label(QStringLiteral("0"), 1080, 120, 855, 375, songFont(15.75, true), kPureBlue);
    Label3 = label(QStringLiteral("次>"), 2040, 120, 615, 375, songFont(15.75, true), kPureBlue);
    WebBrowser1 = new QWebEngineView(this);
    place(WebBrowser1, 2760, 120, 4575, 375);
    WebBrowser1->hide(); // shown with its page, after the window's first paint

    Label10 = label(QStringLiteral("本期开奖结果："), 120, 720, 1935, 255, songFont(12), kPureRed);
    Text1 = ballBox(120, 855);
    Text2 = ballBox(1080, 855);
    Text3 = ballBox(2040, 840);
    Text5 = ballBox(3000, 855);
    Text6 = ballBox(3960, 855);
    Text7 = ballBox(4920, 855);
    Label7 = label(QStringLiteral("+"), 6000, 1080, 495, 735, songFont(42));
    Text8 = ballBox(6600, 855);

    Label9 = label(QStringLiteral("上期开奖结果："), 120, 2400, 1695, 255, songFont(12), kPureRed);
    Text9 = referenceBox(240);
    Text10 = referenceBox(1200);
    Text11 = referenceBox(2160);
    Text12 = referenceBox(3120);
    Text13 = referenceBox(4080);
    Text14 = referenceBox(5040);
    Label8 = label(QStringLiteral("+"), 6000, 2640, 375, 615, songFont(36));
    Text15 = referenceBox(6720);
    Label1 = label(QString(), 240, 3240, 1935, 255, songFont(10.5), kPureBlue);

    Command1 = button(QStringLiteral("手动摇奖"), 240, 2055);
    Command2 = button(QStringLiteral("自动对比摇奖"), 2640, 2295);
    Command3 = button(QStringLiteral("停止自动对比摇奖"), 5280, 2175);

    Label6 = label(QStringLiteral("2010年12月23日开发"), 240, 4200, 2175, 255, songFont(10.5),
                   kPureRed);
    Text4 = new LogTextBox(kLogMaxLength, this);
    place(Text4, 600, 4440, 6540, 3135);
    Text4->setFont(songFont(10.5));
    setTextColor(Text4, kPureBlue);

    Label5 = label(QStringLiteral(">>>> Qelvora工具下载"), 240, 7800, 2415, 255, songFont(9),
                   kPureRed);
    WebBrowser2 = new QWebEngineView(this);
    place(WebBrowser2, 600, 8160, 6495, 615);
    WebBrowser2->hide();
}

// Every control's object name is its name in the window, so that tests and tools find it by that
// name.
void Form1::setObjectNames()
{
#define QELVORA_NAME(control) control->setObjectName(QStringLiteral(#control))
    QELVORA_NAME(Text1);
    QELVORA_NAME(Text2);
    QELVORA_NAME(Text3);
    QELVORA_NAME(Text4);
    QELVORA_NAME(Text5);
    QELVORA_NAME(Text6);
    QELVORA_NAME(Text7);
    QELVORA_NAME(Text8);
    QELVORA_NAME(Text9);
    QELVORA_NAME(Text10);
    QELVORA_NAME(Text11);
    QELVORA_NAME(Text12);
    QELVORA_NAME(Text13);
    QELVORA_NAME(Text14);
    QELVORA_NAME(Text15);
    QELVORA_NAME(Command1);
    QELVORA_NAME(Command2);
    QELVORA_NAME(Command3);
    QELVORA_NAME(Label1);
    QELVORA_NAME(Label2);
    QELVORA_NAME(Label3);
    QELVORA_NAME(Label4);
    QELVORA_NAME(Label5);
    QELVORA_NAME(Label6);
    QELVORA_NAME(Label7);
    QELVORA_NAME(Label8);
    QELVORA_NAME(Label9);
    QELVORA_NAME(Label10);
    QELVORA_NAME(WebBrowser1);
    QELVORA_NAME(WebBrowser2);
#undef QELVORA_NAME
}

// Text boxes are drawn over the labels they overlap (Label1 over the reference boxes, Label6 over
// the log).
void Form1::stackTextBoxesOverLabels()
{
    for (QLineEdit *box : referenceBoxes())
        box->raise();
    Text4->raise();
}

void Form1::connectHandlers()
{
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connectWebPanels();
}

namespace {

// Every timer of the window, in the order the load handler sets them up: its member, its handler
// and the interval the load handler gives it.
struct TimerEntry {
    const char *name;
    QTimer *Form1::*timer;
    void (Form1::*handler)();
    int intervalMs;
};

#define QELVORA_TIMER(n, intervalMs)                                                               \
    {                                                                                              \
        "Timer" #n, &Form1::Timer##n, &Form1::Timer##n##_Timer, intervalMs                         \
    }
constexpr int kStageMs = 1000;  // stop stages 1..7
constexpr int kRollerMs = 50;   // ball rollers
constexpr int kCycleMs = 11000; // the automatic comparison cycle
constexpr TimerEntry kTimers[] = {
    QELVORA_TIMER(16, kRollerMs), QELVORA_TIMER(15, kCycleMs), QELVORA_TIMER(1, kRollerMs),
    QELVORA_TIMER(2, kRollerMs),  QELVORA_TIMER(3, kRollerMs), QELVORA_TIMER(7, kRollerMs),
    QELVORA_TIMER(8, kRollerMs),  QELVORA_TIMER(9, kRollerMs), QELVORA_TIMER(10, kRollerMs),
    QELVORA_TIMER(4, kStageMs),   QELVORA_TIMER(5, kStageMs),  QELVORA_TIMER(6, kStageMs),
    QELVORA_TIMER(11, kStageMs),  QELVORA_TIMER(12, kStageMs), QELVORA_TIMER(13, kStageMs),
    QELVORA_TIMER(14, kStageMs),
};
#undef QELVORA_TIMER
static_assert(std::size(kTimers) == std::tuple_size_v<decltype(std::declval<Form1>().allTimers())>);

} // namespace

// Creates every timer and connects it to its handler; the load handler gives the intervals. The
// draw's timing rests on these intervals, and a coarse timer may be 5 % off.
void Form1::createTimers()
{
    for (const TimerEntry &entry : kTimers) {
        auto *timer = new QTimer(this);
        timer->setObjectName(QString::fromLatin1(entry.name));
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, entry.handler);
        this->*entry.timer = timer;
    }
}

void Form1::Form_Load()
{
    Command3->setEnabled(false);
    navigate(WebBrowser1, QStringLiteral("/page/rjtqyb/index.php"));
    navigate(WebBrowser2, QStringLiteral("/彩票/双色球.htm"));
    for (const TimerEntry &entry : kTimers) {
        QTimer *timer = this->*entry.timer;
        timer->setInterval(entry.intervalMs);
        setTimerEnabled(timer, false);
    }
}

std::array<QTimer *, 16> Form1::allTimers() const
{
    std::array<QTimer *, 16> timers{};
    std::transform(std::begin(kTimers), std::end(kTimers), timers.begin(),
                   [this](const TimerEntry &entry) { return this->*entry.timer; });
    return timers;
}

void Form1::setTimerEnabled(QTimer *timer, bool enabled)
{
    if (!enabled)
        timer->stop();
    else if (!timer->isActive())
        timer->start();
}

// Every timer but the automatic cycle's belongs to a draw.
bool Form1::drawRunning() const
{
    const auto timers = allTimers();
    return std::any_of(timers.begin(), timers.end(),
                       [this](QTimer *timer) { return timer != Timer15 && timer->isActive(); });
}

bool Form1::showMessage(const QString &text, const QString &title)
{
    QPointer<Form1> self(this);
    m_openMessage = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok, this);
    // A message is a window of its own and would take the desktop's colours; it keeps the look of
    // the window it speaks for.
    m_openMessage->setPalette(palette());
    m_openMessage->exec();
    if (!self)
        return false;
    delete m_openMessage;
    return true;
}

void Form1::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    // The two separator lines are part of the window's own surface.
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    for (int top : {kLine2Top, kLine1Top})
        painter.drawLine(0, top / 15, kLineRight / 15, top / 15);
    paintPanelFocusFrame(painter);

    if (!m_painted) {
        m_painted = true;
        QMetaObject::invokeMethod(this, &Form1::startPendingNavigations, Qt::QueuedConnection);
    }
}

// On Wayland, a size that the window is given in the normal state (an edge of its frame dragged)
// is given back at once. A state asked for through Qt's own title bar reaches the widget after
// the size that comes with it on Qt 6.11 (before it on Qt 6.4), so the state the window asked for
// counts as well (compositorSizesWindow()): a maximised size is never taken for a normal one
// here. It is answered here and never later: the window asks for a state and learns the state's
// size from the compositor afterwards, and a frame of the normal size sent while the compositor
// still holds the window maximised would end it all the same.
void Form1::resizeEvent(QResizeEvent *event)
{
    if (m_sizeFollowsState && !compositorSizesWindow(this) && event->size() != kClientSize)
        resize(kClientSize);
    QWidget::resizeEvent(event);
}

void Form1::mouseMoveEvent(QMouseEvent *event)
{
    Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closing the window ends the program: a draw or an automatic run in progress simply stops
    // with it, and a message still open goes with it.
    for (QTimer *timer : allTimers())
        setTimerEnabled(timer, false);
    if (m_openMessage)
        m_openMessage->reject();
    QWidget::closeEvent(event);
}

std::array<QTimer *, 7> Form1::stageTimers() const
{
    return {Timer4, Timer5, Timer6, Timer11, Timer12, Timer13, Timer14};
}

std::array<LockedLineEdit *, 7> Form1::ballBoxes() const
{
    return {Text1, Text2, Text3, Text5, Text6, Text7, Text8};
}

std::array<QLineEdit *, 7> Form1::referenceBoxes() const
{
    return {Text9, Text10, Text11, Text12, Text13, Text14, Text15};
}

QTimer *Form1::rollerTimer(int position, BlueFinish finish) const
{
    const std::array<QTimer *, 6> red = {Timer1, Timer2, Timer3, Timer7, Timer8, Timer9};
    if (position <= 6)
        return red.at(position - 1);
    return finish == BlueFinish::AutomaticDraw ? Timer16 : Timer10;
}

} // namespace qelvora
