#include "ftpcontrolconnection.h"

#include <QNetworkProxy>
#include <QTcpSocket>

namespace {

constexpr int maxServerTextShown = 200;

// The server's reply as a user may read it: one line of printable ASCII,
// without '<' or '&', so that no message box takes it for rich text.
QString shown(const FtpProtocol::Response &reply)
{
    QByteArray text = QByteArray::number(reply.code) + ' ' + reply.text.left(maxServerTextShown);
    for (char &c : text) {
        if (c == '\n')
            c = ' ';
        else if (c < ' ' || c > '~' || c == '<' || c == '&')
            c = '?';
    }
    return QString::fromLatin1(text.trimmed());
}

} // namespace

FtpControlConnection::FtpControlConnection(const QUrl &url, bool upload, QObject *parent)
    : QObject(parent), socket(new QTcpSocket(this)), url(url),
      path(url.path(QUrl::FullyDecoded).mid(1).toUtf8()), upload(upload)
{
    // The module is on the computer's own LAN: no proxy stands between them.
    socket->setProxy(QNetworkProxy::NoProxy);
    socket->setReadBufferSize(FtpProtocol::maxLineSize);
    connect(socket, &QTcpSocket::connected, this, &FtpControlConnection::connected);
    connect(socket, &QTcpSocket::connected, this, &FtpControlConnection::heard);
    connect(socket, &QTcpSocket::readyRead, this, &FtpControlConnection::readReplies);
    connect(socket, &QTcpSocket::errorOccurred, this, &FtpControlConnection::socketFailed);
}

void FtpControlConnection::connectToServer()
{
    socket->connectToHost(url.host(), quint16(url.port(21)));
}

bool FtpControlConnection::isIdle() const
{
    return endedWell && current == Step::Done && socket->state() == QAbstractSocket::ConnectedState
        && socket->bytesAvailable() == 0;
}

void FtpControlConnection::resume(const QUrl &url, bool upload)
{
    this->url = url;
    path = url.path(QUrl::FullyDecoded).mid(1).toUtf8();
    this->upload = upload;
    sizeTold = false;
    endedWell = false;
    replyCount = 0;
    askForTheFile();
}

// The transfer's own commands, once logged in with TYPE I.
void FtpControlConnection::askForTheFile()
{
    upload ? send("PASV", Step::Passive) : send("SIZE " + path, Step::Size);
}

void FtpControlConnection::hangUp()
{
    current = Step::Done;
    if (socket->state() == QAbstractSocket::ConnectedState) {
        socket->write("QUIT\r\n");
        socket->flush();
    }
    socket->abort();
}

QHostAddress FtpControlConnection::peerAddress() const
{
    return socket->peerAddress();
}

void FtpControlConnection::startTransfer()
{
    send((upload ? "STOR " : "RETR ") + path, Step::Transfer);
}

void FtpControlConnection::quit()
{
    current = Step::Done;
    QMetaObject::invokeMethod(
        socket,
        [socket = socket] {
            if (socket->state() != QAbstractSocket::ConnectedState)
                return socket->abort();
            socket->write("QUIT\r\n");
            socket->disconnectFromHost(); // once QUIT is out
        },
        Qt::QueuedConnection);
}

void FtpControlConnection::abort()
{
    current = Step::Done;
    endedWell = false;
    QMetaObject::invokeMethod(socket, &QTcpSocket::abort, Qt::QueuedConnection);
}

void FtpControlConnection::send(const QByteArray &command, Step next)
{
    current = next;
    socket->write(command + "\r\n");
    socket->flush(); // now, not on the next pass of the event loop
}

void FtpControlConnection::readReplies()
{
    if (current == Step::Done)
        return;
    emit heard();
    replies.append(socket->readAll());
    FtpProtocol::Response reply;
    while (current != Step::Done) {
        switch (replies.next(&reply)) {
        case FtpProtocol::ResponseReader::Incomplete:
            return;
        case FtpProtocol::ResponseReader::Invalid:
            if (current != Step::Verify)
                return refuseInvalid();
            current = Step::Done;
            return emit sizeKept(-1);
        case FtpProtocol::ResponseReader::Complete:
            handle(reply);
        }
    }
}

