#include "ftpserverprocess.h"
#include "windowdriver.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

namespace {
const QByteArray moduleFile = "[global]\narm=1\nblighlvl=33\nblightout=45\nbacklightmenu=1\n"
                              "simulmenu=0\ntimemenu=1\nnetworkmenu=0\n";
const QString moduleState = "arm=1 blighlvl=33 blightout=45 backlightmenu=1 timemenu=1";
// The controls before each transfer, which a write sends.
const QString written = "arm=2 blighlvl=42 blightout=7 timemenu=1";
const FtpTimeLimits shortLimits {2000, 4000};
} // namespace

// Reads and writes through the window against real FTP servers, in a
// network namespace of the test's own (see CMakeLists.txt): loopback, where
// 127.0.0.1 has a server, and a LAN 192.0.2.0/24 on one end of a veth pair
// whose other end has no address, so that no module answers there (the
// kernel gives up asking after 0.2 s, not its usual 3). What the window
// owns: each outcome's status, box and log, once for a success and once
// for a failure of each operation; how the client's outcomes come about is
// tst_ftpclient's. Time limits are 2 s without an answer and 4 s in
// all, except where the kernel's own timing decides.
//
// With QVTPX_BUSY_CORES set, a busy loop runs on every core meanwhile: the
// outcome must not depend on timing.
class tst_DeviceTransfer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void loadsNoBearerPlugins();
    void transfer_data();
    void transfer();
    void oneTransferAtATime_data();
    void oneTransferAtATime();
    void quittingDuringAWrite_data();
    void quittingDuringAWrite();
    void addressCheck_data();
    void addressCheck();
    void closingTheWindowMidTransfer();

private:
    QString startServer(const QString &kind, const QStringList &options = {});
    void checkFailureReport(const QString &operation, const QString &error, const QStringList &messages,
                            const MessageBoxCatcher &boxes, const QString &url);

    qvtpx0xtweaker *window = nullptr;
    FtpServerProcess *server = nullptr;
    std::vector<std::unique_ptr<LinuxSide::Process>> busyLoops;
    QByteArray mappedAtStart; // the process's mappings before any window
};

void tst_DeviceTransfer::initTestCase()
{
    if (!inIsolatedNetworkNamespace())
        QSKIP("needs a network namespace of its own with only loopback: run it through ctest");
    QFile maps("/proc/self/maps");
    if (maps.open(QIODevice::ReadOnly))
        mappedAtStart = maps.readAll();
    // Made once in the namespace, which the Windows build's tests share.
    if (LinuxSide::run({"sh", "-c", "ip link show qvtpx-lan >/dev/null 2>&1"}) != 0) {
        for (const char *command :
             {"link add qvtpx-lan type veth peer name qvtpx-nobody", "addr add 192.0.2.1/24 dev qvtpx-lan",
              "ntable change name arp_cache dev qvtpx-lan mcast_probes 1 retrans 200",
              "link set qvtpx-lan up", "link set qvtpx-nobody up"})
            QCOMPARE(LinuxSide::run(QStringList("ip") + QString(command).split(' ')), 0);
    }
    if (!qEnvironmentVariableIsSet("QVTPX_BUSY_CORES"))
        return;
    for (int core = 0; core < QThread::idealThreadCount(); ++core)
        busyLoops.push_back(LinuxSide::start({"sh", "-c", "while :; do :; done"}));
}

void tst_DeviceTransfer::cleanupTestCase()
{
    busyLoops.clear();
}

void tst_DeviceTransfer::init()
{
    window = new qvtpx0xtweaker;
    WindowInternals::setTransferTimeLimits(*window, shortLimits);
    window->show();
    server = new FtpServerProcess;
    server->setFile(moduleFile);
}

void tst_DeviceTransfer::cleanup()
{
    delete window;
    delete server;
}

// The server's address, or an empty text when it did not start.
QString tst_DeviceTransfer::startServer(const QString &kind, const QStringList &options)
{
    if (kind == "pyftpdlib")
        return server->startPyftpdlib("127.0.0.1", options) ? "127.0.0.1" : QString();
    if (kind == "scripted")
        return server->startScripted("127.0.0.1", options) ? "127.0.0.1" : QString();
    return "192.0.2.20"; // nobody on the LAN
}

