#ifndef FTPREPLY_H
#define FTPREPLY_H

#include "ftpverdict.h"
#include "parameterfile.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

class FtpControlConnection;
class FtpDataConnection;
class FtpSessions;

// How long a transfer may go without any answer or data byte, and in all.
struct FtpTimeLimits
{
    // In milliseconds, so that tests can wait a fraction of a second.
    int idleMs = 30000;
    int totalMs = 120000;
    int connectMs = 30000; // until the control connection is made
};

// One download (get) or upload (put) of a single file over anonymous FTP in
// passive mode, driven by the sockets' signals on the thread that made it:
// the conversation on the control connection (FtpControlConnection), the
// file on the data connection (FtpDataConnection), which goes to the
// control connection's peer whatever address the server names. Every event
// adds to the transfer's facts, and judge() (ftpverdict.h) decides from
// them alone how it ends. A reply, a file and the time a transfer takes
// are all bounded.
//
// Besides get() and put(), a probe: sendCustomRequest() with the verb
// "SIZE" logs in and asks the file's size, and succeeds once the server
// tells it; a server without SIZE is read instead.
//
// The reply emits finished() exactly once, from the event loop; a read's
// bytes become readable then, and only when whole.
class FtpReply : public QNetworkReply
{
    Q_OBJECT

public:
    static constexpr int maxFileSize = ParameterFile::maxSize;

    // sessions: where a session that ended well is kept, and taken from;
    // none: each transfer has a session of its own.
    FtpReply(QNetworkAccessManager::Operation operation, const QNetworkRequest &request,
             QIODevice *outgoingData, const FtpTimeLimits &limits, FtpSessions *sessions, QObject *parent);

    void abort() override;
    qint64 bytesAvailable() const override;
    bool isSequential() const override { return true; }
    // True once an upload's STOR has gone out: from then on, ending the
    // transfer early may leave the module's file cut short.
    bool mayHaveChangedFile() const;
    // Whether the server took the control connection.
    bool hasConnected() const { return connected; }
    // How long the transfer may still take at most, by its limit in all.
    int millisecondsLeft() const
    {
        return int(qMax<qint64>(0, qint64(limits.totalMs) - sinceStart.elapsed()));
    }

protected:
    qint64 readData(char *buffer, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    bool isProbe() const;
    bool isDownload() const { return operation() == QNetworkAccessManager::GetOperation || isProbe(); }
    QString refusal(const QIODevice *outgoingData) const;
    void connectControl();
    bool retryIfStale();
    void openDataConnection(quint16 port);
    void receiveFileData(const QByteArray &bytes);
    void checkTimeLimits();
    void settle();
    void end(const FtpVerdict &verdict);
    void emitFinished();
    void stillAlive() { sinceHeard.start(); }

    FtpControlConnection *control = nullptr;
    FtpDataConnection *data = nullptr;
    FtpFacts facts;
    bool ended = false;
    bool connected = false;
    bool reused = false;   // the control connection is a kept session
    QByteArray file;       // what is sent, or what has arrived so far
    qint64 fileOffset = 0; // read from `file` by the reply's user
    FtpTimeLimits limits;
    QElapsedTimer sinceStart;
    QElapsedTimer sinceHeard;
    QTimer limitTimer; // due when a limit could next be reached, no sooner
    FtpSessions *sessions;
};

#endif // FTPREPLY_H
