#include "ftpserverprocess.h"

#include <QDir>
#include <QTcpSocket>
#include <QTest>

namespace {

const char vsftpdConfig[]
    = "listen=YES\nlisten_ipv6=NO\nlisten_address=%1\nbackground=NO\n"
      "anonymous_enable=YES\nno_anon_password=YES\nlocal_enable=NO\nanon_root=%2\n"
      "write_enable=YES\nanon_upload_enable=YES\nanon_other_write_enable=YES\nanon_umask=022\n"
      "seccomp_sandbox=NO\nsecure_chroot_dir=%3\nxferlog_enable=NO\npasv_enable=YES\n";

const QString sourceDir = QStringLiteral(QVTPX_SOURCE_DIR);

} // namespace

FtpServerProcess::FtpServerProcess()
{
    QDir(dir.path()).mkdir("root");
    QDir(dir.path()).mkdir("empty");
    // vsftpd serves only a root that the ftp user cannot write to.
    const auto readable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
        | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QFile::setPermissions(dir.path(), readable);
    QFile::setPermissions(path("root"), readable);
}

bool FtpServerProcess::startPyftpdlib(const QString &address, const QStringList &options)
{
    return start(QStringList {sourceDir + "/tools/ftpserver.py", linuxPath("root"), "--address", address,
                              "--log", linuxPath("commands")}
                     + options,
                 address);
}

bool FtpServerProcess::startScripted(const QString &address, const QStringList &options)
{
    return start(QStringList {sourceDir + "/tools/scriptedftpserver.py", linuxPath("root"), "--address",
                              address, "--log", linuxPath("commands")}
                     + options,
                 address);
}

// vsftpd leaves its session processes running when it is killed, so it runs
// in a PID namespace of its own whose first process is a shell: killing
// unshare kills that shell and with it every process of the namespace.
bool FtpServerProcess::startVsftpd(const QString &address)
{
    QFile config(path("vsftpd.conf"));
    if (!config.open(QIODevice::WriteOnly)
        || config.write(QString::fromLatin1(vsftpdConfig)
                            .arg(address, linuxPath("root"), linuxPath("empty"))
                            .toLatin1())
            < 0)
        return false;
    config.close();
    ownedByFtpUser = true;
    setFile(file());
    return start({"unshare", "--pid", "--fork", "--kill-child", "sh", "-c", "vsftpd \"$0\" 0>&2 & wait",
                  linuxPath("vsftpd.conf")},
                 address);
}

// Ready once it says so (the scripts), or accepts connections on port 21
// (vsftpd).
bool FtpServerProcess::start(const QStringList &command, const QString &address)
{
    process = LinuxSide::start(command);
    const bool script = command.first().endsWith(".py");
    const bool ready = QTest::qWaitFor(
        [&] {
            if (!process->isRunning())
                return true;
            if (script)
                return process->output()->canReadLine();
            QTcpSocket probe;
            probe.connectToHost(address, 21);
            return probe.waitForConnected(100);
        },
        10000);
    if (ready && process->isRunning())
        return true;
    error = command.value(0) + " did not start";
    return false;
}

QByteArray FtpServerProcess::readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void FtpServerProcess::setFile(const QByteArray &contents)
{
    QFile file(path("root/vtpx_domo"));
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        qWarning("cannot write vtpx_domo");
    file.close();
    if (ownedByFtpUser && LinuxSide::run({"chown", "ftp:ftp", linuxPath("root/vtpx_domo")}) != 0)
        qWarning("cannot give vtpx_domo to the ftp user");
}
