#ifndef BATCH_H
#define BATCH_H

#include "commandline.h"
#include "ftpaccessmanager.h"
#include "moduleaddress.h"
#include "moduleoutcome.h"

#include <QHash>
#include <QObject>

class KeptFiles;
class QIODevice;
class QNetworkReply;

// Runs one request on every module, at most `jobs` at a time, each with
// the FTP client's own time limits, so that none holds up the others for
// longer; each module's lines are written to the output as soon as it is
// done (find's, sorted, at the end). A write reads every module first,
// keeps each file where asked, and only then writes, to the modules that
// hold other bytes.
class Batch : public QObject
{
    Q_OBJECT

public:
    // kept: where read --save and write --backup keep the modules' files,
    // and whence restore sends them.
    Batch(const Request &request, QIODevice *output, const KeptFiles *kept = nullptr,
          QObject *parent = nullptr);
    // Instead of this computer's own, read when the batch starts.
    void setSubnets(const QVector<ModuleAddress::Subnet> &subnets);
    void setTimeLimits(const FtpTimeLimits &limits) { manager.setTimeLimits(limits); }
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
    enum class Step { Read, Probe, Write, ReadBack };
    struct Module
    {
        QString address;
        QUrl url;
        QByteArray toWrite;
        bool done = false;
        ModuleOutcome outcome;
    };
    struct Job
    {
        int module;
        Step step;
    };

    void fill();
    void startJob(const Job &job);
    void transferred(QNetworkReply *reply);
    void afterRead(Module &module, QNetworkReply *reply);
    void beforeWrite(Module &module, QNetworkReply *reply);
    void afterProbe(Module &module, const QNetworkReply *reply);
    void afterWrite(int index, const QNetworkReply *reply);
    void afterReadBack(Module &module, QNetworkReply *reply);
    bool keep(Module &module, const QByteArray &file);
    bool toRestore(Module &module);
    void finish(Module &module, ModuleOutcome::Result result, const QString &error = QString());
    void write(const QByteArray &lines);
    void endIfDone();

    Request request;
    QIODevice *output;
    const KeptFiles *kept;
    FtpAccessManager manager {this};
    QVector<ModuleAddress::Subnet> subnets;
    bool subnetsGiven = false;
    QVector<Module> modules;
    QList<Job> waiting;
    QHash<QNetworkReply *, Job> running;
    bool writesPlanned = false;
    int finished = 0;
    bool outputFailed = false;
    int interruptedBy = 0;
    bool ended = false;
};

#endif // BATCH_H
