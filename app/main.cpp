// Program start: show the one window and run.
#include "chinese_texts.h"
#include "form1.h"
#include "program_start.h"

#include <QApplication>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

int main(int argc, char *argv[])
{
#if defined(Q_OS_UNIX)
    // The web engine's sandbox refuses to run as root; only then is it switched off.
    if (geteuid() == 0)
        qelvora::switchOffWebEngineSandbox();
#endif

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Qelvora-双色球摇奖测试工具"));
    QApplication::setApplicationVersion(QStringLiteral(QELVORA_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Qelvora"));
    QApplication::setOrganizationDomain(QStringLiteral("qelvora.com"));
    QApplication::setDesktopFileName(QStringLiteral("com.qelvora.DoubleColorBallDraw"));
    qelvora::quietWebEngineLog();
    qelvora::installSongFaceSubstitution();
    qelvora::warnIfSongFaceMissing();
    qelvora::installChineseTexts();

    qelvora::Form1 window;
    window.show();
    return app.exec();
}
