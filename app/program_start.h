// What the program does at its start beyond showing the window: the web engine's sandbox when
// run as root, a quiet terminal, and a word when the window's text face is missing. main()
// calls these; the tests build their windows without them.
#pragma once

#include <QString>

namespace qelvora {

// Switches the web engine's sandbox off; Chromium refuses to run as root with it on. It goes
// through the engine's own switch (--no-sandbox in QTWEBENGINE_CHROMIUM_FLAGS, added to what
// is there): QTWEBENGINE_DISABLE_SANDBOX would do the same but also has the engine print
// "Sandboxing disabled by user." at every start. Must run before QApplication exists.
void switchOffWebEngineSandbox();

// Keeps the web engine's start-up report (category qt.webenginecontext, its debug and info
// messages) and the pages' JavaScript console (category js) off the terminal. Rules from
// QT_LOGGING_RULES or a QT_LOGGING_CONF file still take precedence, so a developer can have
// them back, e.g. QT_LOGGING_RULES="qt.webenginecontext.info=true;js=true". Warnings of every
// other category, the program's own among them, are left alone.
void quietWebEngineLog();

// The one line to print when neither "宋体" itself nor any of songFaces() is installed, without
// a line end; empty when one is. Needs the QGuiApplication.
QString missingSongFaceWarning();

// Prints missingSongFaceWarning(), if there is one, on standard error as a line of UTF-8.
void warnIfSongFaceMissing();

} // namespace qelvora
