// The program's start: process environment, application identity, logging rules, fonts, texts.
#include "program_start.h"

#include "chinese_texts.h"

#include <QApplication>
#include <QByteArray>
#include <QByteArrayList>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QLoggingCategory>
#include <QQuickWindow>
#include <QStandardPaths>

#include <cstdio>
#include <utility>

#if defined(Q_OS_UNIX)
#include <sys/stat.h>
#include <unistd.h>
#endif
#if defined(Q_OS_LINUX)
#include <fcntl.h>
#include <linux/landlock.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
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
    addWebEngineSwitch("--no-sandbox");
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
}

// The script heap of a page process may grow to 256 MiB; a page that goes past it ends its
// process (and its panel goes blank). What the page processes hold in all is watched by the
// panels' process watch (panel_page.h).
void limitPageScriptHeap()
{
    addWebEngineSwitch("--js-flags", "--max-old-space-size=256");
}

// Chromium writes a log of its own to the terminal, from the program and from every engine
// process: now and then an error line about its inner workings in normal operation (a message
// between its processes turned away on a busy machine, say). Only its fatal messages are left
// on; a developer has the rest back with QTWEBENGINE_CHROMIUM_FLAGS=--log-level=0.
void quietChromiumLog()
{
    addWebEngineSwitch("--log-level", "3");
}

// With no session bus (a start over ssh -X, a kiosk), the D-Bus libraries of the toolkit and of
// the engine would start one of their own: dbus-launch and a bus daemon that outlive the window
// and write into the home folder. A bus the session has in its runtime folder the libraries
// find by themselves; without one, the address they get says that there is none.
void startNoSessionBus()
{
#if defined(Q_OS_UNIX)
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    struct stat bus;
    if (!runtime.isEmpty() && stat((runtime + "/bus").constData(), &bus) == 0
        && S_ISSOCK(bus.st_mode))
        return;
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
#endif
}

// The graphics drivers keep compiled shaders in a cache in the home folder (Mesa in
// ~/.cache/mesa_shader_cache, NVIDIA's in ~/.nv), and so does the toolkit: all of them are off,
// unless the user has set the driver's variable.
void keepNoShaderCache()
{
    const std::pair<const char *, const char *> switches[] = {
        {"MESA_SHADER_CACHE_DISABLE", "true"},
        {"MESA_GLSL_CACHE_DISABLE", "true"},
        {"__GL_SHADER_DISK_CACHE", "0"},
    };
    for (const auto &[name, value] : switches) {
        if (!qEnvironmentVariableIsSet(name))
            qputenv(name, value);
    }
    QCoreApplication::setAttribute(Qt::AA_DisableShaderDiskCache);
}

// The program writes no file, and the kernel is asked to hold it to that (Landlock, Linux 5.13
// and later; without it this does nothing): from here on this process and every process it
// starts, the web engine's among them, can create no file, folder or link anywhere but in the
// device folder (/dev, where shared memory lives) and the session's runtime folder. A download
// that a page starts thus fails at its first step, before a byte of it is written: the engine
// opens its temporary file before it asks whether the download is wanted, and there is no
// earlier hook. Existing files can still be written; the program has none to write.
void forbidCreatingFiles()
{
#if defined(Q_OS_LINUX) && defined(SYS_landlock_create_ruleset)
    landlock_ruleset_attr ruleset{};
    ruleset.handled_access_fs = LANDLOCK_ACCESS_FS_MAKE_REG | LANDLOCK_ACCESS_FS_MAKE_DIR
                                | LANDLOCK_ACCESS_FS_MAKE_SYM;
    const long rules = syscall(SYS_landlock_create_ruleset, &ruleset, sizeof ruleset, 0);
    if (rules < 0)
        return;
    // The runtime folder is XDG_RUNTIME_DIR, or the one the toolkit makes in its stead when a
    // session has none (it says so once). That one is made here, while this is still allowed,
    // and handed on as XDG_RUNTIME_DIR, so that the toolkit finds it as its own later on.
    const QByteArray runtime =
        QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && !runtime.isEmpty())
        qputenv("XDG_RUNTIME_DIR", runtime);
    for (const QByteArray &folder : {QByteArray("/dev"), runtime}) {
        const int fd = open(folder.constData(), O_PATH | O_CLOEXEC | O_DIRECTORY);
        if (fd < 0)
            continue;
        landlock_path_beneath_attr beneath{};
        beneath.allowed_access = ruleset.handled_access_fs;
        beneath.parent_fd = fd;
        syscall(SYS_landlock_add_rule, rules, LANDLOCK_RULE_PATH_BENEATH, &beneath, 0);
        close(fd);
    }
    // The kernel takes restrictions only from a process that can gain no privileges; this
    // program never needs to.
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0)
        syscall(SYS_landlock_restrict_self, rules, 0);
    close(static_cast<int>(rules));
#endif
}

// Everything about the process that must be settled before the application object exists.
void prepareProcess()
{
    switchOffWebEngineSandboxWhenNeeded();
    limitPageScriptHeap();
    quietChromiumLog();
    startNoSessionBus();
    keepNoShaderCache();
    forbidCreatingFiles();
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
void chooseSoftwareRenderer()
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

} // namespace

void addWebEngineSwitch(const QByteArray &name, const QByteArray &value)
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").trimmed();
    const QByteArrayList present = flags.split(' ');
    for (const QByteArray &flag : present) {
        if (flag == name || flag.startsWith(name + '='))
            return;
    }
    if (!flags.isEmpty())
        flags += ' ';
    flags += value.isEmpty() ? name : name + '=' + value;
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

std::unique_ptr<QApplication> startProgram(int &argc, char **argv)
{
    prepareProcess();
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
