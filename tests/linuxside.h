#ifndef LINUXSIDE_H
#define LINUXSIDE_H

#include <QIODevice>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

// The Linux programs that the tests start: FTP servers, the test LAN's
// commands, busy loops. Built for Linux, a test starts them itself; built
// for Windows and run under Wine, it asks tools/serverlauncher.py, which
// scripts/windows-test.sh starts in the same network namespace (its port
// in QVTPX_LAUNCHER).
namespace LinuxSide {

// A file's name as Linux programs know it.
QString path(const QString &local);

// Runs a program to its end; its exit code, or -1.
int run(const QStringList &command);

// A program running until it is stopped or the handle is gone, killed
// then by its PID. Its standard output is readable from the handle.
class Process
{
public:
    virtual ~Process() = default;
    virtual QIODevice *output() = 0;
    virtual bool isRunning() const = 0;
};
std::unique_ptr<Process> start(const QStringList &command);

// Sends a POSIX signal to a program the test started (under Wine, to the
// Linux process that runs it: Wine turns SIGINT into the console's Ctrl+C).
bool sendSignal(const QProcess &process, int signalNumber);

// True in a network namespace made for the test: only loopback, or the
// test LAN that windows-test.sh adds.
bool inTestNetwork();

} // namespace LinuxSide

#endif // LINUXSIDE_H
