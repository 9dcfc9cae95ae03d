// The result log: one entry per finished draw appended to Text4, and the whole log emptied at a
// draw start once it has grown beyond 58000 characters.
#include "form1.h"
#include "text_boxes.h"

namespace qelvora {

namespace {

constexpr int kTrimAbove = 58000;
constexpr int kTrailingSpaces = 78;

} // namespace

// An entry: "第<n>次开奖结果:  " then the six reds in drawing order joined by "-", "  +  ", the
// blue, and 78 spaces. There is never a line break: the trailing spaces move the next entry
// onto a later line when the box wraps.
void Form1::AppendResultLogLine()
{
    const QString log = Text4->text();
    const QString counter = Label4->text();
    const QString entry = QStringLiteral("第") + counter + QStringLiteral("次开奖结果:  ")
        + Module1.LogBall1 + u'-' + Module1.LogBall2 + u'-' + Module1.LogBall3 + u'-'
        + Module1.LogBall4 + u'-' + Module1.LogBall5 + u'-' + Module1.LogBall6
        + QStringLiteral("  +  ") + Module1.LogBlueBall + QString(kTrailingSpaces, u' ');
    Text4->setText(log + entry);
}

void Form1::TrimResultLog()
{
    if (Text4->text().size() > kTrimAbove)
        Text4->setText(QString());
}

} // namespace qelvora
