#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the command line asks for, once every argument has been checked.
struct Request
{
    enum class Operation { Read, Write, Restore, Find };
    Operation operation = Operation::Read;
    QStringList given;   // addresses, ranges and subnets, as given (arguments, then the --addresses file)
    QByteArray file;     // a write's parameter file, the same for every module
    QString folder;      // read --save, write --backup: where each module's file is kept; restore: whence
    bool verify = true;  // a write read back
    bool dryRun = false; // a write only told
    bool force
        = false; // a write even where the module holds the very bytes; a restore of a file without settings
    bool replace = false; // a module's file kept before replaced
    bool json = false;
    // Modules wait on the network, not on this computer: reading 100 at
    // once takes the time of one round, 16 at once seven (bench/run.py).
    int jobs = 256;
    int maxAddresses = 4096;
};

// Reads the arguments (the program's name first); "--addresses -" reads
// standard input. Returns whether the request can run; if not, *message is
// what to print and *exitCode the program's: the text of --help or
// --version and 0, or why the arguments are wrong and 2 (nothing is then
// sent to any module).
bool parseCommandLine(const QStringList &arguments, Request *request, QString *message, int *exitCode);

#endif // COMMANDLINE_H
