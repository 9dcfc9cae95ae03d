// The program's start: process environment, application identity, logging rules, fonts, texts.
#include "program_start.h"

#include "chinese_texts.h"

#include <QApplication>
#include <QByteArray>
#include <QFont>
#include <QFontDatabase>
#include <QLoggingCategory>
#include <QQuickWindow>

#include <cstdio>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace qelvora {

namespace {

// The installed Song-style faces that stand in for "宋体", which Linux lacks, in the order they
// are tried.
QStringList songFaces()
{
    return {QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing CN")};
}

// The one line to print when neither "宋体" itself nor any of songFaces() is installed, without
// a line end; empty when one is.
QString missingSongFaceWarning()
{
    const QString name = QStringLiteral("宋体");
    if (QFontDatabase::hasFamily(name))
        return {};
    const QStringList faces = songFaces();
    for (const QString &face : faces) {
        if (QFontDatabase::hasFamily(face))
            return {};
    }
    // English, and ASCII apart from the face's own name, so that the line stays readable on
    // a terminal that cannot show Chinese.
    return QStringLiteral("qelvora: no Song-style font for \"%1\" (%2) is installed; the "
                          "window's Chinese texts will not show. Install the Debian package "
                          "fonts-noto-cjk.")
        .arg(name, faces.join(QStringLiteral(" or ")));
}

// Adds the engine's own switch --no-sandbox to QTWEBENGINE_CHROMIUM_FLAGS, keeping what is there.
void addNoSandboxFlag()
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").trimmed();
    const QByteArray noSandbox = "--no-sandbox";
    if (flags.split(' ').contains(noSandbox))
        return;
    if (!flags.isEmpty())
        flags += ' ';
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + noSandbox);
}

// Chromium refuses to run as root with its sandbox on, so then it is switched off. Someone who
// switched it off with QTWEBENGINE_DISABLE_SANDBOX (set to anything, even empty, as the engine
// reads it) keeps it off. Both go through --no-sandbox: the variable itself has the engine print
// "Sandboxing disabled by user." at every start, on every Qt 6, so it is taken out of the
// process's environment. Must run before the application object exists.
void switchOffWebEngineSandboxWhenNeeded()
{
    bool off = qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX");
#if defined(Q_OS_UNIX)
    off = off || geteuid() == 0;
#endif
    if (!off)
        return;
    addNoSandboxFlag();
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
}

void setIdentity()
{
    QApplication::setApplicationName(QStringLiteral("Qelvora-双色球摇奖测试工具"));
    QApplication::setApplicationVersion(QStringLiteral(QELVORA_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Qelvora"));
    QApplication::setOrganizationDomain(QStringLiteral("qelvora.com"));
    QApplication::setDesktopFileName(QStringLiteral("com.qelvora.DoubleColorBallDraw"));
}

// Keeps the web engine's start-up report (category qt.webenginecontext: an info message in Qt
// 6.4, a debug message in Qt 6.8) and the pages' JavaScript console (category js) off the
// terminal. Rules from QT_LOGGING_RULES or a QT_LOGGING_CONF file still take precedence, so a
// developer can have them back on any Qt 6 with
// QT_LOGGING_RULES="qt.webenginecontext=true;js=true" (every level of both categories).
// Warnings of every other category, the program's own among them, are left alone.
void quietWebEngineLog()
{
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.debug=false\n"
                                                    "qt.webenginecontext.info=false\n"
                                                    "js=false"));
}

// Linux has no font named "宋体": it resolves to the first installed Song-style face instead.
// Must run before the first widget that uses it exists.
void installSongFaceSubstitution()
{
    QFont::insertSubstitutions(QStringLiteral("宋体"), songFaces());
}

// Printed as bytes, not through qWarning(): whatever the locale or the logging rules, the line
// arrives once, as it is.
void warnIfSongFaceMissing()
{
    const QString warning = missingSongFaceWarning();
    if (warning.isEmpty())
        return;
    const QByteArray line = warning.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
}

// The web panels draw through Qt Quick. With its default OpenGL renderer the whole window is
// composed through OpenGL, so every 50 ms roller tick repaints it that way: several per cent of
// a core on a machine that renders OpenGL in software. The software renderer keeps the window
// an ordinary raster window; the two small panels lose nothing by it. It must be chosen before
// the first panel exists.
void chooseSoftwareRenderer()
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

} // namespace

std::unique_ptr<QApplication> startProgram(int &argc, char **argv)
{
    switchOffWebEngineSandboxWhenNeeded();
    auto app = std::make_unique<QApplication>(argc, argv);
    setIdentity();
    quietWebEngineLog();
    installSongFaceSubstitution();
    warnIfSongFaceMissing();
    installChineseTexts();
    chooseSoftwareRenderer();
    return app;
}

} // namespace qelvora
