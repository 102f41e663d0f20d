#include "batch.h"
#include "commandline.h"
#include "interrupts.h"
#include "report.h"
#include "systemlimits.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

namespace {

void tell(const QString &text)
{
    QTextStream(stderr) << QCoreApplication::applicationName() << ": " << Report::oneLine(text) << '\n';
}

} // namespace

int main(int argc, char *argv[])
{
    SystemLimits::prepareProcess();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qvtpx0xtweaker-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));

    Request request;
    QString message;
    int exitCode = 0;
    if (!parseCommandLine(QCoreApplication::arguments(), &request, &message, &exitCode)) {
        if (exitCode == 0)
            QTextStream(stdout) << message;
        else
            tell(message);
        return exitCode;
    }
    const int allowed = SystemLimits::modulesAtOnce();
    if (qMin(request.jobs, int(request.addresses.size())) > allowed) {
        tell(QStringLiteral("--jobs lowered to %1: the limit on open files allows no more").arg(allowed));
        request.jobs = allowed;
    }

    QFile output;
    output.open(1,
                QIODevice::WriteOnly
                    | QIODevice::Unbuffered); // standard output, unbuffered: a failed write is known at once
    InterruptWatcher interrupts;
    Batch batch(request, &output);
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, &batch, &Batch::interrupt);
    QObject::connect(&batch, &Batch::note, &tell);
    QObject::connect(&batch, &Batch::done, &application, &QCoreApplication::exit, Qt::QueuedConnection);
    batch.start();
    return QCoreApplication::exec();
}
