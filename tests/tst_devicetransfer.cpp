#include "ftpreply.h"
#include "ftpserverprocess.h"
#include "logcapture.h"
#include "messageboxcatcher.h"
#include "windowdriver.h"
#include "windowinternals.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

namespace {
const QByteArray moduleFile = "[global]\narm=1\nblighlvl=33\nblightout=45\nbacklightmenu=1\n"
                              "simulmenu=0\ntimemenu=1\nnetworkmenu=0\n";
const QString defaults = "3/80/120/0000";
} // namespace

// Reads and writes against real FTP servers on loopback. The test runs in a
// network namespace of its own (see CMakeLists.txt), so port 21 is free and
// no traffic leaves the machine.
class tst_DeviceTransfer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void read_data();
    void read();
    void write_data();
    void write();
    void oneTransferAtATime_data();
    void oneTransferAtATime();
    void quickClicksStartOneRead();
    void everyUploadIsReleased();
    void addressCheck_data();
    void addressCheck();
    void completionWithoutManagerDoesNothing();
    void closingTheWindowMidTransfer_data();
    void closingTheWindowMidTransfer();

private:
    QString startServer(const QString &kind, const QStringList &options = {});
    void waitUntilTransfersEnded();

    qvtpx0xtweaker *window = nullptr;
    FtpServerProcess *server = nullptr;
};

void tst_DeviceTransfer::initTestCase()
{
    if (!inIsolatedNetworkNamespace())
        QSKIP("needs a network namespace of its own with only loopback: run it through ctest");
}

void tst_DeviceTransfer::init()
{
    FtpReply::setTimeLimitsForTesting(2, 4);
    window = new qvtpx0xtweaker;
    window->show();
    server = new FtpServerProcess;
    server->setFile(moduleFile);
}

void tst_DeviceTransfer::cleanup()
{
    delete window;
    delete server;
    FtpReply::setTimeLimitsForTesting(30, 120);
}

// Loopback addresses of this namespace: 127.0.0.3 has no server at all.
// Returns the server's address, or an empty text when it did not start.
QString tst_DeviceTransfer::startServer(const QString &kind, const QStringList &options)
{
    if (kind == "pyftpdlib")
        return server->startPyftpdlib("127.0.0.1", options) ? "127.0.0.1" : QString();
    if (kind == "vsftpd")
        return server->startVsftpd("127.0.0.2") ? "127.0.0.2" : QString();
    return "127.0.0.3";
}

// A transfer has ended when its completion has released its manager.
void tst_DeviceTransfer::waitUntilTransfersEnded()
{
    QTRY_COMPARE_WITH_TIMEOUT(transfersInFlight(window), 0, 20000);
    QVERIFY(window->findChildren<QNetworkReply *>().isEmpty());
}

// expectedError: empty when the read succeeds; "*" for the error text Qt gives.
void tst_DeviceTransfer::read_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("file"); // null: no file on the server
    QTest::addColumn<QString>("expectedError");
    QTest::addColumn<QString>("expected"); // controls afterwards

    for (const char *kind : {"pyftpdlib", "vsftpd"}) {
        QTest::addRow("%s: values", kind) << kind << QStringList() << moduleFile << ""
                                          << "1/33/45/1010";
        QTest::addRow("%s: empty file", kind) << kind << QStringList() << QByteArray("") << "" << defaults;
        QTest::addRow("%s: missing file", kind) << kind << QStringList() << QByteArray() << "*" << defaults;
    }
    QTest::newRow("login refused") << "pyftpdlib" << QStringList {"--refuse-login"} << moduleFile << "*"
                                   << defaults;
    QTest::newRow("connection refused")
        << "none" << QStringList() << moduleFile << "Connection refused" << defaults;
    QTest::newRow("silent server") << "pyftpdlib" << QStringList {"--silent"} << moduleFile
                                   << "No answer from the module for 2 seconds" << defaults;
    QTest::newRow("server without HELP") << "pyftpdlib" << QStringList {"--no-help"} << moduleFile << ""
                                         << "1/33/45/1010";
    QTest::newRow("60 KB line, then a key")
        << "pyftpdlib" << QStringList() << QByteArray(60000, 'x') + "\narm=2\n"
        << ""
        << "2/80/120/0000";
    QTest::newRow("over 64 KB") << "pyftpdlib" << QStringList() << QByteArray(65537, '\n')
                                << "The module's file is larger than 65536 bytes" << defaults;
    // Qt reads a value only up to a NUL; a key with a NUL is another key.
    static const char withNul[] = "arm\0=1\nblighlvl=3\0\narm=0\n";
    QTest::newRow("NUL bytes") << "pyftpdlib" << QStringList() << QByteArray(withNul, sizeof withNul - 1)
                               << ""
                               << "0/3/120/0000";
    QTest::newRow("file cut short")
        << "pyftpdlib" << QStringList {"--truncate-after", "20"} << moduleFile
        << QString("Download incomplete: 20 of %1 bytes received").arg(moduleFile.size()) << defaults;
}

