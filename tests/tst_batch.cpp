#include "batch.h"
#include "ftpserverprocess.h"
#include "parameterfile.h"

#include <QtTest>

// The console tool's batch in this process, its lines written to a buffer:
// what it reports of each module, and how it goes through its list. The
// modules are real servers in the test's own network namespace (see
// CMakeLists.txt).
class tst_Batch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void reading_data();
    void reading();
    void eachModuleOnce();
    void refusedAddressesInConstantStack();

private:
    struct Result
    {
        QByteArray lines;
        QStringList notes;
        int exitCode = -1;
    };
    // Runs the batch to its end.
    static Result run(Request request, const QVector<ModuleAddress::Subnet> *subnets = nullptr);
};

void tst_Batch::initTestCase()
{
    if (!inIsolatedNetworkNamespace())
        QSKIP("needs a network namespace of its own with only loopback: run it through ctest");
}

tst_Batch::Result tst_Batch::run(Request request, const QVector<ModuleAddress::Subnet> *subnets)
{
    QBuffer output;
    output.open(QIODevice::WriteOnly);
    Result result;
    Batch batch(request, &output);
    if (subnets)
        batch.setSubnets(*subnets);
    batch.setTimeLimits({2, 4});
    connect(&batch, &Batch::note, [&](const QString &note) { result.notes << note; });
    connect(&batch, &Batch::done, [&](int exitCode) { result.exitCode = exitCode; });
    batch.start();
    if (result.exitCode < 0)
        QSignalSpy(&batch, &Batch::done).wait(10000);
    result.lines = output.data();
    return result;
}

// A file that sets none of the settings is no module's file; a value the
// module holds that is not taken as written is told, not hidden.
void tst_Batch::reading_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("json");
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<int>("exitCode");
    const QByteArray defaults
        = "arm=3 blighlvl=80 blightout=120 backlightmenu=0 simulmenu=0 timemenu=0 networkmenu=0";
    QTest::newRow("a module's file") << ParameterFile::generate({}) << false << "127.0.0.1 " + defaults + "\n"
                                     << 0;
    QTest::newRow("empty") << QByteArray("") << false
                           << QByteArray(
                                  "127.0.0.1 error: The module's file holds none of the settings (0 bytes)\n")
                           << 1;
    QTest::newRow("a web page")
        << QByteArray("<html>It works!</html>\n") << false
        << QByteArray("127.0.0.1 error: The module's file holds none of the settings (23 bytes)\n") << 1;
    QTest::newRow("values not taken")
        << QByteArray("arm=7\nblighlvl=abc\nblightout=9999\n") << false
        << QByteArray("127.0.0.1 arm=3 blighlvl=80 blightout=600 backlightmenu=0 simulmenu=0 "
                      "timemenu=0 networkmenu=0\n"
                      "127.0.0.1 warning: arm=7 is not one of 0 to 3: read as 3\n"
                      "127.0.0.1 warning: blighlvl=abc is not a number: read as 80\n"
                      "127.0.0.1 warning: blightout=9999 is out of range 0 to 600: read as 600\n")
        << 0;
    QTest::newRow("values not taken, JSON")
        << QByteArray("arm=7\n") << true
        << QByteArray(
               "{\"address\":\"127.0.0.1\",\"arm\":3,\"backlightmenu\":0,\"blighlvl\":80,\"blightout\":120,"
               "\"networkmenu\":0,\"ok\":true,\"simulmenu\":0,\"timemenu\":0,"
               "\"warnings\":[\"arm=7 is not one of 0 to 3: read as 3\"]}\n")
        << 0;
    QTest::newRow("empty, JSON")
        << QByteArray("") << true
        << QByteArray("{\"address\":\"127.0.0.1\",\"error\":\"The module's file holds none of "
                      "the settings (0 bytes)\",\"ok\":false}\n")
        << 1;
}

void tst_Batch::reading()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, json);
    QFETCH(QByteArray, lines);
    QFETCH(int, exitCode);
    FtpServerProcess module;
    module.setFile(file);
    QVERIFY(module.startPyftpdlib("127.0.0.1"));
    Request request;
    request.addresses = QStringList {"127.0.0.1"};
    request.json = json;
    const Result result = run(request);
    QCOMPARE(result.lines, lines);
    QCOMPARE(result.exitCode, exitCode);
}

// However it is spelt, a module is written once: two writes at once could
// leave it either file, or a mix.
void tst_Batch::eachModuleOnce()
{
    FtpServerProcess module;
    QVERIFY(module.startPyftpdlib("127.0.0.1"));
    Request request;
    request.operation = Request::Operation::Write;
    request.file = ParameterFile::generate({});
    request.addresses
        = QStringList {"127.0.0.1", "127.000.0.001", "not an address", "127.0.0.01", "not an address"};
    const Result result = run(request);
    QCOMPARE(result.notes,
             QStringList({"127.000.0.001: the same module as 127.0.0.1, given before: left out",
                          "127.0.0.01: the same module as 127.0.0.1, given before: left out",
                          "not an address: the same module as not an address, given before: left out"}));
    QCOMPARE(result.lines,
             "not an address error: not an IPv4 address of four decimal numbers from 0 to 255\n"
             "127.0.0.1 arm=3 blighlvl=80 blightout=120 backlightmenu=0 simulmenu=0 timemenu=0 "
             "networkmenu=0\n");
    QCOMPARE(module.commands().count("STOR"), 1);
    QCOMPARE(result.exitCode, 1);
}

// Refused at once, each address makes room for the next: in a loop, on a
// thread with a small stack, not in a recursion as deep as the list.
void tst_Batch::refusedAddressesInConstantStack()
{
    const int count = 200000;
    Request request;
    for (int i = 0; i < count; ++i)
        request.addresses
            << (i % 10 == 0 ? QString("module %1").arg(i)
                            : QString("172.%1.%2.%3").arg(16 + i / 65536).arg(i / 256 % 256).arg(i % 256));
    const QVector<ModuleAddress::Subnet> lan {{QHostAddress("10.0.0.0"), 8}};
    Result result;
    QThread *thread = QThread::create([&] { result = run(request, &lan); });
    thread->setStackSize(256 * 1024);
    thread->start();
    QVERIFY(thread->wait(120000));
    delete thread;
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.lines.count('\n'), count);
    QVERIFY(result.lines.endsWith("172.19.13.63 error: not on a subnet of this computer\n"));
    QVERIFY(
        result.lines.startsWith("module 0 error: not an IPv4 address of four decimal numbers from 0 to 255\n"
                                "172.16.0.1 error: not on a subnet of this computer\n"));
}

QTEST_GUILESS_MAIN(tst_Batch)
#include "tst_batch.moc"
