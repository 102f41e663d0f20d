#include "ftpverdict.h"

#include <QtTest>

namespace {

using Step = FtpControlConnection::Step;
using End = FtpDataConnection::End;

// The facts of a transfer written as words: "read" or "write N" (bytes to
// send), "announced=N", "got=N" (bytes received or sent), "data=open|clean|
// reset|refused|failed" (the data connection, connected unless refused or
// failed), "at=transfer|verify|login" (the conversation's step), "confirmed",
// "lost=closed|reset|unreachable|nofiles" (the control connection), "kept=N|none"
// (SIZE after a write), "idle", "total" (a time limit reached).
FtpFacts factsOf(const QString &words)
{
    FtpFacts facts;
    facts.maxFileSize = 65536;
    facts.step = Step::Transfer;
    const QStringList list = words.split(' ', Qt::SkipEmptyParts);
    for (const QString &word : list) {
        const QString name = word.section('=', 0, 0);
        const QString value = word.section('=', 1);
        if (name == "write") {
            facts.upload = true;
        } else if (name == "read") {
            facts.upload = false;
        } else if (name.toLongLong() > 0) {
            facts.fileSize = name.toLongLong();
        } else if (name == "announced") {
            facts.announced = value.toLongLong();
        } else if (name == "got") {
            facts.transferred = value.toLongLong();
        } else if (name == "data") {
            const QMap<QString, End> ends {{"open", End::Open},
                                           {"clean", End::Clean},
                                           {"reset", End::Reset},
                                           {"refused", End::Refused},
                                           {"failed", End::Failed}};
            facts.dataOpened = true;
            facts.dataEnd = ends.value(value);
            facts.dataConnected = value != "refused" && value != "failed";
            facts.dataErrorText = "Connection timed out";
        } else if (name == "at") {
            facts.step = value == "verify" ? Step::Verify : value == "login" ? Step::User : Step::Transfer;
        } else if (name == "confirmed") {
            facts.confirmed = true;
            facts.step = facts.upload ? Step::Verify : Step::Done;
        } else if (name == "lost") {
            facts.controlLost = true;
            facts.controlError = value == "closed" ? QAbstractSocket::RemoteHostClosedError
                : value == "unreachable"           ? QAbstractSocket::NetworkError
                : value == "nofiles"               ? QAbstractSocket::SocketResourceError
                                                   : QAbstractSocket::UnknownSocketError;
            facts.controlErrorText = value == "unreachable" ? "Host unreachable"
                : value == "nofiles"                        ? "Out of resources"
                                                            : "Connection reset by peer";
        } else if (name == "kept") {
            facts.kept = value == "none" ? -1 : value.toLongLong();
        } else if (name == "idle" || name == "total") {
            facts.limit = name == "idle" ? FtpFacts::Limit::Idle : FtpFacts::Limit::Total;
            facts.limitMs = name == "idle" ? 30000 : 120000;
        } else {
            qFatal("not a fact: %s", qPrintable(word));
        }
    }
    return facts;
}

} // namespace

// The verdict on a transfer from its facts alone, each row one moment of
// a transfer: no server, no socket, milliseconds.
class tst_FtpVerdict : public QObject
{
    Q_OBJECT

private slots:
    void verdict_data();
    void verdict();
    void refusalComesFirst();
};

