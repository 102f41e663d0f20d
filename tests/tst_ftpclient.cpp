#include "ftpaccessmanager.h"
#include "ftpreply.h"
#include "ftpserverprocess.h"
#include "windowdriver.h"

#include <QtNetwork>
#include <QtTest>

namespace {
const QByteArray moduleFile = "[global]\narm=1\nblighlvl=33\nblightout=45\n";
const QByteArray newFile = "[global]\narm=2\nblighlvl=42\n";
const QString moduleUrl = "ftp://anonymous:@127.0.0.1/vtpx_domo";
const QString noAnswer = "No answer from the module for 2 seconds";
const QString invalidReply = "The module sent an invalid reply";

// The process's peak resident memory in KiB.
qint64 peakMemoryKiB()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    const QByteArray text = status.readAll();
    const int start = text.indexOf("VmHWM:") + 6;
    return text.mid(start, text.indexOf('\n', start) - start).trimmed().split(' ').first().toLongLong();
}
} // namespace

// The FTP client alone, against real servers in this test's network
// namespace, each told to misbehave in one way. Time limits are 2 s without
// an answer and 4 s in all, except in realTimeLimit().
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
    void realTimeLimit();

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
    FtpReply::setTimeLimitsForTesting(2, 4);
    manager = new FtpAccessManager;
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
    FtpReply::setTimeLimitsForTesting(30, 120);
}

// options: the server's, separated by '|', or the fixture's: @vsftpd (vsftpd
// instead of pyftpdlib), @none (no server), @missing (no file).
// error: empty for a success; otherwise the start of the reply's error text.
void tst_FtpClient::transfer_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QNetworkReply::NetworkError>("code");
    using E = QNetworkReply::NetworkError;
    const auto row = [](const char *op, const char *name, const char *options, const QString &error, E code) {
        QTest::addRow("%s: %s", op, name) << QString(op) << QString(options) << error << code;
    };
    const QString tooLarge = "The module's file is larger than 65536 bytes";
    for (const char *op : {"read", "write"}) {
        row(op, "pyftpdlib", "", "", E::NoError);
        row(op, "227 naming another host", "--masquerade|127.0.0.9|--passive-port|50021", "", E::NoError);
        row(op, "vsftpd", "@vsftpd", "", E::NoError);
        row(op, "no HELP", "--no-help", "", E::NoError);
        row(op, "slow but alive", "--reply-delay|0.25", "", E::NoError);
        row(op, "120, then 220", "--greeting|120 Ready in a moment.", "", E::NoError);
        row(op, "connection refused", "@none", "Connection refused", E::ConnectionRefusedError);
        row(op, "login refused", "--refuse-login", "The module refused the login: 530 ",
            E::AuthenticationRequiredError);
        row(op, "busy", "--greeting|421 Full.", "The module is busy: 421 Full.", E::ServiceUnavailableError);
        row(op, "229 ( to USER", "--answer|USER=229 (", "The module sent an unexpected reply: 229 (",
            E::ProtocolFailure);
        row(op, "227 out of range", "--answer|PASV=227 Passive (300,0,0,1,4,1).", invalidReply,
            E::ProtocolFailure);
        row(op, "227 without numbers", "--answer|PASV=227 (", invalidReply, E::ProtocolFailure);
        row(op, "garbage line", "--answer|TYPE=hello", invalidReply, E::ProtocolFailure);
        row(op, "endless greeting", "--endless-greeting", invalidReply, E::ProtocolFailure);
        row(op, "never greets", "--silent", noAnswer, E::TimeoutError);
        row(op, "stalls", op == QByteArray("read") ? "--stall-after|RETR" : "--stall-after|STOR", noAnswer,
            E::TimeoutError);
    }
    row("read", "missing file", "@missing", "The module has no file vtpx_domo: 550 ",
        E::ContentNotFoundError);
    row("read", "endless file", "--endless-file|--answer|SIZE=502 No.", tooLarge, E::UnknownContentError);
    row("read", "SIZE too large", "--answer|SIZE=213 65537", tooLarge, E::UnknownContentError);
    row("read", "cut short after SIZE", "--truncate-after|20",
        QString("Download incomplete: 20 of %1 bytes received").arg(moduleFile.size()), E::ProtocolFailure);
    row("read", "freezes mid-file", "--freeze-after|5", noAnswer, E::TimeoutError);
    row("read", "drops mid-file", "--drop-after|5", "The module closed the connection",
        E::RemoteHostClosedError);
    row("read", "alive, but too slow", "--trickle|1", "The transfer took longer than 4 seconds",
        E::TimeoutError);
    row("write", "refused", "--read-only", "The module refused the write: 550 ", E::ContentAccessDenied);
    row("write", "drops the connection", "--drop-after|0", "The module closed the connection",
        E::RemoteHostClosedError);
}

