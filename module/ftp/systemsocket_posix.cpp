#include "systemsocket.h"

#include <QNetworkInterface>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The address in the form the system's connect() takes.
socklen_t socketAddress(const QHostAddress &address, quint16 port, sockaddr_storage *storage)
{
    std::memset(storage, 0, sizeof *storage);
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto *ipv4 = reinterpret_cast<sockaddr_in *>(storage);
        ipv4->sin_family = AF_INET;
        ipv4->sin_port = htons(port);
        ipv4->sin_addr.s_addr = htonl(address.toIPv4Address());
        return sizeof *ipv4;
    }
    auto *ipv6 = reinterpret_cast<sockaddr_in6 *>(storage);
    ipv6->sin6_family = AF_INET6;
    ipv6->sin6_port = htons(port);
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    std::memcpy(&ipv6->sin6_addr, bytes.c, sizeof bytes.c);
    ipv6->sin6_scope_id = QNetworkInterface::interfaceIndexFromName(address.scopeId());
    return sizeof *ipv6;
}

} // namespace

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
