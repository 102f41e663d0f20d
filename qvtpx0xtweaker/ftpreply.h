#ifndef FTPREPLY_H
#define FTPREPLY_H

#include "ftpprotocol.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

class QTcpSocket;

// One download (get) or upload (put) of a single file over anonymous FTP in
// passive mode, driven by the sockets' signals on the thread that made it.
// The data connection goes to the control connection's peer, whatever
// address the server names; a reply, a file and the time a transfer takes
// are all bounded, and anything else ends the reply with an error. The
// reply emits finished() exactly once, from the event loop; a read's bytes
// become readable then, and only when the whole file arrived.
class FtpReply : public QNetworkReply
{
    Q_OBJECT

public:
    static constexpr int maxFileSize = 65536;

    FtpReply(QNetworkAccessManager::Operation operation, const QNetworkRequest &request,
             QIODevice *outgoingData, QObject *parent);

    void abort() override;
    qint64 bytesAvailable() const override;
    bool isSequential() const override { return true; }

    static void setTimeLimitsForTesting(int idleSeconds, int totalSeconds);

protected:
    qint64 readData(char *buffer, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    enum class Step { Greeting, User, Password, Type, Size, Passive, DataConnection, Transfer, Ended };

    void setUpTimers();
    bool isDownload() const { return operation() == QNetworkAccessManager::GetOperation; }
    QString refusal(const QIODevice *outgoingData) const;
    void send(const QByteArray &command, Step next);
    void readResponses();
    void handleResponse(const FtpProtocol::Response &response);
    void handleLogin(const FtpProtocol::Response &response);
    void handleSize(const FtpProtocol::Response &response);
    void handleTransfer(const FtpProtocol::Response &response);
    void openDataConnection(quint16 port);
    void receiveFileData();
    void fileDataWritten(qint64 bytes);
    void dataConnectionClosed();
    void endIfTransferDone();
    void failOnServer(NetworkError code, const QString &what, const FtpProtocol::Response &response);
    void failOnUnexpected(const FtpProtocol::Response &response);
    void failOnInvalidReply();
    void failOnFileSize();
    void failOnSocket(const QTcpSocket *socket);
    void end(NetworkError code = NoError, const QString &text = QString());
    void emitFinished();
    void stillAlive() { idleTimer.start(); }

    QTcpSocket *control;
    QTcpSocket *data = nullptr;
    FtpProtocol::ResponseReader responses;
    Step step = Step::Greeting;
    QByteArray path;
    QByteArray file;       // what is sent, or what has arrived so far
    qint64 fileOffset = 0; // read from `file` by the reply's user
    qint64 announced = -1; // the size SIZE gave, if any
    qint64 written = 0;    // bytes of an upload the data connection took
    bool finalReply = false;
    bool dataClosed = false;
    QTimer idleTimer;
    QTimer totalTimer;

    static int idleLimitSeconds;
    static int totalLimitSeconds;
};

#endif // FTPREPLY_H
