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

// Reads the arguments (the program's name first). On --help or --version
// it prints and sets *exitCode to 0; on an error it sets *error to a
// one-line message. Returns whether the request can run.
bool parseCommandLine(const QStringList &arguments, Request *request, QString *error, int *exitCode);

#endif // COMMANDLINE_H
