// Program start: answer --help or --version, or show the one window and run.
#include "command_line.h"
#include "form1.h"
#include "program_start.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    if (const auto exitCode = qelvora::answerCommandLine(argc, argv))
        return *exitCode;
    const auto app = qelvora::startProgram(argc, argv);
    qelvora::Form1 window;
    window.show();
    return app->exec();
}
