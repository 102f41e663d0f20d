#include "ftpdataconnection.h"

#include <QNetworkInterface>
#include <QSocketNotifier>

#include <cstring>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
using Length = int;
constexpr int sendFlags = 0;
constexpr int closeSending = SD_SEND;
int lastError()
{
    return WSAGetLastError();
}
bool isPending(int error)
{
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
}
bool isReset(int error)
{
    return error == WSAECONNRESET || error == WSAECONNABORTED;
}
bool isRefused(int error)
{
    return error == WSAECONNREFUSED;
}
void closeSocket(qintptr socket)
{
    closesocket(SOCKET(socket));
}
bool makeNonBlocking(qintptr socket)
{
    u_long on = 1;
    return ioctlsocket(SOCKET(socket), FIONBIO, &on) == 0;
}
#else
using Length = socklen_t;
#ifdef MSG_NOSIGNAL
constexpr int sendFlags = MSG_NOSIGNAL; // a reset peer must not raise SIGPIPE
#else
constexpr int sendFlags = 0;
#endif
constexpr int closeSending = SHUT_WR;
int lastError()
{
    return errno;
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
void closeSocket(qintptr socket)
{
    ::close(int(socket));
}
bool makeNonBlocking(qintptr socket)
{
    const int flags = fcntl(int(socket), F_GETFL);
    return flags >= 0 && fcntl(int(socket), F_SETFL, flags | O_NONBLOCK) == 0
        && fcntl(int(socket), F_SETFD, FD_CLOEXEC) == 0;
}
#endif

// The address in the form the system's connect() takes.
Length socketAddress(const QHostAddress &address, quint16 port, sockaddr_storage *storage)
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
    ipv6->sin6_scope_id
        = decltype(ipv6->sin6_scope_id)(QNetworkInterface::interfaceIndexFromName(address.scopeId()));
    return sizeof *ipv6;
}

} // namespace

FtpDataConnection::FtpDataConnection(QObject *parent) : QObject(parent)
{
#ifdef Q_OS_WIN
    WSADATA version;
    WSAStartup(MAKEWORD(2, 2), &version); // counted: Qt's own sockets have usually started it
#endif
}

FtpDataConnection::~FtpDataConnection()
{
    close();
#ifdef Q_OS_WIN
    WSACleanup();
#endif
}

void FtpDataConnection::connectToHost(const QHostAddress &address, quint16 port)
{
    sockaddr_storage storage;
    const Length length = socketAddress(address, port, &storage);
    descriptor = qintptr(::socket(storage.ss_family, SOCK_STREAM, IPPROTO_TCP));
    const bool started = descriptor != -1 && makeNonBlocking(descriptor)
        && (::connect(descriptor, reinterpret_cast<const sockaddr *>(&storage), length) == 0
            || isPending(lastError()));
    if (!started) {
        const int failure = lastError();
        QMetaObject::invokeMethod(
            this, [this, failure] { finish(End::Failed, failure); }, Qt::QueuedConnection);
        return;
    }
    // Writable once connected; a failed attempt wakes it too.
    writeNotifier = new QSocketNotifier(descriptor, QSocketNotifier::Write, this);
    connect(writeNotifier, &QSocketNotifier::activated, this, &FtpDataConnection::connectionReady);
}

void FtpDataConnection::connectionReady()
{
    int failure = 0;
    Length size = sizeof failure;
    getsockopt(descriptor, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&failure), &size);
    if (failure != 0)
        return finish(isRefused(failure) ? End::Refused : End::Failed, failure);
    writeNotifier->setEnabled(false);
    disconnect(writeNotifier, nullptr, this, nullptr);
    connect(writeNotifier, &QSocketNotifier::activated, this, &FtpDataConnection::sendPending);
    readNotifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(readNotifier, &QSocketNotifier::activated, this, &FtpDataConnection::readAvailable);
    connectedOnce = true;
    emit connected();
}

void FtpDataConnection::readAvailable()
{
    char buffer[4096];
    for (;;) {
        const auto size = ::recv(descriptor, buffer, sizeof buffer, 0);
        if (size > 0) {
            emit received(QByteArray(buffer, int(size)));
            if (how != End::Open)
                return; // the receiver ended it meanwhile
            continue;
        }
        if (size == 0)
            return finish(End::Clean);
        const int failure = lastError();
        if (!isPending(failure))
            finish(isReset(failure) ? End::Reset : End::Failed, failure);
        return;
    }
}

void FtpDataConnection::send(const QByteArray &bytes)
{
    if (sending || how != End::Open)
        return;
    sending = true;
    pending = bytes;
    sendPending();
}

void FtpDataConnection::sendPending()
{
    while (sentSoFar < pending.size()) {
        const auto size
            = ::send(descriptor, pending.constData() + sentSoFar, int(pending.size() - sentSoFar), sendFlags);
        if (size < 0) {
            const int failure = lastError();
            if (!isPending(failure))
                return finish(isReset(failure) ? End::Reset : End::Failed, failure);
            writeNotifier->setEnabled(true);
            return;
        }
        sentSoFar += size;
        emit sent(sentSoFar);
        if (how != End::Open)
            return;
    }
    writeNotifier->setEnabled(false);
    ::shutdown(descriptor, closeSending);
}

void FtpDataConnection::abort()
{
    if (how == End::Open)
        how = End::Failed;
    close();
}

void FtpDataConnection::finish(End end, int systemError)
{
    if (how != End::Open)
        return;
    how = end;
    if (systemError != 0)
        error = qt_error_string(systemError);
    close();
    emit ended();
}

void FtpDataConnection::close()
{
    delete readNotifier;
    readNotifier = nullptr;
    delete writeNotifier;
    writeNotifier = nullptr;
    if (descriptor != -1)
        closeSocket(descriptor);
    descriptor = -1;
}
