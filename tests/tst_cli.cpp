#include "ftpserverprocess.h"
#include "parameterfile.h"
#include "settingsstate.h"

#include <QtTest>

#include <csignal>
#include <memory>

namespace {
// What each module on 127.0.0.1 to 127.0.0.5 holds at first.
const QString firstStates[]
    = {"arm=1 blighlvl=33 blightout=45 backlightmenu=1 timemenu=1", "arm=0 blighlvl=0 blightout=0",
       "arm=2 blighlvl=100 blightout=600 backlightmenu=1 simulmenu=1 timemenu=1 networkmenu=1",
       "networkmenu=1", "arm=0 blighlvl=50 blightout=60 simulmenu=1 networkmenu=1"};
} // namespace

// qvtpx0xtweaker-cli, the real executable, against several simulated
// modules at once, one per loopback address, in this test's own network
// namespace (see CMakeLists.txt): what only the whole program shows, its
// lines as they come, its exit code, signals, its output, its limits.
// The arguments and the batch are tested in-process (tst_commandline,
// tst_batch).
class tst_Cli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { servers.clear(); }
    void readAndWriteEveryModule();
    void aMistakeInTheArguments();
    void interrupt_data();
    void interrupt();
    void outputErrors_data();
    void outputErrors();
    void openFiles();
    void findOnALan();

private:
    // Runs the tool to its end: its lines and its exit code.
    struct Run
    {
        QList<QByteArray> lines;
        QByteArray errors;
        int exitCode = -1;
    };
    // wrapper: a command that runs the tool, its name and arguments last;
    // "CLOSED": its output's reader is gone.
    static Run run(const QStringList &arguments, const QStringList &wrapper = {});
    FtpServerProcess *startModule(int number, const QStringList &options = {});
    QByteArray fileWritten() const { return ParameterFile::generate(settingsOf("arm=0")); }

    std::vector<std::unique_ptr<FtpServerProcess>> servers;
    QTemporaryDir files;
};

void tst_Cli::initTestCase()
{
    if (!inIsolatedNetworkNamespace())
        QSKIP("needs a network namespace of its own with only loopback: run it through ctest");
}

void tst_Cli::init()
{
    for (int number = 1; number <= 4; ++number)
        QVERIFY2(startModule(number), "a module did not start");
}

// Starts module `number`, in place of the one there.
FtpServerProcess *tst_Cli::startModule(int number, const QStringList &options)
{
    if (number <= int(servers.size()))
        servers[number - 1].reset();
    auto server = std::make_unique<FtpServerProcess>();
    server->setFile(ParameterFile::generate(settingsOf(firstStates[number - 1])));
    if (!server->startPyftpdlib(QString("127.0.0.%1").arg(number), options))
        return nullptr;
    if (number <= int(servers.size()))
        servers[number - 1] = std::move(server);
    else
        servers.push_back(std::move(server));
    return servers[number - 1].get();
}

tst_Cli::Run tst_Cli::run(const QStringList &arguments, const QStringList &wrapper)
{
    QProcess tool;
    Run result;
    QObject::connect(&tool, &QProcess::readyReadStandardOutput, [&] {
        while (tool.canReadLine())
            result.lines << tool.readLine().chopped(1);
    });
    QProcess reader; // gone before the tool starts
    if (wrapper == QStringList("CLOSED")) {
        tool.setStandardOutputProcess(&reader);
        reader.start(QVTPX_CLI, {"--version"});
        reader.waitForFinished();
        tool.start(QVTPX_CLI, arguments);
    } else if (!wrapper.isEmpty()) {
        tool.start(wrapper.first(), wrapper.mid(1) + QStringList(QVTPX_CLI) + arguments);
    } else {
        tool.start(QVTPX_CLI, arguments);
    }
    tool.waitForFinished(60000);
    result.errors = tool.readAllStandardError();
    result.exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    return result;
}

