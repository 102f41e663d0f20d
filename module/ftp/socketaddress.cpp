#include "socketaddress.h"

#include <QNetworkInterface>

#include <cstring>
#ifndef Q_OS_WIN
#include <arpa/inet.h>
#include <netinet/in.h>
#endif

int socketAddress(const QHostAddress &address, quint16 port, sockaddr_storage *storage)
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
