#include "ftpserverprocess.h"
#include "messageboxcatcher.h"
#include "transferwatchdog.h"
#include "windowdriver.h"
#include "windowinternals.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

namespace {
const QByteArray moduleFile = "arm=1\nblighlvl=33\n";
}

// Transfers that stop making progress: every one of them must end, be
// reported, and release what it held. The idle limit is shortened to 2 s
// except in realLimit(), which runs with the product's 30 s.
class tst_Watchdog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void stalledTransferEnds_data();
    void stalledTransferEnds();
    void killedServer();
    void writeAfterATimedOutWrite();
    void overlappingReads();
    void realLimit();
    void closingTheWindowEndsTransfers();

private:
    qvtpx0xtweaker *window = nullptr;
    FtpServerProcess *server = nullptr;
    FtpServerProcess *otherServer = nullptr;
};

void tst_Watchdog::initTestCase()
{
    if (!inIsolatedNetworkNamespace())
        QSKIP("needs a network namespace of its own with only loopback: run it through ctest");
}

void tst_Watchdog::init()
{
    TransferWatchdog::setIdleLimitForTesting(2);
    window = new qvtpx0xtweaker;
    window->show();
    server = new FtpServerProcess;
    server->setFile(moduleFile);
    otherServer = new FtpServerProcess;
    otherServer->setFile(moduleFile);
    typeAddress(window, "127.0.0.1");
}

void tst_Watchdog::cleanup()
{
    delete window;
    delete server;
    delete otherServer;
    TransferWatchdog::setIdleLimitForTesting(30);
}

void tst_Watchdog::stalledTransferEnds_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("error");

    const QString noAnswer = "No answer from the module for 2 seconds";
    for (const char *operation : {"read", "write"}) {
        const char *command = QByteArray(operation) == "read" ? "RETR" : "STOR";
        QTest::addRow("%s: never greets", operation) << operation << QStringList {"--silent"} << noAnswer;
        QTest::addRow("%s: stalls after %s", operation, command)
            << operation << QStringList {"--stall-after", command} << noAnswer;
    }
    // Qt reports progress only while file bytes move: a login and command
    // exchange longer than the limit is cut off even though every reply came.
    QTest::newRow("read: slow commands") << "read" << QStringList {"--reply-delay", "0.5"} << noAnswer;
    QTest::newRow("read: freezes mid-file") << "read" << QStringList {"--freeze-after", "5"} << noAnswer;
    QTest::newRow("read: drops mid-file") << "read" << QStringList {"--drop-after", "5"} << noAnswer;
    QTest::newRow("write: drops mid-file") << "write" << QStringList {"--drop-after", "0"} << noAnswer;
}

void tst_Watchdog::stalledTransferEnds()
{
    QFETCH(QString, operation);
    QFETCH(QStringList, options);
    QFETCH(QString, error);
    QVERIFY2(server->startPyftpdlib("127.0.0.1", options), qPrintable(server->errorString()));
    MessageBoxCatcher boxes;
    const bool read = operation == "read";

    clickButton(window, read ? "butRead" : "butWrite");
    QCOMPARE(transfersInFlight(window), 1);
    // The window stays usable while the transfer hangs.
    clickButton(window, "butDefaults");
    QVERIFY(statusText(window).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(transfersInFlight(window), 0, 10000);

    const QString url = "ftp://anonymous:@127.0.0.1/vtpx_domo";
    QCOMPARE(statusText(window), (read ? "Download error: " : "Upload error: ") + error);
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes.first().text,
             (read ? "Error while downloading " : "Error while uploading ") + url + ". Error: " + error);
    QCOMPARE(window->findChild<QSlider *>("sliderBlVal")->value(), 80);
    QVERIFY(!WindowInternals::uploadData(*window));
    QVERIFY(!WindowInternals::uploadBuffer(*window));
}

void tst_Watchdog::killedServer()
{
    QVERIFY(server->startPyftpdlib("127.0.0.1", {"--silent"}));
    MessageBoxCatcher boxes;
    clickButton(window, "butRead");
    server->stop();
    QTRY_COMPARE_WITH_TIMEOUT(transfersInFlight(window), 0, 10000);
    QVERIFY2(statusText(window).startsWith("Download error: "), qPrintable(statusText(window)));
    QCOMPARE(boxes.boxes.size(), 1);
}

