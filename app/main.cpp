// Program start: show the one window and run.
#include "form1.h"
#include "program_start.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    const auto app = qelvora::startProgram(argc, argv);
    qelvora::Form1 window;
    window.show();
    return app->exec();
}
