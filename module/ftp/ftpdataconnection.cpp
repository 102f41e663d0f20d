#include "ftpdataconnection.h"

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
    watcher = new SystemSocket::Watcher(descriptor, this);
    connect(watcher, &SystemSocket::Watcher::attemptEnded, this, &FtpDataConnection::attemptEnded);
    connect(watcher, &SystemSocket::Watcher::readable, this, &FtpDataConnection::readAvailable);
    connect(watcher, &SystemSocket::Watcher::writable, this, &FtpDataConnection::sendPending);
}

void FtpDataConnection::attemptEnded(int failure)
{
    if (failure != 0)
        return finish(SystemSocket::isRefused(failure) ? End::Refused : End::Failed, failure);
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
        if (size == 0 && watcher->endError() != 0)
            return finish(SystemSocket::isReset(watcher->endError()) ? End::Reset : End::Failed,
                          watcher->endError());
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
            watcher->watchWriting(true);
            return;
        }
        sentSoFar += size;
        emit sent(sentSoFar);
        if (how != End::Open)
            return;
    }
    watcher->watchWriting(false);
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
    delete watcher;
    watcher = nullptr;
    if (descriptor != SystemSocket::invalid)
        SystemSocket::close(descriptor);
    descriptor = SystemSocket::invalid;
}