void FtpControlConnection::handle(const FtpProtocol::Response &reply)
{
    ++replyCount;
    if (current == Step::Verify) { // the answer to SIZE after a write
        current = Step::Done;
        endedWell = reply.code != 421; // 421: the server ends the session
        return emit sizeKept(reply.code == 213 ? FtpProtocol::fileSize(reply.text) : -1);
    }
    if (reply.code == 421)
        return refuse(Refusal::Busy, reply);
    switch (current) {
    case Step::Greeting:
        if (reply.code == 120) // ready in a while: another reply follows
            return;
        if (reply.code != 220)
            return refuse(Refusal::Connection, reply);
        return send("USER " + url.userName().toUtf8(), Step::User);
    case Step::User:
    case Step::Password:
        return handleLogin(reply);
    case Step::Type:
        if (reply.code != 200 && reply.code != 202) // 202: binary is all it knows anyway
            break;
        return askForTheFile();
    case Step::Size:
        return handleSize(reply);
    case Step::Passive:
        if (reply.code != 227)
            break;
        if (FtpProtocol::passivePort(reply.text) == 0)
            return refuseInvalid();
        current = Step::DataConnection;
        return emit passive(FtpProtocol::passivePort(reply.text));
    case Step::Transfer:
        return handleTransfer(reply);
    case Step::DataConnection:
    case Step::Verify:
    case Step::Done:
        break;
    }
    refuse(reply.code >= 400 ? Refusal::Transfer : Refusal::UnexpectedReply, reply);
}

void FtpControlConnection::handleLogin(const FtpProtocol::Response &reply)
{
    if (reply.code == 230 || (current == Step::Password && reply.code == 202))
        return send("TYPE I", Step::Type);
    if (current == Step::User && reply.code == 331)
        return send("PASS " + url.password().toUtf8(), Step::Password);
    refuse(reply.code < 400 ? Refusal::UnexpectedReply : Refusal::Login, reply);
}

// A server without SIZE, or that will not tell, leaves the size unknown.
void FtpControlConnection::handleSize(const FtpProtocol::Response &reply)
{
    if (reply.code == 213 && FtpProtocol::fileSize(reply.text) < 0)
        return refuseInvalid();
    sizeTold = reply.code == 213;
    if (sizeTold)
        emit sizeAnnounced(FtpProtocol::fileSize(reply.text));
    else if (reply.code < 400)
        return refuse(Refusal::UnexpectedReply, reply);
    if (current == Step::Size)
        send("PASV", Step::Passive);
}

void FtpControlConnection::handleTransfer(const FtpProtocol::Response &reply)
{
    if (reply.code == 125 || reply.code == 150)
        return emit transferBegun();
    if (reply.code == 226 || reply.code == 250) {
        if (upload) { // what the module kept, one round trip later
            send("SIZE " + path, Step::Verify);
        } else {
            current = Step::Done;
            endedWell = true;
        }
        return emit confirmed();
    }
    if (reply.code < 400)
        return refuse(Refusal::UnexpectedReply, reply);
    if (upload)
        return refuse(Refusal::Write, reply);
    // A file whose size was told is there, but not for reading.
    refuse(reply.code == 550 && !sizeTold ? Refusal::NoFile : Refusal::Transfer, reply);
}

void FtpControlConnection::refuse(Refusal refusal, const FtpProtocol::Response &reply)
{
    current = Step::Done;
    endedWell = false;
    emit refused(refusal, shown(reply));
}

void FtpControlConnection::refuseInvalid()
{
    current = Step::Done;
    emit refused(Refusal::InvalidReply, QString());
}

void FtpControlConnection::socketFailed()
{
    if (current == Step::Done)
        return;
    if (current == Step::Verify) {
        current = Step::Done;
        return emit sizeKept(-1);
    }
    emit lost(socket->error(), socket->errorString(), socket->state() == QAbstractSocket::ConnectedState);
}
