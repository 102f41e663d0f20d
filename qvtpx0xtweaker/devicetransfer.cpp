// Transfers with the module: the address check, the read (download) and the
// write (upload) of its parameter file over anonymous FTP.

#include "qvtpx0xtweaker.h"

#include "mainform.h"
#include "transferwatchdog.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDebug>
#include <QHostAddress>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkAddressEntry>
#include <QNetworkInterface>
#include <QNetworkReply>
#include <QStatusBar>

namespace {

bool isOnLocalSubnet(const QHostAddress &address)
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries) {
            if (address.isInSubnet(entry.ip(), entry.prefixLength()))
                return true;
        }
    }
    return false;
}

// Why a finished download failed, or an empty text when it succeeded.
QString downloadFailure(const QNetworkReply *reply)
{
    const TransferWatchdog *watchdog = TransferWatchdog::of(reply);
    if (watchdog && watchdog->hasExpired())
        return TransferWatchdog::expiryText();
    if (reply->error() != QNetworkReply::NoError)
        return reply->errorString();
    // Qt's FTP layer reports success without ever sending RETR to a server
    // without HELP, and with part of the file when the server drops the
    // connection. A file the server really sent comes with its size.
    const QVariant size = reply->header(QNetworkRequest::ContentLengthHeader);
    const qint64 received = reply->bytesAvailable();
    if (!size.isValid())
        return received == 0 ? QStringLiteral("No data received") : QString();
    if (received != size.toLongLong())
        return QStringLiteral("Download incomplete: %1 of %2 bytes received")
            .arg(received)
            .arg(size.toLongLong());
    return QString();
}

// Why a finished upload of `size` bytes failed, or an empty text.
QString uploadFailure(const QNetworkReply *reply, qint64 size)
{
    const TransferWatchdog *watchdog = TransferWatchdog::of(reply);
    if (watchdog && watchdog->hasExpired())
        return TransferWatchdog::expiryText();
    if (reply->error() != QNetworkReply::NoError)
        return reply->errorString();
    // Qt's FTP layer may report success for an upload that never started.
    const qint64 sent = watchdog ? watchdog->bytesUploaded() : 0;
    if (sent != size)
        return QStringLiteral("Upload incomplete: %1 of %2 bytes sent").arg(sent).arg(size);
    return QString();
}

} // namespace

QUrl qvtpx0xtweaker::buildDeviceUrl() const
{
    QHostAddress address;
    address.setAddress(form->lineEditIP->text());
    if (address.isNull())
        return QUrl();

    QNetworkAddressEntry device;
    device.setIp(address);
    if (!isOnLocalSubnet(device.ip()))
        return QUrl();

    QUrl url;
    url.setUrl(QStringLiteral("ftp://anonymous:@") + device.ip().toString() + QStringLiteral("/vtpx_domo"),
               QUrl::TolerantMode);
    return url.isValid() ? url : QUrl();
}

// Each transfer has a manager of its own, released by its completion. It is
// a child of the window so that a transfer still running when the window
// closes is released with it.
QNetworkAccessManager *qvtpx0xtweaker::createTransferManager()
{
    auto *manager = new QNetworkAccessManager(this);
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    manager->setNetworkAccessible(QNetworkAccessManager::Accessible);
    QT_WARNING_POP
    manager->clearAccessCache();
    manager->clearConnectionCache();
    return manager;
}

// Forgets the finished transfer's connections and cached FTP session.
void qvtpx0xtweaker::detachTransfer(QNetworkAccessManager *manager, QNetworkReply *reply)
{
    disconnect(manager, nullptr, this, nullptr);
    manager->clearAccessCache();
    manager->clearConnectionCache();
    disconnect(reply, nullptr, this, nullptr);
}

void qvtpx0xtweaker::reportTransferFailure(const QString &statusPrefix, const QString &boxPrefix,
                                           const QUrl &url, const QString &error)
{
    qWarning() << "Error occurs" << error;
    form->statusbar->showMessage(statusPrefix + error, 0);
    QMessageBox::critical(this, QCoreApplication::applicationName(),
                          boxPrefix + url.toString() + QStringLiteral(". Error: ") + error, QMessageBox::Ok,
                          QMessageBox::NoButton);
}

