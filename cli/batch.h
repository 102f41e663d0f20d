#ifndef BATCH_H
#define BATCH_H

#include "commandline.h"
#include "ftpaccessmanager.h"
#include "modulesettings.h"

#include <QObject>

class QNetworkReply;

// What became of one module.
struct ModuleOutcome
{
    QString address; // as given
    QString error;   // empty: done
    bool hasSettings = false;
    ModuleSettings settings; // what the module holds, read or read back
};

// Runs one request on every module, at most `jobs` at a time, each with
// the FTP client's own time limits, so that none holds up the others for
// longer. Each module's line is printed as soon as it is done.
class Batch : public QObject
{
    Q_OBJECT

public:
    explicit Batch(const Request &request, QObject *parent = nullptr);
    void start();

signals:
    // 0 when every module succeeded, else 1.
    void done(int exitCode);

private:
    void startNext();
    void startModule(const QString &address);
    void transferred(const QString &address, QNetworkReply *reply);
    void readBack(const QString &address, QNetworkReply *reply);
    void finish(const ModuleOutcome &outcome);

    Request request;
    FtpAccessManager manager;
    int next = 0;
    int running = 0;
    bool anyFailed = false;
};

#endif // BATCH_H
