#include "commandline.h"
#include "parameterfile.h"
#include "settingsstate.h"

#include <QtTest>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

// The console tool's arguments, read in this process: what a request
// holds, and each mistake's message. No module, no network.
class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void request_data();
    void request();
    void mistake_data();
    void mistake();
    void helpAndVersion();

private:
    // "FROM" in the arguments and the message: a file holding fromFile;
    // "PIPE": a named pipe, "PIPELINK" a link to it; "FOLDER": a folder, made.
    QStringList withFiles(QStringList arguments, const QByteArray &fromFile, QString *message = nullptr);

    QTemporaryDir files;
};

void tst_CommandLine::initTestCase()
{
    QCoreApplication::setApplicationName("qvtpx0xtweaker-cli");
    QCoreApplication::setApplicationVersion("1.0");
    QVERIFY(QDir(files.path()).mkdir("kept"));
#ifdef Q_OS_WIN
    QVERIFY(QDir(files.path()).mkdir("fifo")); // no FIFOs here: a folder is no regular file either
#else
    QVERIFY(mkfifo(QFile::encodeName(files.filePath("fifo")).constData(), 0600) == 0);
    QVERIFY(QFile::link(files.filePath("fifo"), files.filePath("fifolink")));
#endif
}

QStringList tst_CommandLine::withFiles(QStringList arguments, const QByteArray &fromFile, QString *message)
{
    QFile file(files.filePath("settings"));
    if (!fromFile.isNull() && file.open(QIODevice::WriteOnly))
        file.write(fromFile);
    for (const auto &[placeholder, path] : {std::pair {"FROM", file.fileName()},
                                            {"PIPELINK", files.filePath("fifolink")},
                                            {"PIPE", files.filePath("fifo")},
                                            {"FOLDER", files.filePath("kept")}}) {
        arguments.replaceInStrings(placeholder, path);
        if (message)
            message->replace(placeholder, path);
    }
    return QStringList("qvtpx0xtweaker-cli") + arguments;
}

// settings: what a write sends, as the tests write settings; switches:
// those set among --no-verify, --dry-run, --force, --json; "FOLDER": a
// folder of the test's.
void tst_CommandLine::request_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("fromFile");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QStringList>("given");
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("jobs");
    const auto row
        = [](const char *name, const QStringList &arguments, const char *command, const QStringList &given,
             const QStringList &switches = {}, int jobs = 256, const char *settings = defaults,
             const char *folder = "", const QByteArray &fromFile = QByteArray()) {
              QTest::newRow(name) << arguments << fromFile << QString(command) << QString(settings) << given
                                  << switches << QString(folder) << jobs;
          };
    const QStringList two {"192.0.2.10", "192.0.2.11"};
    row("read", {"read", "192.0.2.10", "192.0.2.11"}, "read", two);
    row("read, JSON, 3 at a time", {"--json", "read", "--jobs", "3", "192.0.2.10"}, "read", {"192.0.2.10"},
        {"json"}, 3);
    row("read ranges and subnets, and a file's",
        {"read", "192.0.2.10-20", "--addresses", "FROM", "192.0.2.0/24"}, "read",
        {"192.0.2.10-20", "192.0.2.0/24", "192.0.2.30", "192.0.2.40-41"}, {}, 256, defaults, "",
        "192.0.2.30 # by the door\n\n192.0.2.40-41\n");
    row("read and keep anew", {"read", "--save", "FOLDER", "--replace", "192.0.2.10"}, "read", {"192.0.2.10"},
        {"replace"}, 256, defaults, "FOLDER");
    row("write the defaults", {"write", "192.0.2.10"}, "write", {"192.0.2.10"});
    row("write, each --set in order",
        {"write", "-s", "arm=1", "--set", "blighlvl=55", "--set", "arm=0", "--no-verify", "192.0.2.10"},
        "write", {"192.0.2.10"}, {"no-verify"}, 256, "arm=0 blighlvl=55");
    row("write a file's settings, then --set",
        {"write", "--from", "FROM", "--set", "blighlvl=55", "192.0.2.10", "192.0.2.11"}, "write", two, {},
        256, "arm=1 blighlvl=55 timemenu=1", "", "[global]\n# a comment\narm=1\nblighlvl=20\ntimemenu=1\n");
    row("write, kept before", {"write", "--backup", "FOLDER", "--force", "192.0.2.10"}, "write",
        {"192.0.2.10"}, {"force"}, 256, defaults, "FOLDER");
    row("a dry run, kept", {"write", "--dry-run", "--backup", "FOLDER", "--set", "arm=1", "192.0.2.10"},
        "write", {"192.0.2.10"}, {"dry-run"}, 256, "arm=1", "FOLDER");
    row("restore all", {"restore", "FOLDER"}, "restore", {}, {}, 256, defaults, "FOLDER");
    row("restore some, forced", {"restore", "--force", "FOLDER", "192.0.2.10"}, "restore", {"192.0.2.10"},
        {"force"}, 256, defaults, "FOLDER");
    row("find on the computer's subnets", {"find"}, "find", {}, {}, 256);
    row("find on a subnet", {"--json", "find", "192.0.2.0/24"}, "find", {"192.0.2.0/24"}, {"json"}, 256);
}