void qvtpx0xtweaker::on_butRead_clicked()
{
    form->statusbar->showMessage(QString(), 0);
    const QUrl url = buildDeviceUrl();
    if (!url.isValid())
        return;

    form->statusbar->showMessage(QStringLiteral("Downloading ") + url.toString() + QStringLiteral(" ..."), 0);
    QNetworkAccessManager *manager = createTransferManager();
    // Signatures in moc's normalized form, which clang-format would respace.
    // clang-format off
    connect(manager, SIGNAL(finished(QNetworkReply*)),
            this, SLOT(cb_networkAccessManagerGet_finished(QNetworkReply*)));
    // clang-format on
    TransferWatchdog::watch(manager->get(QNetworkRequest(url)));
}

void qvtpx0xtweaker::cb_networkAccessManagerGet_finished(QNetworkReply *reply)
{
    auto *manager = qobject_cast<QNetworkAccessManager *>(sender());
    if (!manager)
        return;
    detachTransfer(manager, reply);
    qInfo() << "ftpDownloadFinish" << reply->isFinished() << reply->url();

    const QString failure = downloadFailure(reply);
    if (!failure.isEmpty()) {
        reportTransferFailure(QStringLiteral("Download error: "), QStringLiteral("Error while downloading "),
                              reply->url(), failure);
    } else {
        applyParameterFile(reply->readAll());
        form->statusbar->showMessage(
            QStringLiteral("Parameters successfully downloaded from ") + reply->url().toString(), 0);
    }
    reply->deleteLater();
    manager->deleteLater();
}

void qvtpx0xtweaker::on_butWrite_clicked()
{
    // One write at a time: two uploads of the same file could interleave on
    // the module, and the running one still reads uploadData.
    if (uploadData)
        return;
    form->statusbar->showMessage(QString(), 0);
    const QUrl url = buildDeviceUrl();
    if (!url.isValid())
        return;

    form->statusbar->showMessage(
        QStringLiteral("Uploading parameters to ") + url.toString() + QStringLiteral(" ..."), 0);
    QNetworkAccessManager *manager = createTransferManager();
    // Signatures in moc's normalized form, which clang-format would respace.
    // clang-format off
    connect(manager, SIGNAL(finished(QNetworkReply*)),
            this, SLOT(cb_networkAccessManagerPut_finished(QNetworkReply*)));
    // clang-format on
    // Qt's FTP layer may still hold the upload device when the reply has
    // finished, so the manager owns it: the buffer, and the file text it
    // holds, go when the manager goes.
    uploadBuffer = new QBuffer(manager);
    uploadBuffer->setData(buildParameterFile());
    uploadData = &uploadBuffer->buffer();
    uploadBuffer->open(QIODevice::ReadOnly);
    uploadBuffer->seek(0);
    TransferWatchdog::watch(manager->put(QNetworkRequest(url), uploadBuffer));
}

void qvtpx0xtweaker::cb_networkAccessManagerPut_finished(QNetworkReply *reply)
{
    auto *manager = qobject_cast<QNetworkAccessManager *>(sender());
    if (!manager)
        return;
    detachTransfer(manager, reply);
    qWarning() << "ftpDownloadFinish" << reply->isFinished() << reply->url();

    const QString failure = uploadFailure(reply, uploadData ? uploadData->size() : 0);
    // The window lets go of the upload now; the manager frees it.
    uploadBuffer = nullptr;
    uploadData = nullptr;
    reply->deleteLater();
    manager->deleteLater();

    const QString url = reply->url().toString();
    if (!failure.isEmpty()) {
        reportTransferFailure(QStringLiteral("Upload error: "), QStringLiteral("Error while uploading "),
                              reply->url(), failure);
        return;
    }
    form->statusbar->showMessage(QStringLiteral("Parameters successfully written to ") + url, 0);
    QMessageBox::information(this, QCoreApplication::applicationName(),
                             QStringLiteral("Parameters sent to ") + url
                                 + QStringLiteral(".<br>Please restart the screen by going to "
                                                  "\"Settings menu->Restart\" on VTPX02/04."),
                             QMessageBox::Ok, QMessageBox::NoButton);
}
