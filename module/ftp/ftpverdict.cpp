#include "ftpverdict.h"

namespace {

using End = FtpDataConnection::End;
using Error = QNetworkReply::NetworkError;

FtpVerdict failure(Error code, const QString &text)
{
    return {FtpVerdict::Kind::Failure, code, text};
}

const FtpVerdict open {};
const FtpVerdict success {FtpVerdict::Kind::Success, QNetworkReply::NoError, QString()};

// What the server said no to, in the words of the outcome, with its own.
FtpVerdict refused(const FtpFacts &facts)
{
    using Refusal = FtpControlConnection::Refusal;
    const QString reply = QStringLiteral(": ") + facts.refusalReply;
    switch (facts.refusal) {
    case Refusal::Busy:
        return failure(Error::ServiceUnavailableError, QStringLiteral("The module is busy") + reply);
    case Refusal::Connection:
        return failure(Error::ConnectionRefusedError,
                       QStringLiteral("The module refused the connection") + reply);
    case Refusal::Login:
        return failure(Error::AuthenticationRequiredError,
                       QStringLiteral("The module refused the login") + reply);
    case Refusal::Transfer:
        return failure(Error::ContentOperationNotPermittedError,
                       QStringLiteral("The module refused the transfer") + reply);
    case Refusal::Write:
        return failure(Error::ContentAccessDenied, QStringLiteral("The module refused the write") + reply);
    case Refusal::NoFile:
        return failure(Error::ContentNotFoundError,
                       QStringLiteral("The module has no file %1").arg(facts.fileName) + reply);
    case Refusal::InvalidReply:
        return failure(Error::ProtocolFailure, QStringLiteral("The module sent an invalid reply"));
    case Refusal::UnexpectedReply:
    case Refusal::None:
        break;
    }
    return failure(Error::ProtocolFailure, QStringLiteral("The module sent an unexpected reply") + reply);
}

FtpVerdict timeLimit(const FtpFacts &facts)
{
    const QString seconds = QString::number(facts.limitMs / 1000.0);
    QString text = facts.limit == FtpFacts::Limit::Total
        ? QStringLiteral("The transfer took longer than %1 seconds").arg(seconds)
        : QStringLiteral("No answer from the module for %1 seconds").arg(seconds);
    // Cut after STOR and before the confirmation, a write may have left part of a file.
    const bool mayBeCut
        = facts.upload && !facts.confirmed && facts.step >= FtpControlConnection::Step::Transfer;
    if (mayBeCut)
        text += QStringLiteral(": its file may be cut short");
    return failure(Error::TimeoutError, text);
}

FtpVerdict brokenData(const FtpFacts &facts)
{
    if (facts.upload)
        return failure(
            Error::RemoteHostClosedError,
            QStringLiteral("The module broke off the transfer of %1 bytes: its file may be cut short")
                .arg(facts.fileSize));
    if (facts.announced >= 0 && facts.transferred == facts.announced)
        return failure(Error::RemoteHostClosedError,
                       QStringLiteral("The module broke off the connection before confirming the transfer "
                                      "(all %1 bytes came)")
                           .arg(facts.announced));
    if (facts.announced >= 0)
        return failure(Error::RemoteHostClosedError,
                       QStringLiteral("The module broke off the transfer: %1 of %2 bytes received")
                           .arg(facts.transferred)
                           .arg(facts.announced));
    return failure(Error::RemoteHostClosedError,
                   QStringLiteral("The module broke off the transfer after %1 bytes").arg(facts.transferred));
}

// The control connection failed before the file's transfer began.
FtpVerdict lostControl(const FtpFacts &facts)
{
    switch (facts.controlError) {
    case QAbstractSocket::RemoteHostClosedError:
        return failure(Error::RemoteHostClosedError, QStringLiteral("The module closed the connection"));
    case QAbstractSocket::ConnectionRefusedError:
        return failure(Error::ConnectionRefusedError, facts.controlErrorText);
    case QAbstractSocket::HostNotFoundError:
        return failure(Error::HostNotFoundError, facts.controlErrorText);
    case QAbstractSocket::NetworkError:
        if (!facts.controlConnected) // no answer from the address, e.g. to the LAN's "who has it?"
            return failure(
                Error::UnknownNetworkError,
                QStringLiteral("The module does not answer on the LAN (%1)").arg(facts.controlErrorText));
        break;
    case QAbstractSocket::SocketResourceError: // Qt's words name no cause
        return failure(
            Error::UnknownNetworkError,
            QStringLiteral("Too many open files on this computer (%1)").arg(facts.controlErrorText));
    default:
        break;
    }
    return failure(Error::UnknownNetworkError, facts.controlErrorText);
}

FtpVerdict dataConnectionFailed(const FtpFacts &facts)
{
    if (facts.dataEnd == End::Refused)
        return failure(Error::ConnectionRefusedError,
                       QStringLiteral("The module refused the data connection"));
    return failure(Error::UnknownNetworkError,
                   QStringLiteral("The data connection to the module failed: ") + facts.dataErrorText);
}

// Decided once the data is over (its connection ended, or every announced
// byte came) and the control connection has said its word (the
// confirmation, or its loss), whichever of the two came first.
FtpVerdict judgeRead(const FtpFacts &facts)
{
    if (facts.announced > facts.maxFileSize || facts.transferred > facts.maxFileSize)
        return failure(Error::UnknownContentError,
                       QStringLiteral("The module's file is larger than %1 bytes").arg(facts.maxFileSize));
    if (facts.announced >= 0 && facts.transferred > facts.announced)
        return failure(
            Error::ProtocolFailure,
            QStringLiteral("The module sent more than the %1 bytes it announced").arg(facts.announced));
    if (facts.probe && facts.announced >= 0)
        return success;
    const bool allAnnounced = facts.announced >= 0 && facts.transferred == facts.announced;
    if (!facts.dataOpened || (facts.dataEnd == End::Open && !allAnnounced))
        return open;
    if ((facts.dataEnd == End::Reset || facts.dataEnd == End::Failed) && !allAnnounced)
        return brokenData(facts);
    if (facts.controlLost)
        return brokenData(facts);
    if (!facts.confirmed)
        return open;
    if (facts.announced >= 0 && !allAnnounced) // Qt's own code for a reply cut before the whole of it came
        return failure(Error::RemoteHostClosedError,
                       QStringLiteral("Download incomplete: %1 of %2 bytes received")
                           .arg(facts.transferred)
                           .arg(facts.announced));
    return success;
}

// A server without SIZE leaves the data connection's clean end as the proof.
FtpVerdict judgeWrite(const FtpFacts &facts)
{
    if (facts.dataEnd == End::Reset || facts.dataEnd == End::Failed)
        return brokenData(facts);
    if (facts.controlLost)
        return brokenData(facts);
    if (!facts.confirmed || facts.kept == -2)
        return open;
    if (facts.transferred != facts.fileSize)
        return brokenData(facts);
    if (facts.kept >= 0 && facts.kept != facts.fileSize)
        return failure(Error::ProtocolFailure,
                       QStringLiteral("Upload incomplete: the module kept a file of %1 bytes "
                                      "where %2 were written")
                           .arg(facts.kept)
                           .arg(facts.fileSize));
    return success;
}

} // namespace

FtpVerdict judge(const FtpFacts &facts)
{
    if (!facts.requestRefusal.isEmpty())
        return failure(facts.ftpScheme ? Error::ProtocolInvalidOperationError : Error::ProtocolUnknownError,
                       facts.requestRefusal);
    if (facts.aborted)
        return failure(Error::OperationCanceledError, QStringLiteral("Operation canceled"));
    if (facts.refusal != FtpControlConnection::Refusal::None)
        return refused(facts);
    if (facts.limit != FtpFacts::Limit::None)
        return timeLimit(facts);
    if (facts.controlLost && facts.step != FtpControlConnection::Step::Transfer)
        return lostControl(facts);
    if (facts.dataOpened && !facts.dataConnected && facts.dataEnd != End::Open)
        return dataConnectionFailed(facts);
    return facts.upload ? judgeWrite(facts) : judgeRead(facts);
}
