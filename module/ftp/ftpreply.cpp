#include "ftpreply.h"

#include "ftpdataconnection.h"

#include <QNetworkProxy>
#include <QTcpSocket>

namespace {

constexpr int maxServerTextShown = 200;

// The server's reply as a user may read it: one line of printable ASCII,
// without '<' or '&', so that no message box takes it for rich text.
QString shown(const FtpProtocol::Response &response)
{
    QByteArray text = QByteArray::number(response.code) + ' ' + response.text.left(maxServerTextShown);
    for (char &c : text) {
        if (c == '\n')
            c = ' ';
        else if (c < ' ' || c > '~' || c == '<' || c == '&')
            c = '?';
    }
    return QString::fromLatin1(text.trimmed());
}

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
                   QIODevice *outgoingData, const FtpTimeLimits &limits, QObject *parent)
    : QNetworkReply(parent), control(new QTcpSocket(this))
{
    setRequest(request);
    setUrl(request.url());
    setOperation(operation);
    open(QIODevice::ReadOnly);

    setUpTimers(limits);
    const QString refused = refusal(outgoingData);
    if (!refused.isEmpty()) {
        end(url().scheme() == QLatin1String("ftp") ? ProtocolInvalidOperationError : ProtocolUnknownError,
            refused);
        return;
    }
    path = url().path(QUrl::FullyDecoded).mid(1).toUtf8();
    if (outgoingData)
        file = outgoingData->read(maxFileSize);

    // The module is on the computer's own LAN: no proxy stands between them.
    control->setProxy(QNetworkProxy::NoProxy);
    control->setReadBufferSize(FtpProtocol::maxLineSize);
    connect(control, &QTcpSocket::connected, this, &FtpReply::stillAlive);
    connect(control, &QTcpSocket::readyRead, this, &FtpReply::readResponses);
    connect(control, &QTcpSocket::errorOccurred, this, &FtpReply::controlFailed);
    idleTimer.start();
    totalTimer.start();
    control->connectToHost(url().host(), quint16(url().port(21)));
}

// Both limits end the transfer with an error: time without any answer or
// data byte, and time in all.
void FtpReply::setUpTimers(const FtpTimeLimits &limits)
{
    idleTimer.setSingleShot(true);
    idleTimer.setInterval(limits.idleSeconds * 1000);
    connect(&idleTimer, &QTimer::timeout, this, [this, limits] {
        failOnTime(QStringLiteral("No answer from the module for %1 seconds").arg(limits.idleSeconds));
    });
    totalTimer.setSingleShot(true);
    totalTimer.setInterval(limits.totalSeconds * 1000);
    connect(&totalTimer, &QTimer::timeout, this, [this, limits] {
        failOnTime(QStringLiteral("The transfer took longer than %1 seconds").arg(limits.totalSeconds));
    });
}

