#ifndef FTPSERVERPROCESS_H
#define FTPSERVERPROCESS_H

#include "linuxside.h"

#include <QFile>
#include <QTemporaryDir>

// A real FTP server playing the module, started by a test and stopped by PID
// when the test is done with it: the project's pyftpdlib script (with its
// failure modes) or Debian's vsftpd. Each serves a folder of its own.
class FtpServerProcess
{
public:
    FtpServerProcess();
    ~FtpServerProcess() { stop(); }

    // options: the script's, e.g. {"--read-only"}.
    bool startPyftpdlib(const QString &address, const QStringList &options = {});
    bool startVsftpd(const QString &address);
    // tools/scriptedftpserver.py, for the exact order of what a server sends.
    bool startScripted(const QString &address, const QStringList &options = {});
    void stop() { process.reset(); }
    QString errorString() const { return error; }

    QByteArray file() const { return readFile(path("root/vtpx_domo")); }
    void setFile(const QByteArray &contents);
    void removeFile() { QFile::remove(path("root/vtpx_domo")); }
    // The commands the script has received, in order.
    QStringList commands() const
    {
        return QString(readFile(path("commands"))).split('\n', Qt::SkipEmptyParts);
    }

private:
    bool start(const QStringList &command, const QString &address);
    static QByteArray readFile(const QString &path);
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString linuxPath(const char *name) const { return LinuxSide::path(path(name)); }

    QTemporaryDir dir;
    std::unique_ptr<LinuxSide::Process> process;
    QString error;
    bool ownedByFtpUser = false;
};

// True in a network namespace of the test's own with only loopback.
inline bool inIsolatedNetworkNamespace()
{
    return LinuxSide::inTestNetwork();
}

#endif // FTPSERVERPROCESS_H
