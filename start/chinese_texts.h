// Every text the user meets is Chinese, whatever the system's language: the window's own, the
// toolkit's (the message boxes' button, the log box's context menu) and the web engine's (the
// panels' context menu, the page shown when a site cannot be reached).
#pragma once

#include <QString>

namespace qelvora {

// The language the web panels ask sites for, and the one their pages see in navigator.language.
inline const QString kPageLanguage = QStringLiteral("zh-CN");

// Loads the toolkit's and the web engine's Chinese translations, and makes Chinese (China) the
// program's default locale, which the web engine takes for the texts it shows itself (its error
// pages). Call once, after the application object exists and before the first web panel starts.
void installChineseTexts();

} // namespace qelvora
