#include "batch.h"

#include "report.h"

#include <QBuffer>
#include <QNetworkReply>

#include <algorithm>

using Result = ModuleOutcome::Result;

Batch::Batch(const Request &request, QIODevice *output, const KeptFiles *kept, QObject *parent)
    : QObject(parent), command(Commands::make(request, kept)), json(request.json), jobs(request.jobs),
      output(output)
{
    FtpTimeLimits limits;
    command->adjust(&limits);
    manager.setTimeLimits(limits);
    connect(command.get(), &Command::note, this, &Batch::note);
}

Batch::~Batch() = default;

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
            finish(index, Result::Failed, ModuleAddress::explanation(refusal));
            continue;
        }
        const Step step = command->begin(module);
        step == Step::Done ? finished(index) : waiting.append({index, step});
    }
    fill();
}

// A loop, not a recursion: an address refused at once makes room for the
// next one here, however long the list. The modules that wait for the
// others go once no module is left to start or running.
void Batch::fill()
{
    while (interruptedBy == 0) {
        while (running.size() < jobs && !waiting.isEmpty())
            startJob(waiting.takeFirst());
        if (!running.isEmpty() || !waiting.isEmpty() || waitingRound.isEmpty())
            break;
        std::sort(waitingRound.begin(), waitingRound.end()); // in the order given
        for (const int index : qAsConst(waitingRound))
            waiting.append({index, Step::Write});
        waitingRound.clear();
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

// The command decides what follows; after an interrupt, a write's read-back
// is dropped, and whatever was dropped is not done.
void Batch::transferred(QNetworkReply *reply)
{
    const Job job = running.take(reply);
    reply->deleteLater();
    if (reply->error() == QNetworkReply::OperationCanceledError && interruptedBy != 0) {
        finish(job.module, job.step == Step::ReadBack ? Result::Unverified : Result::NotDone);
        return fill();
    }
    const Step next = command->after(modules[job.module], job.step, reply);
    if (next == Step::Done)
        finished(job.module);
    else if (next == Step::Wait)
        waitingRound.append(job.module);
    else if (next == Step::ReadBack && interruptedBy != 0)
        finish(job.module, Result::Unverified);
    else
        startJob({job.module, next}); // in the place of the job just ended
    fill();
}

void Batch::finish(int index, Result result, const QString &error)
{
    modules[index].outcome.result = result;
    modules[index].outcome.error = error;
    finished(index);
}

void Batch::finished(int index)
{
    manager.endSession(modules.at(index).url);
    ++doneCount;
    if (command->printsAsDone()) {
        const ModuleOutcome &outcome = modules.at(index).outcome;
        write(json ? Report::jsonLine(outcome) : Report::textLines(outcome));
    }
    emit progress(doneCount, int(modules.size()));
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
        finish(job.module, Result::NotDone);
    waiting.clear();
    for (const int index : qAsConst(waitingRound)) // read, its write not begun
        finish(index, Result::NotDone);
    waitingRound.clear();
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
    if (ended || doneCount < modules.size() || !running.isEmpty())
        return;
    ended = true;
    QVector<ModuleOutcome> outcomes;
    bool anyFailed = false;
    for (const Module &module : qAsConst(modules)) {
        outcomes.append(module.outcome);
        anyFailed = anyFailed || !module.outcome.ok();
    }
    if (!command->printsAsDone()) {
        QVector<ModuleOutcome> found = outcomes;
        found.erase(
            std::remove_if(found.begin(), found.end(),
                           [](const ModuleOutcome &outcome) { return outcome.result != Result::Found; }),
            found.end());
        std::sort(found.begin(), found.end(), [](const ModuleOutcome &one, const ModuleOutcome &other) {
            return ModuleAddress::ascending(one.address, other.address);
        });
        for (const ModuleOutcome &outcome : qAsConst(found))
            write(json ? Report::jsonLine(outcome) : Report::textLines(outcome));
    }
    if (!modules.isEmpty())
        emit note(Report::summary(outcomes, command->counts()));
    emit done(interruptedBy != 0 ? 128 + interruptedBy : anyFailed || outputFailed ? 1 : 0);
}
