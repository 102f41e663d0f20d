#include "ftpserverprocess.h"
#include "parameterfile.h"
#include "settingsstate.h"

#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/stat.h>

namespace {
// What each module on 127.0.0.1 to 127.0.0.5 holds at first.
const QString firstStates[]
    = {"arm=1 blighlvl=33 blightout=45 backlightmenu=1 timemenu=1", "arm=0 blighlvl=0 blightout=0",
       "arm=2 blighlvl=100 blightout=600 backlightmenu=1 simulmenu=1 timemenu=1 networkmenu=1",
       "networkmenu=1", "arm=0 blighlvl=50 blightout=60 simulmenu=1 networkmenu=1"};

QByteArray line(const QString &address, const QString &state)
{
    return (address + ' ' + fullState(state)).toUtf8();
}
} // namespace

// qvtpx0xtweaker-cli, the real executable, against several simulated
// modules at once, one per loopback address, in this test's own network
// namespace (see CMakeLists.txt).
class tst_Cli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { servers.clear(); }
    void readAndWriteEveryModule();
    void aMixOfModules();
    void json();
    void badArguments_data();
    void badArguments();
    void moduleKeepingOtherBytes();
    void interrupt_data();
    void interrupt();
    void outputErrors_data();
    void outputErrors();
    void openFiles();

private:
    // Runs the tool to its end: its lines, each with the milliseconds it
    // took to come, and its exit code.
    struct Run
    {
        QList<QByteArray> lines;
        QList<qint64> times;
        QByteArray errors;
        int exitCode = -1;
    };
    // wrapper: a command that runs the tool, its name and arguments last.
    static Run run(const QStringList &arguments, const QStringList &wrapper = {});
    FtpServerProcess *startModule(int number, const QStringList &options = {},
                                  const char *kind = "pyftpdlib");
    QString writeTemporaryFile(const QByteArray &contents);

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
FtpServerProcess *tst_Cli::startModule(int number, const QStringList &options, const char *kind)
{
    if (number <= int(servers.size()))
        servers[number - 1].reset();
    auto server = std::make_unique<FtpServerProcess>();
    server->setFile(ParameterFile::generate(settingsOf(firstStates[number - 1])));
    const QString address = QString("127.0.0.%1").arg(number);
    const bool started = QByteArray(kind) == "scripted" ? server->startScripted(address, options)
                                                        : server->startPyftpdlib(address, options);
    if (!started)
        return nullptr;
    if (number <= int(servers.size()))
        servers[number - 1] = std::move(server);
    else
        servers.push_back(std::move(server));
    return servers[number - 1].get();
}

QString tst_Cli::writeTemporaryFile(const QByteArray &contents)
{
    QString path = files.filePath("settings");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(contents);
    return path;
}

tst_Cli::Run tst_Cli::run(const QStringList &arguments, const QStringList &wrapper)
{
    QProcess tool;
    Run result;
    QElapsedTimer clock;
    QObject::connect(&tool, &QProcess::readyReadStandardOutput, [&] {
        while (tool.canReadLine()) {
            result.lines << tool.readLine().chopped(1);
            result.times << clock.elapsed();
        }
    });
    clock.start();
    if (wrapper.isEmpty())
        tool.start(QVTPX_CLI, arguments);
    else
        tool.start(wrapper.first(), wrapper.mid(1) + QStringList(QVTPX_CLI) + arguments);
    tool.waitForFinished(60000);
    result.errors = tool.readAllStandardError();
    result.exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    return result;
}

