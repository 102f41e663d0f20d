#ifndef BATCH_H
#define BATCH_H

#include "commandline.h"
#include "ftpaccessmanager.h"
#include "moduleaddress.h"
#include "moduleoutcome.h"

#include <QHash>
#include <QObject>

class QIODevice;
class QNetworkReply;

// Runs one request on every module, at most `jobs` at a time, each with
// the FTP client's own time limits, so that none holds up the others for
// longer. Each module is handled once, however often and in whatever
// spelling its address was given, and its lines are written to the output
// as soon as it is done.
class Batch : public QObject
{
    Q_OBJECT

public:
    Batch(const Request &request, QIODevice *output, QObject *parent = nullptr);
    // Instead of this computer's own, read when the batch starts.
    void setSubnets(const QVector<ModuleAddress::Subnet> &subnets);
    void setTimeLimits(const FtpTimeLimits &limits) { manager.setTimeLimits(limits); }
    void start();
    // Starts no further module and drops every read; a write that may
    // already have changed its module's file finishes. Once only.
    void interrupt(int signalNumber);

signals:
    // For the user, beside the results: a module given twice, an
    // interruption, results that could not be written.
    void note(const QString &text);
    // 0 when every module succeeded and every line was written, else 1;
    // 128 + the signal's number after an interrupt.
    void done(int exitCode);

private:
    // What a module is waiting for.
    struct Job
    {
        QString address;
        bool readingBack = false;
    };

    void takeAddresses();
    void fill();
    void startModule(const QString &address);
    void transferred(QNetworkReply *reply);
    void readBack(const QString &address, const QUrl &url);
    ModuleOutcome readOutcome(const QString &address, QNetworkReply *reply) const;
    ModuleOutcome checkedOutcome(const QString &address, QNetworkReply *reply) const;
    void report(const ModuleOutcome &outcome);
    void endIfDone();

    Request request;
    QIODevice *output;
    FtpAccessManager manager {this};
    QVector<ModuleAddress::Subnet> subnets;
    bool subnetsGiven = false;
    QStringList modules;
    int next = 0;
    QHash<QNetworkReply *, Job> running;
    bool anyFailed = false;
    bool outputFailed = false;
    int interruptedBy = 0;
    bool ended = false;
};

#endif // BATCH_H