// Every module read, then one file written to all of them and read back,
// two at a time.
void tst_Cli::readAndWriteEveryModule()
{
    Run read = run({"read", "--jobs", "2", "127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"});
    QCOMPARE(read.exitCode, 0);
    std::sort(read.lines.begin(), read.lines.end());
    QCOMPARE(
        read.lines,
        QList<QByteArray>({
            "127.0.0.1 arm=1 blighlvl=33 blightout=45 backlightmenu=1 simulmenu=0 timemenu=1 networkmenu=0",
            "127.0.0.2 arm=0 blighlvl=0 blightout=0 backlightmenu=0 simulmenu=0 timemenu=0 networkmenu=0",
            "127.0.0.3 arm=2 blighlvl=100 blightout=600 backlightmenu=1 simulmenu=1 timemenu=1 networkmenu=1",
            "127.0.0.4 arm=3 blighlvl=80 blightout=120 backlightmenu=0 simulmenu=0 timemenu=0 networkmenu=1",
        }));
    QCOMPARE(read.errors, QByteArray("qvtpx0xtweaker-cli: 4 modules: 4 read\n"));

    // Each module once, however it is spelt.
    Run write = run({"write", "--set", "arm=0", "--jobs", "2", "127.0.0.1-4", "127.000.000.001"});
    QCOMPARE(write.exitCode, 0);
    std::sort(write.lines.begin(), write.lines.end());
    QCOMPARE(write.lines,
             QList<QByteArray>({
                 "127.0.0.1 written: arm 1->0 blighlvl 33->80 blightout 45->120 backlightmenu 1->0 "
                 "timemenu 1->0",
                 "127.0.0.2 written: blighlvl 0->80 blightout 0->120",
                 "127.0.0.3 written: arm 2->0 blighlvl 100->80 blightout 600->120 backlightmenu 1->0 "
                 "simulmenu 1->0 timemenu 1->0 networkmenu 1->0",
                 "127.0.0.4 written: arm 3->0 networkmenu 1->0",
             }));
    QCOMPARE(write.errors,
             QByteArray("qvtpx0xtweaker-cli: 127.000.000.001: the same module as 127.0.0.1, given "
                        "before: left out\nqvtpx0xtweaker-cli: 4 modules: 4 written\n"));
    for (int number = 1; number <= 4; ++number) {
        QCOMPARE(servers[number - 1]->file(), fileWritten());
        QCOMPARE(servers[number - 1]->commands().count("STOR"), 1);
    }
}

// Exit code 2, the message on one line of ASCII on standard error, nothing
// sent.
void tst_Cli::aMistakeInTheArguments()
{
    const Run result = run({"write", "--set", "arm=1\nblighlvl=5", "127.0.0.1"});
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.errors,
             QByteArray("qvtpx0xtweaker-cli: --set arm=1\\nblighlvl=5: arm must be a whole number "
                        "from 0 to 3, not \"1%0Ablighlvl=5\"\n"));
    QVERIFY(result.lines.isEmpty());
    QVERIFY(servers[0]->commands().isEmpty());
    const Run beyondAscii = run({QString::fromUtf8("l\xc3\xafre"), "127.0.0.1"});
    QCOMPARE(
        beyondAscii.errors,
        QByteArray("qvtpx0xtweaker-cli: unknown command \"l\\u00efre\": read, write, restore or find\n"));
}

void tst_Cli::interrupt_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGINT") << SIGINT;
#ifndef Q_OS_WIN // Wine turns SIGINT into Ctrl+C, and no other signal into its console's events
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
#endif
}