// Every module read, then one file written to all of them and read back,
// two at a time.
void tst_Cli::readAndWriteEveryModule()
{
    const QStringList addresses {"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"};
    Run read = run(QStringList {"read", "--jobs", "2"} + addresses);
    QCOMPARE(read.exitCode, 0);
    std::sort(read.lines.begin(), read.lines.end());
    for (int i = 0; i < 4; ++i)
        QCOMPARE(read.lines.value(i), line(addresses[i], firstStates[i]));
    QCOMPARE(read.errors, QByteArray());

    // The file's settings, keys it lacks at their defaults, then each --set.
    const QString from = writeTemporaryFile("[global]\n# a comment\narm=1\nblighlvl=20\ntimemenu=1\n");
    const Run write = run(
        QStringList {"write", "--from", from, "--set", "blighlvl=55", "--set", "networkmenu=1", "--jobs", "2"}
        + addresses);
    QCOMPARE(write.exitCode, 0);
    const QByteArray expected
        = ParameterFile::generate(settingsOf("arm=1 blighlvl=55 timemenu=1 networkmenu=1"));
    QCOMPARE(write.lines.size(), 4);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(servers[i]->file(), expected);
        QVERIFY(write.lines.contains(line(addresses[i], "arm=1 blighlvl=55 timemenu=1 networkmenu=1")));
    }
}

// A good module, one refusing the login, a silent one and an address off
// the subnets: each its own line, as soon as it is known; the silent one
// after the real time limit, holding up no other.
void tst_Cli::aMixOfModules()
{
    QVERIFY(startModule(2, {"--refuse-login"}));
    QVERIFY(startModule(3, {"--silent"}));
    const Run result = run({"read", "127.0.0.1", "127.0.0.2", "127.0.0.3", "10.1.2.3"});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.lines.size(), 4);
    QCOMPARE(result.lines.at(0), QByteArray("10.1.2.3 error: not on a subnet of this computer"));
    QVERIFY(result.lines.mid(1, 2).contains(line("127.0.0.1", firstStates[0])));
    QVERIFY(
        result.lines.mid(1, 2).contains("127.0.0.2 error: The module refused the login: 530 Login refused."));
    QCOMPARE(result.lines.at(3), QByteArray("127.0.0.3 error: No answer from the module for 30 seconds"));
    QVERIFY2(result.times.at(2) < 5000, qPrintable(QString::number(result.times.at(2))));
    QVERIFY2(result.times.at(3) >= 29500, qPrintable(QString::number(result.times.at(3))));
}

void tst_Cli::json()
{
    const Run result = run({"--json", "read", "127.0.0.4", "127.0.0.9"});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.lines.size(), 2);
    QJsonObject good;
    QJsonObject bad;
    for (const QByteArray &text : result.lines) {
        const QJsonObject object = QJsonDocument::fromJson(text).object();
        (object.value("address") == "127.0.0.4" ? good : bad) = object;
    }
    QCOMPARE(good.value("ok"), QJsonValue(true));
    QVERIFY(!good.contains("error"));
    QCOMPARE(good.value("blighlvl"), QJsonValue(80));
    QCOMPARE(good.value("networkmenu"), QJsonValue(1));
    QCOMPARE(good.size(), 9); // address, ok and the seven settings
    QCOMPARE(bad.value("ok"), QJsonValue(false));
    QCOMPARE(bad.value("error"), QJsonValue("Connection refused"));
    QCOMPARE(bad.size(), 3);
}

