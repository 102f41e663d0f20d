#include "ftpaccessmanager.h"
#include "ftpreply.h"
#include "ftpserverprocess.h"
#include "logcapture.h"

#include <QtNetwork>
#include <QtTest>

namespace {
const QByteArray moduleFile = "[global]\narm=1\nblighlvl=33\nblightout=45\n";
const QByteArray newFile = "[global]\narm=2\nblighlvl=42\n";
const QString moduleUrl = "ftp://anonymous:@127.0.0.1/vtpx_domo";
const QString noAnswer = "No answer from the module for 0.8 seconds";
const QString invalidReply = "The module sent an invalid reply";
#ifdef Q_OS_WIN
const char wineAndResets[]
    = "Wine gives a reset data connection as a graceful close, and once a write has shut its "
      "sending side nothing else tells the two apart (Windows tells the reset with the close)";
#endif

} // namespace

// The FTP client alone, against real servers in this test's network
// namespace, each told to misbehave in one way. Time limits are 0.8 s without
// an answer and 2 s in all, except in realTimeLimit().
class tst_FtpClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void transfer_data();
    void transfer();
    void replyConventions();
    void oneSessionPerServer_data();
    void oneSessionPerServer();
    void noBearerPlugins();

private:
    QNetworkReply *start(const QString &operation, const QString &address = "127.0.0.1")
    {
        const QNetworkRequest request(QUrl("ftp://anonymous:@" + address + "/vtpx_domo"));
        return operation == "read" ? manager->get(request) : manager->put(request, &upload);
    }
    static bool waitUntilFinished(QNetworkReply *reply, int seconds = 10)
    {
        return reply->isFinished() || QSignalSpy(reply, &QNetworkReply::finished).wait(seconds * 1000);
    }

    FtpAccessManager *manager = nullptr;
    FtpServerProcess *server = nullptr;
    QBuffer upload;
};

void tst_FtpClient::initTestCase()
{
    if (!inIsolatedNetworkNamespace())
        QSKIP("needs a network namespace of its own with only loopback: run it through ctest");
    qRegisterMetaType<QNetworkReply *>();
}

void tst_FtpClient::init()
{
    manager = new FtpAccessManager;
    manager->setTimeLimits({800, 2000});
    server = new FtpServerProcess;
    server->setFile(moduleFile);
    upload.setData(newFile);
    upload.open(QIODevice::ReadOnly);
}

void tst_FtpClient::cleanup()
{
    delete manager;
    delete server;
    upload.close();
}

