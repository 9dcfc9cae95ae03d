// The program's own command-line options: --help and --version answer on the terminal and end the
// program before anything else starts, so they need no display. Every other argument is left to
// Qt, whose own options (-platform, -style, -display, -reverse, ...) keep working.
#pragma once

#include <optional>

namespace qelvora {

// Prints the help or the version when asked and returns the exit code; nothing otherwise.
std::optional<int> answerCommandLine(int argc, char **argv);

} // namespace qelvora
