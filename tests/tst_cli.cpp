#include "ftpserverprocess.h"
#include "parameterfile.h"
#include "settingsstate.h"

#include <QNetworkInterface>
#include <QtTest>

#include <QScopeGuard>

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
    void keepingRefused_data();
    void keepingRefused();
    void firstBackupStays();
    void realTimeLimit();

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
    QByteArray firstFile(int number) const
    {
        return ParameterFile::generate(settingsOf(firstStates[number - 1]));
    }
    // A folder on a file system of 16 KiB of the test's own, holding these
    // files, full but for the lock of a run.
    QString fullFolder(const QHash<QString, QByteArray> &files);
    QByteArray fileWritten() const { return ParameterFile::generate(settingsOf("arm=0")); }

    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    std::vector<std::unique_ptr<FtpServerProcess>> servers;
    QTemporaryDir files;
    int mounts = 0;
};

void tst_Cli::initTestCase()
{
    if (!inIsolatedNetworkNamespace())
        QSKIP("needs a network namespace of its own with only loopback: run it through ctest");
    qRegisterMetaType<QProcess::ExitStatus>();
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
    // On the event loop: under Wine, waitForFinished() may give up early.
    QSignalSpy finished(&tool, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    if (tool.state() != QProcess::NotRunning && !finished.wait(60000))
        return result;
    while (tool.canReadLine())
        result.lines << tool.readLine().chopped(1);
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

    Run write = run({"write", "--set", "arm=0", "--jobs", "2", "127.0.0.1-4"});
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
    QCOMPARE(write.errors, QByteArray("qvtpx0xtweaker-cli: 4 modules: 4 written\n"));
    for (int number = 1; number <= 4; ++number) {
        QCOMPARE(servers[number - 1]->file(), fileWritten());
        QCOMPARE(servers[number - 1]->commands().count("STOR"), 1);
        // The read, then the whole write (its read, STOR, read-back) in one session.
        QCOMPARE(servers[number - 1]->commands().count("USER"), 2);
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
#ifndef Q_OS_WIN
    const Run version = run({"--version"}, {"sh", "-c", "exec \"$0\" \"$@\" >/dev/full"});
    QCOMPARE(version.exitCode, 1);
    QCOMPARE(version.errors,
             QByteArray("qvtpx0xtweaker-cli: the output could not be written: No space left on device\n"));
#endif
    const Run beyondAscii = run({QString::fromUtf8("l\xc3\xafre"), "127.0.0.1"});
    QCOMPARE(
        beyondAscii.errors,
        QByteArray("qvtpx0xtweaker-cli: unknown command \"l\\u00efre\": read, write, restore or find\n"));
}

void tst_Cli::interrupt_data()
{
    QTest::addColumn<QString>("command"); // write, or restore of the file a write sends
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("writing");     // else still reading, every module
    QTest::addColumn<bool>("fifthWrites"); // else it waits for a job
    QTest::newRow("SIGINT, writing") << "write" << SIGINT << true << false;
    QTest::newRow("SIGINT, writing, one write before its STOR") << "write" << SIGINT << true << true;
    QTest::newRow("SIGINT, reading") << "write" << SIGINT << false << false;
    QTest::newRow("SIGINT, restoring") << "restore" << SIGINT << true << false;
    QTest::newRow("SIGINT, finding") << "find" << SIGINT << false << false;
#ifndef Q_OS_WIN // Wine turns SIGINT into Ctrl+C, and no other signal into its console's events
    QTest::newRow("SIGTERM, writing") << "write" << SIGTERM << true << false;
    QTest::newRow("SIGHUP, writing") << "write" << SIGHUP << true << false;
#endif
}

// Modules 1 to 4 answer each command 0.2 s late, so that the signal comes
// after their STOR (each holds an empty file until the data comes), or
// after their login to be read. Module 5, read with them, waits for a free
// job to be written, or has one and never answers its write's first
// command, so that it has sent no STOR yet. Twice the signal: the second
// changes nothing.
void tst_Cli::interrupt()
{
    QFETCH(QString, command);
    QFETCH(int, signalNumber);
    QFETCH(bool, writing);
    QFETCH(bool, fifthWrites);
    if (!qEnvironmentVariableIsSet("QVTPX_INTERRUPTS"))
        QSKIP("run beside the others, as tst_cli_interrupts (QVTPX_INTERRUPTS=1)");
    for (int number = 1; number <= 4; ++number)
        QVERIFY(startModule(number, {"--reply-delay", "0.2"}));
    QVERIFY(startModule(5, fifthWrites ? QStringList {"--end-sessions", "stall"} : QStringList()));
    QStringList arguments {"write", "--set", "arm=0", "--jobs", fifthWrites ? "5" : "4", "127.0.0.1-5"};
    QTemporaryDir kept;
    if (command == "restore") {
        for (int number = 1; number <= 5; ++number) {
            QFile file(kept.filePath(QString("127.0.0.%1.vtpx_domo").arg(number)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(fileWritten()) == fileWritten().size());
        }
        arguments = QStringList {"restore", "--jobs", "4", kept.path()};
    }
    if (command == "find") // 127.0.0.6 holds no module
        arguments = QStringList {"find", "--jobs", "4", "127.0.0.0/29"};
    QProcess tool;
    tool.start(QVTPX_CLI, arguments);
    const QString reached = writing ? "STOR" : "USER";
    QTRY_VERIFY_WITH_TIMEOUT(
        std::all_of(servers.begin(), servers.begin() + 4,
                    [&](const auto &server) { return server->commands().contains(reached); }),
        10000);
    QVERIFY(LinuxSide::sendSignal(tool, signalNumber));
    const bool secondReached = LinuxSide::sendSignal(tool, signalNumber);
    // On the event loop: under Wine, waitForFinished() may give up early.
    QTRY_COMPARE_WITH_TIMEOUT(tool.state(), QProcess::NotRunning, 20000);
    // Under Wine a tool with no write to let finish may be gone before the second.
    QVERIFY(secondReached || !writing);

    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 128 + signalNumber);
    QList<QByteArray> lines = tool.readAllStandardOutput().split('\n');
    std::sort(lines.begin(), lines.end());
    QList<QByteArray> expected {""};
    for (int number = 1; number <= 5 && command != "find"; ++number)
        expected << QString("127.0.0.%1 %2")
                        .arg(number)
                        .arg(writing && number <= 4 ? "written, not verified: interrupted"
                                                    : "error: not done: interrupted")
                        .toLatin1();
    QCOMPARE(lines, expected);
    const QString errors = tool.readAllStandardError();
    static const QRegularExpression told(
        "^qvtpx0xtweaker-cli: interrupted: letting 4 writes already on their way finish, at most [0-9]+ s\\n"
        "qvtpx0xtweaker-cli: 5 modules: 4 written, not verified, 1 not done\\n$");
    if (writing)
        QVERIFY2(told.match(errors).hasMatch(), qPrintable(errors));
    else
        QCOMPARE(errors,
                 command == "find" ? QString("qvtpx0xtweaker-cli: 6 addresses: 6 not done\n")
                                   : QString("qvtpx0xtweaker-cli: 5 modules: 5 not done\n"));
    for (int number = 1; number <= 5; ++number)
        QCOMPARE(servers[number - 1]->file(), writing && number <= 4 ? fileWritten() : firstFile(number));
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

// Few open files allowed, or few left by whoever started the tool: the
// subnet check still works, and no more modules run at once than the
// limit allows, so that none fails for it.
void tst_Cli::openFiles()
{
#ifdef Q_OS_WIN
    QSKIP("Windows has no limit on open files for a process to raise");
#endif
    // The tool started with descriptors 0 to `open` - 1 open, and no others.
    const auto limited = [](const QString &limit, int open = 3) {
        return QStringList {
            "prlimit",
            "--nofile=" + limit,
            "--",
            "bash",
            "-c",
            QString("for fd in $(ls /proc/$$/fd); do [ $fd -gt 2 ] && eval \"exec $fd>&-\"; done; "
                    "for ((fd = 3; fd < %1; ++fd)); do eval \"exec $fd</dev/null\"; done; "
                    "exec \"$0\" \"$@\"")
                .arg(open)};
    };
    const Run few = run({"read", "127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"}, limited("40:40"));
    QCOMPARE(few.exitCode, 0);
    QCOMPARE(few.lines.size(), 4);
    QCOMPARE(few.errors,
             "qvtpx0xtweaker-cli: --jobs lowered to 2: the limit on open files allows no more\n"
             "qvtpx0xtweaker-cli: 4 modules: 4 read\n");

    QStringList many {"read", "--jobs", "100"};
    for (int i = 1; i <= 60; ++i) // where nothing listens
        many << QString("127.0.1.%1").arg(i);
    const Run lowered = run(many, limited("64:64"));
    QVERIFY(lowered.errors.startsWith(
        "qvtpx0xtweaker-cli: --jobs lowered to 10: the limit on open files allows no more\n"));
    QCOMPARE(lowered.lines.size(), 60);
    for (const QByteArray &line : lowered.lines)
        QVERIFY2(line.endsWith(" error: Connection refused"), line.constData());

    const Run raised = run(many, limited("64:4096")); // the soft limit, raised to the hard one
    QVERIFY(raised.errors.startsWith("qvtpx0xtweaker-cli: 60 modules: 60 failed: "));
    QCOMPARE(raised.lines.size(), 60);

    const Run inherited = run({"read", "127.0.0.1"}, limited("40:40", 35)); // room for Qt, not a module
    QCOMPARE(inherited.errors,
             "qvtpx0xtweaker-cli: too many files open already: the limit on open files "
             "leaves no room for a module\n");
    QCOMPARE(inherited.exitCode, 2);
}

// A LAN of the test's own, 192.0.2.0/24, where most addresses do not
// exist, so that the kernel's own "unreachable" is what the scan meets:
// modules at .9 and .10 (in order of numbers, not of text), an FTP server
// without the file at .11, nothing listening at .12, a server refusing the
// login at .13 and one that never speaks at .14 (failures, the second
// within find's own short limit). Then the list read, from standard input.
void tst_Cli::findOnALan()
{
    if (QNetworkInterface::allInterfaces().size() == 1) { // only loopback, so far
        const Run nothing = run({"find"});
        QVERIFY(nothing.lines.isEmpty());
        QCOMPARE(nothing.errors,
                 "qvtpx0xtweaker-cli: no subnet of this computer to scan (loopback excepted)\n");
        QCOMPARE(nothing.exitCode, 0);
    }
    for (const char *command :
         {"link add qvtpx-lan type veth peer name qvtpx-nobody", "link set qvtpx-lan up",
          "link set qvtpx-nobody up", "addr add 192.0.2.1/24 dev qvtpx-lan",
          "addr add 192.0.2.9/24 dev qvtpx-lan", "addr add 192.0.2.10/24 dev qvtpx-lan",
          "addr add 192.0.2.11/24 dev qvtpx-lan", "addr add 192.0.2.12/24 dev qvtpx-lan",
          "addr add 192.0.2.13/24 dev qvtpx-lan", "addr add 192.0.2.14/24 dev qvtpx-lan",
          "addr add 192.0.2.130/24 dev qvtpx-lan"})
        LinuxSide::run(QStringList("ip") + QString(command).split(' ')); // once in the namespace
    servers.clear();
    for (const auto &[address, options] : {std::pair {"192.0.2.9", QStringList()},
                                           {"192.0.2.10", QStringList()},
                                           {"192.0.2.11", QStringList()},
                                           {"192.0.2.13", QStringList("--refuse-login")},
                                           {"192.0.2.14", QStringList("--silent")},
                                           {"192.0.2.130", QStringList()}}) {
        servers.push_back(std::make_unique<FtpServerProcess>());
        servers.back()->setFile(ParameterFile::generate(settingsOf("arm=1")));
        if (QByteArray(address) == "192.0.2.11")
            servers.back()->removeFile();
        QVERIFY(servers.back()->startPyftpdlib(address, options));
    }
    // The upper half first: the modules are listed in ascending order all the same.
    const Run found = run({"find", "192.0.2.128/25", "192.0.2.0/25"});
    QCOMPARE(found.lines, QList<QByteArray>({"192.0.2.9", "192.0.2.10", "192.0.2.130"}));
    QCOMPARE(
        found.errors,
        QByteArray("qvtpx0xtweaker-cli: 192.0.2.13: its FTP server failed: The module refused the "
                   "login: 530 Login refused.\n"
                   "qvtpx0xtweaker-cli: 192.0.2.14: its FTP server failed: No answer from the module for "
                   "2 seconds\n"
                   "qvtpx0xtweaker-cli: 252 addresses: 3 modules, 247 without a module, 2 failed: "
                   "192.0.2.13, 192.0.2.14\n"));
    QCOMPARE(found.exitCode, 1);
    QVERIFY(!servers[0]->commands().contains("RETR")); // SIZE's answer was enough
    QVERIFY(!servers[2]->commands().contains("STOR")); // looked at, nothing more

    QProcess read;
    read.start(QVTPX_CLI, {"read", "--addresses", "-"});
    read.write(found.lines.first() + "\n");
    read.closeWriteChannel();
    QVERIFY(read.waitForFinished(20000));
    QCOMPARE(read.readAllStandardOutput(),
             QByteArray("192.0.2.9 arm=1 blighlvl=80 blightout=120 backlightmenu=0 "
                        "simulmenu=0 timemenu=0 networkmenu=0\n"));
}

QString tst_Cli::fullFolder(const QHash<QString, QByteArray> &files)
{
#ifndef Q_OS_WIN // under Wine, windows-test.sh runs the suite in a mount namespace of its own
    if (QFile::symLinkTarget("/proc/self/ns/mnt") == QFile::symLinkTarget("/proc/1/ns/mnt"))
        return QString(); // a mount here would be the machine's
#endif
    QString folder = QDir(this->files.path()).filePath(QString("full-%1").arg(++mounts));
    if (!QDir().mkpath(folder)
        || LinuxSide::run({"mount", "-t", "tmpfs", "-o", "size=16k", "qvtpx-full", LinuxSide::path(folder)})
            != 0)
        return QString();
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        QFile kept(QDir(folder).filePath(file.key()));
        if (!kept.open(QIODevice::WriteOnly) || kept.write(*file) != file->size() || !kept.flush())
            return QString();
    }
    // Room for the lock of one run, and no more.
    LinuxSide::run({"sh", "-c", "cat /dev/zero >\"$0\"/.filler 2>/dev/null; truncate -s -4096 \"$0\"/.filler",
                    LinuxSide::path(folder)});
    return folder;
}

// A module whose file cannot be kept whole, or only through a link, is
// not written, and its line says why; what was kept before stays whole,
// the link's target as it was. Nothing empty is restored afterwards.
void tst_Cli::keepingRefused_data()
{
    QTest::addColumn<QString>("folder"); // "full", "full, an older file", "a link"
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("line");     // KEPT: the kept file's path
    QTest::addColumn<QByteArray>("restored"); // restore's line for the module
#ifdef Q_OS_WIN
    const QByteArray noSpace
        = "127.0.0.1 error: Its file could not be kept: KEPT: Disk full."; // Wine's words
#else
    const QByteArray noSpace = "127.0.0.1 error: Its file could not be kept: KEPT: No space left on device";
#endif
    QTest::newRow("write --backup, a full disk")
        << "full" << QStringList {"write", "--backup", "FOLDER", "--set", "arm=0", "127.0.0.1"} << noSpace
        << QByteArray("127.0.0.1 error: no file of it kept in FOLDER");
    QTest::newRow("read --save --replace, a full disk")
        << "full, an older file" << QStringList {"read", "--save", "FOLDER", "--replace", "127.0.0.1"}
        << noSpace << QByteArray("127.0.0.1 restored (56 bytes)");
#ifndef Q_OS_WIN // a link as a POSIX system has it
    QTest::newRow("write --backup, a link under the file's name")
        << "a link" << QStringList {"write", "--backup", "FOLDER", "--set", "arm=0", "127.0.0.1"}
        << QByteArray(
               "127.0.0.1 error: Its file could not be kept: KEPT: a symbolic link, not a regular file")
        << QByteArray("127.0.0.1 error: KEPT: a symbolic link, not a regular file");
#endif
}

void tst_Cli::keepingRefused()
{
    QFETCH(QString, folder);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, restored);
    const QByteArray older = ParameterFile::generate(settingsOf("arm=2")).left(55) + "\n";
    const QString outside = files.filePath("outside");
    QString path = files.filePath("linked");
    if (folder == "a link") {
        QVERIFY(QDir().mkpath(path) && QFile::link(outside, QDir(path).filePath("127.0.0.1.vtpx_domo")));
    } else {
        path = fullFolder(folder == "full" ? QHash<QString, QByteArray>()
                                           : QHash<QString, QByteArray> {{"127.0.0.1.vtpx_domo", older}});
        if (path.isEmpty())
            QSKIP("no file system of the test's own can be mounted here (a mount namespace, tmpfs)");
    }
    const auto unmount = qScopeGuard([&] { LinuxSide::run({"umount", LinuxSide::path(path)}); });
    const QString kept = QDir(path).filePath("127.0.0.1.vtpx_domo");
    const auto placed = [&](QByteArray text) {
        return text.replace("KEPT", kept.toUtf8()).replace("FOLDER", path.toUtf8());
    };

    const Run result = run(arguments.replaceInStrings("FOLDER", path));
    QCOMPARE(result.lines, QList<QByteArray>({placed(line)}));
    QCOMPARE(result.exitCode, 1);
    QVERIFY(!servers[0]->commands().contains("STOR"));
    QCOMPARE(QFileInfo(kept).isSymLink(), folder == "a link");
    QCOMPARE(QFileInfo::exists(kept), folder == "full, an older file");
    if (QFileInfo::exists(kept))
        QCOMPARE(readAll(kept), older);
    QVERIFY(!QFileInfo::exists(outside));

    const Run restore = run({"restore", path, "127.0.0.1"});
    QCOMPARE(restore.lines, QList<QByteArray>({placed(restored)}));
    QCOMPARE(servers[0]->file(), restored.contains("restored") ? older : firstFile(1));
}

// The first backup of a building stays: a second run at once is refused
// the folder, a run after it keeps nothing over it, and a restore puts
// back what the modules held first.
void tst_Cli::firstBackupStays()
{
    for (int number = 1; number <= 2; ++number) // slow enough for a second run to start meanwhile
        QVERIFY(startModule(number, {"--reply-delay", "0.05"}));
    const QString before = files.filePath("before");
    const QStringList write {"write", "--backup", before, "--set", "arm=0", "127.0.0.1-2"};
    QProcess first;
    first.start(QVTPX_CLI, write);
    QTRY_VERIFY_WITH_TIMEOUT(servers[0]->commands().contains("RETR"), 10000);
    const Run second = run(write);
    QCOMPARE(second.exitCode, 2);
    static const QRegularExpression inUse("^qvtpx0xtweaker-cli: .*/before is in use by another run "
                                          "\\(process [0-9]+ on .*\\): try again once it has ended\n$");
    QVERIFY2(inUse.match(second.errors).hasMatch(), second.errors.constData());
    QVERIFY(first.waitForFinished(20000));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(servers[0]->commands().count("STOR"), 1);

    const Run after = run({"write", "--backup", before, "--set", "arm=2", "127.0.0.1-2"});
    QCOMPARE(after.exitCode, 0);
    QList<QByteArray> notes = after.errors.split('\n');
    std::sort(notes.begin(), notes.end());
    const QByteArray kept = "qvtpx0xtweaker-cli: " + QFile::encodeName(before)
        + "/127.0.0.%1.vtpx_domo: kept before: left as it was";
    QList<QByteArray> expected {"", QByteArray(kept).replace("%1", "1"), QByteArray(kept).replace("%1", "2"),
                                "qvtpx0xtweaker-cli: 2 modules: 2 written"};
    std::sort(expected.begin(), expected.end());
    QCOMPARE(notes, expected);
    const Run restore = run({"restore", before});
    QCOMPARE(restore.exitCode, 0);
    for (int number = 1; number <= 2; ++number)
        QCOMPARE(servers[number - 1]->file(), firstFile(number));
}

// With the program's own limits, a module that stays silent is cut off
// after 30 s, not before.
void tst_Cli::realTimeLimit()
{
    if (!qEnvironmentVariableIsSet("QVTPX_REAL_TIME_LIMIT"))
        QSKIP("takes 30 s: run beside the others, as tst_cli_real_time_limit (QVTPX_REAL_TIME_LIMIT=1)");
    QVERIFY(startModule(1, {"--silent"}));
    QElapsedTimer clock;
    clock.start();
    const Run result = run({"read", "127.0.0.1"});
    QVERIFY2(clock.elapsed() >= 29500, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(result.lines, QList<QByteArray>({"127.0.0.1 error: No answer from the module for 30 seconds"}));
    QCOMPARE(result.exitCode, 1);
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