// Each: exit code 2, one line on standard error, nothing sent anywhere.
void tst_Cli::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("fromFile"); // written to a file that "FROM" names
    QTest::addColumn<QString>("message");
    const auto row = [](const char *name, const QStringList &arguments, const QString &message,
                        const QByteArray &fromFile = QByteArray()) {
        QTest::newRow(name) << arguments << fromFile << message;
    };
    row("no command", {}, "no command: read or write");
    row("unknown command", {"erase", "127.0.0.1"}, "unknown command \"erase\": read or write");
    row("no address", {"write", "--set", "arm=1"}, "no module address");
    row("level out of range", {"write", "--set", "blighlvl=150", "127.0.0.1"},
        "--set blighlvl=150: blighlvl must be a whole number from 0 to 100, not \"150\"");
    row("unknown key", {"write", "--set", "volume=3", "127.0.0.1"},
        "--set volume=3: unknown setting \"volume\"");
    row("no equals sign", {"write", "--set", "arm", "127.0.0.1"}, "--set arm: not KEY=VALUE");
    row("unknown key in the file", {"write", "--from", "FROM", "127.0.0.1"},
        "FROM, line 2: unknown setting \"x\"", "arm=1\nx=2\n");
    row("value out of range in the file", {"write", "--from", "FROM", "127.0.0.1"},
        "FROM, line 1: blightout must be a whole number from 0 to 600, not \"601\"", "blightout=601\n");
    row("unreadable file", {"write", "--from", "/nonexistent/settings", "127.0.0.1"},
        "cannot read /nonexistent/settings: No such file or directory");
    row("write's option with read", {"read", "--set", "arm=1", "127.0.0.1"},
        "--set goes with write, not read");
    row("no jobs", {"read", "--jobs", "0", "127.0.0.1"}, "--jobs takes a number from 1 to 1024");
    row("unknown option", {"read", "--force", "127.0.0.1"}, "Unknown option 'force'.");
    row("a line break in --set", {"write", "--set", "arm=1\nblighlvl=5", "127.0.0.1"},
        "--set arm=1\\nblighlvl=5: arm must be a whole number from 0 to 3, not \"1%0Ablighlvl=5\"");
    row("a FIFO for --from", {"write", "--from", "FIFO", "127.0.0.1"}, "FIFO is not a regular file");
}

void tst_Cli::badArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, fromFile);
    QFETCH(QString, message);
    const QString fifo = files.filePath("fifo");
    if (arguments.contains("FIFO")) {
        QVERIFY(QFile::exists(fifo) || mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        arguments.replaceInStrings("FIFO", fifo);
        message.replace("FIFO", fifo);
    }
    if (!fromFile.isNull()) {
        const QString path = writeTemporaryFile(fromFile);
        arguments.replaceInStrings("FROM", path);
        message.replace("FROM", path);
    }
    const Run result = run(arguments);
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.errors, "qvtpx0xtweaker-cli: " + message.toUtf8() + '\n');
    QVERIFY(result.lines.isEmpty());
    QVERIFY(servers[0]->commands().isEmpty());
    QCOMPARE(servers[0]->file(), ParameterFile::generate(settingsOf(firstStates[0])));
}

// It confirms the write and keeps other bytes of the same size, so that
// only reading the file back shows it; --no-verify does not look.
void tst_Cli::moduleKeepingOtherBytes()
{
    QVERIFY(startModule(1, {"--alter"}, "scripted"));
    const Run verified = run({"write", "127.0.0.1"});
    QCOMPARE(verified.exitCode, 1);
    QCOMPARE(verified.lines,
             QList<QByteArray> {"127.0.0.1 error: The module kept other content than was written"});
    const Run unverified = run({"write", "--no-verify", "127.0.0.1"});
    QCOMPARE(unverified.exitCode, 0);
    QCOMPARE(unverified.lines, QList<QByteArray> {"127.0.0.1 written"});
}

void tst_Cli::interrupt_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
}

// Modules 1 to 4 answer each command 0.4 s late, so that the signal comes
// after their STOR: each holds an empty file until the data comes. Module
// 5 never greets, and 127.0.0.6 waits for a free job. Twice the signal:
// the second changes nothing.
void tst_Cli::interrupt()
{
    QFETCH(int, signalNumber);
    for (int number = 1; number <= 4; ++number)
        QVERIFY(startModule(number, {"--reply-delay", "0.4"}));
    QVERIFY(startModule(5, {"--silent"}));
    QProcess tool;
    tool.start(QVTPX_CLI,
               {"write", "--set", "arm=0", "--jobs", "5", "127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4",
                "127.0.0.5", "127.0.0.6"});
    QTRY_VERIFY_WITH_TIMEOUT(
        std::all_of(servers.begin(), servers.begin() + 4,
                    [](const auto &server) { return server->commands().contains("STOR"); }),
        10000);
    QCOMPARE(::kill(pid_t(tool.processId()), signalNumber), 0);
    QCOMPARE(::kill(pid_t(tool.processId()), signalNumber), 0);
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
                                "127.0.0.5 error: not done: interrupted",
                                "127.0.0.6 error: not done: interrupted"}));
    const QString errors = tool.readAllStandardError();
    QVERIFY2(
        QRegularExpression("^qvtpx0xtweaker-cli: interrupted: letting 4 writes already on their way finish, "
                           "at most [0-9]+ s\n$")
            .match(errors)
            .hasMatch(),
        qPrintable(errors));
    for (int number = 1; number <= 4; ++number)
        QCOMPARE(servers[number - 1]->file(), ParameterFile::generate(settingsOf("arm=0")));
    QCOMPARE(servers[4]->file(), ParameterFile::generate(settingsOf(firstStates[4])));
}