// server: "pyftpdlib", "scripted" (tools/scriptedftpserver.py), "vsftpd" or
// "none"; options: the server's; file: what the module holds (null: no
// file); error: the reply's error text, or its start when it ends in a
// blank (the server's own words follow), empty for a success;
// after: what the module holds afterwards (null: not checked).
void tst_FtpClient::transfer_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QNetworkReply::NetworkError>("code");
    QTest::addColumn<QByteArray>("after");
    using E = QNetworkReply::NetworkError;
    const auto row = [](const char *op, const char *name, const char *server, const QStringList &options,
                        const QString &error, E code, const QByteArray &after = moduleFile,
                        const QByteArray &file = moduleFile) {
        QTest::addRow("%s: %s", op, name)
            << QString(op) << QString(server) << options << file << error << code << after;
    };
    const QString tooLarge = "The module's file is larger than 65536 bytes";
    const QString size = QString::number(moduleFile.size());
    // Paths that part after the login, for a read and a write.
    for (const char *op : {"read", "write"}) {
        const QByteArray written = op == QByteArray("read") ? moduleFile : newFile;
        row(op, "pyftpdlib", "pyftpdlib", {}, "", E::NoError, written);
        row(op, "227 naming another host", "scripted",
            {"--pasv-format", "227 Passive (127,0,0,9,{p1},{p2})", "--pasv-port", "50021"}, "", E::NoError,
            written);
        row(op, "vsftpd", "vsftpd", {}, "", E::NoError, written);
        row(op, "slow but alive", "pyftpdlib", {"--reply-delay", "0.1"}, "", E::NoError, written);
        row(op, "250 as the confirmation", "scripted", {"--final-reply", "250 Done."}, "", E::NoError,
            written);
        row(op, "lenient: blank line, 202, blanks in 227 and 213", "scripted",
            {"--greeting", "220 Ready|", "--answer", "TYPE=202 Binary anyway.", "--answer",
             "SIZE=213 {size} ", "--pasv-format", "227 Passive ({h1}, {h2}, {h3}, {h4}, {p1}, {p2})"},
            "", E::NoError, written);
        row(op, "confirmed, then the control connection reset", "scripted", {"--then", "reset"}, "",
            E::NoError, written);
        row(op, "confirmed, then 221 and a close", "scripted", {"--then", "bye"}, "", E::NoError, written);
        row(op, "data connection refused", "scripted", {"--pasv-format", "227 Passive (127,0,0,1,0,9)"},
            "The module refused the data connection", E::ConnectionRefusedError);
        row(op, "227 out of range", "scripted", {"--answer", "PASV=227 Passive (300,0,0,1,4,1)."},
            invalidReply, E::ProtocolFailure);
        row(op, "stalls", "scripted", {"--answer", op == QByteArray("read") ? "RETR=" : "STOR="},
            op == QByteArray("read") ? noAnswer : noAnswer + ": its file may be cut short", E::TimeoutError,
            QByteArray());
    }
    // Paths that are one up to the login: a read's.
    row("read", "120, then 220", "scripted", {"--greeting", "120 Ready in a moment.|220 Ready."}, "",
        E::NoError);
    row("read", "multi-line greeting", "scripted", {"--greeting", "220-Welcome|220-to the module.|220 Ready"},
        "", E::NoError);
    row("read", "connection refused", "none", {}, "Connection refused", E::ConnectionRefusedError);
    row("read", "login refused", "pyftpdlib", {"--refuse-login"},
        "The module refused the login: 530 Login refused.", E::AuthenticationRequiredError);
    row("read", "refusal in markup", "scripted", {"--answer", "USER=530 <b>&lt;No&#8238;&nbsp;</b>"},
        "The module refused the login: 530 ?b>?lt;No?#8238;?nbsp;?/b>", E::AuthenticationRequiredError);
    row("read", "busy", "scripted", {"--greeting", "421 Full."}, "The module is busy: 421 Full.",
        E::ServiceUnavailableError);
    row("read", "229 ( to USER", "scripted", {"--answer", "USER=229 ("},
        "The module sent an unexpected reply: 229 (", E::ProtocolFailure);
    row("read", "227 without numbers", "scripted", {"--answer", "PASV=227 ("}, invalidReply,
        E::ProtocolFailure);
    row("read", "garbage line", "scripted", {"--answer", "TYPE=hello"}, invalidReply, E::ProtocolFailure);
    row("read", "endless greeting", "scripted", {"--endless", "reply"}, invalidReply, E::ProtocolFailure);
    row("read", "line that never ends", "scripted", {"--endless", "line"}, invalidReply, E::ProtocolFailure);
    row("read", "never greets", "pyftpdlib", {"--silent"}, noAnswer, E::TimeoutError);
    row("read", "never takes the connection", "scripted", {"--full"}, noAnswer, E::TimeoutError);
    row("read", "missing file", "pyftpdlib", {},
        "The module has no file vtpx_domo: 550 No such file or directory.", E::ContentNotFoundError,
        QByteArray(), QByteArray());
    row("read", "SIZE told, then 550 to RETR: there, unreadable", "scripted",
        {"--answer", "RETR=550 Permission denied."},
        "The module refused the transfer: 550 Permission denied.", E::ContentOperationNotPermittedError);
    const QByteArray largest(65536, '#');
    row("read", "no SIZE, file of 64 KiB", "scripted", {"--answer", "SIZE=502 No."}, "", E::NoError, largest,
        largest);
    row("read", "no SIZE, file of 64 KiB and a byte", "scripted", {"--answer", "SIZE=502 No."}, tooLarge,
        E::UnknownContentError, largest + '#', largest + '#');
    row("read", "every byte, data connection reset, then 226", "scripted", {"--data-end", "reset"}, "",
        E::NoError);
    row("read", "SIZE too large", "scripted", {"--answer", "SIZE=213 65537"}, tooLarge,
        E::UnknownContentError);
    row("read", "more bytes than announced", "scripted", {"--extra-bytes", "5"},
        "The module sent more than the " + size + " bytes it announced", E::ProtocolFailure);
    row("read", "cut short after SIZE", "scripted", {"--data-bytes", "20"},
        "Download incomplete: 20 of " + size + " bytes received", E::RemoteHostClosedError);
    row("read", "reset mid-file, no SIZE", "scripted",
        {"--answer", "SIZE=502 No.", "--data-bytes", "20", "--data-end", "reset"},
        "The module broke off the transfer after 20 bytes", E::RemoteHostClosedError);
    row("read", "confirmed, control closed before the data ends", "scripted",
        {"--reply-first", "0.3", "--then", "close"}, "", E::NoError);
    row("read", "confirmed and whole, data connection left open", "scripted", {"--data-end", "open"}, "",
        E::NoError);
    row("read", "every byte, then the control connection reset before its 226", "scripted",
        {"--final-reply", "", "--then", "reset"},
        "The module broke off the connection before confirming the transfer (all " + size + " bytes came)",
        E::RemoteHostClosedError);
    row("read", "freezes mid-file", "scripted",
        {"--data-bytes", "5", "--data-end", "open", "--final-reply", ""}, noAnswer, E::TimeoutError);
    row("read", "drops mid-file", "scripted", {"--data-bytes", "5", "--final-reply", "", "--then", "close"},
        "The module broke off the transfer: 5 of " + size + " bytes received", E::RemoteHostClosedError);
    row("read", "alive, but too slow", "scripted", {"--trickle", "0.6"},
        "The transfer took longer than 2 seconds", E::TimeoutError);
    const QString brokeOff
        = QString("The module broke off the transfer of %1 bytes: its file may be cut short")
              .arg(newFile.size());
    row("write", "refused", "pyftpdlib", {"--read-only"},
        "The module refused the write: 550 Not enough privileges.", E::ContentAccessDenied);
    row("write", "reset after 10 bytes", "scripted", {"--data-bytes", "10", "--data-end", "reset"}, brokeOff,
        E::RemoteHostClosedError, newFile.left(10));
    row("write", "data connection closed unread", "scripted", {"--data-bytes", "0"}, brokeOff,
        E::RemoteHostClosedError, "");
    row("write", "keeps fewer bytes", "scripted", {"--keep", "10"},
        QString("Upload incomplete: the module kept a file of 10 bytes where %1 were written")
            .arg(newFile.size()),
        E::ProtocolFailure, newFile.left(10));
    row("write", "no SIZE", "scripted", {"--answer", "SIZE=502 No."}, "", E::NoError, newFile);
    row("write", "drops the connection", "scripted", {"--final-reply", "", "--then", "close"}, brokeOff,
        E::RemoteHostClosedError, QByteArray());
}

