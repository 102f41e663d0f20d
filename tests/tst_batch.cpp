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
                                R"("ok":true,"result":"read","simulmenu":0,"timemenu":0)";
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
    void restore_data();
    void restore();
    void keptAddresses();
    void aMixOfModules();
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
    static Result run(const Request &request, const QStringList &modules, const KeptFiles *kept = nullptr,
                      const QVector<ModuleAddress::Subnet> *subnets = nullptr);
    static Request writeRequest(const QStringList &options = {});

    QTemporaryDir folder;
};

void tst_Batch::initTestCase()
{
    if (!inIsolatedNetworkNamespace())
        QSKIP("needs a network namespace of its own with only loopback: run it through ctest");
}

tst_Batch::Result tst_Batch::run(const Request &request, const QStringList &modules, const KeptFiles *kept,
                                 const QVector<ModuleAddress::Subnet> *subnets)
{
    QBuffer output;
    output.open(QIODevice::WriteOnly);
    Result result;
    Batch batch(request, &output, kept);
    if (subnets)
        batch.setSubnets(*subnets);
    if (request.operation != Request::Operation::Find)
        batch.setTimeLimits({800, 2000, 800});
    connect(&batch, &Batch::note, [&](const QString &note) { result.notes << note; });
    connect(&batch, &Batch::done, [&](int exitCode) { result.exitCode = exitCode; });
    batch.start(modules);
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

// A file that sets none of the settings is no module's file.
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
    const QTemporaryDir folder;
    const KeptFiles kept(folder.path());
    const Result result = run(request, {"127.0.0.1"}, &kept);
    QCOMPARE(result.lines, lines);
    QCOMPARE(result.exitCode, exitCode);
    QFile keptFile(kept.path("127.0.0.1"));
    QVERIFY(keptFile.open(QIODevice::ReadOnly));
    QCOMPARE(keptFile.readAll(), file);
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
    QTest::addColumn<bool>("stor");
    const auto row = [](const char *name, const QStringList &options, const QStringList &module,
                        const QByteArray &held, const QByteArray &text,
                        bool stor) { QTest::newRow(name) << options << module << held << text << stor; };
    row("written and read back", {}, {}, armOne, "127.0.0.1 written: arm 1->3", true);
    row("not read back", {"--no-verify"}, {}, armOne, "127.0.0.1 written, not read back: arm 1->3", true);
    row("the very bytes already", {}, {}, ParameterFile::generate({}), "127.0.0.1 unchanged", false);
    row("the very bytes, --force", {"--force"}, {}, ParameterFile::generate({}),
        "127.0.0.1 written: the same settings, the file in full", true);
    row("a dry run", {"--dry-run"}, {}, armOne, "127.0.0.1 would change: arm 1->3", false);
    row("no file", {}, {}, QByteArray(), "127.0.0.1 written: it had no file", true);
    row("a file without settings", {}, {}, "<html>",
        "127.0.0.1 written: its file held none of the settings (6 bytes)", true);
    row("keeps other bytes", {}, {"--alter"}, armOne,
        "127.0.0.1 error: The module kept other content than was written", true);
    row("cannot be read", {}, {"--answer", "SIZE=502 No.", "--data-bytes", "2", "--data-end", "reset"},
        armOne,
        "127.0.0.1 error: Reading it before the write: The module broke off the transfer after 2 bytes",
        false);
}

void tst_Batch::writing()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, module);
    QFETCH(QByteArray, held);
    QFETCH(QByteArray, text);
    QFETCH(bool, stor);
    FtpServerProcess server;
    held.isNull() ? server.removeFile() : server.setFile(held);
    QVERIFY(module.isEmpty() ? server.startPyftpdlib("127.0.0.1")
                             : server.startScripted("127.0.0.1", module));
    const Result result = run(writeRequest(options), {"127.0.0.1"});
    QCOMPARE(result.lines, text + '\n');
    QCOMPARE(server.commands().contains("STOR"), stor);
    if (!stor && !held.isNull())
        QCOMPARE(server.file(), held);
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
    QVERIFY(slow.startPyftpdlib("127.0.0.2", {"--reply-delay", "0.2"}));
    Request request = writeRequest({"--no-verify"}); // the order is the point, not the read-back
    request.folder = folder.filePath("backup");
    QVERIFY(QDir().mkpath(request.folder));
    QBuffer output;
    output.open(QIODevice::WriteOnly);
    const KeptFiles kept(request.folder);
    Batch batch(request, &output, &kept);
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