// Modules 1 to 4 answer each command 0.2 s late, so that the signal comes
// after their STOR: each holds an empty file until the data comes. Module
// 5, read with them, waits for a free job to be written. Twice the
// signal: the second changes nothing.
void tst_Cli::interrupt()
{
    QFETCH(int, signalNumber);
    for (int number = 1; number <= 4; ++number)
        QVERIFY(startModule(number, {"--reply-delay", "0.2"}));
    QVERIFY(startModule(5));
    QProcess tool;
    tool.start(QVTPX_CLI, {"write", "--set", "arm=0", "--jobs", "4", "127.0.0.1-5"});
    QTRY_VERIFY_WITH_TIMEOUT(
        std::all_of(servers.begin(), servers.begin() + 4,
                    [](const auto &server) { return server->commands().contains("STOR"); }),
        10000);
    QVERIFY(LinuxSide::sendSignal(tool, signalNumber));
    QVERIFY(LinuxSide::sendSignal(tool, signalNumber));
    QVERIFY(tool.waitForFinished(20000));

    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 128 + signalNumber);
    QList<QByteArray> lines = tool.readAllStandardOutput().split('\n');
    std::sort(lines.begin(), lines.end());
    QCOMPARE(lines,
             QList<QByteArray>({"", "127.0.0.1 written, not verified: interrupted",
                                "127.0.0.2 written, not verified: interrupted",
                                "127.0.0.3 written, not verified: interrupted",
                                "127.0.0.4 written, not verified: interrupted",
                                "127.0.0.5 error: not done: interrupted"}));
    const QString errors = tool.readAllStandardError();
    static const QRegularExpression told(
        "^qvtpx0xtweaker-cli: interrupted: letting 4 writes already on their way finish, at most [0-9]+ s\\n"
        "qvtpx0xtweaker-cli: 5 modules: 4 written, not verified, 1 failed: 127.0.0.5\\n$");
    QVERIFY2(told.match(errors).hasMatch(), qPrintable(errors));
    for (int number = 1; number <= 4; ++number)
        QCOMPARE(servers[number - 1]->file(), fileWritten());
    QCOMPARE(servers[4]->file(), ParameterFile::generate(settingsOf(firstStates[4])));
}

// The record of what was done must not be silently short: the tool says
// so, fails, and still lets every module's write finish.
void tst_Cli::outputErrors_data()
{
    QTest::addColumn<QStringList>("wrapper"); // runs the tool: "$0" is the tool, "$@" its arguments
    QTest::addColumn<QString>("error");       // the start of the system's words
    QTest::newRow("a pipe whose reader has gone") << QStringList("CLOSED") << "";
#ifndef Q_OS_WIN // the devices, streams and file systems of a POSIX system
    const auto shell = [](const char *command) { return QStringList {"sh", "-c", command}; };
    QTest::newRow("a full device") << shell("exec \"$0\" \"$@\" >/dev/full") << "No space left on device";
    QTest::newRow("standard output closed") << shell("exec \"$0\" \"$@\" >&-") << "Bad file descriptor";
    QTest::newRow("a full file system")
        << QStringList {"unshare", "-m", "sh", "-c",
                        "mount -t tmpfs -o size=4k qvtpx-full \"$FULL\" && exec \"$0\" \"$@\" >\"$FULL/results\""}
        << "No space left on device";
#endif
}

void tst_Cli::outputErrors()
{
    QFETCH(QStringList, wrapper);
    QFETCH(QString, error);
    if (wrapper.first() == "unshare") {
        if (QProcess::execute("unshare", {"-m", "true"}) != 0)
            QSKIP("no mount namespace here, for a small file system of the test's own");
        QVERIFY(QDir(files.path()).mkpath("full"));
        qputenv("FULL", QFile::encodeName(files.filePath("full")));
    }
    QStringList arguments {"--json",    "write",     "--set",     "arm=0",
                           "127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"};
    for (int i = 1; i <= 100; ++i) // more than 4 KiB of results
        arguments << QString("10.9.0.%1").arg(i);
    const Run result = run(arguments, wrapper);
    QCOMPARE(result.exitCode, 1);
    const QByteArray told = "qvtpx0xtweaker-cli: the results could not be written: " + error.toUtf8();
    QVERIFY2(result.errors.startsWith(told), result.errors.constData());
    QVERIFY2(result.errors.endsWith(
                 "\nqvtpx0xtweaker-cli: 104 modules: 4 written, 100 failed: 10.9.0.1, 10.9.0.2, "
                 "10.9.0.3, 10.9.0.4, 10.9.0.5, 10.9.0.6, 10.9.0.7, 10.9.0.8, 10.9.0.9, 10.9.0.10, "
                 "...\n"),
             result.errors.constData());
    QCOMPARE(result.errors.count('\n'), 2);
    for (int number = 1; number <= 4; ++number)
        QCOMPARE(servers[number - 1]->file(), fileWritten());
}

