#ifndef TRANSFERWATCHDOG_H
#define TRANSFERWATCHDOG_H

#include <QObject>
#include <QTimer>

class QNetworkReply;

// Qt's FTP layer can leave a reply unfinished for ever (a server that never
// greets, stalls or drops the connection, a host that does not answer). The
// watchdog aborts its reply once it has made no progress for idleLimit(), so
// every transfer ends. It is a child of the reply and goes with it.
class TransferWatchdog : public QObject
{
    Q_OBJECT

public:
    // Watches a reply from now on, until the reply is destroyed.
    static void watch(QNetworkReply *reply) { new TransferWatchdog(reply); }

    // The watchdog of a reply, or null.
    static const TransferWatchdog *of(const QNetworkReply *reply);

    bool hasExpired() const { return expired; }
    qint64 bytesUploaded() const { return uploaded; }

    static int idleLimit() { return idleLimitSeconds; }
    static QString expiryText();
    static void setIdleLimitForTesting(int seconds) { idleLimitSeconds = seconds; }

private:
    explicit TransferWatchdog(QNetworkReply *reply);
    void onDownloadProgress(qint64 bytesReceived);
    void onUploadProgress(qint64 bytesSent);
    void expire();

    QNetworkReply *reply;
    QTimer idleTimer;
    qint64 downloaded = 0;
    qint64 uploaded = 0;
    bool expired = false;

    static int idleLimitSeconds;
};

#endif // TRANSFERWATCHDOG_H