// The window's first read loads none of Qt 5's bearer plugins, and with
// them no D-Bus: nothing of either is mapped into the process after it
// that was not before the first window (Qt 6's QtGui links D-Bus itself).
void tst_DeviceTransfer::loadsNoBearerPlugins()
{
    QFile maps("/proc/self/maps");
    if (!maps.open(QIODevice::ReadOnly))
        QSKIP("no /proc/self/maps here");
    QVERIFY(!startServer("pyftpdlib").isEmpty());
    typeAddress(window, "127.0.0.1");
    clickButton(window, "butRead");
    QTRY_COMPARE_WITH_TIMEOUT(transfersInFlight(window), 0, 15000);
    QCOMPARE(controlState(window), fullState(moduleState));
    const QByteArray mapped = maps.readAll();
    QVERIFY(!mapped.contains("bearer"));
    QVERIFY(!mapped.contains("libdbus") || mappedAtStart.contains("libdbus"));
}

// How a failure is reported: the status bar, a warning, and one critical
// box of plain text.
void tst_DeviceTransfer::checkFailureReport(const QString &operation, const QString &error,
                                            const QStringList &messages, const MessageBoxCatcher &boxes,
                                            const QString &url)
{
    const QString prefix = operation == "read" ? "Download error: " : "Upload error: ";
    const QString status = statusText(window);
    QVERIFY2(status.startsWith(prefix), qPrintable(status));
    const QString reported = status.mid(prefix.size());
    QCOMPARE(reported, error);
    QCOMPARE(messages.value(1), "warning: Error occurs " + LogCapture::quoted(reported));
    QCOMPARE(boxes.boxes.size(), 1);
    const MessageBoxCatcher::Box box = boxes.boxes.first();
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.title, QString("tst_devicetransfer"));
    QCOMPARE(box.text,
             (operation == "read" ? "Error while downloading " : "Error while uploading ") + url
                 + ". Error: " + reported);
    QVERIFY2(!Qt::mightBeRichText(box.text), qPrintable(box.text));
}

// file: what the module holds (null: no file); error: empty for a success;
// expected: the controls afterwards, from
// `written`; limits: whether the client's own limits apply.
void tst_DeviceTransfer::transfer_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("realLimits");
    const auto row
        = [](const char *name, const char *server, const QStringList &options, const QByteArray &file,
             const QString &error, const QString &expected, bool realLimits = false) {
              const QString operation = QString(name).section(':', 0, 0);
              QTest::newRow(name) << operation << QString(server) << options << file << error << expected
                                  << realLimits;
          };
    row("read: pyftpdlib", "pyftpdlib", {}, moduleFile, "", moduleState);
    row("read: empty file", "pyftpdlib", {}, "", "", written);
    row("read: missing file", "pyftpdlib", {}, QByteArray(),
        "The module has no file vtpx_domo: 550 No such file or directory.", written);
    row("read: refusal in markup", "scripted", {"--answer", "USER=530 &lt;b>No&#8238;"}, moduleFile,
        "The module refused the login: 530 ?lt;b>No?#8238;", written);
    row("read: module switched off", "nobody on the LAN", {}, moduleFile,
        "The module does not answer on the LAN (Host unreachable)", written, true);
    row("write: pyftpdlib", "pyftpdlib", {}, moduleFile, "", written);
    row("write: read-only server", "pyftpdlib", {"--read-only"}, moduleFile,
        "The module refused the write: 550 Not enough privileges.", written);
    row("write: broken off by the module", "scripted", {"--data-bytes", "10", "--data-end", "reset"},
        moduleFile, "The module broke off the transfer of 347 bytes: its file may be cut short", written);
}

void tst_DeviceTransfer::transfer()
{
    QFETCH(QString, operation);
    QFETCH(QString, server);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, file);
    QFETCH(QString, error);
    QFETCH(QString, expected);
    QFETCH(bool, realLimits);
#ifdef Q_OS_WIN
    if (server == "nobody on the LAN")
        QSKIP("Wine does not tell Qt's socket notifiers that a connection attempt failed, so Qt's control "
              "connection learns of an unreachable module only at the 30 s limit");
    if (operation == "write" && options.contains("--data-bytes"))
        QSKIP(
            "Wine gives a reset data connection as a graceful close, and once a write has shut its sending side "
            "nothing else tells the two apart (Windows tells the reset with the close)");
