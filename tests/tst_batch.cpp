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
    void beyondAscii();
    void refusedAddressesInConstantStack();
    void outcomes_data();
    void outcomes();
    void atMostJobsAtOnce();

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

// Every line ASCII, whatever was given: the same on any console.
void tst_Batch::beyondAscii()
{
    Request request;
    request.addresses = QStringList {QString::fromUtf8("192.168.\xc3\xb1.1")};
    QCOMPARE(
        run(request).lines,
        QByteArray("192.168.\\u00f1.1 error: not an IPv4 address of four decimal numbers from 0 to 255\n"));
    request.json = true;
    QCOMPARE(run(request).lines,
             QByteArray(R"({"address":"192.168.\u00f1.1","error":"not an IPv4 address of four )"
                        R"(decimal numbers from 0 to 255","ok":false})"
                        "\n"));
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

// Each outcome's line, as text and as JSON: a write not read back shows no
// settings, a server's words are escaped in JSON, a module that keeps
// other bytes than it confirmed is caught by the read-back.
void tst_Batch::outcomes_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("options"); // the tool's
    QTest::addColumn<QStringList>("module");  // the scripted server's
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("json");
    const QByteArray settings
        = "arm=3 blighlvl=80 blightout=120 backlightmenu=0 simulmenu=0 timemenu=0 networkmenu=0";
    const QByteArray jsonSettings
        = R"("arm":3,"backlightmenu":0,"blighlvl":80,"blightout":120,"networkmenu":0,)"
          R"("ok":true,"simulmenu":0,"timemenu":0)";
    QTest::newRow("read") << "read" << QStringList() << QStringList() << "127.0.0.1 " + settings
                          << R"({"address":"127.0.0.1",)" + jsonSettings + "}";
    QTest::newRow("write, read back") << "write" << QStringList() << QStringList() << "127.0.0.1 " + settings
                                      << R"({"address":"127.0.0.1",)" + jsonSettings + "}";
    QTest::newRow("write, not read back")
        << "write" << QStringList("--no-verify") << QStringList() << QByteArray("127.0.0.1 written")
        << QByteArray(R"({"address":"127.0.0.1","ok":true})");
    QTest::newRow("keeps other bytes")
        << "write" << QStringList() << QStringList("--alter")
        << QByteArray("127.0.0.1 error: The module kept other content than was written")
        << QByteArray(R"({"address":"127.0.0.1","error":"The module kept other )"
                      R"(content than was written","ok":false})");
    QTest::newRow("keeps other bytes, not read back")
        << "write" << QStringList("--no-verify") << QStringList("--alter") << QByteArray("127.0.0.1 written")
        << QByteArray(R"({"address":"127.0.0.1","ok":true})");
    QTest::newRow("a server's words")
        << "read" << QStringList() << QStringList {"--login-reply", R"(530 "No" \ {})"}
        << QByteArray(R"(127.0.0.1 error: The module refused the login: 530 "No" \ {})")
        << QByteArray(R"({"address":"127.0.0.1","error":"The module refused the )"
                      R"(login: 530 \"No\" \\ {}","ok":false})");
}

void tst_Batch::outcomes()
{
    QFETCH(QString, operation);
    QFETCH(QStringList, options);
    QFETCH(QStringList, module);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, json);
    FtpServerProcess server;
    server.setFile(ParameterFile::generate({}));
    QVERIFY(server.startScripted("127.0.0.1", module));
    Request request;
    request.addresses = QStringList("127.0.0.1");
    request.operation = operation == "read" ? Request::Operation::Read : Request::Operation::Write;
    request.file = ParameterFile::generate({});
    request.verify = !options.contains("--no-verify");
    QCOMPARE(run(request).lines, text + '\n');
    request.json = true;
    QCOMPARE(run(request).lines, json + '\n');
}

// Five slow modules, two at a time: never more, and two indeed.
void tst_Batch::atMostJobsAtOnce()
{
    std::vector<std::unique_ptr<FtpServerProcess>> modules;
    Request request;
    for (int number = 1; number <= 5; ++number) {
        modules.push_back(std::make_unique<FtpServerProcess>());
        modules.back()->setFile(ParameterFile::generate({}));
        request.addresses << QString("127.0.0.%1").arg(number);
        QVERIFY(modules.back()->startPyftpdlib(request.addresses.last(), {"--reply-delay", "0.05"}));
    }
    request.jobs = 2;
    QBuffer output;
    output.open(QIODevice::WriteOnly);
    Batch batch(request, &output);
    auto *manager = batch.findChild<QNetworkAccessManager *>();
    int running = 0;
    int most = 0;
    connect(manager, &QNetworkAccessManager::finished, [&] { --running; });
    struct Counter : QObject
    {
        std::function<void()> started;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::ChildAdded)
                started();
            return false;
        }
    } counter;
    counter.started = [&] { most = qMax(most, ++running); };
    manager->installEventFilter(&counter);
    QSignalSpy done(&batch, &Batch::done);
    batch.start();
    QVERIFY(done.wait(20000));
    QCOMPARE(done.first().first().toInt(), 0);
    QCOMPARE(output.data().count('\n'), 5);
    QCOMPARE(most, 2);
}

QTEST_GUILESS_MAIN(tst_Batch)
#include "tst_batch.moc"
