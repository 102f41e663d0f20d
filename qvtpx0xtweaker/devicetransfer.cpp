// Transfers with the module: its file's URL by the address rule, the read
// (download) and the write (upload) of that file over anonymous FTP, and
// quitting while a write runs.

#include "qvtpx0xtweaker.h"

#include "ftpaccessmanager.h"
#include "mainform.h"
#include "moduleaddress.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDebug>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStatusBar>

QUrl qvtpx0xtweaker::buildDeviceUrl() const
{
    return ModuleAddress::parameterFileUrl(form->lineEditIP->text());
}

// Each transfer has a manager of its own, released by its completion. It is
// a child of the window so that a transfer still running when the window
// closes is released with it.
QNetworkAccessManager *qvtpx0xtweaker::createTransferManager()
{
    auto *manager = new FtpAccessManager(this);
    manager->setTimeLimits(transferTimeLimits);
    transferInFlight = manager;
    // What the controls show is always the module that the field names.
    form->lineEditIP->setReadOnly(true);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0) // Qt 6 has no such state: a manager is always accessible
#if QT_CONFIG(bearermanagement)            // nor has a Qt 5 built without bearer management
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    transferInFlight->setNetworkAccessible(QNetworkAccessManager::Accessible);
    QT_WARNING_POP
#endif
#endif
    transferInFlight->clearAccessCache();
    transferInFlight->clearConnectionCache();
    return transferInFlight;
}

// Forgets the finished transfer's connections and cached sessions.
void qvtpx0xtweaker::detachTransfer(QNetworkAccessManager *manager, QNetworkReply *reply)
{
    if (manager == transferInFlight) {
        transferInFlight = nullptr;
        form->lineEditIP->setReadOnly(false);
    }
    disconnect(manager, nullptr, this, nullptr);
    manager->clearAccessCache();
    manager->clearConnectionCache();
    disconnect(reply, nullptr, this, nullptr);
}

void qvtpx0xtweaker::reportTransferFailure(const QString &statusPrefix, const QString &boxPrefix,
                                           const QNetworkReply *reply)
{
    const QString error = reply->errorString();
    qWarning() << "Error occurs" << error;
    form->statusbar->showMessage(statusPrefix + error, 0);
    QMessageBox::critical(this, QCoreApplication::applicationName(),
                          boxPrefix + reply->url().toString() + QStringLiteral(". Error: ") + error,
                          QMessageBox::Ok, QMessageBox::NoButton);
}

// One transfer at a time: a read and a write, or two reads, that overlap
// could leave one module's settings under another's address, or write what
// the controls held before a read arrived. A click meanwhile does nothing.
void qvtpx0xtweaker::on_butRead_clicked()
{
    if (transferInFlight)
        return;
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
    manager->get(QNetworkRequest(url));
}

void qvtpx0xtweaker::cb_networkAccessManagerGet_finished(QNetworkReply *reply)
{
    auto *manager = qobject_cast<QNetworkAccessManager *>(sender());
    if (!manager)
        return;
    detachTransfer(manager, reply);
    qInfo() << "ftpDownloadFinish" << reply->isFinished() << reply->url();

    if (reply->error() != QNetworkReply::NoError) {
        reportTransferFailure(QStringLiteral("Download error: "), QStringLiteral("Error while downloading "),
                              reply);
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
    if (transferInFlight)
        return;
    form->statusbar->showMessage(QString(), 0);
    const QUrl url = buildDeviceUrl();
    if (!url.isValid())
        return;

    form->statusbar->showMessage(
        QStringLiteral("Uploading parameters to ") + url.toString() + QStringLiteral(" ..."), 0);
    QNetworkAccessManager *manager = createTransferManager();
    // clang-format off
    connect(manager, SIGNAL(finished(QNetworkReply*)),
            this, SLOT(cb_networkAccessManagerPut_finished(QNetworkReply*)));
    // clang-format on
    uploadData = new QByteArray(buildParameterFile());
    uploadBuffer = new QBuffer(uploadData);
    uploadBuffer->open(QIODevice::ReadOnly);
    uploadBuffer->seek(0);
    manager->put(QNetworkRequest(url), uploadBuffer);
}

void qvtpx0xtweaker::cb_networkAccessManagerPut_finished(QNetworkReply *reply)
{
    auto *manager = qobject_cast<QNetworkAccessManager *>(sender());
    if (!manager)
        return;
    detachTransfer(manager, reply);
    qWarning() << "ftpDownloadFinish" << reply->isFinished() << reply->url();

    releaseUpload();
    reply->deleteLater();
    manager->deleteLater();

    // The user asked to quit: once the module holds the new file, the tool
    // may end; a failed write is told first, and the user quits again.
    const bool quitNow = quitWhenWritten && reply->error() == QNetworkReply::NoError;
    quitWhenWritten = false;
    if (quitNow) {
        close();
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        reportTransferFailure(QStringLiteral("Upload error: "), QStringLiteral("Error while uploading "),
                              reply);
        return;
    }
    const QString url = reply->url().toString();
    form->statusbar->showMessage(QStringLiteral("Parameters successfully written to ") + url, 0);
    QMessageBox::information(this, QCoreApplication::applicationName(),
                             QStringLiteral("Parameters sent to ") + url
                                 + QStringLiteral(".<br>Please restart the screen by going to "
                                                  "\"Settings menu->Restart\" on VTPX02/04."),
                             QMessageBox::Ok, QMessageBox::NoButton);
}

void qvtpx0xtweaker::releaseUpload()
{
    if (uploadBuffer)
        uploadBuffer->close();
    delete uploadBuffer;
    uploadBuffer = nullptr;
    delete uploadData;
    uploadData = nullptr;
}

// A write whose file may already be on its way is let finish, within the
// client's time limits, before the window closes: cut in the middle, it
// could leave the module an empty or partial file. Anything else ends
// with the window.
bool qvtpx0xtweaker::mayCloseNow()
{
    const auto *reply = transferInFlight ? transferInFlight->findChild<FtpReply *>() : nullptr;
    if (!uploadBuffer || !reply || !reply->mayHaveChangedFile())
        return true;
    quitWhenWritten = true;
    form->statusbar->showMessage(QStringLiteral("Finishing the write to the module before quitting ..."), 0);
    return false;
}
