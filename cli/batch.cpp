#include "batch.h"

#include "keptfiles.h"
#include "parameterfile.h"
#include "report.h"

#include <QBuffer>
#include <QNetworkReply>

#include <algorithm>

namespace {

using Result = ModuleOutcome::Result;
using Op = Request::Operation;

} // namespace

Batch::Batch(const Request &request, QIODevice *output, const KeptFiles *kept, QObject *parent)
    : QObject(parent), request(request), output(output), kept(kept)
{
    if (request.operation == Op::Find) { // where nothing answers is no module: soon known
        FtpTimeLimits limits;
        limits.connectMs = limits.idleMs = 2000; // nor where it takes the connection and never speaks
        manager.setTimeLimits(limits);
    }
}

void Batch::setSubnets(const QVector<ModuleAddress::Subnet> &subnets)
{
    this->subnets = subnets;
    subnetsGiven = true;
}

// Nothing is sent to an address that the window would refuse.
void Batch::start(const QStringList &addresses)
{
    if (!subnetsGiven)
        subnets = ModuleAddress::localSubnets();
    modules.resize(addresses.size());
    for (int index = 0; index < addresses.size(); ++index) {
        Module &module = modules[index];
        module.address = module.outcome.address = addresses.at(index);
        ModuleAddress::Refusal refusal = ModuleAddress::Refusal::None;
        module.url = ModuleAddress::parameterFileUrl(module.address, subnets, &refusal);
        if (refusal != ModuleAddress::Refusal::None) {
            finish(module, Result::Failed, ModuleAddress::explanation(refusal));
        } else if (request.operation == Op::Restore) {
            if (toRestore(module))
                waiting.append({index, Step::Write});
        } else {
            waiting.append({index, request.operation == Op::Find ? Step::Probe : Step::Read});
        }
    }
    fill();
}

// A loop, not a recursion: an address refused at once makes room for the
// next one here, however long the list. A write's writes begin once every
// module has been read.
void Batch::fill()
{
    while (interruptedBy == 0) {
        while (running.size() < request.jobs && !waiting.isEmpty())
            startJob(waiting.takeFirst());
        if (!running.isEmpty() || !waiting.isEmpty() || request.operation != Op::Write || writesPlanned)
            break;
        writesPlanned = true;
        for (int index = 0; index < modules.size(); ++index) {
            if (!modules.at(index).done)
                waiting.append({index, Step::Write});
        }
    }
    endIfDone();
}

void Batch::startJob(const Job &job)
{
    const Module &module = modules.at(job.module);
    QNetworkReply *reply = nullptr;
    if (job.step == Step::Probe) {
        reply = manager.sendCustomRequest(QNetworkRequest(module.url), "SIZE");
    } else if (job.step != Step::Write) {
        reply = manager.get(QNetworkRequest(module.url));
    } else {
        auto *upload = new QBuffer;
        upload->setData(module.toWrite);
        upload->open(QIODevice::ReadOnly);
        reply = manager.put(QNetworkRequest(module.url), upload);
        upload->setParent(reply);
    }
    running.insert(reply, job);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { transferred(reply); });
}

void Batch::transferred(QNetworkReply *reply)
{
    const Job job = running.take(reply);
    reply->deleteLater();
    Module &module = modules[job.module];
    if (reply->error() == QNetworkReply::OperationCanceledError && interruptedBy != 0) {
        finish(module, job.step == Step::ReadBack ? Result::Unverified : Result::NotDone);
    } else if (job.step == Step::Probe) {
        afterProbe(module, reply);
    } else if (job.step == Step::Read && request.operation == Op::Write) {
        beforeWrite(module, reply);
    } else if (job.step == Step::Read) {
        afterRead(module, reply);
    } else if (job.step == Step::Write) {
        afterWrite(job.module, reply);
    } else {
        afterReadBack(module, reply);
    }
    fill();
}

