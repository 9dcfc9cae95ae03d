// The limits the process sets itself before the application object exists: the web engine's
// switches (its sandbox, a page's script heap, one process per site, no graphics driver, its
// log), no session bus or shader cache of its own, and no file created.
#include "process_limits.h"

#include <QByteArrayList>
#include <QCoreApplication>
#include <QFile>
#include <QStandardPaths>

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
void limitPageScriptHeap() { addWebEngineSwitch("--js-flags", "--max-old-space-size=256"); }

// Pages of one site share one page process, whatever frame or panel shows them: both panels show
// pages of one site (or both the engine's error page), and a second page process costs memory
// for nothing. A site's pages then crash and are ended together.
void sharePageProcessPerSite() { addWebEngineSwitch("--process-per-site"); }

// The engine composes and draws the pages without the graphics driver: the window's Qt Quick
// renderer is software already, and the driver's compiler alone costs some MiB of memory at
// rest. Pages get no WebGL and no accelerated canvas, which two small panels do not need.
void drawPagesWithoutDriver() { addWebEngineSwitch("--disable-gpu"); }

// Chromium writes a log of its own to the terminal, from the program and from every engine
// process: now and then an error line about its inner workings in normal operation (a message
// between its processes turned away on a busy machine, say). Only its fatal messages are left
// on; a developer has the rest back with QTWEBENGINE_CHROMIUM_FLAGS=--log-level=0.
void quietChromiumLog() { addWebEngineSwitch("--log-level", "3"); }

// With no session bus (a start over ssh -X, a kiosk), the D-Bus libraries of the toolkit and of
// the engine would start one of their own: dbus-launch and a bus daemon that outlive the window
// and write into the home folder. A bus the session has in its runtime folder the libraries
// find by themselves; without one, the address they get says that there is none.
void refuseSessionBusOfItsOwn()
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
    const QByteArray runtime = QFile::encodeName(
        QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
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

} // namespace

void setProcessLimits()
{
    switchOffWebEngineSandboxWhenNeeded();
    limitPageScriptHeap();
    sharePageProcessPerSite();
    drawPagesWithoutDriver();
    quietChromiumLog();
    refuseSessionBusOfItsOwn();
    keepNoShaderCache();
    forbidCreatingFiles();
}

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

} // namespace qelvora
