#ifndef FTPACCESSMANAGER_H
#define FTPACCESSMANAGER_H

#include "ftpreply.h"

class FtpSessions;

#include <QNetworkAccessManager>

// A network access manager whose get() and put() speak FTP through the
// program's own client (FtpReply) instead of Qt's FTP layer. Every other
// scheme and operation ends in an error reply.
class FtpAccessManager : public QNetworkAccessManager
{
    Q_OBJECT

public:
    // Loads no bearer plugin (Qt 5): transfers need no bearer management.
    explicit FtpAccessManager(QObject *parent = nullptr);

    // For the transfers started from now on.
    void setTimeLimits(const FtpTimeLimits &limits) { timeLimits = limits; }
    // Keeps up to `count` logged-in control connections between
    // transfers, one per server, so that a server's transfers in turn run
    // in one session; none by default.
    void keepSessions(int count);
    // Ends the session kept with the server of `url`: its transfers are
    // over.
    void endSession(const QUrl &url);

protected:
    QNetworkReply *createRequest(Operation operation, const QNetworkRequest &request,
                                 QIODevice *outgoingData) override;

private:
    FtpTimeLimits timeLimits;
    FtpSessions *sessions = nullptr;
};

#endif // FTPACCESSMANAGER_H
