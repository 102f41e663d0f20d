#include "systemsocket.h"

#include "socketaddress.h"

#include <QPointer>
#include <QWinEventNotifier>

#include <winsock2.h>
#include <ws2tcpip.h>

namespace SystemSocket {

// Each start is counted, and undone by its own cleanup: Qt's sockets keep
// theirs.
Library::Library()
{
    WSADATA version;
    WSAStartup(MAKEWORD(2, 2), &version);
}

Library::~Library()
{
    WSACleanup();
}

Handle open(QAbstractSocket::NetworkLayerProtocol protocol, int *error)
{
    const int family = protocol == QAbstractSocket::IPv4Protocol ? AF_INET : AF_INET6;
    // Not inherited by child processes, as on POSIX systems.
    const SOCKET socket
        = WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    u_long nonBlocking = 1;
    if (socket == INVALID_SOCKET || ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) {
        *error = WSAGetLastError();
        if (socket != INVALID_SOCKET)
            closesocket(socket);
        return invalid;
    }
    return Handle(socket);
}

void close(Handle socket)
{
    closesocket(SOCKET(socket));
}

int connect(Handle socket, const QHostAddress &address, quint16 port)
{
    sockaddr_storage storage;
    const int length = socketAddress(address, port, &storage);
    if (::connect(SOCKET(socket), reinterpret_cast<const sockaddr *>(&storage), length) == 0)
        return 0;
    const int error = WSAGetLastError();
    return isPending(error) ? 0 : error;
}

// The socket's own network event: each notice carries its error, that of
// a failed connection attempt and that of a reset end among them.
struct Watcher::Platform
{
    Handle socket;
    WSAEVENT event = WSACreateEvent();
    QWinEventNotifier *notifier = nullptr;
    bool writingWatched = false;
    int ending = 0;
};

Watcher::Watcher(Handle socket, QObject *parent) : QObject(parent), platform(new Platform {socket})
{
    WSAEventSelect(SOCKET(socket), platform->event, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE);
    platform->notifier = new QWinEventNotifier(platform->event, this);
    connect(platform->notifier, &QWinEventNotifier::activated, this, [this] {
        WSANETWORKEVENTS events;
        if (WSAEnumNetworkEvents(SOCKET(platform->socket), platform->event, &events) != 0)
            return;
        const QPointer<Watcher> alive(this); // a receiver may end the connection, and this with it
        if (events.lNetworkEvents & FD_CONNECT)
            emit attemptEnded(events.iErrorCode[FD_CONNECT_BIT]);
        if (alive && (events.lNetworkEvents & FD_CLOSE))
            platform->ending = events.iErrorCode[FD_CLOSE_BIT];
        if (alive && (events.lNetworkEvents & (FD_READ | FD_CLOSE)))
            emit readable();
        if (alive && (events.lNetworkEvents & FD_WRITE) && platform->writingWatched)
            emit writable();
    });
}

Watcher::~Watcher()
{
    delete platform->notifier;
    WSAEventSelect(SOCKET(platform->socket), nullptr, 0);
    WSACloseEvent(platform->event);
}

// Windows signals writing again only after a send() that would block.
void Watcher::watchWriting(bool watched)
{
    platform->writingWatched = watched;
}

// Wine leaves the error out of FD_CLOSE; a send of no bytes then asks the
// socket whether the peer reset it (it sends nothing either way).
int Watcher::endError() const
{
    if (platform->ending != 0)
        return platform->ending;
    if (::send(SOCKET(platform->socket), "", 0, 0) == SOCKET_ERROR && isReset(WSAGetLastError()))
        return WSAGetLastError();
    return 0;
}

qint64 receive(Handle socket, char *buffer, qint64 size, int *error)
{
    const int received = ::recv(SOCKET(socket), buffer, int(size), 0);
    if (received == SOCKET_ERROR)
        *error = WSAGetLastError();
    return received;
}

qint64 send(Handle socket, const char *bytes, qint64 size, int *error)
{
    const int sent = ::send(SOCKET(socket), bytes, int(size), 0);
    if (sent == SOCKET_ERROR)
        *error = WSAGetLastError();
    return sent;
}

void shutDownSending(Handle socket)
{
    ::shutdown(SOCKET(socket), SD_SEND);
}

bool isPending(int error)
{
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS || error == WSAEINTR;
}

bool isReset(int error)
{
    return error == WSAECONNRESET || error == WSAECONNABORTED;
}

bool isRefused(int error)
{
    return error == WSAECONNREFUSED;
}

} // namespace SystemSocket
