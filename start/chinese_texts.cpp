#include "chinese_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace qelvora {

void installChineseTexts()
{
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char *catalogue : {"qtbase", "qtwebengine"}) {
        // Lives as long as the program; a catalogue that is not installed leaves those texts in
        // English.
        auto *translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(chinese, QString::fromLatin1(catalogue), QStringLiteral("_"), folder))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}

} // namespace qelvora
