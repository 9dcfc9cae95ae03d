// Program start: show the one window and run.
#include "form1.h"
#include "program_start.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

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
    qelvora::installSongFaceSubstitution();
    qelvora::warnIfSongFaceMissing();
    qelvora::quietWebEngineLog();

    // Every text of the window is Chinese; the toolkit's own texts (the message boxes' OK
    // button, the log's context menu) follow, whatever the system's language.
    QTranslator toolkitTexts;
    if (toolkitTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&toolkitTexts);

    qelvora::Form1 window;
    window.show();
    return app.exec();
}
