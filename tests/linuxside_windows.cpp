#include "linuxside.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>

#include <windows.h>

namespace {

// A connection to the launcher carrying one request.
std::unique_ptr<QTcpSocket> ask(const QJsonObject &request)
{
    auto launcher = std::make_unique<QTcpSocket>();
    const QStringList where = qEnvironmentVariable("QVTPX_LAUNCHER").split(':');
    launcher->connectToHost(where.value(0), quint16(where.value(1).toUInt()));
    if (!launcher->waitForConnected(5000))
        qFatal("no launcher at QVTPX_LAUNCHER: scripts/windows-test.sh runs the tests");
    launcher->write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    launcher->waitForBytesWritten();
    return launcher;
}

// Its answer: one line.
int answer(QTcpSocket *launcher)
{
    while (!launcher->canReadLine() && launcher->waitForReadyRead(120000)) { }
    bool isNumber = false;
    const int number = launcher->readLine().trimmed().toInt(&isNumber);
    return isNumber ? number : -1;
}

// The program lives as long as the connection.
class LaunchedProcess : public LinuxSide::Process
{
public:
    explicit LaunchedProcess(const QStringList &command)
        : launcher(ask({{"start", QJsonArray::fromStringList(command)}}))
    { }
    QIODevice *output() override { return launcher.get(); }
    bool isRunning() const override { return launcher->state() == QAbstractSocket::ConnectedState; }

private:
    std::unique_ptr<QTcpSocket> launcher;
};

} // namespace

namespace LinuxSide {

// Wine's own call (kernel32 under Wine): the Unix name of a Windows one.
QString path(const QString &local)
{
    using UnixName = char *(CDECL *)(const WCHAR *);
    static const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName)
        qFatal("not under Wine: the tests' servers need Wine's view of the files");
    const std::wstring name = QDir::toNativeSeparators(QDir(local).absolutePath()).toStdWString();
    char *translated = unixName(name.c_str());
    const QString result = QString::fromLocal8Bit(translated);
    HeapFree(GetProcessHeap(), 0, translated);
    return result;
}

int run(const QStringList &command)
{
    return answer(ask({{"run", QJsonArray::fromStringList(command)}}).get());
}

std::unique_ptr<Process> start(const QStringList &command)
{
    return std::make_unique<LaunchedProcess>(command);
}

bool sendSignal(const QProcess &process, int signalNumber)
{
    const QString marker = QFileInfo(process.program()).fileName();
    return answer(ask({{"signal", signalNumber}, {"match", marker}}).get()) > 0;
}

// scripts/windows-test.sh runs the tests in a namespace of their own, and
// only there is there a launcher.
bool inTestNetwork()
{
    return qEnvironmentVariableIsSet("QVTPX_LAUNCHER");
}

} // namespace LinuxSide
