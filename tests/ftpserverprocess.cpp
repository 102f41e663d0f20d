#include "ftpserverprocess.h"

#include <QDir>
#include <QFile>
#include <QTcpSocket>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

namespace {

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

const char vsftpdConfig[]
    = "listen=YES\nlisten_ipv6=NO\nlisten_address=%1\nbackground=NO\n"
      "anonymous_enable=YES\nno_anon_password=YES\nlocal_enable=NO\nanon_root=%2\n"
      "write_enable=YES\nanon_upload_enable=YES\nanon_other_write_enable=YES\nanon_umask=022\n"
      "seccomp_sandbox=NO\nsecure_chroot_dir=%3\nxferlog_enable=NO\npasv_enable=YES\n";

} // namespace

FtpServerProcess::FtpServerProcess()
{
    QDir(dir.path()).mkdir("root");
    QDir(dir.path()).mkdir("empty");
    // vsftpd serves only a root that the ftp user cannot write to.
    QFile::setPermissions(dir.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                              | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    QFile::setPermissions(path("root"), QFile::permissions(dir.path()));
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

bool FtpServerProcess::startPyftpdlib(const QString &address, const QStringList &options,
                                      const QString &netns)
{
    QStringList command = QStringList {QStringLiteral(QVTPX_SOURCE_DIR "/tools/ftpserver.py"),
                                       path("root"),
                                       "--address",
                                       address,
                                       "--log",
                                       path("commands")}
        + options;
    if (!netns.isEmpty())
        command = QStringList {"ip", "netns", "exec", netns} + command;
    start(command);

    QByteArray output;
    const bool ready = QTest::qWaitFor(
        [&] {
            output += process.readAllStandardOutput();
            return output.contains("ready\n") || process.state() == QProcess::NotRunning;
        },
        10000);
    if (!ready || process.state() == QProcess::NotRunning) {
        error = "the FTP server script did not start";
        return false;
    }
    return true;
}

// Should the test itself die, the kernel kills its servers too.
void FtpServerProcess::start(const QStringList &command)
{
    process.start("setpriv", QStringList {"--pdeathsig", "KILL", "--"} + command);
}

// vsftpd leaves its session processes running when it is killed, so it runs
// in a PID namespace of its own whose first process is a shell: killing
// unshare kills that shell and with it every process of the namespace.
bool FtpServerProcess::startVsftpd(const QString &address)
{
    const QString config = QString::fromLatin1(vsftpdConfig).arg(address, path("root"), path("empty"));
    if (!writeFile(path("vsftpd.conf"), config.toLatin1())) {
        error = "cannot write the vsftpd configuration";
        return false;
    }
    ownedByFtpUser = true;
    if (QFile::exists(path("root/vtpx_domo")))
        setFile(file());
    start({"unshare", "--pid", "--fork", "--kill-child", "sh", "-c", "vsftpd \"$0\" 0>&2 & wait",
           path("vsftpd.conf")});
    if (!process.waitForStarted() || !waitUntilReady(address)) {
        error = "vsftpd did not start";
        return false;
    }
    return true;
}

bool FtpServerProcess::waitUntilReady(const QString &address)
{
    return QTest::qWaitFor(
        [&] {
            QTcpSocket probe;
            probe.connectToHost(address, 21);
            return probe.waitForConnected(100);
        },
        10000);
}

void FtpServerProcess::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished();
}

QByteArray FtpServerProcess::file() const
{
    QFile file(path("root/vtpx_domo"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void FtpServerProcess::setFile(const QByteArray &contents)
{
    writeFile(path("root/vtpx_domo"), contents);
    if (ownedByFtpUser) {
        const passwd *ftp = getpwnam("ftp");
        if (ftp
            && chown(QFile::encodeName(path("root/vtpx_domo")).constData(), ftp->pw_uid, ftp->pw_gid) != 0)
            qWarning("cannot give vtpx_domo to the ftp user");
    }
}

void FtpServerProcess::removeFile()
{
    QFile::remove(path("root/vtpx_domo"));
}

QStringList FtpServerProcess::commands() const
{
    QFile file(path("commands"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
}
