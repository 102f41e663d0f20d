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
    // "FIFO": a named pipe.
    QStringList withFiles(QStringList arguments, const QByteArray &fromFile, QString *message = nullptr);

    QTemporaryDir files;
};

void tst_CommandLine::initTestCase()
{
    QCoreApplication::setApplicationName("qvtpx0xtweaker-cli");
    QCoreApplication::setApplicationVersion("1.0");
#ifdef Q_OS_WIN
    QVERIFY(QDir(files.path()).mkdir("fifo")); // no FIFOs here: a folder is no regular file either
#else
    QVERIFY(mkfifo(QFile::encodeName(files.filePath("fifo")).constData(), 0600) == 0);
#endif
}

QStringList tst_CommandLine::withFiles(QStringList arguments, const QByteArray &fromFile, QString *message)
{
    QFile file(files.filePath("settings"));
    if (!fromFile.isNull() && file.open(QIODevice::WriteOnly))
        file.write(fromFile);
    for (const auto &[placeholder, path] :
         {std::pair {"FROM", file.fileName()}, {"FIFO", files.filePath("fifo")}}) {
        arguments.replaceInStrings(placeholder, path);
        if (message)
            message->replace(placeholder, path);
    }
    return QStringList("qvtpx0xtweaker-cli") + arguments;
}

// settings: what a write sends, as the tests write settings.
void tst_CommandLine::request_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("fromFile");
    QTest::addColumn<bool>("write");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<bool>("verify");
    QTest::addColumn<bool>("json");
    QTest::addColumn<int>("jobs");
    const QStringList two {"192.0.2.10", "192.0.2.11"};
    QTest::newRow("read") << QStringList {"read", "192.0.2.10", "192.0.2.11"} << QByteArray() << false
                          << defaults << two << true << false << 16;
    QTest::newRow("read, JSON, 3 at a time")
        << QStringList {"--json", "read", "--jobs", "3", "192.0.2.10"} << QByteArray() << false << defaults
        << QStringList {"192.0.2.10"} << true << true << 3;
    QTest::newRow("write the defaults") << QStringList {"write", "192.0.2.10"} << QByteArray() << true
                                        << defaults << QStringList {"192.0.2.10"} << true << false << 16;
    QTest::newRow("write, each --set in order")
        << QStringList {"write", "-s",    "arm=1",       "--set",     "blighlvl=55",
                        "--set", "arm=0", "--no-verify", "192.0.2.10"}
        << QByteArray() << true << "arm=0 blighlvl=55" << QStringList {"192.0.2.10"} << false << false << 16;
    QTest::newRow("write a file's settings, then --set")
        << QStringList {"write", "--from", "FROM", "--set", "blighlvl=55", "192.0.2.10", "192.0.2.11"}
        << QByteArray("[global]\n# a comment\narm=1\nblighlvl=20\ntimemenu=1\n") << true
        << "arm=1 blighlvl=55 timemenu=1" << two << true << false << 16;
}

void tst_CommandLine::request()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, fromFile);
    QFETCH(bool, write);
    QFETCH(QString, settings);
    QFETCH(QStringList, addresses);
    QFETCH(bool, verify);
    QFETCH(bool, json);
    QFETCH(int, jobs);
    Request request;
    QString message;
    int exitCode = -1;
    QVERIFY(parseCommandLine(withFiles(arguments, fromFile), &request, &message, &exitCode));
    QCOMPARE(message, QString());
    QCOMPARE(request.operation, write ? Request::Operation::Write : Request::Operation::Read);
    QCOMPARE(request.addresses, addresses);
    if (write)
        QCOMPARE(request.file, ParameterFile::generate(settingsOf(settings)));
    QCOMPARE(request.verify, verify);
    QCOMPARE(request.json, json);
    QCOMPARE(request.jobs, jobs);
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
    row("no command", {}, "no command: read or write");
    row("unknown command", {"erase", "192.0.2.10"}, "unknown command \"erase\": read or write");
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
    row("a file over 64 KiB", {"write", "--from", "FROM", "192.0.2.10"}, "FROM is larger than 65536 bytes",
        QByteArray(65537, '#'));
    row("unreadable file", {"write", "--from", "/nonexistent/settings", "192.0.2.10"},
        "cannot read /nonexistent/settings: "); // the system's words follow
    row("a FIFO for --from", {"write", "--from", "FIFO", "192.0.2.10"}, "FIFO is not a regular file");
    row("a folder for --from", {"write", "--from", QDir::tempPath(), "192.0.2.10"},
        QDir::tempPath() + " is not a regular file");
    row("write's option with read", {"read", "--set", "arm=1", "192.0.2.10"},
        "--set goes with write, not read");
    row("no jobs", {"read", "--jobs", "0", "192.0.2.10"}, "--jobs takes a number from 1 to 1024");
    row("too many jobs", {"read", "--jobs", "1025", "192.0.2.10"}, "--jobs takes a number from 1 to 1024");
    row("unknown option", {"read", "--force", "192.0.2.10"}, "Unknown option 'force'.");
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
