#ifndef FTPVERDICT_H
#define FTPVERDICT_H

#include "ftpcontrolconnection.h"
#include "ftpdataconnection.h"

#include <QNetworkReply>
#include <QString>

// What is known of one transfer at a moment. Each event of its control
// connection, of its data connection and of the clock adds to it, and
// after each the transfer's outcome is judged anew (FtpReply).
struct FtpFacts
{
    enum class Limit { None, Connect, Idle, Total };

    // The request, before anything is sent.
    QString requestRefusal; // why this client does not take it; empty: taken
    bool ftpScheme = true;
    bool aborted = false; // by the reply's user

    bool upload = false;
    bool probe = false;     // a read that SIZE's answer ends
    qint64 fileSize = 0;    // the bytes a write sends
    qint64 maxFileSize = 0; // the most a read takes
    qint64 announced = -1;  // what SIZE said before a read; -1: nothing
    qint64 transferred = 0; // bytes received so far, or sent

    // The control connection.
    FtpControlConnection::Refusal refusal = FtpControlConnection::Refusal::None;
    QString refusalReply;                                                   // the server's words
    QString fileName;                                                       // the one asked for
    FtpControlConnection::Step step = FtpControlConnection::Step::Greeting; // where the conversation is
    bool confirmed = false;                                                 // 226 or 250
    bool controlLost = false;
    QAbstractSocket::SocketError controlError = QAbstractSocket::UnknownSocketError;
    QString controlErrorText;
    bool controlConnected = false; // when it was lost
    qint64 kept = -2;              // after a write, SIZE's answer; -1: none came; -2: not yet

    // The data connection.
    bool dataOpened = false;
    bool dataConnected = false;
    FtpDataConnection::End dataEnd = FtpDataConnection::End::Open;
    QString dataErrorText;

    // The clock.
    Limit limit = Limit::None;
    int limitMs = 0;
};

struct FtpVerdict
{
    enum class Kind { Open, Success, Failure };
    Kind kind = Kind::Open;
    QNetworkReply::NetworkError code = QNetworkReply::NoError;
    QString text;
};

// The one place that decides how a transfer ends, from its facts alone: a
// transfer succeeds once the server has confirmed it and its data is whole
// (every byte that SIZE announced, or else the data connection's clean
// end; for a write, as many bytes kept as were sent, when SIZE tells); a
// reset before that fails it; what comes after the outcome changes nothing.
FtpVerdict judge(const FtpFacts &facts);

#endif // FTPVERDICT_H
