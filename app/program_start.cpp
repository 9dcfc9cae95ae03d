// The program's start beyond the window: sandbox switch, logging rules, missing-face warning.
#include "program_start.h"

#include "form1.h"

#include <QByteArray>
#include <QFontDatabase>
#include <QList>
#include <QLoggingCategory>

#include <cstdio>

namespace qelvora {

void switchOffWebEngineSandbox()
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").trimmed();
    const QByteArray noSandbox = "--no-sandbox";
    if (flags.split(' ').contains(noSandbox))
        return;
    if (!flags.isEmpty())
        flags += ' ';
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + noSandbox);
}

void quietWebEngineLog()
{
    // Later rule sources win over these: a QT_LOGGING_CONF file and QT_LOGGING_RULES.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.debug=false\n"
                                                    "qt.webenginecontext.info=false\n"
                                                    "js=false"));
}

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

void warnIfSongFaceMissing()
{
    const QString warning = missingSongFaceWarning();
    if (warning.isEmpty())
        return;
    // Written as bytes, not through qWarning(): whatever the locale or the logging rules, the
    // line arrives once, as it is.
    const QByteArray line = warning.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace qelvora