void tst_DeviceTransfer::read()
{
    QFETCH(QString, server);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, file);
    QFETCH(QString, expectedError);
    QFETCH(QString, expected);

    if (file.isNull())
        this->server->removeFile();
    else
        this->server->setFile(file);
    const QString address = startServer(server, options);
    QVERIFY2(!address.isEmpty(), qPrintable(this->server->errorString()));
    const QString url = "ftp://anonymous:@" + address + "/vtpx_domo";
    typeAddress(window, address);
    MessageBoxCatcher boxes;
    LogCapture log;

    clickButton(window, "butRead");
    QCOMPARE(statusText(window), "Downloading " + url + " ...");
    waitUntilTransfersEnded();

    QCOMPARE(controlState(window), expected);
    const QStringList messages = log.messages();
    QCOMPARE(messages.first(), "info: ftpDownloadFinish true QUrl(\"" + QUrl(url).toDisplayString() + "\")");
    if (expectedError.isEmpty()) {
        QCOMPARE(statusText(window), "Parameters successfully downloaded from " + url);
        QVERIFY(boxes.boxes.isEmpty());
        QVERIFY(messages.filter("Error occurs").isEmpty());
        return;
    }
    QVERIFY2(statusText(window).startsWith("Download error: "), qPrintable(statusText(window)));
    const QString error = statusText(window).mid(QString("Download error: ").size());
    if (expectedError != "*")
        QCOMPARE(error, expectedError);
    QVERIFY(!error.isEmpty());
    QCOMPARE(messages.at(1), "warning: Error occurs " + LogCapture::quoted(error));
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes.first().icon, QMessageBox::Critical);
    QCOMPARE(boxes.boxes.first().title, QString("tst_devicetransfer"));
    QCOMPARE(boxes.boxes.first().text, "Error while downloading " + url + ". Error: " + error);
}

void tst_DeviceTransfer::write_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("expectedError"); // as for read_data

    QTest::newRow("pyftpdlib") << "pyftpdlib" << QStringList() << "";
    QTest::newRow("vsftpd") << "vsftpd" << QStringList() << "";
    QTest::newRow("read-only server") << "pyftpdlib" << QStringList {"--read-only"} << "*";
    QTest::newRow("login refused") << "pyftpdlib" << QStringList {"--refuse-login"} << "*";
    QTest::newRow("connection refused") << "none" << QStringList() << "Connection refused";
    QTest::newRow("silent server") << "pyftpdlib" << QStringList {"--silent"}
                                   << "No answer from the module for 2 seconds";
    QTest::newRow("server without HELP") << "pyftpdlib" << QStringList {"--no-help"} << "";
}

