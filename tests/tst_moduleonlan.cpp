#include "ftpreply.h"
#include "ftpserverprocess.h"
#include "messageboxcatcher.h"
#include "windowdriver.h"
#include "windowinternals.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

namespace {
const QString moduleUrl = "ftp://anonymous:@192.0.2.10/vtpx_domo";

bool ip(const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.start("ip", arguments);
    if (!process.waitForFinished() || process.exitCode() != 0)
        return false;
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}
} // namespace

// The computer and the module on a LAN of their own: this test's network
// namespace is the computer, at 192.0.2.1/24, joined by a veth pair to a
// namespace it makes for the module, at 192.0.2.10/24. Neither has a route
// anywhere else, so nothing reaches the machine's own network.
class tst_ModuleOnLan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void readAndWrite();
    void addressCheck_data();
    void addressCheck();
    void connectionRefused();
    void moduleSwitchedOff();

private:
    void waitUntilTransfersEnded();

    QString moduleNamespace;
    qvtpx0xtweaker *window = nullptr;
    FtpServerProcess *server = nullptr;
};

void tst_ModuleOnLan::initTestCase()
{
    if (!inIsolatedNetworkNamespace())
        QSKIP("needs a network namespace of its own with only loopback: run it through ctest");

    moduleNamespace = QString("qvtpx-module-%1").arg(QCoreApplication::applicationPid());
    const QString ns = moduleNamespace;
    QVERIFY(ip({"netns", "add", ns}));
    QVERIFY(
        ip({"link", "add", "qvtpx-computer", "type", "veth", "peer", "name", "qvtpx-module", "netns", ns}));
    QVERIFY(ip({"addr", "add", "192.0.2.1/24", "dev", "qvtpx-computer"}));
    QVERIFY(ip({"link", "set", "qvtpx-computer", "up"}));
    QVERIFY(ip({"-n", ns, "addr", "add", "192.0.2.10/24", "dev", "qvtpx-module"}));
    QVERIFY(ip({"-n", ns, "link", "set", "qvtpx-module", "up"}));
    QVERIFY(ip({"-n", ns, "link", "set", "lo", "up"}));

    QByteArray routes;
    QVERIFY(ip({"route", "show", "default"}, &routes));
    QVERIFY2(routes.trimmed().isEmpty(), routes.constData());
    QVERIFY(ip({"route", "get", "192.0.2.10"}, &routes));
    QVERIFY2(routes.contains("dev qvtpx-computer"), routes.constData());
}

void tst_ModuleOnLan::cleanupTestCase()
{
    if (!moduleNamespace.isEmpty())
        ip({"netns", "delete", moduleNamespace});
}

void tst_ModuleOnLan::init()
{
    window = new qvtpx0xtweaker;
    window->show();
    server = new FtpServerProcess;
    server->setFile("arm=0\nblighlvl=5\n");
}

void tst_ModuleOnLan::cleanup()
{
    delete window;
    delete server;
}

void tst_ModuleOnLan::waitUntilTransfersEnded()
{
    QTRY_COMPARE_WITH_TIMEOUT(transfersInFlight(window), 0, 20000);
}

void tst_ModuleOnLan::readAndWrite()
{
    QVERIFY2(server->startPyftpdlib("192.0.2.10", {}, moduleNamespace), qPrintable(server->errorString()));
    typeAddress(window, "192.0.2.10");
    MessageBoxCatcher boxes;

    clickButton(window, "butRead");
    QCOMPARE(statusText(window), QString("Downloading ftp://anonymous:@192.0.2.10/vtpx_domo ..."));
    waitUntilTransfersEnded();
    QCOMPARE(statusText(window),
             QString("Parameters successfully downloaded from ftp://anonymous:@192.0.2.10/vtpx_domo"));
    QVERIFY(window->findChild<QRadioButton *>("radArm0")->isChecked());
    QCOMPARE(window->findChild<QSlider *>("sliderBlVal")->value(), 5);

    clickButton(window, "butWrite");
    QCOMPARE(statusText(window),
             QString("Uploading parameters to ftp://anonymous:@192.0.2.10/vtpx_domo ..."));
    waitUntilTransfersEnded();
    QCOMPARE(statusText(window),
             QString("Parameters successfully written to ftp://anonymous:@192.0.2.10/vtpx_domo"));
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes.first().text,
             QString("Parameters sent to ftp://anonymous:@192.0.2.10/vtpx_domo.<br>"
                     "Please restart the screen by going to \"Settings menu->Restart\" on VTPX02/04."));
    QCOMPARE(server->file(), WindowInternals::buildParameterFile(*window));
}

void tst_ModuleOnLan::addressCheck_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("passes");
    QTest::newRow("the module") << "192.0.2.10" << true;
    QTest::newRow("the computer itself") << "192.0.2.1" << true;
    QTest::newRow("network address") << "192.0.2.0" << true;
    QTest::newRow("broadcast address") << "192.0.2.255" << true;
    QTest::newRow("next subnet") << "192.0.3.1" << false;
    QTest::newRow("another network") << "198.51.100.7" << false;
}

void tst_ModuleOnLan::addressCheck()
{
    QFETCH(QString, typed);
    QFETCH(bool, passes);
    typeAddress(window, typed);
    const QUrl url = WindowInternals::buildDeviceUrl(*window);
    QCOMPARE(url.toString(), passes ? "ftp://anonymous:@" + typed + "/vtpx_domo" : QString());
}

void tst_ModuleOnLan::connectionRefused()
{
    typeAddress(window, "192.0.2.10");
    MessageBoxCatcher boxes;
    clickButton(window, "butRead");
    waitUntilTransfersEnded();
    QVERIFY2(statusText(window).startsWith("Download error: "), qPrintable(statusText(window)));
    QCOMPARE(boxes.boxes.size(), 1);
    QVERIFY(boxes.boxes.first().text.startsWith("Error while downloading " + moduleUrl + ". Error: "));
}

// No host answers at 192.0.2.20: the kernel keeps trying to connect long
// after ARP has given up; the time limit ends the read.
void tst_ModuleOnLan::moduleSwitchedOff()
{
    FtpReply::setTimeLimitsForTesting(5, 10);
    typeAddress(window, "192.0.2.20");
    MessageBoxCatcher boxes;
    clickButton(window, "butRead");
    QCOMPARE(statusText(window), QString("Downloading ftp://anonymous:@192.0.2.20/vtpx_domo ..."));
    waitUntilTransfersEnded();
    FtpReply::setTimeLimitsForTesting(30, 120);
    QCOMPARE(statusText(window), QString("Download error: No answer from the module for 5 seconds"));
    QCOMPARE(boxes.boxes.size(), 1);
}

QTEST_MAIN(tst_ModuleOnLan)
#include "tst_moduleonlan.moc"
