#include "linuxside.h"

#include <QNetworkInterface>

#include <csignal>

namespace {

// Should the test itself die, the kernel kills the program too.
class ChildProcess : public LinuxSide::Process
{
public:
    explicit ChildProcess(const QStringList &command)
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start("setpriv", QStringList {"--pdeathsig", "KILL", "--"} + command);
        process.waitForStarted();
    }
    ~ChildProcess() override
    {
        process.kill();
        process.waitForFinished();
    }
    QIODevice *output() override { return &process; }
    bool isRunning() const override { return process.state() != QProcess::NotRunning; }

private:
    QProcess process;
};

} // namespace

namespace LinuxSide {

QString path(const QString &local)
{
    return local;
}

int run(const QStringList &command)
{
    return QProcess::execute(command.first(), command.mid(1));
}

std::unique_ptr<Process> start(const QStringList &command)
{
    return std::make_unique<ChildProcess>(command);
}

bool sendSignal(const QProcess &process, int signalNumber)
{
    return ::kill(pid_t(process.processId()), signalNumber) == 0;
}

bool inTestNetwork()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    return interfaces.size() == 1 && (interfaces.first().flags() & QNetworkInterface::IsLoopBack);
}

} // namespace LinuxSide