void tst_DeviceTransfer::write()
{
    QFETCH(QString, server);
    QFETCH(QStringList, options);
    QFETCH(QString, expectedError);

    const QString address = startServer(server, options);
    QVERIFY2(!address.isEmpty(), qPrintable(this->server->errorString()));
    const QString url = "ftp://anonymous:@" + address + "/vtpx_domo";
    typeAddress(window, QUrl(url).host());
    setControlState(window, "2/42/7/0010");
    const QByteArray generated = WindowInternals::buildParameterFile(*window);
    MessageBoxCatcher boxes(window->findChild<QStatusBar *>());
    LogCapture log;

    clickButton(window, "butWrite");
    QCOMPARE(statusText(window), "Uploading parameters to " + url + " ...");
    QCOMPARE(*WindowInternals::uploadData(*window), generated);
    waitUntilTransfersEnded();

    QVERIFY(!WindowInternals::uploadData(*window));
    QVERIFY(!WindowInternals::uploadBuffer(*window));
    const QStringList messages = log.messages();
    QCOMPARE(messages.first(),
             "warning: ftpDownloadFinish true QUrl(\"" + QUrl(url).toDisplayString() + "\")");
    QCOMPARE(boxes.boxes.size(), 1);
    const MessageBoxCatcher::Box box = boxes.boxes.first();
    QCOMPARE(box.title, QString("tst_devicetransfer"));
    if (!expectedError.isEmpty()) {
        QCOMPARE(this->server->file(), moduleFile);
        QVERIFY2(statusText(window).startsWith("Upload error: "), qPrintable(statusText(window)));
        const QString error = statusText(window).mid(QString("Upload error: ").size());
        if (expectedError != "*")
            QCOMPARE(error, expectedError);
        QCOMPARE(messages.at(1), "warning: Error occurs " + LogCapture::quoted(error));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.text, "Error while uploading " + url + ". Error: " + error);
        return;
    }
    QCOMPARE(this->server->file(), generated);
    QCOMPARE(statusText(window), "Parameters successfully written to " + url);
    QCOMPARE(box.statusWhileOpen, statusText(window));
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.text,
             "Parameters sent to " + url
                 + ".<br>Please restart the screen by going to \"Settings menu->Restart\" on VTPX02/04.");

    clickButton(window, "butDefaults");
    clickButton(window, "butRead");
    waitUntilTransfersEnded();
    QCOMPARE(controlState(window), QString("2/42/7/0010"));
}

// While a read or a write runs, Read and Write do nothing, not even clear
// the status bar; Restore defaults and the address field stay usable.
void tst_DeviceTransfer::oneTransferAtATime_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    for (const char *first : {"butRead", "butWrite"}) {
        for (const char *second : {"butRead", "butWrite"})
            QTest::addRow("%s, then %s", first, second) << first << second;
    }
}

void tst_DeviceTransfer::oneTransferAtATime()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QVERIFY(!startServer("pyftpdlib", {"--reply-delay", "0.1"}).isEmpty());
    typeAddress(window, "127.0.0.1");
    MessageBoxCatcher boxes;

    clickButton(window, qPrintable(first));
    const QString running = statusText(window);
    typeAddress(window, "127.0.0.2"); // another module
    clickButton(window, qPrintable(second));
    QCOMPARE(statusText(window), running);
    QCOMPARE(transfersInFlight(window), 1);
    clickButton(window, "butDefaults");
    QVERIFY(statusText(window).isEmpty());
    waitUntilTransfersEnded();

    const QStringList commands = server->commands();
    QCOMPARE(commands.count("RETR") + commands.count("STOR"), 1);
    if (first == "butRead") {
        QCOMPARE(statusText(window),
                 QString("Parameters successfully downloaded from ftp://anonymous:@127.0.0.1/vtpx_domo"));
        QCOMPARE(controlState(window), QString("1/33/45/1010"));
        QCOMPARE(server->file(), moduleFile);
    }
    QCOMPARE(boxes.boxes.size(), first == "butWrite" ? 1 : 0);
}

void tst_DeviceTransfer::quickClicksStartOneRead()
{
    QVERIFY(!startServer("pyftpdlib", {"--refuse-login", "--reply-delay", "0.1"}).isEmpty());
    typeAddress(window, "127.0.0.1");
    MessageBoxCatcher boxes;
    for (int click = 0; click < 10; ++click)
        clickButton(window, "butRead");
    waitUntilTransfersEnded();
    QCOMPARE(boxes.boxes.size(), 1);
}