#endif
    file.isNull() ? this->server->removeFile() : this->server->setFile(file);
    const QString address = startServer(server, options);
    QVERIFY2(!address.isEmpty(), qPrintable(this->server->errorString()));
    const QString url = "ftp://anonymous:@" + address + "/vtpx_domo";
    if (realLimits)
        WindowInternals::setTransferTimeLimits(*window, {});
    typeAddress(window, address);
    setControlState(window, written);
    const QByteArray generated = WindowInternals::buildParameterFile(*window);
    MessageBoxCatcher boxes(window);
    LogCapture log;

    const bool read = operation == "read";
    clickButton(window, read ? "butRead" : "butWrite");
    QCOMPARE(statusText(window), (read ? "Downloading " : "Uploading parameters to ") + url + " ...");
    int released = 0;
    if (!read)
        connect(WindowInternals::uploadBuffer(*window), &QObject::destroyed, this, [&] { ++released; });
    if (!read)
        QCOMPARE(*WindowInternals::uploadData(*window), generated);
    QTRY_COMPARE_WITH_TIMEOUT(transfersInFlight(window), 0, 15000);

    QCOMPARE(controlState(window), fullState(expected));
    QCOMPARE(log.messages().value(0),
             QString(read ? "info" : "warning") + ": ftpDownloadFinish true QUrl(\""
                 + QUrl(url).toDisplayString() + "\")");
    QVERIFY(!WindowInternals::uploadData(*window));
    QVERIFY(!WindowInternals::uploadBuffer(*window));
    QCOMPARE(released, read ? 0 : 1);
    if (error.isEmpty())
        QCOMPARE(this->server->file(), read ? file : generated);
    else if (!options.contains("--keep") && !options.contains("--data-bytes"))
        QCOMPARE(this->server->file(), file);
    if (!error.isEmpty())
        return checkFailureReport(operation, error, log.messages(), boxes, url);
    if (read) {
        QCOMPARE(statusText(window), "Parameters successfully downloaded from " + url);
        QVERIFY(boxes.boxes.isEmpty());
        return;
    }
    QCOMPARE(statusText(window), "Parameters successfully written to " + url);
    QCOMPARE(boxes.boxes.size(), 1);
    const MessageBoxCatcher::Box box = boxes.boxes.first();
    QCOMPARE(box.statusWhileOpen, statusText(window));
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.title, QString("tst_devicetransfer"));
    QCOMPARE(box.text,
             "Parameters sent to " + url
                 + ".<br>Please restart the screen by going to \"Settings menu->Restart\" on VTPX02/04.");
}

// While a read or a write runs, Read and Write do nothing, however often
// clicked, not even clear the status bar, and the address cannot be
// edited; Restore defaults stays usable.
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
    auto *address = window->findChild<QLineEdit *>("lineEditIP");
    QTest::keyClicks(address, "9");
    QCOMPARE(address->text(), QString("127.0.0.1"));
    for (int click = 0; click < 10; ++click)
        clickButton(window, qPrintable(second));
    QCOMPARE(statusText(window), running);
    QCOMPARE(transfersInFlight(window), 1);
    clickButton(window, "butDefaults");
    QVERIFY(statusText(window).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(transfersInFlight(window), 0, 10000);

    const QStringList commands = server->commands();
    QCOMPARE(commands.count("RETR") + commands.count("STOR"), 1);
    if (first == "butRead") {
        QCOMPARE(controlState(window), fullState(moduleState));
        QCOMPARE(server->file(), moduleFile);
    }
    QCOMPARE(boxes.boxes.size(), first == "butWrite" ? 1 : 0);
    QTest::keyClicks(address, "9");
    QCOMPARE(address->text(), QString("127.0.0.19"));
}

// Asked to close while a write runs, the window closes at once as long as
// nothing has reached the module; once the file may be on its way, it
// stays until the write has ended, then closes without a box.
void tst_DeviceTransfer::quittingDuringAWrite_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("quitAfter"); // the last command the module has received
    QTest::addColumn<QString>("error");     // what the box then says; empty: the window closes, no box
    QTest::addColumn<QString>("after");     // what the module holds: "old", "new", or anything else
    QTest::newRow("before the login") << QStringList {"--reply-delay", "30"} << ""
                                      << ""
                                      << "old";
    QTest::newRow("once STOR went out") << QStringList {"--reply-delay", "0.25"} << "STOR"
                                        << ""
                                        << "new";
    QTest::newRow("once STOR went out, then the module breaks off")
        << QStringList {"--reply-delay", "0.25", "--final-reply", "", "--then", "close"} << "STOR"
        << "The module broke off the transfer of 347 bytes: its file may be cut short"
        << "cut";
}