void tst_CommandLine::request()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, fromFile);
    QFETCH(QString, command);
    QFETCH(QString, settings);
    QFETCH(QStringList, given);
    QFETCH(QStringList, switches);
    QFETCH(QString, folder);
    QFETCH(int, jobs);
    Request request;
    QString message;
    int exitCode = -1;
    QVERIFY(parseCommandLine(withFiles(arguments, fromFile, &folder), &request, &message, &exitCode));
    QCOMPARE(message, QString());
    QCOMPARE(int(request.operation), QStringList({"read", "write", "restore", "find"}).indexOf(command));
    QCOMPARE(request.given, given);
    if (command == "write")
        QCOMPARE(stateOf(ParameterFile::settingsOf(request.file)), fullState(settings));
    QCOMPARE(request.verify, !switches.contains("no-verify"));
    QCOMPARE(request.dryRun, switches.contains("dry-run"));
    QCOMPARE(request.force, switches.contains("force"));
    QCOMPARE(request.json, switches.contains("json"));
    QCOMPARE(request.replace, switches.contains("replace"));
    QCOMPARE(request.folder, folder);
    QCOMPARE(request.jobs, jobs);
    QCOMPARE(request.maxAddresses, 4096);
}

// Each refused, with exit code 2, before anything is sent.
void tst_CommandLine::mistake_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("fromFile");
    QTest::addColumn<QString>("message");
    const auto row = [](const char *name, const QStringList &arguments, const QString &message,
                        const QByteArray &fromFile = QByteArray()) {
        QTest::newRow(name) << arguments << fromFile << message;
    };
    row("no command", {}, "no command: read, write, restore or find");
    row("unknown command", {"erase", "192.0.2.10"},
        "unknown command \"erase\": read, write, restore or find");
    row("no address", {"write", "--set", "arm=1"}, "no module address");
    row("level out of range", {"write", "--set", "blighlvl=150", "192.0.2.10"},
        "--set blighlvl=150: blighlvl must be a whole number from 0 to 100, not \"150\"");
    row("unknown key", {"write", "--set", "volume=3", "192.0.2.10"},
        "--set volume=3: unknown setting \"volume\"");
    row("no equals sign", {"write", "--set", "arm", "192.0.2.10"}, "--set arm: not KEY=VALUE");
    row("unknown key in the file", {"write", "--from", "FROM", "192.0.2.10"},
        "FROM, line 2: unknown setting \"x\"", "arm=1\nx=2\n");
    row("value out of range in the file", {"write", "--from", "FROM", "192.0.2.10"},
        "FROM, line 1: blightout must be a whole number from 0 to 600, not \"601\"", "blightout=601\n");
    row("a file over 64 KiB", {"write", "--from", "FROM", "192.0.2.10"},
        "cannot read FROM: larger than 65536 bytes", QByteArray(65537, '#'));
    row("unreadable file", {"write", "--from", "/nonexistent/settings", "192.0.2.10"},
        "cannot read /nonexistent/settings: "); // the system's words follow