void tst_Watchdog::writeAfterATimedOutWrite()
{
    QVERIFY(server->startPyftpdlib("127.0.0.1", {"--stall-after", "STOR"}));
    MessageBoxCatcher boxes(window->findChild<QStatusBar *>());
    clickButton(window, "butWrite");
    QTRY_COMPARE_WITH_TIMEOUT(transfersInFlight(window), 0, 10000);
    QCOMPARE(statusText(window), QString("Upload error: No answer from the module for 2 seconds"));

    server->stop();
    QVERIFY(otherServer->startPyftpdlib("127.0.0.1"));
    clickButton(window, "butWrite");
    QTRY_COMPARE_WITH_TIMEOUT(transfersInFlight(window), 0, 10000);
    QCOMPARE(statusText(window),
             QString("Parameters successfully written to ftp://anonymous:@127.0.0.1/vtpx_domo"));
    QCOMPARE(otherServer->file(), WindowInternals::buildParameterFile(*window));
    QCOMPARE(boxes.boxes.size(), 2);
}

void tst_Watchdog::overlappingReads()
{
    QVERIFY(server->startPyftpdlib("127.0.0.1", {"--silent"}));
    MessageBoxCatcher boxes;
    clickButton(window, "butRead");
    clickButton(window, "butRead");
    const auto replies = window->findChildren<QNetworkReply *>();
    QCOMPARE(replies.size(), 2);
    QVERIFY(TransferWatchdog::of(replies.at(0)) != TransferWatchdog::of(replies.at(1)));
    QTRY_COMPARE_WITH_TIMEOUT(transfersInFlight(window), 0, 10000);
    QCOMPARE(boxes.boxes.size(), 2);
}

// With the product's limit: a module that sends a byte now and then for
// longer than 30 s in all is not cut off, while one that stays silent is
// cut off after 30 s. Both run at once to keep the suite short.
void tst_Watchdog::realLimit()
{
    TransferWatchdog::setIdleLimitForTesting(30);
    QByteArray slowFile = "[global]\n";
    while (slowFile.size() < 330)
        slowFile += "#this module answers slowly\n";
    slowFile += "blighlvl=21\n";
    server->setFile(slowFile);
    QVERIFY(server->startPyftpdlib("127.0.0.1", {"--trickle", "1"})); // 10 bytes a second
    QVERIFY(otherServer->startPyftpdlib("127.0.0.2", {"--silent"}));
    MessageBoxCatcher boxes(window->findChild<QStatusBar *>());
    QElapsedTimer clock;
    clock.start();

    clickButton(window, "butRead");
    typeAddress(window, "127.0.0.2");
    clickButton(window, "butWrite");
    QTRY_VERIFY_WITH_TIMEOUT(!WindowInternals::uploadData(*window), 40000);
    QVERIFY(clock.elapsed() >= 29000);
    QCOMPARE(boxes.boxes.value(0).statusWhileOpen,
             QString("Upload error: No answer from the module for 30 seconds"));
    QCOMPARE(boxes.boxes.value(0).text,
             QString("Error while uploading ftp://anonymous:@127.0.0.2/vtpx_domo. "
                     "Error: No answer from the module for 30 seconds"));

    QTRY_COMPARE_WITH_TIMEOUT(transfersInFlight(window), 0, 30000);
    QVERIFY2(clock.elapsed() > 32000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(statusText(window),
             QString("Parameters successfully downloaded from ftp://anonymous:@127.0.0.1/vtpx_domo"));
    QCOMPARE(window->findChild<QSlider *>("sliderBlVal")->value(), 21);
}

// Quitting while a read and a write hang: the window takes both transfers,
// and the upload's data, with it.
void tst_Watchdog::closingTheWindowEndsTransfers()
{
    QVERIFY(server->startPyftpdlib("127.0.0.1", {"--silent"}));
    clickButton(window, "butRead");
    clickButton(window, "butWrite");
    QSignalSpy uploadReleased(WindowInternals::uploadBuffer(*window), &QObject::destroyed);
    QCOMPARE(transfersInFlight(window), 2);

    window->close();
    delete window;
    window = nullptr;
    QCOMPARE(uploadReleased.count(), 1);
}

QTEST_MAIN(tst_Watchdog)
#include "tst_watchdog.moc"
