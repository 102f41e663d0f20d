#ifndef SYSTEMSOCKET_H
#define SYSTEMSOCKET_H

#include <QAbstractSocket>
#include <QHostAddress>
#include <QObject>

#include <memory>

// The operating system's TCP socket, as the file's data connection uses it:
// non-blocking, and telling a reset from a clean end. One implementation
// per platform (systemsocket_posix.cpp, systemsocket_windows.cpp); errors
// are the system's own codes (errno, WSAGetLastError()).
namespace SystemSocket {

using Handle = qintptr;
constexpr Handle invalid = -1;

// Holds the system's socket library for as long as a socket may be used
// (Windows counts each start and its cleanup; POSIX needs nothing).
class Library
{
public:
    Library();
    ~Library(); // NOLINT(performance-trivially-destructible): not on Windows
    Q_DISABLE_COPY(Library)
};

// What can be done with a socket next, from the event loop of the thread
// that made the watcher: its connection attempt has ended, bytes (or the
// connection's end) can be read, bytes can be written. POSIX systems tell
// it through Qt's socket notifiers; Windows through a network event of the
// socket's own (WSAEventSelect), which also tells a failed connection
// attempt and a reset end apart. Deleted before its socket is closed.
class Watcher : public QObject
{
    Q_OBJECT

public:
    Watcher(Handle socket, QObject *parent);
    ~Watcher() override;
    // writable() only while bytes wait to be sent.
    void watchWriting(bool watched);
    // The error with which the connection ended, where the system tells
    // it with the end's notice (Windows) rather than from recv(); else 0.
    int endError() const;

signals:
    void attemptEnded(int error); // 0: connected
    void readable();
    void writable();

private:
    struct Platform;
    std::unique_ptr<Platform> platform;
};

// A non-blocking socket for the protocol, not inherited by child processes.
Handle open(QAbstractSocket::NetworkLayerProtocol protocol, int *error);
void close(Handle socket);
// Starts a connection: 0 when it is made or on its way, else the error.
int connect(Handle socket, const QHostAddress &address, quint16 port);
// Bytes received (0: the peer's clean end) or sent, or -1 with *error set.
qint64 receive(Handle socket, char *buffer, qint64 size, int *error);
qint64 send(Handle socket, const char *bytes, qint64 size, int *error);
void shutDownSending(Handle socket);

bool isPending(int error); // try again later
bool isReset(int error);   // the peer broke the connection off
bool isRefused(int error);

} // namespace SystemSocket

#endif // SYSTEMSOCKET_H
