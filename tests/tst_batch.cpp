#include "batch.h"
#include "ftpserverprocess.h"
#include "keptfiles.h"
#include "parameterfile.h"
#include "settingsstate.h"

#include <QtTest>

#include <memory>

namespace {
const QByteArray defaultsLine
    = "arm=3 blighlvl=80 blightout=120 backlightmenu=0 simulmenu=0 timemenu=0 networkmenu=0";
const QByteArray jsonDefaults = R"("arm":3,"backlightmenu":0,"blighlvl":80,"blightout":120,"networkmenu":0,)"
                                R"("ok":true,"simulmenu":0,"timemenu":0)";
const QByteArray armOne = "arm=1\n"; // what a module holds before a write
} // namespace

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
    void writing_data();
    void writing();
    void keptBeforeAnyWrite();
    void restore();
    void aMixOfModules();
    void beyondAscii();
    void refusedAddressesInConstantStack();
    void atMostJobsAtOnce();

private:
    struct Result
    {
        QByteArray lines;
        QStringList notes;
        int exitCode = -1;
    };
    // Runs the batch on these modules to its end.
    static Result run(const Request &request, const QStringList &modules,
                      const QHash<QString, QByteArray> &kept = {},
                      const QVector<ModuleAddress::Subnet> *subnets = nullptr);
    static Request writeRequest(const QStringList &options = {});

    QTemporaryDir folder;
};

void tst_Batch::initTestCase()
{
    if (!inIsolatedNetworkNamespace())
        QSKIP("needs a network namespace of its own with only loopback: run it through ctest");
}

tst_Batch::Result tst_Batch::run(const Request &request, const QStringList &modules,
                                 const QHash<QString, QByteArray> &kept,
                                 const QVector<ModuleAddress::Subnet> *subnets)
{
    QBuffer output;
    output.open(QIODevice::WriteOnly);
    Result result;
    Batch batch(request, &output);
    if (subnets)
        batch.setSubnets(*subnets);
    if (request.operation != Request::Operation::Find)
        batch.setTimeLimits({2, 4, 2});
    connect(&batch, &Batch::note, [&](const QString &note) { result.notes << note; });
    connect(&batch, &Batch::done, [&](int exitCode) { result.exitCode = exitCode; });
    batch.start(modules, kept);
    if (result.exitCode < 0)
        QSignalSpy(&batch, &Batch::done).wait(20000);
    result.lines = output.data();
    return result;
}

// The defaults, to every module; options: --no-verify, --force, --dry-run.
Request tst_Batch::writeRequest(const QStringList &options)
{
    Request request;
    request.operation = Request::Operation::Write;
    request.file = ParameterFile::generate({});
    request.verify = !options.contains("--no-verify");
    request.force = options.contains("--force");
    request.dryRun = options.contains("--dry-run");
    return request;
}

// A file that sets none of the settings is no module's file; a value the
// module holds that is not taken as written is told, not hidden.
void tst_Batch::reading_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("json");
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("a module's file") << ParameterFile::generate({}) << false
                                     << "127.0.0.1 " + defaultsLine + "\n"
                                     << 0;
    QTest::newRow("a module's file, JSON")
        << ParameterFile::generate({}) << true << R"({"address":"127.0.0.1",)" + jsonDefaults + "}\n"
        << 0;
    QTest::newRow("empty") << QByteArray("") << false
                           << QByteArray(
                                  "127.0.0.1 error: The module's file holds none of the settings (0 bytes)\n")
                           << 1;
    QTest::newRow("values not taken")
        << QByteArray("arm=7\nblighlvl=abc\nblightout=9999\n") << false
        << QByteArray(
               "127.0.0.1 arm=3 blighlvl=80 blightout=600 backlightmenu=0 simulmenu=0 timemenu=0 networkmenu=0\n"
               "127.0.0.1 warning: arm=7 is not one of 0 to 3: read as 3\n"
               "127.0.0.1 warning: blighlvl=abc is not a number: read as 80\n"
               "127.0.0.1 warning: blightout=9999 is out of range 0 to 600: read as 600\n")
        << 0;
    QTest::newRow("values not taken, JSON")
        << QByteArray("arm=7\n") << true
        << QByteArray(R"({"address":"127.0.0.1",)" + jsonDefaults
                      + R"(,"warnings":["arm=7 is not one of 0 to 3: read as 3"]})" + "\n")
        << 0;
    QTest::newRow("empty, JSON")
        << QByteArray("") << true
        << QByteArray(R"x({"address":"127.0.0.1","error":"The module's file holds none of )x"
                      R"x(the settings (0 bytes)","ok":false})x"
                      "\n")
        << 1;
}