void tst_FtpClient::transfer()
{
    QFETCH(QString, operation);
    QFETCH(QString, options);
    QFETCH(QString, error);
    QFETCH(QNetworkReply::NetworkError, code);

    QStringList serverOptions = options.split('|', Qt::SkipEmptyParts);
    if (serverOptions.removeAll("@missing"))
        server->removeFile();
    const QByteArray before = server->file();
    QString address = "127.0.0.3"; // nothing listens there
    if (serverOptions.removeAll("@vsftpd"))
        QVERIFY2(server->startVsftpd(address = "127.0.0.2"), qPrintable(server->errorString()));
    else if (!serverOptions.removeAll("@none"))
        QVERIFY2(server->startPyftpdlib(address = "127.0.0.1", serverOptions),
                 qPrintable(server->errorString()));
    QTcpServer elsewhere; // where a 227 reply may send the data connection: never
    QVERIFY(elsewhere.listen(QHostAddress("127.0.0.9"), 50021));
    QNetworkReply *reply = start(operation, address);
    QSignalSpy finished(manager, &QNetworkAccessManager::finished);
    QVERIFY(waitUntilFinished(reply));

    QCOMPARE(finished.count(), 1);
    QVERIFY2(reply->errorString().startsWith(error), qPrintable(reply->errorString()));
    QCOMPARE(reply->error(), code);
    if (code != QNetworkReply::NoError) {
        QCOMPARE(reply->readAll(), QByteArray());
        if (!options.contains("--drop-after")) // a dropped upload leaves what the server made of it
            QCOMPARE(server->file(), before);
    } else {
        QCOMPARE(operation == "read" ? reply->readAll() : server->file(),
                 operation == "read" ? before : newFile);
    }
    QVERIFY(!server->commands().contains("HELP") && !elsewhere.hasPendingConnections());
    QVERIFY2(peakMemoryKiB() < 400 * 1024LL, qPrintable(QString::number(peakMemoryKiB())));
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
    const QString refused[] = {"http://127.0.0.1/vtpx_domo",
                               "ftp://127.0.0.1/vtpx_domo%0D%0ADELE%20vtpx_domo", "ftp://127.0.0.1/"};
    for (const QString &url : refused) {
        QNetworkReply *reply = manager->get(QNetworkRequest(QUrl(url)));
        QVERIFY(!reply->isFinished() && waitUntilFinished(reply));
        QVERIFY(reply->error() == QNetworkReply::ProtocolUnknownError
                || reply->error() == QNetworkReply::ProtocolInvalidOperationError);
    }
    QNetworkReply *deletion = manager->deleteResource(QNetworkRequest(QUrl(moduleUrl)));
    QVERIFY(waitUntilFinished(deletion) && deletion->error() == QNetworkReply::ProtocolInvalidOperationError);
    QCOMPARE(server->commands().count("USER"), 2); // the read and the write, nothing more
}

// With the product's limit: a module that stays silent is cut off after
// 30 s, not before.
void tst_FtpClient::realTimeLimit()
{
    if (!qEnvironmentVariableIsSet("QVTPX_REAL_TIME_LIMIT"))
        QSKIP("takes 30 s: CTest runs it on its own, beside the rest");
    FtpReply::setTimeLimitsForTesting(30, 120);
    QVERIFY(server->startPyftpdlib("127.0.0.1", {"--silent"}));
    QElapsedTimer clock;
    clock.start();
    QNetworkReply *reply = start("write");
    QVERIFY(waitUntilFinished(reply, 40));
    QVERIFY2(clock.elapsed() >= 29500, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(reply->errorString(), QString("No answer from the module for 30 seconds"));
}

QTEST_MAIN(tst_FtpClient)
#include "tst_ftpclient.moc"
