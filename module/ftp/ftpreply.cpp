#include "ftpreply.h"

#include "ftpcontrolconnection.h"
#include "ftpdataconnection.h"
#include "ftpsessions.h"

namespace {

bool isPlainText(const QByteArray &text)
{
    for (char c : text) {
        if (c < ' ' || c == 0x7f)
            return false;
    }
    return true;
}

} // namespace

FtpReply::FtpReply(QNetworkAccessManager::Operation operation, const QNetworkRequest &request,
                   QIODevice *outgoingData, const FtpTimeLimits &limits, FtpSessions *sessions,
                   QObject *parent)
    : QNetworkReply(parent), limits(limits), sessions(sessions)
{
    setRequest(request);
    setUrl(request.url());
    setOperation(operation);
    open(QIODevice::ReadOnly);

    facts.requestRefusal = refusal(outgoingData);
    facts.ftpScheme = url().scheme() == QLatin1String("ftp");
    if (!facts.requestRefusal.isEmpty()) {
        settle();
        return;
    }
    facts.upload = !isDownload();
    facts.probe = isProbe();
    facts.maxFileSize = maxFileSize;
    facts.fileName = url().path(QUrl::FullyDecoded).mid(1);
    if (outgoingData)
        file = outgoingData->read(maxFileSize);
    facts.fileSize = facts.upload ? file.size() : 0;

    sinceStart.start();
    stillAlive();
    limitTimer.setSingleShot(true);
    connect(&limitTimer, &QTimer::timeout, this, &FtpReply::checkTimeLimits);
    limitTimer.start(qMin(qMin(limits.idleMs, limits.totalMs), limits.connectMs));
    connectControl();
}

// Why this client does not take the request, or an empty text.
QString FtpReply::refusal(const QIODevice *outgoingData) const
{
    if (url().scheme() != QLatin1String("ftp"))
        return QStringLiteral("Protocol \"%1\" is unknown").arg(url().scheme());
    const QString name = url().path(QUrl::FullyDecoded);
    if (name.size() < 2 || !name.startsWith('/') || !isPlainText(name.toUtf8())
        || !isPlainText(url().userName().toUtf8()) || !isPlainText(url().password().toUtf8()))
        return QStringLiteral("Invalid FTP address %1").arg(url().toString());
    if (isDownload())
        return QString();
    if (operation() != QNetworkAccessManager::PutOperation)
        return QStringLiteral("Only downloads and uploads are possible over FTP");
    if (!outgoingData || !outgoingData->isReadable() || outgoingData->size() > maxFileSize)
        return QStringLiteral("The file to upload is missing or larger than %1 bytes").arg(maxFileSize);
    return QString();
}

// Each of the conversation's events is a fact; then the verdict. A
// session kept from this module's last transfer goes on where it stopped;
// a probe, which ends halfway, never takes one.
void FtpReply::connectControl()
{
    control = sessions && !facts.probe ? sessions->take(url()) : nullptr;
    reused = control != nullptr;
    if (reused)
        control->setParent(this);
    else
        control = new FtpControlConnection(url(), facts.upload, this);
    connect(control, &FtpControlConnection::heard, this, &FtpReply::stillAlive);
    connect(control, &FtpControlConnection::connected, this, [this] { connected = true; });
    connect(control, &FtpControlConnection::sizeAnnounced, this, [this](qint64 size) {
        facts.announced = size;
        setHeader(QNetworkRequest::ContentLengthHeader, size);
        emit metaDataChanged();
        settle();
    });
    connect(control, &FtpControlConnection::passive, this, &FtpReply::openDataConnection);
    connect(control, &FtpControlConnection::transferBegun, this, [this] {
        if (facts.upload)
            data->send(file);
    });
    connect(control, &FtpControlConnection::confirmed, this, [this] {
        facts.confirmed = true;
        settle();
    });
    connect(control, &FtpControlConnection::sizeKept, this, [this](qint64 size) {
        facts.kept = size;
        settle();
    });
    connect(control, &FtpControlConnection::refused, this,
            [this](FtpControlConnection::Refusal refusal, const QString &reply) {
                if (refusal == FtpControlConnection::Refusal::Busy && retryIfStale())
                    return;
                facts.refusal = refusal;
                facts.refusalReply = reply;
                settle();
            });
    connect(control, &FtpControlConnection::lost, this,
            [this](QAbstractSocket::SocketError error, const QString &text, bool connected) {
                if (retryIfStale())
                    return;
                facts.controlLost = true;
                facts.controlError = error;
                facts.controlErrorText = text;
                facts.controlConnected = connected;
                settle();
            });
    if (reused) {
        connected = true;
        control->resume(url(), facts.upload);
    } else {
        control->connectToServer();
    }
}

