#ifndef SOCKETADDRESS_H
#define SOCKETADDRESS_H

#include <QHostAddress>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <sys/socket.h>
#endif

// The address and port in the form the system's connect() takes; its
// length. The same on POSIX systems and Windows.
int socketAddress(const QHostAddress &address, quint16 port, sockaddr_storage *storage);

#endif // SOCKETADDRESS_H