// Read with --save: the file kept, byte for byte, whatever it holds.
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
    request.json = json;
    request.folder = folder.filePath(QTest::currentDataTag());
    QVERIFY(QDir().mkpath(request.folder));
    const Result result = run(request, {"127.0.0.1"});
    QCOMPARE(result.lines, lines);
    QCOMPARE(result.exitCode, exitCode);
    QFile kept(QDir(request.folder).filePath("127.0.0.1.vtpx_domo"));
    QCOMPARE(kept.exists(), exitCode == 0);
    if (exitCode == 0 && kept.open(QIODevice::ReadOnly))
        QCOMPARE(kept.readAll(), file);
}

// held: what the module holds first (null: no file); module: the scripted
// server's options; stor: whether a file was sent. The tool writes the
// defaults.
void tst_Batch::writing_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("module");
    QTest::addColumn<QByteArray>("held");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("stor");
    const auto row = [](const char *name, const QStringList &options, const QStringList &module,
                        const QByteArray &held, const QByteArray &text, const QByteArray &json, bool stor) {
        QTest::newRow(name) << options << module << held << text << json << stor;
    };
    const QByteArray armOneBefore = R"("before":{"arm":1,"backlightmenu":0,"blighlvl":80,"blightout":120,)"
                                    R"("networkmenu":0,"simulmenu":0,"timemenu":0})";
    row("written and read back", {}, {}, armOne, "127.0.0.1 written: arm 1->3",
        R"({"address":"127.0.0.1","arm":3,"backlightmenu":0,)" + armOneBefore
            + R"(,"blighlvl":80,"blightout":120,"changes":"arm 1->3","networkmenu":0,"ok":true,"result":"written",)"
              R"("simulmenu":0,"timemenu":0})",
        true);
    row("not read back", {"--no-verify"}, {}, armOne, "127.0.0.1 written, not read back: arm 1->3",
        R"({"address":"127.0.0.1",)" + armOneBefore
            + R"(,"changes":"arm 1->3","ok":true,"result":"written","verified":false})",
        true);
    row("the very bytes already", {}, {}, ParameterFile::generate({}), "127.0.0.1 unchanged",
        R"({"address":"127.0.0.1","arm":3,"backlightmenu":0,"before":{"arm":3,"backlightmenu":0,"blighlvl":80,)"
        R"("blightout":120,"networkmenu":0,"simulmenu":0,"timemenu":0},"blighlvl":80,"blightout":120,"changes":"",)"
        R"("networkmenu":0,"ok":true,"result":"unchanged","simulmenu":0,"timemenu":0})",
        false);
    row("the very bytes, --force", {"--force"}, {}, ParameterFile::generate({}),
        "127.0.0.1 written: the same settings, the file in full", "", true);
    row("a dry run", {"--dry-run"}, {}, armOne, "127.0.0.1 would change: arm 1->3", "", false);
    row("no file", {}, {}, QByteArray(), "127.0.0.1 written: it had no file", "", true);
    row("a file without settings", {}, {}, "<html>",
        "127.0.0.1 written: its file held none of the settings (6 bytes)", "", true);
    row("keeps other bytes", {}, {"--alter"}, armOne,
        "127.0.0.1 error: The module kept other content than was written",
        R"({"address":"127.0.0.1","error":"The module kept other content than was written","ok":false})",
        true);
    row("cannot be read", {}, {"--size-reply", "502 No.", "--data-bytes", "2", "--data-end", "reset"}, armOne,
        "127.0.0.1 error: Reading it before the write: The module broke off the transfer after 2 bytes", "",
        false);
    row("a server's words", {}, {"--login-reply", R"(530 "No" \\ {})"}, armOne,
        R"(127.0.0.1 error: Reading it before the write: The module refused the login: 530 "No" \\ {})",
        R"({"address":"127.0.0.1","error":"Reading it before the write: The module refused the login: )"
        R"(530 \"No\" \\\\ {}","ok":false})",
        false);
}