// The record of what was done must not be silently short: the tool says
// so, fails, and still lets every module's write finish.
void tst_Cli::outputErrors_data()
{
    QTest::addColumn<QString>("shell"); // runs the tool: "$0" is the tool, "$@" its arguments
    QTest::addColumn<QString>("error");
    QTest::newRow("a full device") << "exec \"$0\" \"$@\" >/dev/full"
                                   << "No space left on device";
    QTest::newRow("standard output closed") << "exec \"$0\" \"$@\" >&-"
                                            << "Bad file descriptor";
    QTest::newRow("a pipe whose reader has gone") << "\"$0\" \"$@\" | true; exit $((PIPESTATUS[0]))"
                                                  << "Broken pipe";
    QTest::newRow("a full file system")
        << "mount -t tmpfs -o size=4k qvtpx-full \"$FULL\" && exec \"$0\" \"$@\" >\"$FULL/results\""
        << "No space left on device";
}

void tst_Cli::outputErrors()
{
    QFETCH(QString, shell);
    QFETCH(QString, error);
    QStringList wrapper {"bash", "-c", shell};
    if (shell.contains("mount")) {
        if (QProcess::execute("unshare", {"-m", "true"}) != 0)
            QSKIP("no mount namespace here, for a small file system of the test's own");
        QVERIFY(QDir(files.path()).mkpath("full"));
        qputenv("FULL", QFile::encodeName(files.filePath("full")));
        wrapper.prepend("unshare");
        wrapper.insert(1, "-m");
    }
    QStringList arguments {"--json",    "write",     "--set",     "arm=0",
                           "127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"};
    for (int i = 1; i <= 100; ++i) // more than 4 KiB of results
        arguments << QString("10.9.0.%1").arg(i);
    const Run result = run(arguments, wrapper);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.errors, "qvtpx0xtweaker-cli: the results could not be written: " + error.toUtf8() + '\n');
    for (int number = 1; number <= 4; ++number)
        QCOMPARE(servers[number - 1]->file(), ParameterFile::generate(settingsOf("arm=0")));
}

// Few open files allowed: the subnet check still works, and no more
// modules run at once than the limit allows, so that none fails for it.
void tst_Cli::openFiles()
{
    const Run few = run({"read", "127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"},
                        {"prlimit", "--nofile=40:40", "--"});
    QCOMPARE(few.exitCode, 0);
    QCOMPARE(few.lines.size(), 4);
    QCOMPARE(few.errors, "qvtpx0xtweaker-cli: --jobs lowered to 2: the limit on open files allows no more\n");

    QStringList many {"read", "--jobs", "100"};
    for (int i = 1; i <= 60; ++i) // where nothing listens
        many << QString("127.0.1.%1").arg(i);
    const Run lowered = run(many, {"prlimit", "--nofile=64:64", "--"});
    QCOMPARE(lowered.errors,
             "qvtpx0xtweaker-cli: --jobs lowered to 10: the limit on open files allows no more\n");
    QCOMPARE(lowered.lines.size(), 60);
    for (const QByteArray &line : lowered.lines)
        QVERIFY2(line.endsWith(" error: Connection refused"), line.constData());

    const Run raised
        = run(many, {"prlimit", "--nofile=64:4096", "--"}); // the soft limit, raised to the hard one
    QCOMPARE(raised.errors, QByteArray());
    QCOMPARE(raised.lines.size(), 60);
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
