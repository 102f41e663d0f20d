#include "systemsocket.h"

#include "socketaddress.h"

#include <QSocketNotifier>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace SystemSocket {

Library::Library() = default;
Library::~Library() = default;

Handle open(QAbstractSocket::NetworkLayerProtocol protocol, int *error)
{
    const int family = protocol == QAbstractSocket::IPv4Protocol ? AF_INET : AF_INET6;
    const int socket = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket == -1)
        *error = errno;
    return socket;
}

void close(Handle socket)
{
    ::close(int(socket));
}

int connect(Handle socket, const QHostAddress &address, quint16 port)
{
    sockaddr_storage storage;
    const socklen_t length = socketAddress(address, port, &storage);
    if (::connect(int(socket), reinterpret_cast<const sockaddr *>(&storage), length) == 0)
        return 0;
    return isPending(errno) ? 0 : errno;
}

// Writable once the connection attempt has ended, either way; readable
// from then on.
struct Watcher::Platform
{
    Handle socket;
    QSocketNotifier *reading = nullptr;
    QSocketNotifier *writing = nullptr;
    bool connecting = true;
};

Watcher::Watcher(Handle socket, QObject *parent) : QObject(parent), platform(new Platform {socket})
{
    platform->writing = new QSocketNotifier(socket, QSocketNotifier::Write, this);
    connect(platform->writing, &QSocketNotifier::activated, this, [this] {
        if (!platform->connecting)
            return emit writable();
        platform->connecting = false;
        platform->writing->setEnabled(false);
        int error = 0;
        socklen_t size = sizeof error;
        if (getsockopt(int(platform->socket), SOL_SOCKET, SO_ERROR, &error, &size) != 0)
            error = errno;
        if (error == 0) {
            platform->reading = new QSocketNotifier(platform->socket, QSocketNotifier::Read, this);
            connect(platform->reading, &QSocketNotifier::activated, this, &Watcher::readable);
        }
        emit attemptEnded(error);
    });
}

Watcher::~Watcher() = default;

void Watcher::watchWriting(bool watched)
{
    if (!platform->connecting)
        platform->writing->setEnabled(watched);
}

int Watcher::endError() const
{
    return 0; // recv() tells a reset
}

qint64 receive(Handle socket, char *buffer, qint64 size, int *error)
{
    const ssize_t received = ::recv(int(socket), buffer, size_t(size), 0);
    if (received < 0)
        *error = errno;
    return received;
}

qint64 send(Handle socket, const char *bytes, qint64 size, int *error)
{
    // A peer that has reset the connection must not raise SIGPIPE.
    const ssize_t sent = ::send(int(socket), bytes, size_t(size), MSG_NOSIGNAL);
    if (sent < 0)
        *error = errno;
    return sent;
}

void shutDownSending(Handle socket)
{
    ::shutdown(int(socket), SHUT_WR);
}

bool isPending(int error)
{
    return error == EINPROGRESS || error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

bool isReset(int error)
{
    return error == ECONNRESET || error == EPIPE;
}

bool isRefused(int error)
{
    return error == ECONNREFUSED;
}

} // namespace SystemSocket
