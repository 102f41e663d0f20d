#ifndef FTPCONTROLCONNECTION_H
#define FTPCONTROLCONNECTION_H

#include "ftpprotocol.h"

#include <QHostAddress>
#include <QNetworkReply>
#include <QObject>
#include <QUrl>

class QTcpSocket;

// The control connection of one transfer and its conversation with the
// server (RFC 959), step by step: the anonymous login, TYPE I, SIZE before
// a read, PASV, RETR or STOR once the data connection is up, and SIZE
// after a write. It tells what the server said; judge() (ftpverdict.h)
// decides what that means for the transfer. A connection whose transfer
// ended well may carry the next one with the same server (FtpSessions).
class FtpControlConnection : public QObject
{
    Q_OBJECT

public:
    enum class Step { Greeting, User, Password, Type, Size, Passive, DataConnection, Transfer, Verify, Done };
    // What the server said no to, or that it spoke no FTP.
    enum class Refusal {
        None,
        Busy,
        Connection,
        Login,
        Transfer,
        Write,
        NoFile,
        InvalidReply,
        UnexpectedReply
    };

    FtpControlConnection(const QUrl &url, bool upload, QObject *parent);
    void connectToServer();
    // Whether the conversation ended well, logged in, with nothing said
    // since: the connection may carry the next transfer with this server.
    bool isIdle() const;
    // The next transfer on an idle connection, logged in with TYPE I.
    void resume(const QUrl &url, bool upload);
    // The replies handled since the connection was made or resumed.
    int answered() const { return replyCount; }
    // Ends an idle connection at once, saying QUIT.
    void hangUp();
    // RETR or STOR, once the data connection is up.
    void startTransfer();
    // Ends the session: politely after a success, else at once. Either
    // way from the event loop, never inside one of the socket's signals
    // (whose socket may be gone already).
    void quit();
    void abort();
    Step step() const { return current; }
    QHostAddress peerAddress() const;

signals:
    void connected();
    void heard();                    // anything from the server: it is alive
    void sizeAnnounced(qint64 size); // SIZE's answer before a read
    void passive(quint16 port);      // where the data connection goes
    void transferBegun();            // 125 or 150: a write's data may go
    void confirmed();                // 226 or 250
    void sizeKept(qint64 size);      // after a write; -1: no size told
    // The server said no, or spoke no FTP; reply: its words, as they may
    // be shown (none for an invalid reply).
    void refused(FtpControlConnection::Refusal refusal, const QString &reply);
    // The connection failed or ended before the conversation did;
    // connected: whether it still was when the error came.
    void lost(QAbstractSocket::SocketError error, const QString &text, bool connected);

private:
    void send(const QByteArray &command, Step next);
    void askForTheFile();
    void readReplies();
    void handle(const FtpProtocol::Response &reply);
    void handleLogin(const FtpProtocol::Response &reply);
    void handleSize(const FtpProtocol::Response &reply);
    void handleTransfer(const FtpProtocol::Response &reply);
    void refuse(Refusal refusal, const FtpProtocol::Response &reply);
    void refuseInvalid();
    void socketFailed();

    QTcpSocket *socket;
    FtpProtocol::ResponseReader replies;
    QUrl url;
    QByteArray path;
    bool upload;
    Step current = Step::Greeting;
    bool sizeTold = false; // SIZE answered before a read: the file is there
    bool endedWell = false;
    int replyCount = 0;
};

#endif // FTPCONTROLCONNECTION_H
