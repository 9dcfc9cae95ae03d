// The program's start: the process's limits first, then the application object, its identity,
// logging rules, fonts and texts.
#include "program_start.h"

#include "chinese_texts.h"
#include "process_limits.h"

#include <QApplication>
#include <QByteArray>
#include <QFont>
#include <QFontDatabase>
#include <QLoggingCategory>
#include <QQuickWindow>

#include <cstdio>

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

// Qt 6.11's web engine looks at the graphics stack when the first panel is made, and Qt prints
// what it finds there as plain warnings, with no category of their own that a logging rule
// could switch off: to learn the GPU's vendor it tries a Vulkan instance ("Failed to create
// Vulkan instance: -9" and "Failed to create platform Vulkan instance" on a machine without a
// Vulkan driver), and its GPU thread reports that it has no GPU information ("GPUInfo not
// initialized on GpuInfoUpdate", on every machine: the panels draw in software, so the engine
// runs with its GPU switched off). The program uses neither Vulkan nor the engine's GPU, so these
// lines tell its user nothing. Exactly these three warnings are dropped; every other message,
// the program's own among them, goes on to the handler that was there before. A developer who
// asks for the engine's report (QT_LOGGING_RULES="qt.webenginecontext=true") has them back.
const QLoggingCategory &webEngineReportCategory()
{
    static const QLoggingCategory category("qt.webenginecontext");
    return category;
}

bool isEngineGraphicsProbeWarning(QtMsgType type, const QMessageLogContext &context,
                                  const QString &message)
{
    if (type != QtWarningMsg || qstrcmp(context.category, "default") != 0)
        return false;
    if (message == QLatin1StringView("Failed to create platform Vulkan instance")
        || message == QLatin1StringView("GPUInfo not initialized on GpuInfoUpdate"))
        return true;
    const QLatin1StringView vulkanFailed("Failed to create Vulkan instance: ");
    bool isCode = false;
    if (message.startsWith(vulkanFailed))
        message.sliced(vulkanFailed.size()).toInt(&isCode);
    return isCode;
}

QtMessageHandler handlerBeforeProbeFilter = nullptr;

void dropEngineGraphicsProbeWarnings()
{
    webEngineReportCategory(); // made here, never first inside the handler
    handlerBeforeProbeFilter = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
            if (isEngineGraphicsProbeWarning(type, context, message)
                && !webEngineReportCategory().isDebugEnabled())
                return;
            if (handlerBeforeProbeFilter)
                handlerBeforeProbeFilter(type, context, message);
        });
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
void chooseSoftwareRenderer() { QQuickWindow::setGraphicsApi(QSGRendererInterface::Software); }

} // namespace

std::unique_ptr<QApplication> startProgram(int &argc, char **argv)
{
    setProcessLimits();
    auto app = std::make_unique<QApplication>(argc, argv);
    setIdentity();
    quietWebEngineLog();
    dropEngineGraphicsProbeWarnings();
    installSongFaceSubstitution();
    warnIfSongFaceMissing();
    installChineseTexts();
    chooseSoftwareRenderer();
    return app;
}

} // namespace qelvora