// A file that sets none of the settings is no module's: an empty file, a
// page of something else, a file cut short. It is kept all the same, as
// what the module held.
void Batch::afterRead(Module &module, QNetworkReply *reply)
{
    if (reply->error() != QNetworkReply::NoError)
        return finish(module, Result::Failed, reply->errorString());
    const QByteArray text = reply->readAll();
    if (kept && !keep(module, text))
        return;
    const ParameterFile::Reading reading = ParameterFile::readModuleFile(text);
    if (reading.settingLines == 0)
        return finish(
            module, Result::Failed,
            QStringLiteral("The module's file holds none of the settings (%1 bytes)").arg(text.size()));
    module.outcome.settings = reading.settings;
    module.outcome.warnings = reading.warnings;
    finish(module, Result::Read);
}

// What the module holds decides: the very bytes, nothing to do; a file
// without settings, or none at all, is written over. A module that could
// not be read, or whose file could not be kept, is not written. Only the
// server's word that there is no such file makes a module one without.
void Batch::beforeWrite(Module &module, QNetworkReply *reply)
{
    const bool noFile = reply->error() == QNetworkReply::ContentNotFoundError;
    if (reply->error() != QNetworkReply::NoError && !noFile)
        return finish(module, Result::Failed,
                      QStringLiteral("Reading it before the write: ") + reply->errorString());
    const QByteArray held = reply->readAll();
    const ParameterFile::Reading reading = ParameterFile::readModuleFile(held);
    ModuleOutcome &outcome = module.outcome;
    outcome.before = noFile         ? ModuleOutcome::Before::NoFile
        : reading.settingLines == 0 ? ModuleOutcome::Before::NoSettings
                                    : ModuleOutcome::Before::Settings;
    outcome.beforeSettings = outcome.settings = reading.settings;
    outcome.beforeSize = int(held.size());
    outcome.written = ParameterFile::settingsOf(request.file);
    if (!noFile && kept && !keep(module, held))
        return;
    module.toWrite = request.file;
    if (!noFile && held == request.file && !request.force)
        return finish(module, Result::Unchanged);
    if (request.dryRun)
        return finish(module, Result::WouldChange);
}

// An address where nothing takes the connection, or whose server holds no
// such file, is no module; one whose server takes it and then fails is a
// failure.
void Batch::afterProbe(Module &module, const QNetworkReply *reply)
{
    const auto *ftp = qobject_cast<const FtpReply *>(reply);
    if (reply->error() == QNetworkReply::NoError)
        return finish(module, Result::Found);
    if (!ftp || !ftp->hasConnected() || reply->error() == QNetworkReply::ContentNotFoundError)
        return finish(module, Result::NoModule);
    emit note(QStringLiteral("%1: its FTP server failed: %2")
                  .arg(module.address, Report::oneLine(reply->errorString())));
    finish(module, Result::Failed, reply->errorString());
}

void Batch::afterWrite(int index, const QNetworkReply *reply)
{
    Module &module = modules[index];
    if (reply->error() != QNetworkReply::NoError)
        return finish(module, Result::Failed, reply->errorString());
    if (!request.verify)
        return finish(module, Result::Sent);
    if (interruptedBy != 0)
        return finish(module, Result::Unverified);
    startJob({index, Step::ReadBack});
}

// A module may answer 226 and keep something else: what it holds now must
// be the very bytes written.
void Batch::afterReadBack(Module &module, QNetworkReply *reply)
{
    if (reply->error() != QNetworkReply::NoError)
        return finish(module, Result::Failed, QStringLiteral("Reading back: ") + reply->errorString());
    const QByteArray kept = reply->readAll();
    if (kept != module.toWrite)
        return finish(module, Result::Failed,
                      QStringLiteral("The module kept other content than was written"));
    module.outcome.settings = ParameterFile::settingsOf(kept);
    module.outcome.restoredSize = int(kept.size());
    finish(module, request.operation == Op::Restore ? Result::Restored : Result::Written);
}

// What the module holds, byte for byte, before anything is sent to it; a
// file kept by an earlier run stays, as the building was then.
bool Batch::keep(Module &module, const QByteArray &file)
{
    bool earlier = false;
    const QString error = kept->keep(module.address, file, &earlier);
    if (earlier)
        emit note(QStringLiteral("%1: kept before: left as it was").arg(kept->path(module.address)));
    if (error.isEmpty())
        return true;
    finish(module, Result::Failed, QStringLiteral("Its file could not be kept: ") + error);
    return false;
}

