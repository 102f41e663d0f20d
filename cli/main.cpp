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

#include <memory>

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

// The text of --help or --version on standard output: 0, or 1 when it
// could not all be written.
int print(const QString &message)
{
    QFile output;
    output.open(1, QIODevice::WriteOnly | QIODevice::Unbuffered);
    const QByteArray text = message.toUtf8();
    if (output.write(text) == text.size())
        return 0;
    tell(QStringLiteral("the output could not be written: %1").arg(output.errorString()));
    return 1;
}

// The modules the request names: for a restore, those whose files are
// kept (all, or those named); for find without a subnet, the computer's.
AddressList modulesOf(const Request &request, const QVector<ModuleAddress::Subnet> &subnets,
                      const KeptFiles *kept)
{
    QStringList given = request.given;
    QStringList notes;
    if (request.operation == Request::Operation::Restore && given.isEmpty()) {
        given = kept->addresses(&notes);
        if (given.isEmpty())
            return {{}, notes, QStringLiteral("no module's file is kept in %1").arg(request.folder)};
    }
    if (request.operation == Request::Operation::Find && given.isEmpty()) {
        given = Addresses::toScan(ModuleAddress::lanSubnets(), request.maxAddresses, &notes);
        if (given.isEmpty())
            notes << QStringLiteral("no subnet of this computer to scan (loopback excepted)");
    }
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
        if (exitCode != 0) {
            tell(message);
            return exitCode;
        }
        return print(message);
    }
    std::unique_ptr<KeptFiles> kept;
    if (!request.folder.isEmpty()) {
        kept = std::make_unique<KeptFiles>(request.folder, request.replace);
        if (const QString error = kept->take(); !error.isEmpty()) {
            tell(error);
            return 2; // nothing is sent to any module
        }
    }
    const QVector<ModuleAddress::Subnet> subnets = ModuleAddress::localSubnets();
    const AddressList modules = modulesOf(request, subnets, kept.get());
    for (const QString &note : modules.notes)
        tell(note);
    if (!modules.error.isEmpty()) {
        tell(modules.error);
        return 2; // nothing is sent to any module
    }
    const int allowed = Platform::modulesAtOnce();
    if (allowed == 0) {
        tell(QStringLiteral(
            "too many files open already: the limit on open files leaves no room for a module"));
        return 2; // nothing is sent to any module
    }
    if (qMin(request.jobs, int(modules.addresses.size())) > allowed) {
        tell(QStringLiteral("--jobs lowered to %1: the limit on open files allows no more").arg(allowed));
        request.jobs = allowed;
    }

    QFile output;
    output.open(
        1, QIODevice::WriteOnly | QIODevice::Unbuffered); // standard output: a failed write is known at once
    InterruptWatcher interrupts;
    Batch batch(request, &output, kept.get());
    batch.setSubnets(subnets);
    // A module's transfers in turn run in one session, as many as the
    // open files that the jobs leave allow.
    batch.keepSessions(qMin(int(modules.addresses.size()), allowed - request.jobs));
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, &batch, &Batch::interrupt);
    QObject::connect(&batch, &Batch::note, &tell);
    if (Platform::isTerminal(stderr))
        QObject::connect(&batch, &Batch::progress, &showProgress);
    QObject::connect(&batch, &Batch::done, &application, &QCoreApplication::exit, Qt::QueuedConnection);
    batch.start(modules.addresses);
    return QCoreApplication::exec();
}