void tst_Batch::writing()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, module);
    QFETCH(QByteArray, held);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, json);
    QFETCH(bool, stor);
    for (const bool asJson : {false, true}) {
        if (asJson && json.isEmpty())
            continue;
        FtpServerProcess server;
        held.isNull() ? server.removeFile() : server.setFile(held);
        QVERIFY(module.isEmpty() ? server.startPyftpdlib("127.0.0.1")
                                 : server.startScripted("127.0.0.1", module));
        Request request = writeRequest(options);
        request.json = asJson;
        const Result result = run(request, {"127.0.0.1"});
        QCOMPARE(result.lines, (asJson ? json : text) + '\n');
        QCOMPARE(server.commands().contains("STOR"), stor);
        if (!stor && !held.isNull())
            QCOMPARE(server.file(), held);
    }
}

// Every module read and kept before any is written: while the slow one is
// still read, the fast one has been sent nothing.
void tst_Batch::keptBeforeAnyWrite()
{
    FtpServerProcess fast;
    FtpServerProcess slow;
    fast.setFile(armOne);
    slow.setFile("arm=2\n");
    QVERIFY(fast.startPyftpdlib("127.0.0.1"));
    QVERIFY(slow.startPyftpdlib("127.0.0.2", {"--reply-delay", "0.3"}));
    Request request = writeRequest();
    request.folder = folder.filePath("backup");
    QVERIFY(QDir().mkpath(request.folder));
    QBuffer output;
    output.open(QIODevice::WriteOnly);
    Batch batch(request, &output);
    QSignalSpy done(&batch, &Batch::done);
    batch.start({"127.0.0.1", "127.0.0.2"});
    QTRY_VERIFY_WITH_TIMEOUT(slow.commands().contains("RETR"), 10000);
    QVERIFY(!fast.commands().contains("STOR"));
    QVERIFY(done.wait(20000));
    QCOMPARE(done.first().first().toInt(), 0);
    QFile keptFast(QDir(request.folder).filePath("127.0.0.1.vtpx_domo"));
    QFile keptSlow(QDir(request.folder).filePath("127.0.0.2.vtpx_domo"));
    QVERIFY(keptFast.open(QIODevice::ReadOnly) && keptSlow.open(QIODevice::ReadOnly));
    QCOMPARE(keptFast.readAll(), armOne);
    QCOMPARE(keptSlow.readAll(), QByteArray("arm=2\n"));
    QCOMPARE(fast.file(), ParameterFile::generate({}));
    QCOMPARE(slow.file(), ParameterFile::generate({}));
}

