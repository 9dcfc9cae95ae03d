// What the program forbids itself, settled before the application object exists: the web
// engine's sandbox when it cannot run (as root) or the user switched it off, a page's script heap,
// Chromium's log, no session bus and no shader cache of its own, and no file created anywhere.
#pragma once

#include <QByteArray>

namespace qelvora {

// Sets every limit. Call once, before the application object exists.
void setProcessLimits();

// Adds a switch to the web engine's command line (QTWEBENGINE_CHROMIUM_FLAGS), after the switches
// already there, unless one of the same name is among them: a switch the user gave wins. Takes
// effect only before the first web view exists.
void addWebEngineSwitch(const QByteArray &name, const QByteArray &value = {});

} // namespace qelvora