void tst_FtpClient::transfer()
{
    QFETCH(QString, operation);
    QFETCH(QString, server);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, file);
    QFETCH(QString, error);
    QFETCH(QNetworkReply::NetworkError, code);
    QFETCH(QByteArray, after);

#ifdef Q_OS_WIN
    if (operation == "write" && options.contains("--data-bytes"))
        QSKIP(wineAndResets);
#endif
    file.isNull() ? this->server->removeFile() : this->server->setFile(file);
    QString address = "127.0.0.3"; // nothing listens there
    if (server == "vsftpd")
        QVERIFY2(this->server->startVsftpd(address = "127.0.0.2"), qPrintable(this->server->errorString()));
    else if (server == "scripted")
        QVERIFY2(this->server->startScripted(address = "127.0.0.1", options),
                 qPrintable(this->server->errorString()));
    else if (server == "pyftpdlib")
        QVERIFY2(this->server->startPyftpdlib(address = "127.0.0.1", options),
                 qPrintable(this->server->errorString()));
    QTcpServer elsewhere; // where a 227 reply may send the data connection: never
    QVERIFY(elsewhere.listen(QHostAddress("127.0.0.9"), 50021));
    LogCapture log;
    QNetworkReply *reply = start(operation, address);
    QSignalSpy finished(manager, &QNetworkAccessManager::finished);
    QVERIFY(waitUntilFinished(reply));

    QCOMPARE(finished.count(), 1);
    if (error.isEmpty())
        QCOMPARE(reply->errorString(), QString("Unknown error"));
    else
        QCOMPARE(reply->errorString(), error);
    QCOMPARE(reply->error(), code);
    QVERIFY(!reply->errorString().contains('<'));
    QVERIFY(!reply->errorString().contains('&'));
    QCOMPARE(reply->readAll(), operation == "read" && error.isEmpty() ? file : QByteArray());
    if (!after.isNull())
        QCOMPARE(this->server->file(), after);
    QVERIFY(!this->server->commands().contains("HELP"));
    QVERIFY(!elsewhere.hasPendingConnections());
    QCoreApplication::processEvents(); // what the sockets do once it is over
    QVERIFY2(log.qtMessages().isEmpty(), qPrintable(log.qtMessages().join('\n')));
}