void tst_DeviceTransfer::quittingDuringAWrite()
{
    QFETCH(QStringList, options);
    QFETCH(QString, quitAfter);
    QFETCH(QString, error);
    QFETCH(QString, after);
    // A slow module's write must end well within the limits, busy cores or not.
    WindowInternals::setTransferTimeLimits(*window, {10000, 30000});
    QVERIFY(!startServer("scripted", options).isEmpty());
    typeAddress(window, "127.0.0.1");
    setControlState(window, written);
    const QByteArray generated = WindowInternals::buildParameterFile(*window);
    MessageBoxCatcher boxes;
    clickButton(window, "butWrite");
    if (!quitAfter.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(server->commands().contains(quitAfter), 10000);

    QCOMPARE(window->close(), quitAfter.isEmpty());
    if (!quitAfter.isEmpty()) {
        QCOMPARE(statusText(window), QString("Finishing the write to the module before quitting ..."));
        QTRY_COMPARE_WITH_TIMEOUT(transfersInFlight(window), 0, 10000);
    }
    QCoreApplication::processEvents();
    QCOMPARE(window->isVisible(), !error.isEmpty());
    QCOMPARE(boxes.boxes.size(), error.isEmpty() ? 0 : 1);
    if (!error.isEmpty())
        QCOMPARE(boxes.boxes.first().text,
                 "Error while uploading ftp://anonymous:@127.0.0.1/vtpx_domo. Error: " + error);
    if (after != "cut")
        QCOMPARE(server->file(), after == "new" ? generated : moduleFile);
    if (!error.isEmpty()) // the user quits again
        QVERIFY(window->close());
}

void tst_DeviceTransfer::addressCheck_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("url"); // empty: refused

    // The rule's own rows are tst_moduleaddress's; these, with this
    // computer's real interfaces, through the window.
    const QString pattern = "ftp://anonymous:@%1/vtpx_domo";
    QTest::newRow("anywhere in 127/8") << "127.200.1.2" << pattern.arg("127.200.1.2");
    QTest::newRow("leading zero, not octal") << "127.0.0.08" << pattern.arg("127.0.0.8");
    QTest::newRow("the module on the LAN") << "192.0.2.10" << pattern.arg("192.0.2.10");
    QTest::newRow("next subnet") << "192.0.3.1" << QString();
    QTest::newRow("not an address") << "1.2.3" << QString();
}

// A refused address starts nothing and says nothing.
void tst_DeviceTransfer::addressCheck()
{
    QFETCH(QString, typed);
    QFETCH(QString, url);
    typeAddress(window, typed);
    QCOMPARE(WindowInternals::buildDeviceUrl(*window).toString(), url);
    if (!url.isEmpty())
        return;

    window->findChild<QFrame *>("frame")->setEnabled(true);
    MessageBoxCatcher boxes;
    LogCapture log;
    for (const char *button : {"butRead", "butWrite"}) {
        window->findChild<QStatusBar *>()->showMessage("earlier");
        clickButton(window, button);
        QVERIFY(statusText(window).isEmpty());
        QCOMPARE(transfersInFlight(window), 0);
    }
    QVERIFY(log.messages().isEmpty());
    QVERIFY(boxes.boxes.isEmpty());
    QVERIFY(!WindowInternals::uploadData(*window));
}

// Destroying the window while a transfer hangs takes the transfer, and an
// upload's data, with the window, and reports nothing.
void tst_DeviceTransfer::closingTheWindowMidTransfer()
{
    QVERIFY(!startServer("pyftpdlib", {"--silent"}).isEmpty());
    MessageBoxCatcher boxes;
    for (const char *button : {"butRead", "butWrite"}) {
        typeAddress(window, "127.0.0.1");
        clickButton(window, button);
        QSignalSpy transferReleased(window->findChild<QNetworkAccessManager *>(), &QObject::destroyed);
        delete window;
        window = new qvtpx0xtweaker;
        QCOMPARE(transferReleased.count(), 1);
    }
    QCoreApplication::processEvents();
    QVERIFY(boxes.boxes.isEmpty());
}

QTEST_MAIN(tst_DeviceTransfer)
#include "tst_devicetransfer.moc"