// Few open files allowed: the subnet check still works, and no more
// modules run at once than the limit allows, so that none fails for it.
void tst_Cli::openFiles()
{
#ifdef Q_OS_WIN
    QSKIP("Windows has no limit on open files for a process to raise");
#endif
    const Run few = run({"read", "127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"},
                        {"prlimit", "--nofile=40:40", "--"});
    QCOMPARE(few.exitCode, 0);
    QCOMPARE(few.lines.size(), 4);
    QCOMPARE(few.errors,
             "qvtpx0xtweaker-cli: --jobs lowered to 2: the limit on open files allows no more\n"
             "qvtpx0xtweaker-cli: 4 modules: 4 read\n");

    QStringList many {"read", "--jobs", "100"};
    for (int i = 1; i <= 60; ++i) // where nothing listens
        many << QString("127.0.1.%1").arg(i);
    const Run lowered = run(many, {"prlimit", "--nofile=64:64", "--"});
    QVERIFY(lowered.errors.startsWith(
        "qvtpx0xtweaker-cli: --jobs lowered to 10: the limit on open files allows no more\n"));
    QCOMPARE(lowered.lines.size(), 60);
    for (const QByteArray &line : lowered.lines)
        QVERIFY2(line.endsWith(" error: Connection refused"), line.constData());

    const Run raised
        = run(many, {"prlimit", "--nofile=64:4096", "--"}); // the soft limit, raised to the hard one
    QVERIFY(raised.errors.startsWith("qvtpx0xtweaker-cli: 60 modules: 60 failed: "));
    QCOMPARE(raised.lines.size(), 60);
}

// A LAN of the test's own, 192.0.2.0/24, where most addresses do not
// exist, so that the kernel's own "unreachable" is what the scan meets: a
// module at .10, an FTP server without the file at .11, nothing listening
// at .12, a server refusing the login at .13 (a failure). Then the list
// read, from standard input.
void tst_Cli::findOnALan()
{
    for (const char *command :
         {"link add qvtpx-lan type veth peer name qvtpx-nobody", "link set qvtpx-lan up",
          "link set qvtpx-nobody up", "addr add 192.0.2.1/24 dev qvtpx-lan",
          "addr add 192.0.2.10/24 dev qvtpx-lan", "addr add 192.0.2.11/24 dev qvtpx-lan",
          "addr add 192.0.2.12/24 dev qvtpx-lan", "addr add 192.0.2.13/24 dev qvtpx-lan",
          "addr add 192.0.2.130/24 dev qvtpx-lan"})
        LinuxSide::run(QStringList("ip") + QString(command).split(' ')); // once in the namespace
    servers.clear();
    for (const auto &[address, options] : {std::pair {"192.0.2.10", QStringList()},
                                           {"192.0.2.11", QStringList()},
                                           {"192.0.2.13", QStringList("--refuse-login")},
                                           {"192.0.2.130", QStringList()}}) {
        servers.push_back(std::make_unique<FtpServerProcess>());
        servers.back()->setFile(ParameterFile::generate(settingsOf("arm=1")));
        if (QByteArray(address) == "192.0.2.11")
            servers.back()->removeFile();
        QVERIFY(servers.back()->startPyftpdlib(address, options));
    }
    // The upper half first: the modules are listed in ascending order all the same.
    const Run found = run({"find", "192.0.2.128/25", "192.0.2.0/25"});
    QCOMPARE(found.lines, QList<QByteArray>({"192.0.2.10", "192.0.2.130"}));
    QCOMPARE(found.errors,
             QByteArray("qvtpx0xtweaker-cli: 192.0.2.13: its FTP server failed: The module refused the "
                        "login: 530 Login refused.\n"
                        "qvtpx0xtweaker-cli: 252 addresses: 2 modules, 249 without a module, 1 failed: "
                        "192.0.2.13\n"));
    QCOMPARE(found.exitCode, 1);
    QVERIFY(!servers[0]->commands().contains("RETR")); // SIZE's answer was enough
    QVERIFY(!servers[1]->commands().contains("STOR")); // looked at, nothing more

    QProcess read;
    read.start(QVTPX_CLI, {"read", "--addresses", "-"});
    read.write(found.lines.first() + "\n");
    read.closeWriteChannel();
    QVERIFY(read.waitForFinished(20000));
    QCOMPARE(read.readAllStandardOutput(),
             QByteArray("192.0.2.10 arm=1 blighlvl=80 blightout=120 backlightmenu=0 "
                        "simulmenu=0 timemenu=0 networkmenu=0\n"));
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