// Each write's data and buffer are freed once its transfer has ended,
// whether it succeeded or not.
void tst_DeviceTransfer::everyUploadIsReleased()
{
    typeAddress(window, "127.0.0.1");
    MessageBoxCatcher boxes;
    int released = 0;
    for (const QStringList &options :
         {QStringList(), QStringList {"--read-only"}, QStringList {"--silent"}}) {
        server->stop();
        QVERIFY(server->startPyftpdlib("127.0.0.1", options));
        clickButton(window, "butWrite");
        connect(WindowInternals::uploadBuffer(*window), &QObject::destroyed, [&] { ++released; });
        waitUntilTransfersEnded();
        QVERIFY(!WindowInternals::uploadBuffer(*window));
    }
    QTRY_COMPARE(released, 3);
    QCOMPARE(boxes.boxes.size(), 3);
}

void tst_DeviceTransfer::addressCheck_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("url"); // empty: refused

    QTest::newRow("loopback") << "127.0.0.1"
                              << "ftp://anonymous:@127.0.0.1/vtpx_domo";
    QTest::newRow("anywhere in 127/8") << "127.200.1.2"
                                       << "ftp://anonymous:@127.200.1.2/vtpx_domo";
    QTest::newRow("leading zeros: the parser's text") << "127.000.000.001"
                                                      << "ftp://anonymous:@127.0.0.1/vtpx_domo";
    QTest::newRow("leading zeros: decimal, as the field reads them")
        << "127.010.000.099"
        << "ftp://anonymous:@127.10.0.99/vtpx_domo";
    QTest::newRow("leading zero, not octal") << "127.0.0.08"
                                             << "ftp://anonymous:@127.0.0.8/vtpx_domo";
    QTest::newRow("on no subnet") << "10.1.2.3"
                                  << "";
    QTest::newRow("documentation network, not ours here") << "192.0.2.10"
                                                          << "";
    QTest::newRow("not an address") << "1.2.3"
                                    << "";
}

void tst_DeviceTransfer::addressCheck()
{
    QFETCH(QString, typed);
    QFETCH(QString, url);

    typeAddress(window, typed);
    QCOMPARE(WindowInternals::buildDeviceUrl(*window).toString(), url);
    if (!url.isEmpty())
        return;

    // A refused address starts nothing and says nothing.
    window->findChild<QFrame *>("frame")->setEnabled(true);
    MessageBoxCatcher boxes;
    LogCapture log;
    for (const char *button : {"butRead", "butWrite"}) {
        window->findChild<QStatusBar *>()->showMessage("earlier");
        clickButton(window, button);
        QVERIFY(statusText(window).isEmpty());
        QVERIFY(window->findChildren<QNetworkAccessManager *>().isEmpty());
        QVERIFY(!WindowInternals::uploadData(*window));
    }
    QVERIFY(log.messages().isEmpty());
    QVERIFY(boxes.boxes.isEmpty());
}

void tst_DeviceTransfer::completionWithoutManagerDoesNothing()
{
    window->findChild<QStatusBar *>()->showMessage("unchanged");
    // Q_ARG takes the type's normalized name, which clang-format would respace.
    // clang-format off
    for (const char *slot : {"cb_networkAccessManagerGet_finished", "cb_networkAccessManagerPut_finished"})
        QVERIFY(QMetaObject::invokeMethod(window, slot, Q_ARG(QNetworkReply*, nullptr)));
    // clang-format on
    QCOMPARE(statusText(window), QString("unchanged"));
}

void tst_DeviceTransfer::closingTheWindowMidTransfer_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("read") << "butRead";
    QTest::newRow("write") << "butWrite";
}

// Quitting while a transfer hangs takes the transfer, and an upload's
// data, with the window, and reports nothing.
void tst_DeviceTransfer::closingTheWindowMidTransfer()
{
    QFETCH(QString, button);
    QVERIFY(!startServer("pyftpdlib", {"--silent"}).isEmpty());
    typeAddress(window, "127.0.0.1");
    MessageBoxCatcher boxes;
    clickButton(window, qPrintable(button));
    QSignalSpy transferReleased(window->findChild<QNetworkAccessManager *>(), &QObject::destroyed);

    window->close();
    delete window;
    window = nullptr;
    QCOMPARE(transferReleased.count(), 1);
    QCoreApplication::processEvents();
    QVERIFY(boxes.boxes.isEmpty());
}

QTEST_MAIN(tst_DeviceTransfer)
#include "tst_devicetransfer.moc"
