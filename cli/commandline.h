#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the command line asks for, once every argument has been checked.
struct Request
{
    enum class Operation { Read, Write };
    Operation operation = Operation::Read;
    QStringList addresses;
    QByteArray file; // a write's parameter file, the same for every module
    bool verify = true;
    bool json = false;
    int jobs = 16;
};

// Reads the arguments (the program's name first). Returns whether the
// request can run; if not, *message is what to print and *exitCode the
// program's: the text of --help or --version and 0, or why the arguments
// are wrong and 2 (nothing is then sent to any module).
bool parseCommandLine(const QStringList &arguments, Request *request, QString *message, int *exitCode);

#endif // COMMANDLINE_H
