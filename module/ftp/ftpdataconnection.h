#ifndef FTPDATACONNECTION_H
#define FTPDATACONNECTION_H

#include "systemsocket.h"

#include <QHostAddress>
#include <QObject>

// The data connection of one FTP transfer, on the operating system's
// socket. QTcpSocket reads a connection reset by the peer as an ordinary
// end; here the two differ, because a file whose connection was reset is
// not known to be whole. Driven by the event loop of its thread.
class FtpDataConnection : public QObject
{
    Q_OBJECT

public:
    enum class End { Open, Clean, Reset, Refused, Failed };

    explicit FtpDataConnection(QObject *parent = nullptr);
    ~FtpDataConnection() override;

    void connectToHost(const QHostAddress &address, quint16 port);
    // Sends these bytes, then closes the sending direction; the peer's own
    // end of the connection is still awaited.
    void send(const QByteArray &bytes);
    // Closes the connection at once, without ended().
    void abort();
    bool hasConnected() const { return connectedOnce; }
    qint64 bytesSent() const { return sentSoFar; }
    // How the connection ended, once ended() was emitted.
    End end() const { return how; }
    QString errorString() const { return error; }

signals:
    void connected();
    void received(const QByteArray &bytes);
    void sent(qint64 bytesSoFar);
    void ended();

private:
    void attemptEnded(int failure);
    void readAvailable();
    void sendPending();
    void finish(End end, int systemError = 0);
    void close();

    SystemSocket::Library library;
    SystemSocket::Handle descriptor = SystemSocket::invalid;
    SystemSocket::Watcher *watcher = nullptr;
    bool connectedOnce = false;
    bool sending = false;
    QByteArray pending;
    qint64 sentSoFar = 0;
    End how = End::Open;
    QString error;
};

#endif // FTPDATACONNECTION_H