// Cut after STOR and before the confirmation, a write may have left part
// of a file.
void FtpReply::failOnTime(const QString &what)
{
    const bool cut = mayHaveChangedFile() && !confirmed;
    end(TimeoutError, cut ? what + QStringLiteral(": its file may be cut short") : what);
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

bool FtpReply::mayHaveChangedFile() const
{
    return !isDownload() && (step == Step::Transfer || step == Step::Verify);
}

void FtpReply::send(const QByteArray &command, Step next)
{
    step = next;
    control->write(command + "\r\n");
    control->flush(); // now, not on the next pass of the event loop
}

void FtpReply::readResponses()
{
    stillAlive();
    responses.append(control->readAll());
    FtpProtocol::Response response;
    for (;;) {
        switch (responses.next(&response)) {
        case FtpProtocol::ResponseReader::Incomplete:
            return;
        case FtpProtocol::ResponseReader::Invalid:
            if (!confirmed)
                failOnInvalidReply();
            else if (step == Step::Verify)
                handleUploadSize(nullptr);
            return;
        case FtpProtocol::ResponseReader::Complete:
            handleResponse(response);
            if (step == Step::Ended)
                return;
        }
    }
}

void FtpReply::handleResponse(const FtpProtocol::Response &response)
{
    if (confirmed) { // only SIZE's answer after an upload still counts
        if (step == Step::Verify)
            handleUploadSize(&response);
        return;
    }
    if (response.code == 421)
        return failOnServer(ServiceUnavailableError, QStringLiteral("The module is busy"), response);
    switch (step) {
    case Step::Greeting:
        if (response.code == 120) // ready in a while: another reply follows
            return;
        if (response.code != 220)
            return failOnServer(ConnectionRefusedError, QStringLiteral("The module refused the connection"),
                                response);
        return send("USER " + url().userName().toUtf8(), Step::User);
    case Step::User:
    case Step::Password:
        return handleLogin(response);
    case Step::Type:
        if (response.code != 200 && response.code != 202) // 202: binary is all it knows anyway
            break;
        return isDownload() ? send("SIZE " + path, Step::Size) : send("PASV", Step::Passive);
    case Step::Size:
        return handleSize(response);
    case Step::Passive:
        if (response.code != 227)
            break;
        return openDataConnection(FtpProtocol::passivePort(response.text));
    case Step::Transfer:
        return handleTransfer(response);
    case Step::DataConnection:
    case Step::Verify:
    case Step::Ended:
        break;
    }
    if (response.code >= 400)
        return failOnServer(ContentOperationNotPermittedError,
                            QStringLiteral("The module refused the transfer"), response);
    failOnUnexpected(response);
}

void FtpReply::handleLogin(const FtpProtocol::Response &response)
{
    if (response.code == 230 || (step == Step::Password && response.code == 202))
        return send("TYPE I", Step::Type);
    if (step == Step::User && response.code == 331)
        return send("PASS " + url().password().toUtf8(), Step::Password);
    if (response.code < 400)
        return failOnUnexpected(response);
    failOnServer(AuthenticationRequiredError, QStringLiteral("The module refused the login"), response);
}

// A server without SIZE, or that will not tell, leaves the size unknown.
void FtpReply::handleSize(const FtpProtocol::Response &response)
{
    if (response.code == 213) {
        announced = FtpProtocol::fileSize(response.text);
        if (announced < 0)
            return failOnInvalidReply();
        if (announced > maxFileSize)
            return failOnFileSize();
        setHeader(QNetworkRequest::ContentLengthHeader, announced);
        emit metaDataChanged();
    } else if (response.code < 400) {
        return failOnUnexpected(response);
    }
    send("PASV", Step::Passive);
}

void FtpReply::handleTransfer(const FtpProtocol::Response &response)
{
    if (response.code == 125 || response.code == 150) {
        if (!isDownload())
            data->send(file);
        return;
    }
    if (response.code == 226 || response.code == 250) {
        confirmed = true;
        if (!isDownload()) // what the module kept, one round trip later
            send("SIZE " + path, Step::Verify);
        return judge();
    }
    if (response.code < 400)
        return failOnUnexpected(response);
    if (!isDownload())
        return failOnServer(ContentAccessDenied, QStringLiteral("The module refused the write"), response);
    if (response.code == 550)
        return failOnServer(ContentNotFoundError,
                            QStringLiteral("The module has no file %1").arg(QString::fromUtf8(path)),
                            response);
    failOnServer(ContentOperationNotPermittedError, QStringLiteral("The module refused the transfer"),
                 response);
}

// An upload's outcome, decided by SIZE's answer (null: none came). A
// server without SIZE leaves the data connection's clean end as the proof.
void FtpReply::handleUploadSize(const FtpProtocol::Response *response)
{
    if (data->end() == FtpDataConnection::End::Reset || data->end() == FtpDataConnection::End::Failed
        || data->bytesSent() != file.size())
        return failOnBrokenData();
    const qint64 kept = response && response->code == 213 ? FtpProtocol::fileSize(response->text) : -1;
    if (kept >= 0 && kept != file.size())
        return end(ProtocolFailure,
                   QStringLiteral("Upload incomplete: the module kept a file of %1 bytes "
                                  "where %2 were written")
                       .arg(kept)
                       .arg(file.size()));
    end();
}

// Before the transfer is confirmed, losing the control connection fails
// it: a read's file, once its data connection is over too, so that the
// count is the whole of what came. After, it no longer matters: a read
// waits for its data alone, an upload decides now.
void FtpReply::controlFailed()
{
    if (!confirmed && step == Step::Transfer && isDownload()) {
        controlLost = true;
        return judge();
    }
    if (!confirmed && step == Step::Transfer) // the session ended in the middle of the file
        return failOnBrokenData();
    if (!confirmed)
        return failOnSocket(control);
    if (step == Step::Verify)
        handleUploadSize(nullptr);
}

void FtpReply::openDataConnection(quint16 port)
{
    if (port == 0)
        return failOnInvalidReply();
    step = Step::DataConnection;
    data = new FtpDataConnection(this);
    connect(data, &FtpDataConnection::connected, this, [this] {
        stillAlive();
        send((isDownload() ? "RETR " : "STOR ") + path, Step::Transfer);
    });
    connect(data, &FtpDataConnection::received, this, &FtpReply::receiveFileData);
    connect(data, &FtpDataConnection::sent, this, [this](qint64 bytes) {
        stillAlive();
        emit uploadProgress(bytes, file.size());
    });
    connect(data, &FtpDataConnection::ended, this, &FtpReply::judge);
    // Never the address in the 227 reply: the module is where the control
    // connection goes, and nothing else may be reached from here.
    data->connectToHost(control->peerAddress(), port);
}

void FtpReply::receiveFileData(const QByteArray &bytes)
{
    if (!isDownload() || step == Step::Ended)
        return;
    stillAlive();
    if (file.size() + bytes.size() > maxFileSize)
        return failOnFileSize();
    file += bytes;
    if (announced >= 0 && file.size() > announced)
        return end(ProtocolFailure,
                   QStringLiteral("The module sent more than the %1 bytes it announced").arg(announced));
    emit downloadProgress(file.size(), announced);
    judge();
}

// Called on each event of the data connection and on the confirmation.
void FtpReply::judge()
{
    if (step == Step::Ended || !data)
        return;
    if (!data->hasConnected() && data->end() != FtpDataConnection::End::Open)
        return failOnDataConnection();
    if (isDownload())
        return judgeDownload();
    if (data->end() == FtpDataConnection::End::Reset || data->end() == FtpDataConnection::End::Failed)
        failOnBrokenData(); // else SIZE's answer decides
}

// Decided once the data is over (its connection ended, or every announced
// byte came) and the control connection has said its word (the
// confirmation, or its loss), whichever of the two came first.
void FtpReply::judgeDownload()
{
    const FtpDataConnection::End dataEnd = data->end();
    const bool allAnnounced = announced >= 0 && file.size() == announced;
    if (dataEnd == FtpDataConnection::End::Open && !allAnnounced)
        return;
    if ((dataEnd == FtpDataConnection::End::Reset || dataEnd == FtpDataConnection::End::Failed)
        && !allAnnounced)
        return failOnBrokenData();
    if (controlLost)
        return failOnBrokenData();
    if (!confirmed)
        return;
    if (announced >= 0 && !allAnnounced)
        return end( // Qt's own name for a reply cut before the whole of it came
            RemoteHostClosedError,
            QStringLiteral("Download incomplete: %1 of %2 bytes received").arg(file.size()).arg(announced));
    end();
}

void FtpReply::failOnServer(NetworkError code, const QString &what, const FtpProtocol::Response &response)
{
    end(code, what + QStringLiteral(": ") + shown(response));
}

void FtpReply::failOnUnexpected(const FtpProtocol::Response &response)
{
    failOnServer(ProtocolFailure, QStringLiteral("The module sent an unexpected reply"), response);
}

void FtpReply::failOnInvalidReply()
{
    end(ProtocolFailure, QStringLiteral("The module sent an invalid reply"));
}

void FtpReply::failOnFileSize()
{
    end(UnknownContentError, QStringLiteral("The module's file is larger than %1 bytes").arg(maxFileSize));
}

void FtpReply::failOnBrokenData()
{
    const QString broken = QStringLiteral("The module broke off the transfer");
    if (!isDownload())
        return end(RemoteHostClosedError,
                   broken + QStringLiteral(" of %1 bytes: its file may be cut short").arg(file.size()));
    if (announced >= 0 && file.size() == announced)
        return end(RemoteHostClosedError,
                   QStringLiteral("The module broke off the connection before confirming the transfer "
                                  "(all %1 bytes came)")
                       .arg(announced));
    if (announced >= 0)
        return end(RemoteHostClosedError,
                   broken + QStringLiteral(": %1 of %2 bytes received").arg(file.size()).arg(announced));
    end(RemoteHostClosedError, broken + QStringLiteral(" after %1 bytes").arg(file.size()));
}

void FtpReply::failOnDataConnection()
{
    if (data->end() == FtpDataConnection::End::Refused)
        return end(ConnectionRefusedError, QStringLiteral("The module refused the data connection"));
    end(UnknownNetworkError,
        QStringLiteral("The data connection to the module failed: ") + data->errorString());
}

void FtpReply::failOnSocket(const QTcpSocket *socket)
{
    if (socket->error() == QAbstractSocket::RemoteHostClosedError)
        return end(RemoteHostClosedError, QStringLiteral("The module closed the connection"));
    NetworkError code = UnknownNetworkError;
    QString text = socket->errorString();
    if (socket->error() == QAbstractSocket::ConnectionRefusedError) {
        code = ConnectionRefusedError;
    } else if (socket->error() == QAbstractSocket::HostNotFoundError) {
        code = HostNotFoundError;
    } else if (socket->state() != QAbstractSocket::ConnectedState
               && socket->error() == QAbstractSocket::NetworkError) {
        // No answer from the address, e.g. to the LAN's "who has it?"
        text = QStringLiteral("The module does not answer on the LAN (%1)").arg(text);
    }
    end(code, text);
}

// Ends the transfer: with no error code, as a success. The reply says so
// from the event loop, never from inside a socket's signal.
void FtpReply::end(NetworkError code, const QString &text)
{
    if (step == Step::Ended)
        return;
    step = Step::Ended;
    idleTimer.stop();
    totalTimer.stop();
    if (code == NoError && control->state() == QAbstractSocket::ConnectedState) {
        control->write("QUIT\r\n");
        control->flush();
        control->disconnectFromHost();
    } else {
        control->abort();
    }
    if (data)
        data->abort();
    if (code != NoError) {
        file.clear();
        setError(code, text);
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
    end(OperationCanceledError, QStringLiteral("Operation canceled"));
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
