// The floor of a command-line start: a program that links Qt Core, makes
// its application object and exits. What tarnwick-cli costs beyond it is
// its own (the task database, the options, the command).
#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return 0;
}