// Each kept file back, byte for byte as kept (keys and comments the tool
// would not write included), and read back; a file of no module's name
// passed over with a note.
void tst_Batch::restore()
{
    const QByteArray kept = "# kept\n[global]\narm=1\nvolume=3\n";
    const QString from = folder.filePath("kept");
    QVERIFY(QDir().mkpath(from));
    for (const auto &[name, contents] :
         {std::pair {"127.0.0.1.vtpx_domo", kept}, {"127.0.0.2.vtpx_domo", kept}, {"notes.txt", "x"}}) {
        QFile file(QDir(from).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
    }
    FtpServerProcess module;
    QVERIFY(module.startPyftpdlib("127.0.0.1"));
    QStringList notes;
    const QHash<QString, QByteArray> files = KeptFiles::read(from, &notes);
    QCOMPARE(notes, QStringList(QDir(from).filePath("notes.txt") + ": not a module's kept file, left out"));
    Request request;
    request.operation = Request::Operation::Restore;
    request.folder = from;
    const Result result = run(request, {"127.0.0.1", "127.0.0.3"}, files);
    QCOMPARE(result.lines,
             QByteArray("127.0.0.3 error: no file of it kept in " + from.toUtf8()
                        + "\n"
                          "127.0.0.1 restored (31 bytes)\n"));
    QCOMPARE(module.file(), kept);
    QCOMPARE(result.exitCode, 1);
}

// A good module, one refusing the login, a silent one and an address off
// the subnets: each its own line, as soon as it is known, the silent one
// last, holding up no other.
void tst_Batch::aMixOfModules()
{
    std::vector<std::unique_ptr<FtpServerProcess>> servers;
    for (const QStringList &options :
         {QStringList(), QStringList("--refuse-login"), QStringList("--silent")}) {
        servers.push_back(std::make_unique<FtpServerProcess>());
        servers.back()->setFile(ParameterFile::generate({}));
        QVERIFY(servers.back()->startPyftpdlib(QString("127.0.0.%1").arg(servers.size()), options));
    }
    const Result result = run({}, {"127.0.0.1", "127.0.0.2", "127.0.0.3", "10.1.2.3"});
    QList<QByteArray> lines = result.lines.split('\n');
    std::sort(lines.begin() + 1, lines.begin() + 3);
    QCOMPARE(
        lines,
        QList<QByteArray>({"10.1.2.3 error: not on a subnet of this computer", "127.0.0.1 " + defaultsLine,
                           "127.0.0.2 error: The module refused the login: 530 Login refused.",
                           "127.0.0.3 error: No answer from the module for 2 seconds", ""}));
    QCOMPARE(result.notes, QStringList("4 modules: 1 read, 3 failed: 127.0.0.2, 127.0.0.3, 10.1.2.3"));
    QCOMPARE(result.exitCode, 1);
}

// Every line ASCII, whatever was given: the same on any console.
void tst_Batch::beyondAscii()
{
    Request request;
    const QString address = QString::fromUtf8("192.168.\xc3\xb1.1");
    QCOMPARE(
        run(request, {address}).lines,
        QByteArray("192.168.\\u00f1.1 error: not an IPv4 address of four decimal numbers from 0 to 255\n"));
    request.json = true;
    QCOMPARE(
        run(request, {address}).lines,
        QByteArray(R"({"address":"192.168.\u00f1.1","error":"not an IPv4 address of four decimal numbers )"
                   R"(from 0 to 255","ok":false})"
                   "\n"));
}

// Refused at once, each address makes room for the next: in a loop, on a
// thread with a small stack, not in a recursion as deep as the list.
void tst_Batch::refusedAddressesInConstantStack()
{
    const int count = 200000;
    QStringList modules;
    for (int i = 0; i < count; ++i)
        modules << (i % 10 == 0
                        ? QString("module %1").arg(i)
                        : QString("172.%1.%2.%3").arg(16 + i / 65536).arg(i / 256 % 256).arg(i % 256));
    const QVector<ModuleAddress::Subnet> lan {{QHostAddress("10.0.0.0"), 8}};
    Result result;
    QThread *thread = QThread::create([&] { result = run({}, modules, {}, &lan); });
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

// Five slow modules, two at a time: never more, and two indeed.
void tst_Batch::atMostJobsAtOnce()
{
    std::vector<std::unique_ptr<FtpServerProcess>> modules;
    QStringList addresses;
    for (int number = 1; number <= 5; ++number) {
        modules.push_back(std::make_unique<FtpServerProcess>());
        modules.back()->setFile(ParameterFile::generate({}));
        addresses << QString("127.0.0.%1").arg(number);
        QVERIFY(modules.back()->startPyftpdlib(addresses.last(), {"--reply-delay", "0.05"}));
    }
    Request request;
    request.jobs = 2;
    QBuffer output;
    output.open(QIODevice::WriteOnly);
    Batch batch(request, &output);
    auto *manager = batch.findChild<QNetworkAccessManager *>();
    int running = 0;
    int most = 0;
    connect(manager, &QNetworkAccessManager::finished, [&] { --running; }); // clazy:exclude=lambda-in-connect
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
    batch.start(addresses);
    QVERIFY(done.wait(20000));
    QCOMPARE(done.first().first().toInt(), 0);
    QCOMPARE(output.data().count('\n'), 5);
    QCOMPARE(most, 2);
}

QTEST_GUILESS_MAIN(tst_Batch)
#include "tst_batch.moc"