// As Qt's own replies: finished once, progress, the size from SIZE, the
// bytes readable after finished; abort() at once; other requests refused.
void tst_FtpClient::replyConventions()
{
    QVERIFY(server->startPyftpdlib("127.0.0.1"));
    QNetworkReply *read = start("read");
    QSignalSpy finished(read, &QNetworkReply::finished);
    QSignalSpy progress(read, &QNetworkReply::downloadProgress);
    QVERIFY(finished.wait());
    QCoreApplication::processEvents();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(read->header(QNetworkRequest::ContentLengthHeader).toInt(), moduleFile.size());
    QCOMPARE(progress.last().at(0).toInt(), moduleFile.size());
    QCOMPARE(read->read(7) + read->readAll(), moduleFile);

    QNetworkReply *write = start("write");
    QSignalSpy uploaded(write, &QNetworkReply::uploadProgress);
    QVERIFY(waitUntilFinished(write));
    QCOMPARE(uploaded.last(), QVariantList({qint64(newFile.size()), qint64(newFile.size())}));

    server->stop();
    QVERIFY(server->startPyftpdlib("127.0.0.1", {"--silent"}));
    QNetworkReply *aborted = start("read");
    QSignalSpy abortFinished(aborted, &QNetworkReply::finished);
    aborted->abort();
    aborted->abort();
    QCoreApplication::processEvents();
    QCOMPARE(abortFinished.count(), 1);
    QCOMPARE(aborted->error(), QNetworkReply::OperationCanceledError);

    // Refused before any connection, yet finished from the event loop.
    const QPair<QString, QNetworkReply::NetworkError> refused[]
        = {{"http://127.0.0.1/vtpx_domo", QNetworkReply::ProtocolUnknownError},
           {"ftp://127.0.0.1/vtpx_domo%0D%0ADELE%20vtpx_domo", QNetworkReply::ProtocolInvalidOperationError},
           {"ftp://127.0.0.1/", QNetworkReply::ProtocolInvalidOperationError}};
    for (const auto &request : refused) {
        QNetworkReply *reply = manager->get(QNetworkRequest(QUrl(request.first)));
        QVERIFY(!reply->isFinished());
        QVERIFY(waitUntilFinished(reply));
        QCOMPARE(reply->error(), request.second);
    }
    QNetworkReply *deletion = manager->deleteResource(QNetworkRequest(QUrl(moduleUrl)));
    QVERIFY(waitUntilFinished(deletion));
    QCOMPARE(deletion->error(), QNetworkReply::ProtocolInvalidOperationError);
    QCOMPARE(server->commands().count("USER"), 2); // the read and the write, nothing more
}

// With sessions kept, a read, a write and a read again of one module run
// in one session; one that the server ended after the first transfer is
// replaced, and nothing is lost.
void tst_FtpClient::oneSessionPerServer_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("logins");
    QTest::newRow("kept by the server") << QStringList() << 1;
    QTest::newRow("ended with 421 at the next command") << QStringList {"--end-sessions", "421"} << 3;
    QTest::newRow("closed at the next command") << QStringList {"--end-sessions", "close"} << 3;
}

void tst_FtpClient::oneSessionPerServer()
{
    QFETCH(QStringList, options);
    QFETCH(int, logins);
    manager->keepSessions(1);
    QVERIFY(server->startPyftpdlib("127.0.0.1", options));
    for (const char *operation : {"read", "write", "read"}) {
        QNetworkReply *reply = start(operation);
        QVERIFY(waitUntilFinished(reply));
        QCOMPARE(reply->errorString(), QString("Unknown error"));
        QCOMPARE(reply->readAll(), QByteArray(operation) == "read" ? server->file() : QByteArray());
    }
    QCOMPARE(server->file(), newFile);
    QCOMPARE(server->commands().count("USER"), logins);
}

// A transfer loads none of Qt 5's bearer plugins, and with them no D-Bus:
// nothing of either is mapped into the process after a read.
void tst_FtpClient::noBearerPlugins()
{
    QFile maps("/proc/self/maps");
    if (!maps.open(QIODevice::ReadOnly))
        QSKIP("no /proc/self/maps here");
    QVERIFY(server->startPyftpdlib("127.0.0.1"));
    QVERIFY(waitUntilFinished(start("read")));
    const QByteArray mapped = maps.readAll();
    QVERIFY(!mapped.contains("bearer"));
    QVERIFY(!mapped.contains("libdbus"));
}

QTEST_GUILESS_MAIN(tst_FtpClient)
#include "tst_ftpclient.moc"