// text: empty while the transfer goes on, "ok" for a success, else the
// error's text.
void tst_FtpVerdict::verdict_data()
{
    QTest::addColumn<QString>("facts");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QNetworkReply::NetworkError>("code");
    using E = QNetworkReply::NetworkError;
    const auto row = [](const char *facts, const char *text, E code = E::NoError) {
        QTest::newRow(facts) << QString(facts) << QString(text) << code;
    };
    const QString cut = "The module broke off the transfer of 349 bytes: its file may be cut short";
    // A read: decided once its data is over and the server has said its word.
    row("read at=login", "");
    row("read announced=350 got=200 data=open", "");
    row("read announced=350 got=350 data=open", "");
    row("read announced=350 got=350 data=open confirmed", "ok");
    row("read got=350 data=open confirmed", "");
    row("read got=350 data=clean confirmed", "ok");
    row("read got=0 data=clean confirmed", "ok");
    row("read announced=350 got=350 data=reset confirmed", "ok");
    row("read announced=350 got=350 data=reset", "");
    row("read announced=350 got=175 data=reset",
        "The module broke off the transfer: 175 of 350 bytes received", E::RemoteHostClosedError);
    row("read got=175 data=reset confirmed", "The module broke off the transfer after 175 bytes",
        E::RemoteHostClosedError);
    row("read announced=350 got=20 data=clean confirmed", "Download incomplete: 20 of 350 bytes received",
        E::RemoteHostClosedError);
    row("read announced=350 got=355 data=open", "The module sent more than the 350 bytes it announced",
        E::ProtocolFailure);
    row("read announced=65537", "The module's file is larger than 65536 bytes", E::UnknownContentError);
    row("read got=65536 data=clean confirmed", "ok");
    row("read got=65537 data=open", "The module's file is larger than 65536 bytes", E::UnknownContentError);
    row("read announced=350 got=350 data=clean lost=reset",
        "The module broke off the connection before confirming the transfer (all 350 bytes came)",
        E::RemoteHostClosedError);
    row("read announced=350 got=100 data=open lost=reset", "");
    row("read announced=350 got=100 data=clean lost=reset",
        "The module broke off the transfer: 100 of 350 bytes received", E::RemoteHostClosedError);
    row("read data=refused", "The module refused the data connection", E::ConnectionRefusedError);
    row("read data=failed", "The data connection to the module failed: Connection timed out",
        E::UnknownNetworkError);
    // A write: decided once the server has confirmed it and told what it kept.
    row("write 349 got=349 data=clean", "");
    row("write 349 got=349 data=clean confirmed", "");
    row("write 349 got=349 data=clean confirmed kept=349", "ok");
    row("write 349 got=349 data=open confirmed kept=349", "ok");
    row("write 349 got=349 data=clean confirmed kept=none", "ok");
    row("write 349 got=349 data=clean confirmed kept=0",
        "Upload incomplete: the module kept a file of 0 bytes where 349 were written", E::ProtocolFailure);
    row("write 349 got=349 data=clean confirmed kept=350",
        "Upload incomplete: the module kept a file of 350 bytes where 349 were written", E::ProtocolFailure);
    row("write 349 got=10 data=reset", cut.toLatin1(), E::RemoteHostClosedError);
    row("write 349 got=349 data=reset confirmed kept=349", cut.toLatin1(), E::RemoteHostClosedError);
    row("write 349 got=100 data=open confirmed kept=349", cut.toLatin1(), E::RemoteHostClosedError);
    row("write 349 got=10 data=open lost=reset", cut.toLatin1(), E::RemoteHostClosedError);
    // The control connection lost before the file's transfer began.
    row("read at=login lost=closed", "The module closed the connection", E::RemoteHostClosedError);
    row("write 349 at=login lost=unreachable", "The module does not answer on the LAN (Host unreachable)",
        E::UnknownNetworkError);
    row("read at=login lost=nofiles", "Too many open files on this computer (Out of resources)",
        E::UnknownNetworkError);
    // The time limits; a write cut after STOR may have left part of a file.
    row("read at=login idle", "No answer from the module for 30 seconds", E::TimeoutError);
    row("read announced=350 got=10 data=open total", "The transfer took longer than 120 seconds",
        E::TimeoutError);
    row("write 349 at=login idle", "No answer from the module for 30 seconds", E::TimeoutError);
    row("write 349 got=30 data=open idle",
        "No answer from the module for 30 seconds: its file may be cut short", E::TimeoutError);
    row("write 349 got=349 data=clean confirmed total", "The transfer took longer than 120 seconds",
        E::TimeoutError);
}

void tst_FtpVerdict::verdict()
{
    QFETCH(QString, facts);
    QFETCH(QString, text);
    QFETCH(QNetworkReply::NetworkError, code);
    const FtpVerdict verdict = judge(factsOf(facts));
    const FtpVerdict::Kind kind = text.isEmpty() ? FtpVerdict::Kind::Open
        : text == "ok"                           ? FtpVerdict::Kind::Success
                                                 : FtpVerdict::Kind::Failure;
    QCOMPARE(verdict.kind, kind);
    QCOMPARE(verdict.text, kind == FtpVerdict::Kind::Failure ? text : QString());
    QCOMPARE(verdict.code, code);
}

// What the server refused, it refused, whatever else is known.
void tst_FtpVerdict::refusalComesFirst()
{
    FtpFacts facts = factsOf("write 349 got=349 data=clean confirmed kept=349 idle");
    facts.refusal = FtpControlConnection::Refusal::Write;
    facts.refusalReply = "553 No.";
    const FtpVerdict verdict = judge(facts);
    QCOMPARE(verdict.kind, FtpVerdict::Kind::Failure);
    QCOMPARE(verdict.code, QNetworkReply::ContentAccessDenied);
    QCOMPARE(verdict.text, QString("The module refused the write: 553 No."));
}

QTEST_GUILESS_MAIN(tst_FtpVerdict)
#include "tst_ftpverdict.moc"
