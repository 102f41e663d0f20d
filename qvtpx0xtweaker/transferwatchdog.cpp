#include "transferwatchdog.h"

#include <QNetworkReply>

int TransferWatchdog::idleLimitSeconds = 30;

TransferWatchdog::TransferWatchdog(QNetworkReply *reply) : QObject(reply), reply(reply)
{
    idleTimer.setSingleShot(true);
    idleTimer.setInterval(idleLimitSeconds * 1000);
    connect(&idleTimer, &QTimer::timeout, this, &TransferWatchdog::expire);
    connect(reply, &QNetworkReply::downloadProgress, this, &TransferWatchdog::onDownloadProgress);
    connect(reply, &QNetworkReply::uploadProgress, this, &TransferWatchdog::onUploadProgress);
    connect(reply, &QNetworkReply::finished, &idleTimer, &QTimer::stop);
    if (!reply->isFinished())
        idleTimer.start();
}

const TransferWatchdog *TransferWatchdog::of(const QNetworkReply *reply)
{
    return reply->findChild<TransferWatchdog *>(QString(), Qt::FindDirectChildrenOnly);
}

QString TransferWatchdog::expiryText()
{
    return QStringLiteral("No answer from the module for %1 seconds").arg(idleLimitSeconds);
}

void TransferWatchdog::onDownloadProgress(qint64 bytesReceived)
{
    if (bytesReceived > downloaded) {
        downloaded = bytesReceived;
        idleTimer.start();
    }
}

void TransferWatchdog::onUploadProgress(qint64 bytesSent)
{
    if (bytesSent > uploaded) {
        uploaded = bytesSent;
        idleTimer.start();
    }
}

void TransferWatchdog::expire()
{
    if (reply->isFinished())
        return;
    expired = true;
    reply->abort();
}
