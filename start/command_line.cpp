// --help and --version.
#include "command_line.h"

#include <cstdio>
#include <cstring>

namespace qelvora {

namespace {

constexpr char kHelp[] =
    "Usage: qelvora [Qt options]\n"
    "Opens the Qelvora window, which simulates draws of the Double Color Ball lottery\n"
    "(six red numbers from 1 to 33 and one blue from 1 to 16) as a slot machine, keeps a\n"
    "log of every draw, and can draw until a draw equals a result typed in.\n"
    "\n"
    "Options:\n"
    "  -h, --help       show this help and exit\n"
    "  -v, --version    show the version and exit\n"
    "\n"
    "Qt's own options (-platform, -style, -display, -reverse, ...) are passed on to Qt.\n"
    "See qelvora(1).\n";

bool is(const char *argument, const char *shortName, const char *longName)
{
    return std::strcmp(argument, shortName) == 0 || std::strcmp(argument, longName) == 0;
}

int print(const char *text)
{
    const bool written = std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0;
    return written ? 0 : 1;
}

} // namespace

std::optional<int> answerCommandLine(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            break;
        if (is(argv[i], "-h", "--help"))
            return print(kHelp);
        if (is(argv[i], "-v", "--version"))
            return print("qelvora " QELVORA_VERSION "\n");
    }
    return std::nullopt;
}

} // namespace qelvora