// A kept session that the server ended meanwhile (closed, or said 421 as
// it timed out) before answering this transfer's first command: nothing
// of this transfer reached the module, so it starts again with a session
// of its own.
bool FtpReply::retryIfStale()
{
    if (!reused || control->answered() > 1)
        return false;
    control->disconnect(this);
    control->abort();
    control->deleteLater();
    connectControl();
    return true;
}

bool FtpReply::isProbe() const
{
    return operation() == QNetworkAccessManager::CustomOperation
        && request().attribute(QNetworkRequest::CustomVerbAttribute).toByteArray() == "SIZE";
}

bool FtpReply::mayHaveChangedFile() const
{
    const FtpControlConnection::Step step = control ? control->step() : facts.step;
    return facts.upload && step >= FtpControlConnection::Step::Transfer;
}

void FtpReply::openDataConnection(quint16 port)
{
    data = new FtpDataConnection(this);
    facts.dataOpened = true;
    connect(data, &FtpDataConnection::connected, this, [this] {
        stillAlive();
        facts.dataConnected = true;
        control->startTransfer();
    });
    connect(data, &FtpDataConnection::received, this, &FtpReply::receiveFileData);
    connect(data, &FtpDataConnection::sent, this, [this](qint64 bytes) {
        stillAlive();
        facts.transferred = bytes;
        emit uploadProgress(bytes, file.size());
    });
    connect(data, &FtpDataConnection::ended, this, [this] {
        facts.dataEnd = data->end();
        facts.dataErrorText = data->errorString();
        settle();
    });
    // Never the address in the 227 reply: the module is where the control
    // connection goes, and nothing else may be reached from here.
    data->connectToHost(control->peerAddress(), port);
}

// Beyond the bound, nothing more is kept: the verdict refuses the file.
void FtpReply::receiveFileData(const QByteArray &bytes)
{
    if (facts.upload || ended)
        return;
    stillAlive();
    facts.transferred += bytes.size();
    if (facts.transferred <= maxFileSize)
        file += bytes;
    emit downloadProgress(facts.transferred, facts.announced);
    settle();
}

// Activity only notes the time; the timer wakes when a limit could be
// reached, and looks.
void FtpReply::checkTimeLimits()
{
    const qint64 idleLeft = qint64(limits.idleMs) - sinceHeard.elapsed();
    const qint64 totalLeft = qint64(limits.totalMs) - sinceStart.elapsed();
    const qint64 connectLeft = connected ? idleLeft : qint64(limits.connectMs) - sinceStart.elapsed();
    if (idleLeft > 0 && totalLeft > 0 && connectLeft > 0)
        return limitTimer.start(int(qMin(qMin(idleLeft, totalLeft), connectLeft)));
    facts.limit = totalLeft <= 0 ? FtpFacts::Limit::Total
        : idleLeft <= 0          ? FtpFacts::Limit::Idle
                                 : FtpFacts::Limit::Connect;
    facts.limitMs = totalLeft <= 0 ? limits.totalMs : idleLeft <= 0 ? limits.idleMs : limits.connectMs;
    settle();
}

void FtpReply::settle()
{
    if (ended)
        return;
    if (control)
        facts.step = control->step();
    const FtpVerdict verdict = judge(facts);
    if (verdict.kind != FtpVerdict::Kind::Open)
        end(verdict);
}

// The reply says so from the event loop, never from inside a socket's
// signal.
void FtpReply::end(const FtpVerdict &verdict)
{
    ended = true;
    limitTimer.stop();
    if (control && verdict.kind == FtpVerdict::Kind::Success && sessions) {
        control->disconnect(this);
        sessions->keep(control, url());
        control = nullptr;
    } else if (control && verdict.kind == FtpVerdict::Kind::Success) {
        control->quit();
    } else if (control) {
        control->abort();
    }
    if (data)
        data->abort();
    if (verdict.kind == FtpVerdict::Kind::Failure) {
        file.clear();
        setError(verdict.code, verdict.text);
    }
    QMetaObject::invokeMethod(this, &FtpReply::emitFinished, Qt::QueuedConnection);
}

void FtpReply::emitFinished()
{
    if (isFinished())
        return;
    setFinished(true);
    if (error() != NoError) {
        emit errorOccurred(error());
    } else if (isDownload()) {
        emit downloadProgress(file.size(), file.size());
        emit readyRead();
    }
    emit finished();
}

void FtpReply::abort()
{
    facts.aborted = true;
    settle();
    emitFinished();
}

qint64 FtpReply::bytesAvailable() const
{
    const qint64 readable = isFinished() && isDownload() ? file.size() - fileOffset : 0;
    return readable + QNetworkReply::bytesAvailable();
}

qint64 FtpReply::readData(char *buffer, qint64 maxSize)
{
    if (!isFinished() || !isDownload())
        return 0;
    const qint64 size = qMin(maxSize, file.size() - fileOffset);
    memcpy(buffer, file.constData() + fileOffset, size_t(size));
    fileOffset += size;
    return size;
}
