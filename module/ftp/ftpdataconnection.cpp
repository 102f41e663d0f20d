#include "ftpdataconnection.h"

#include <QSocketNotifier>

FtpDataConnection::FtpDataConnection(QObject *parent) : QObject(parent) { }

FtpDataConnection::~FtpDataConnection()
{
    close();
}

void FtpDataConnection::connectToHost(const QHostAddress &address, quint16 port)
{
    int failure = 0;
    descriptor = SystemSocket::open(address.protocol(), &failure);
    if (descriptor != SystemSocket::invalid)
        failure = SystemSocket::connect(descriptor, address, port);
    if (failure != 0) {
        QMetaObject::invokeMethod(
            this,
            [this, failure] {
                finish(SystemSocket::isRefused(failure) ? End::Refused : End::Failed, failure);
            },
            Qt::QueuedConnection);
        return;
    }
    // Writable once connected; a failed attempt wakes it too.
    writeNotifier = new QSocketNotifier(descriptor, QSocketNotifier::Write, this);
    connect(writeNotifier, &QSocketNotifier::activated, this, &FtpDataConnection::connectionReady);
}

void FtpDataConnection::connectionReady()
{
    const int failure = SystemSocket::connectionError(descriptor);
    if (failure != 0)
        return finish(SystemSocket::isRefused(failure) ? End::Refused : End::Failed, failure);
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
        int failure = 0;
        const qint64 size = SystemSocket::receive(descriptor, buffer, sizeof buffer, &failure);
        if (size > 0) {
            emit received(QByteArray(buffer, int(size)));
            if (how != End::Open)
                return; // the receiver ended it meanwhile
            continue;
        }
        if (size == 0)
            return finish(End::Clean);
        if (!SystemSocket::isPending(failure))
            finish(SystemSocket::isReset(failure) ? End::Reset : End::Failed, failure);
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
        int failure = 0;
        const qint64 size = SystemSocket::send(descriptor, pending.constData() + sentSoFar,
                                               pending.size() - sentSoFar, &failure);
        if (size < 0) {
            if (!SystemSocket::isPending(failure))
                return finish(SystemSocket::isReset(failure) ? End::Reset : End::Failed, failure);
            writeNotifier->setEnabled(true);
            return;
        }
        sentSoFar += size;
        emit sent(sentSoFar);
        if (how != End::Open)
            return;
    }
    writeNotifier->setEnabled(false);
    SystemSocket::shutDownSending(descriptor);
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
    if (descriptor != SystemSocket::invalid)
        SystemSocket::close(descriptor);
    descriptor = SystemSocket::invalid;
}
