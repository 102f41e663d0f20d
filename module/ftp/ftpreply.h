#ifndef FTPREPLY_H
#define FTPREPLY_H

#include "ftpprotocol.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

class FtpDataConnection;
class QTcpSocket;

// How long a transfer may go without any answer or data byte, and in all.
struct FtpTimeLimits
{
    int idleSeconds = 30;
    int totalSeconds = 120;
};

// One download (get) or upload (put) of a single file over anonymous FTP in
// passive mode, driven by the sockets' signals on the thread that made it.
// The data connection goes to the control connection's peer, whatever
// address the server names; a reply, a file and the time a transfer takes
// are all bounded, and anything else ends the reply with an error.
//
// The outcome is decided once the server has confirmed the transfer and
// its data is whole: every byte that SIZE announced, or else the data
// connection's clean end (an upload's is then checked with SIZE). A data
// connection reset before that fails it; nothing that comes after it
// changes it. The reply emits finished() exactly once, from the event
// loop; a read's bytes become readable then, and only when whole.
class FtpReply : public QNetworkReply
{
    Q_OBJECT

public:
    static constexpr int maxFileSize = 65536;

    FtpReply(QNetworkAccessManager::Operation operation, const QNetworkRequest &request,
             QIODevice *outgoingData, const FtpTimeLimits &limits, QObject *parent);

    void abort() override;
    qint64 bytesAvailable() const override;
    bool isSequential() const override { return true; }
    // True once an upload's STOR has gone out: from then on, ending the
    // transfer early may leave the module's file cut short.
    bool mayHaveChangedFile() const;
    // How long the transfer may still take at most, by its limit in all.
    int millisecondsLeft() const { return totalTimer.remainingTime(); }

protected:
    qint64 readData(char *buffer, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    enum class Step {
        Greeting,
        User,
        Password,
        Type,
        Size,
        Passive,
        DataConnection,
        Transfer,
        Verify,
        Ended
    };

    void setUpTimers(const FtpTimeLimits &limits);
    bool isDownload() const { return operation() == QNetworkAccessManager::GetOperation; }
    QString refusal(const QIODevice *outgoingData) const;
    void send(const QByteArray &command, Step next);
    void readResponses();
    void handleResponse(const FtpProtocol::Response &response);
    void handleLogin(const FtpProtocol::Response &response);
    void handleSize(const FtpProtocol::Response &response);
    void handleTransfer(const FtpProtocol::Response &response);
    void handleUploadSize(const FtpProtocol::Response *response);
    void controlFailed();
    void openDataConnection(quint16 port);
    void receiveFileData(const QByteArray &bytes);
    void judge();
    void judgeDownload();
    void failOnServer(NetworkError code, const QString &what, const FtpProtocol::Response &response);
    void failOnUnexpected(const FtpProtocol::Response &response);
    void failOnInvalidReply();
    void failOnFileSize();
    void failOnBrokenData();
    void failOnTime(const QString &what);
    void failOnDataConnection();
    void failOnSocket(const QTcpSocket *socket);
    void end(NetworkError code = NoError, const QString &text = QString());
    void emitFinished();
    void stillAlive() { idleTimer.start(); }

    QTcpSocket *control;
    FtpDataConnection *data = nullptr;
    FtpProtocol::ResponseReader responses;
    Step step = Step::Greeting;
    QByteArray path;
    QByteArray file;          // what is sent, or what has arrived so far
    qint64 fileOffset = 0;    // read from `file` by the reply's user
    qint64 announced = -1;    // the size SIZE gave, if any
    bool confirmed = false;   // the server's 226 or 250
    bool controlLost = false; // before that, in the middle of a read
    QTimer idleTimer;
    QTimer totalTimer;
};

#endif // FTPREPLY_H
