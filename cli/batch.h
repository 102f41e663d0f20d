#ifndef BATCH_H
#define BATCH_H

#include "command.h"
#include "commandline.h"
#include "ftpaccessmanager.h"
#include "moduleaddress.h"

#include <QHash>
#include <QObject>

#include <memory>

class KeptFiles;
class QIODevice;
class QNetworkReply;

// Runs one command on every module, at most `jobs` at a time, each with
// the FTP client's own time limits, so that none holds up the others for
// longer; each module's lines are written to the output as soon as it is
// done (find's, sorted, at the end). What each step of a module is, and
// what comes of it, is the command's (command.h); a module that waits
// for the others (a write, until every module has been read) is written
// once none is left to read.
class Batch : public QObject
{
    Q_OBJECT

public:
    // kept: where read --save and write --backup keep the modules' files,
    // and whence restore sends them.
    Batch(const Request &request, QIODevice *output, const KeptFiles *kept = nullptr,
          QObject *parent = nullptr);
    ~Batch() override;
    // Instead of this computer's own, read when the batch starts.
    void setSubnets(const QVector<ModuleAddress::Subnet> &subnets);
    void setTimeLimits(const FtpTimeLimits &limits) { manager.setTimeLimits(limits); }
    // Keeps up to `count` modules' sessions between their transfers.
    void keepSessions(int count) { manager.keepSessions(count); }
    // The modules, each once.
    void start(const QStringList &addresses);
    // Starts no further module and drops every read; a write that may
    // already have changed its module's file finishes. Once only.
    void interrupt(int signalNumber);

signals:
    // For the user, beside the results: an interruption, results that
    // could not be written, a module whose file could not be kept, the
    // summary at the end.
    void note(const QString &text);
    void progress(int done, int all);
    // 0 when every module succeeded and every line was written, else 1;
    // 128 + the signal's number after an interrupt.
    void done(int exitCode);

private:
    struct Job
    {
        int module;
        Step step;
    };

    void fill();
    void startJob(const Job &job);
    void transferred(QNetworkReply *reply);
    void finish(int index, ModuleOutcome::Result result, const QString &error = QString());
    void finished(int index);
    void write(const QByteArray &lines);
    void endIfDone();

    std::unique_ptr<Command> command;
    bool json;
    int jobs;
    QIODevice *output;
    FtpAccessManager manager {this};
    QVector<ModuleAddress::Subnet> subnets;
    bool subnetsGiven = false;
    QVector<Module> modules;
    QList<Job> waiting;        // to start, as jobs allow
    QVector<int> waitingRound; // to write, once no module is left to read
    QHash<QNetworkReply *, Job> running;
    int doneCount = 0;
    bool outputFailed = false;
    int interruptedBy = 0;
    bool ended = false;
};

#endif // BATCH_H
