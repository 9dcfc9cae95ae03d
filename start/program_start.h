// Everything a start of the program sets up besides its window: the process (the web engine's
// sandbox when run as root or switched off by the user, its limit on a page's script heap, no
// session bus or shader cache of its own, no file created), the application object and its
// identity, a quiet terminal, the Song face and a word when it is missing, the Chinese texts and
// the panels' renderer. main(), the tests and the benchmarks all start this way, so every window
// they build is the window the user gets.
#pragma once

#include <memory>

class QApplication;

namespace qelvora {

// Prepares the process, creates the application object and sets it up. Call once, first thing
// in main(); the returned object lives as long as the program runs.
std::unique_ptr<QApplication> startProgram(int &argc, char **argv);

} // namespace qelvora
