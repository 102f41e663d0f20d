#include "addresslist.h"
#include "batch.h"
#include "commandline.h"
#include "interrupts.h"
#include "keptfiles.h"
#include "platform.h"
#include "report.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <algorithm>

namespace {

void tell(const QString &text)
{
    QTextStream(stderr) << QCoreApplication::applicationName() << ": " << Report::oneLine(text) << '\n';
}

// One line on a terminal, written over as the modules are done.
void showProgress(int done, int all)
{
    QTextStream progress(stderr);
    if (done < all)
        progress << '\r' << done << " of " << all << " done" << Qt::flush;
    else
        progress << "\r\033[K" << Qt::flush;
}

// The modules the request names: for a restore, those whose files are
// kept (all, or those named); for find without a subnet, the computer's.
AddressList modulesOf(const Request &request, const QVector<ModuleAddress::Subnet> &subnets,
                      QHash<QString, QByteArray> *kept)
{
    QStringList given = request.given;
    QStringList notes;
    if (request.operation == Request::Operation::Restore) {
        *kept = KeptFiles::read(request.folder, &notes);
        if (given.isEmpty()) {
            given = kept->keys();
            std::sort(given.begin(), given.end(), [](const QString &one, const QString &other) {
                return QHostAddress(one).toIPv4Address() < QHostAddress(other).toIPv4Address();
            });
        }
    }
    if (request.operation == Request::Operation::Find && given.isEmpty())
        given = Addresses::ownSubnets();
    AddressList list = Addresses::expand(given, request.maxAddresses, subnets);
    list.notes = notes + list.notes;
    return list;
}

} // namespace

int main(int argc, char *argv[])
{
    Platform::prepareProcess();
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
    const QVector<ModuleAddress::Subnet> subnets = ModuleAddress::localSubnets();
    QHash<QString, QByteArray> kept;
    const AddressList modules = modulesOf(request, subnets, &kept);
    for (const QString &note : modules.notes)
        tell(note);
    if (!modules.error.isEmpty()) {
        tell(modules.error);
        return 2; // nothing is sent to any module
    }
    const int allowed = Platform::modulesAtOnce();
    if (qMin(request.jobs, int(modules.addresses.size())) > allowed) {
        tell(QStringLiteral("--jobs lowered to %1: the limit on open files allows no more").arg(allowed));
        request.jobs = allowed;
    }

    QFile output;
    output.open(
        1, QIODevice::WriteOnly | QIODevice::Unbuffered); // standard output: a failed write is known at once
    InterruptWatcher interrupts;
    Batch batch(request, &output);
    batch.setSubnets(subnets);
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, &batch, &Batch::interrupt);
    QObject::connect(&batch, &Batch::note, &tell);
    if (Platform::isTerminal(stderr))
        QObject::connect(&batch, &Batch::progress, &showProgress);
    QObject::connect(&batch, &Batch::done, &application, &QCoreApplication::exit, Qt::QueuedConnection);
    batch.start(modules.addresses, kept);
    return QCoreApplication::exec();
}