#ifndef Q_OS_WIN
    row("a FIFO for --from", {"write", "--from", "PIPE", "192.0.2.10"},
        "cannot read PIPE: a FIFO, not a regular file");
    row("a link to a FIFO for --addresses", {"read", "--addresses", "PIPELINK"},
        "cannot read the addresses in PIPELINK: a FIFO, not a regular file");
    row("a device for --addresses", {"read", "--addresses", "/dev/zero"},
        "cannot read the addresses in /dev/zero: a device, not a regular file");
#endif
    row("a folder for --from", {"write", "--from", "FOLDER", "192.0.2.10"},
        "cannot read FOLDER: a folder, not a regular file");
    row("more addresses than the bound", {"read", "--max-addresses", "2", "--addresses", "FROM"},
        "cannot read the addresses in FROM: more than 2 addresses (--max-addresses raises the bound)",
        "192.0.2.10\n192.0.2.11\n192.0.2.12\n");
    row("more bytes than the bound", {"read", "--max-addresses", "2", "--addresses", "FROM"},
        "cannot read the addresses in FROM: larger than 256 bytes (--max-addresses raises the bound)",
        "192.0.2.10 #" + QByteArray(256, '#') + "\n");
    row("--replace without a folder", {"write", "--replace", "192.0.2.10"},
        "--replace goes with --save or --backup");
    row("--replace with restore", {"restore", "--replace", "FOLDER"},
        "--replace goes with read, not restore");
    row("write's option with read", {"read", "--set", "arm=1", "192.0.2.10"},
        "--set goes with write, not read");
    row("no jobs", {"read", "--jobs", "0", "192.0.2.10"}, "--jobs takes a number from 1 to 1024");
    row("no addresses allowed", {"read", "--max-addresses", "0", "192.0.2.10"},
        "--max-addresses takes a number from 1 on");
    row("an option of another command", {"write", "--save", "FOLDER", "192.0.2.10"},
        "--save goes with read, not write");
    row("a dry run of a read", {"read", "--dry-run", "192.0.2.10"}, "--dry-run goes with write, not read");
    row("a folder that cannot be made", {"write", "--backup", "FROM/kept", "192.0.2.10"},
        "cannot make the folder FROM/kept", "arm=1\n");
    row("restore without a folder", {"restore"}, "no folder to restore from");
    row("restore from a file", {"restore", "FROM"}, "FROM is not a folder", "arm=1\n");
    row("an addresses file that cannot be read", {"read", "--addresses", "/nonexistent/list"},
        "cannot read the addresses in /nonexistent/list: "); // the system's words follow
    row("a folder of addresses", {"read", "--addresses", "FOLDER"},
        "cannot read the addresses in FOLDER: a folder, not a regular file");
    row("too many jobs", {"read", "--jobs", "1025", "192.0.2.10"}, "--jobs takes a number from 1 to 1024");
    row("unknown option", {"read", "--erase", "192.0.2.10"}, "Unknown option 'erase'.");
}

void tst_CommandLine::mistake()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, fromFile);
    QFETCH(QString, message);
    Request request;
    QString said;
    int exitCode = -1;
    QVERIFY(!parseCommandLine(withFiles(arguments, fromFile, &message), &request, &said, &exitCode));
    if (message.endsWith(": "))
        QVERIFY2(said.startsWith(message) && said.size() > message.size(), qPrintable(said));
    else
        QCOMPARE(said, message);
    QCOMPARE(exitCode, 2);
}

// Printed by the caller, exit code 0; the help names every setting.
void tst_CommandLine::helpAndVersion()
{
    Request request;
    QString text;
    int exitCode = -1;
    QVERIFY(!parseCommandLine({"qvtpx0xtweaker-cli", "--version"}, &request, &text, &exitCode));
    QCOMPARE(text, QString("qvtpx0xtweaker-cli 1.0\n"));
    QCOMPARE(exitCode, 0);
    QVERIFY(!parseCommandLine({"qvtpx0xtweaker-cli", "--help"}, &request, &text, &exitCode));
    QCOMPARE(exitCode, 0);
    QVERIFY2(
        text.contains("keys: arm, blighlvl, blightout, backlightmenu, simulmenu, timemenu, networkmenu."),
        qPrintable(text));
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
