#include "batch.h"

#include "parameterfile.h"
#include "report.h"

#include <QBuffer>
#include <QNetworkReply>
#include <QSet>

namespace {
const QString interrupted = QStringLiteral("not done: interrupted");
} // namespace

Batch::Batch(const Request &request, QIODevice *output, QObject *parent)
    : QObject(parent), request(request), output(output)
{ }

void Batch::setSubnets(const QVector<ModuleAddress::Subnet> &subnets)
{
    this->subnets = subnets;
    subnetsGiven = true;
}

void Batch::start()
{
    if (!subnetsGiven)
        subnets = ModuleAddress::localSubnets();
    takeAddresses();
    fill();
}

// Each module once, by the decimal form of its address; an address that
// is none stays as it was given.
void Batch::takeAddresses()
{
    QHash<QString, QString> given;
    for (const QString &address : qAsConst(request.addresses)) {
        QString module = ModuleAddress::decimalForm(address);
        if (module.isEmpty())
            module = address;
        const auto first = given.constFind(module);
        if (first != given.constEnd()) {
            emit note(QStringLiteral("%1: the same module as %2, given before: left out")
                          .arg(Report::oneLine(address), Report::oneLine(*first)));
            continue;
        }
        given.insert(module, address);
        modules.append(module);
    }
}

// A loop, not a recursion: an address refused at once makes room for the
// next one here, however long the list.
void Batch::fill()
{
    while (interruptedBy == 0 && running.size() < request.jobs && next < modules.size())
        startModule(modules.at(next++));
    endIfDone();
}

// Nothing is sent to an address that the window would refuse.
void Batch::startModule(const QString &address)
{
    ModuleAddress::Refusal refusal = ModuleAddress::Refusal::None;
    const QUrl url = ModuleAddress::parameterFileUrl(address, subnets, &refusal);
    if (refusal != ModuleAddress::Refusal::None)
        return report({address, ModuleOutcome::Result::Failed, ModuleAddress::explanation(refusal), {}, {}});
    QNetworkReply *reply = nullptr;
    if (request.operation == Request::Operation::Read) {
        reply = manager.get(QNetworkRequest(url));
    } else {
        auto *upload = new QBuffer;
        upload->setData(request.file);
        upload->open(QIODevice::ReadOnly);
        reply = manager.put(QNetworkRequest(url), upload);
        upload->setParent(reply);
    }
    running.insert(reply, {address, false});
    connect(reply, &QNetworkReply::finished, this, [this, reply] { transferred(reply); });
}

void Batch::transferred(QNetworkReply *reply)
{
    const Job job = running.take(reply);
    reply->deleteLater();
    const bool write = request.operation == Request::Operation::Write;
    if (reply->error() == QNetworkReply::OperationCanceledError && interruptedBy != 0)
        report({job.address,
                job.readingBack ? ModuleOutcome::Result::Unverified : ModuleOutcome::Result::Failed,
                job.readingBack ? QString() : interrupted,
                {},
                {}});
    else if (reply->error() != QNetworkReply::NoError)
        report({job.address,
                ModuleOutcome::Result::Failed,
                (job.readingBack ? QStringLiteral("Reading back: ") : QString()) + reply->errorString(),
                {},
                {}});
    else if (job.readingBack)
        report(checkedOutcome(job.address, reply));
    else if (!write)
        report(readOutcome(job.address, reply));
    else if (!request.verify)
        report({job.address, ModuleOutcome::Result::Sent, {}, {}, {}});
    else if (interruptedBy != 0)
        report({job.address, ModuleOutcome::Result::Unverified, {}, {}, {}});
    else
        return readBack(job.address, reply->url());
    fill();
}

// A module may answer 226 and keep something else: what it holds now must
// be the very bytes written.
void Batch::readBack(const QString &address, const QUrl &url)
{
    QNetworkReply *check = manager.get(QNetworkRequest(url));
    running.insert(check, {address, true});
    connect(check, &QNetworkReply::finished, this, [this, check] { transferred(check); });
}

// A file that sets none of the settings is no module's: an empty file, a
// page of something else, a file cut short.
ModuleOutcome Batch::readOutcome(const QString &address, QNetworkReply *reply) const
{
    const QByteArray text = reply->readAll();
    const ParameterFile::Reading reading = ParameterFile::readModuleFile(text);
    if (reading.settingLines == 0)
        return {address,
                ModuleOutcome::Result::Failed,
                QStringLiteral("The module's file holds none of the settings (%1 bytes)").arg(text.size()),
                {},
                {}};
    return {address, ModuleOutcome::Result::Read, QString(), reading.settings, reading.warnings};
}

ModuleOutcome Batch::checkedOutcome(const QString &address, QNetworkReply *reply) const
{
    const QByteArray kept = reply->readAll();
    if (kept != request.file)
        return {address,
                ModuleOutcome::Result::Failed,
                QStringLiteral("The module kept other content than was written"),
                {},
                {}};
    return {address, ModuleOutcome::Result::Written, QString(), ParameterFile::settingsOf(kept), {}};
}

// Once the output fails, nothing more is written to it: the record kept
// ends at a whole line where it can, and the user is told.
void Batch::report(const ModuleOutcome &outcome)
{
    anyFailed = anyFailed || !outcome.ok();
    if (outputFailed)
        return;
    const QByteArray lines = request.json ? Report::jsonLine(outcome) : Report::textLines(outcome);
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
    for (; next < modules.size(); ++next)
        report({modules.at(next), ModuleOutcome::Result::Failed, interrupted, {}, {}});
    QList<QNetworkReply *> dropped;
    int finishing = 0;
    int longest = 0;
    for (auto job = running.cbegin(); job != running.cend(); ++job) {
        const auto *ftp = qobject_cast<const FtpReply *>(job.key());
        if (!job->readingBack && ftp && ftp->mayHaveChangedFile()) {
            ++finishing;
            longest = qMax(longest, ftp->millisecondsLeft());
        } else {
            dropped.append(job.key());
        }
    }
    if (finishing > 0)
        emit note(QStringLiteral("interrupted: letting %1 write%2 already on %3 way finish, at most %4 s")
                      .arg(finishing)
                      .arg(finishing == 1 ? "" : "s")
                      .arg(finishing == 1 ? "its" : "their")
                      .arg((longest + 999) / 1000));
    for (QNetworkReply *reply : qAsConst(dropped))
        reply->abort();
    endIfDone();
}

void Batch::endIfDone()
{
    if (ended || !running.isEmpty() || (interruptedBy == 0 && next < modules.size()))
        return;
    ended = true;
    emit done(interruptedBy != 0 ? 128 + interruptedBy : anyFailed || outputFailed ? 1 : 0);
}