// A kept file goes back byte for byte as kept (keys and comments the tool
// would not write included), and is read back; only what a read would
// take as a module's file is sent, unless forced, and only a regular file
// of the folder's own. kind: "file", "link" (to a file outside that holds
// the contents), "dangling link", "FIFO", "link to a FIFO", "folder",
// "none".
void tst_Batch::restore_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("force");
    QTest::addColumn<QString>("line"); // KEPT: the kept file's path
    const QByteArray kept = "# kept\n[global]\narm=1\nvolume=3\r\n";
    const auto row
        = [](const char *name, const char *kind, const QByteArray &contents, bool force, const char *line) {
              QTest::newRow(name) << QString(kind) << contents << force << line;
          };
    row("a module's file", "file", kept, false, "restored (32 bytes)");
    row("cut short", "file", kept.left(10), false,
        "error: Its kept file holds none of the settings (10 bytes): not sent (--force sends it)");
    row("empty", "file", "", false,
        "error: Its kept file holds none of the settings (0 bytes): not sent (--force sends it)");
    row("no settings, forced", "file", "hello", true, "restored (5 bytes)");
    row("larger than a parameter file", "file", QByteArray(65537, '#'), true,
        "error: KEPT: larger than 65536 bytes");
    row("not kept", "none", kept, false, "error: no file of it kept in FOLDER");
#ifndef Q_OS_WIN // links and FIFOs as a POSIX system has them
    row("a link", "link", kept, true, "error: KEPT: a symbolic link, not a regular file");
    row("a dangling link", "dangling link", kept, true, "error: KEPT: a symbolic link, not a regular file");
    row("a FIFO", "FIFO", kept, true, "error: KEPT: a FIFO, not a regular file");
    row("a link to a FIFO", "link to a FIFO", kept, true, "error: KEPT: a symbolic link, not a regular file");
#endif
    row("a folder", "folder", kept, true, "error: KEPT: a folder, not a regular file");
}

void tst_Batch::restore()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, contents);
    QFETCH(bool, force);
    QFETCH(QString, line);
    const QTemporaryDir from;
    const QString path = QDir(from.path()).filePath("127.0.0.1.vtpx_domo");
    const QString outside = QDir(from.path()).filePath(".outside");
    QFile file(kind.contains("link") ? outside : path);
    if (kind.contains("FIFO"))
        QCOMPARE(QProcess::execute("mkfifo", {file.fileName()}), 0);
    else if (kind == "folder")
        QVERIFY(QDir().mkpath(path));
    else if (kind != "none" && kind != "dangling link")
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() && file.flush());
    if (kind.contains("link"))
        QVERIFY(QFile::link(outside, path));
    FtpServerProcess module;
    QVERIFY(module.startPyftpdlib("127.0.0.1"));
    const QByteArray before = module.file();
    Request request;
    request.operation = Request::Operation::Restore;
    request.force = force;
    const KeptFiles files(from.path());
    const Result result = run(request, {"127.0.0.1"}, &files);
    line.replace("KEPT", path).replace("FOLDER", from.path());
    QCOMPARE(result.lines, "127.0.0.1 " + line.toUtf8() + '\n');
    const bool sent = line.startsWith("restored");
    QCOMPARE(module.file(), sent ? contents : before);
    QCOMPARE(module.commands().contains("STOR"), sent);
    QCOMPARE(result.exitCode, sent ? 0 : 1);
}

// The modules of a folder: each kept file, in the order of addresses; any
// other name there, a note.
void tst_Batch::keptAddresses()
{
    const QTemporaryDir from;
    for (const char *name :
         {"127.0.0.10.vtpx_domo", "127.0.0.9.vtpx_domo", "notes.txt", "127.0.0.010.vtpx_domo"})
        QVERIFY(QFile(QDir(from.path()).filePath(name)).open(QIODevice::WriteOnly));
    QStringList notes;
    QCOMPARE(KeptFiles(from.path()).addresses(&notes), QStringList({"127.0.0.9", "127.0.0.10"}));
    QCOMPARE(notes,
             QStringList({QDir(from.path()).filePath("127.0.0.010.vtpx_domo")
                              + ": not a module's kept file, left out",
                          QDir(from.path()).filePath("notes.txt") + ": not a module's kept file, left out"}));
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
                           "127.0.0.3 error: No answer from the module for 0.8 seconds", ""}));
    QCOMPARE(result.notes, QStringList("4 modules: 1 read, 3 failed: 127.0.0.2, 127.0.0.3, 10.1.2.3"));
    QCOMPARE(result.exitCode, 1);
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
    QThread *thread = QThread::create([&] { result = run({}, modules, nullptr, &lan); });
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