// Only what a read would take as a module's file goes back to a module,
// unless the user forces one without settings.
bool Batch::toRestore(Module &module)
{
    const QString error = kept->read(module.address, &module.toWrite);
    if (!error.isEmpty()) {
        finish(module, Result::Failed, error);
        return false;
    }
    if (ParameterFile::readModuleFile(module.toWrite).settingLines == 0 && !request.force) {
        finish(
            module, Result::Failed,
            QStringLiteral("Its kept file holds none of the settings (%1 bytes): not sent (--force sends it)")
                .arg(module.toWrite.size()));
        return false;
    }
    return true;
}

void Batch::finish(Module &module, Result result, const QString &error)
{
    module.done = true;
    module.outcome.result = result;
    module.outcome.error = error;
    ++finished;
    if (request.operation != Op::Find)
        write(request.json ? Report::jsonLine(module.outcome) : Report::textLines(module.outcome));
    emit progress(finished, int(modules.size()));
}

// Once the output fails, nothing more is written to it: the record kept
// ends at a whole line where it can, and the user is told.
void Batch::write(const QByteArray &lines)
{
    if (outputFailed)
        return;
    qint64 written = 0;
    while (written < lines.size()) {
        const qint64 size = output->write(lines.constData() + written, lines.size() - written);
        if (size <= 0)
            break;
        written += size;
    }
    if (written == lines.size())
        return;
    outputFailed = true;
    emit note(QStringLiteral("the results could not be written: %1").arg(output->errorString()));
}

void Batch::interrupt(int signalNumber)
{
    if (interruptedBy != 0 || ended)
        return;
    interruptedBy = signalNumber;
    for (const Job &job : qAsConst(waiting))
        finish(modules[job.module], Result::NotDone);
    waiting.clear();
    for (Module &module : modules) {
        if (!module.done && !module.toWrite.isEmpty() && request.operation == Op::Write && !writesPlanned)
            finish(module, Result::NotDone); // read, its write not begun
    }
    QList<QNetworkReply *> dropped;
    int finishing = 0;
    int longest = 0;
    for (auto job = running.cbegin(); job != running.cend(); ++job) {
        const auto *ftp = qobject_cast<const FtpReply *>(job.key());
        if (job->step == Step::Write && ftp && ftp->mayHaveChangedFile()) {
            ++finishing;
            longest = qMax(longest, ftp->millisecondsLeft());
        } else {
            dropped.append(job.key());
        }
    }
    if (finishing > 0)
        emit note(
            QStringLiteral("interrupted: letting %1 already on %2 way finish, at most %3 s")
                .arg(finishing == 1 ? QStringLiteral("1 write") : QStringLiteral("%1 writes").arg(finishing),
                     finishing == 1 ? QStringLiteral("its") : QStringLiteral("their"),
                     QString::number((longest + 999) / 1000)));
    for (QNetworkReply *reply : qAsConst(dropped))
        reply->abort();
    endIfDone();
}

void Batch::endIfDone()
{
    if (ended || finished < modules.size() || !running.isEmpty())
        return;
    ended = true;
    QVector<ModuleOutcome> outcomes;
    QVector<ModuleOutcome> found;
    bool anyFailed = false;
    for (const Module &module : qAsConst(modules)) {
        outcomes.append(module.outcome);
        anyFailed = anyFailed || !module.outcome.ok();
        if (module.outcome.result == Result::Found)
            found << module.outcome;
    }
    std::sort(found.begin(), found.end(), [](const ModuleOutcome &one, const ModuleOutcome &other) {
        return ModuleAddress::ascending(one.address, other.address);
    });
    for (const ModuleOutcome &module : qAsConst(found))
        write(request.json ? Report::jsonLine(module) : Report::textLines(module));
    if (!modules.isEmpty())
        emit note(Report::summary(outcomes));
    emit done(interruptedBy != 0 ? 128 + interruptedBy : anyFailed || outputFailed ? 1 : 0);
}
