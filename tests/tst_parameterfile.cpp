#include "logcapture.h"
#include "parameterfile.h"
#include "settingsstate.h"

#include <QtTest>

namespace {
// The module's file for arm, level, time-out and the four menu switches.
QByteArray parameterFile(const char *arm, const char *level, const char *timeout, const char *menus)
{
    const char *keys[] = {"backlightmenu=", "simulmenu=", "timemenu=", "networkmenu="};
    QByteArray text = QByteArray("[global]\n#0=disable;1=night;2=day;3=watchdog only\narm=") + arm
        + "\n#0%-100%\nblighlvl=" + level + "\n#in seconds. 0=always ON\nblightout=" + timeout + "\n";
    for (int i = 0; i < 4; ++i)
        text += QByteArray("#0=full access;1=read-only;other=forced to 1\n") + keys[i] + menus[i] + "\n";
    return text;
}

// What a module's file sets, over the defaults.
QString stateAfterReading(const QByteArray &text)
{
    ModuleSettings settings;
    const QVector<ParameterFile::Assignment> assignments = ParameterFile::read(text);
    for (const ParameterFile::Assignment &assignment : assignments)
        settings.setValue(assignment.setting->key, assignment.value);
    return stateOf(settings);
}
} // namespace

// The module's parameter file, without a window: the bytes generated for
// each value of the settings, and the reader's rules, what each line sets
// and what it logs.
class tst_ParameterFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qSetMessagePattern("%{file}:%{line} - %{message}"); }
    void generation_data();
    void generation();
    void reader_data();
    void reader();
    void logOfAWholeFile();
    void settingsOfAFile();
    void moduleFileAsReported_data();
    void moduleFileAsReported();
};

void tst_ParameterFile::generation_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("defaults") << QString(defaults) << parameterFile("3", "80", "120", "0000");
    QTest::newRow("second example") << "arm=1 blighlvl=100 blightout=0 backlightmenu=1 networkmenu=1"
                                    << parameterFile("1", "100", "0", "1001");
    QTest::newRow("arm 0, lowest values")
        << "arm=0 blighlvl=0 blightout=0 simulmenu=1" << parameterFile("0", "0", "0", "0100");
    QTest::newRow("arm 2, highest values")
        << "arm=2 blighlvl=100 blightout=600 timemenu=1" << parameterFile("2", "100", "600", "0010");
}

void tst_ParameterFile::generation()
{
    QFETCH(QString, state);
    QFETCH(QByteArray, expected);
    QCOMPARE(ParameterFile::generate(settingsOf(state)), expected);
    QCOMPARE(stateAfterReading(expected), fullState(state)); // and it reads back
}

// warning: what the reader warns of, if anything, besides its echo of each
// key line (debug) and its note of each other line (info).
void tst_ParameterFile::reader_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected"); // the settings afterwards, from the defaults
    QTest::addColumn<QString>("warning");
    const auto row = [](const char *name, const QByteArray &text, const char *expected, const char *warning) {
        QTest::newRow(name) << text << QString(expected) << QString(warning);
    };
    row("CR LF", "arm=1\r\nblighlvl=50\r\n", "arm=1 blighlvl=50", "");
    row("indentation and tabs", " \t arm=2 \t\n", "arm=2", "");
    row("no final LF", "blightout=30", "blightout=30", "");
    row("CR only: one line", "arm=1\rblighlvl=50\r", defaults,
        "line can not be splitted \"arm=1 blighlvl=50\"");
    row("comments, sections, blank lines", "[global]\n   # arm=1\n\n  \narm=2\n", "arm=2", "");
    row("repeated key: last wins", "blighlvl=20\nblighlvl=90\n", "blighlvl=90", "");
    row("two equals signs", "timemenu=1=2\n", defaults, "line can not be splitted \"timemenu=1=2\"");
    row("not quite the key", "arm = 1\nARM=1\nBlighlvl=50\n", defaults, "");
    row("space after equals, plus sign", "arm= 1\nblighlvl=+7\n", "arm=1 blighlvl=7", "");
    row("arm out of range", "arm=4\n", defaults, "Unhandled value for arm \"arm=4\"");
    row("arm negative", "arm=-1\n", defaults, "Unhandled value for arm \"arm=-1\"");
    row("each arm", "arm=0\narm=1\narm=2\narm=3\narm=0\n", "arm=0", "");
    row("levels bounded", "blighlvl=150\nblightout=999\nblighlvl=-5\n", "blighlvl=0 blightout=600", "");
    row("menus: not 0 is on", "backlightmenu=2\nsimulmenu=-1\ntimemenu=0\nnetworkmenu=1\n",
        "backlightmenu=1 simulmenu=1 networkmenu=1", "");
    row("each menu", "timemenu=1\nsimulmenu=1\nsimulmenu=0\n", "timemenu=1", "");
    for (const char *line :
         {"arm=", "arm=1 #night", "blighlvl=5.5", "blightout=99999999999", "networkmenu=off"})
        row(line, QByteArray(line) + "\n", defaults, qPrintable(QString("Invalid value \"%1\"").arg(line)));
    row("invalid value, then a valid one", "blighlvl=abc\nblighlvl=40\n", "blighlvl=40",
        "Invalid value \"blighlvl=abc\"");
}

void tst_ParameterFile::reader()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);
    QFETCH(QString, warning);
    LogCapture log;
    QCOMPARE(stateAfterReading(text), fullState(expected));
    const QStringList warnings = log.messages().filter(QRegularExpression("^warning: "));
    QCOMPARE(warnings, warning.isEmpty() ? QStringList() : QStringList("warning: " + warning));
}

// Every line logged, in order, at its level and with its source.
void tst_ParameterFile::logOfAWholeFile()
{
    LogCapture log;
    ParameterFile::read("[global]\n\narm=1\nx=1=2\nblighlvl=abc\narm=9\nvolume=3\n");
    QCOMPARE(
        log.messages(),
        QStringList({"info: Ignore line \"[global]\"", "info: Ignore line \"\"", "debug: \"arm=1\"",
                     "warning: line can not be splitted \"x=1=2\"", "warning: Invalid value \"blighlvl=abc\"",
                     "debug: \"blighlvl=abc\"", "warning: Unhandled value for arm \"arm=9\"",
                     "debug: \"arm=9\"", "debug: \"volume=3\""}));
    static const QRegularExpression source("parameterfile\\.cpp:[0-9]+ - \"arm=1\"$");
    QVERIFY2(log.lines().at(2).contains(source), qPrintable(log.lines().at(2)));
}

// What a file holds, as a module's settings: the defaults for what it
// does not set, and nothing logged.
void tst_ParameterFile::settingsOfAFile()
{
    LogCapture log;
    QCOMPARE(stateOf(ParameterFile::settingsOf("blightout=30\nsimulmenu=7\narm=9\n")),
             fullState("blightout=30 simulmenu=1"));
    QVERIFY(log.messages().isEmpty());
}

// What the console tool tells of a module's file: how many lines set a
// setting, and each value not taken as written, with what was taken.
void tst_ParameterFile::moduleFileAsReported_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("settingLines");
    QTest::addColumn<QStringList>("warnings");
    QTest::newRow("empty") << QByteArray() << 0 << QStringList();
    QTest::newRow("a web page") << QByteArray("<html><body>It works!</body></html>\n") << 0 << QStringList();
    QTest::newRow("no known key") << QByteArray("[global]\n# arm=1\nvolume=3\n") << 0 << QStringList();
    QTest::newRow("a whole file") << parameterFile("1", "33", "45", "1010") << 7 << QStringList();
    QTest::newRow("choice out of range")
        << QByteArray("arm=7\n") << 1 << QStringList("arm=7 is not one of 0 to 3: read as 3");
    QTest::newRow("not a number") << QByteArray("blighlvl=abc\n") << 1
                                  << QStringList("blighlvl=abc is not a number: read as 80");
    QTest::newRow("level out of range")
        << QByteArray("blightout=9999\n") << 1
        << QStringList("blightout=9999 is out of range 0 to 600: read as 600");
    QTest::newRow("switch out of range") << QByteArray("networkmenu=5\n") << 1
                                         << QStringList("networkmenu=5 is out of range 0 to 1: read as 1");
    QTest::newRow("bytes that are not text")
        << QByteArray("arm=\x01\xe9\n") << 1 << QStringList("arm=%01%E9 is not a number: read as 3");
    QTest::newRow("after an earlier value")
        << QByteArray("arm=1\narm=9\n") << 2 << QStringList("arm=9 is not one of 0 to 3: read as 1");
}

void tst_ParameterFile::moduleFileAsReported()
{
    QFETCH(QByteArray, text);
    QFETCH(int, settingLines);
    QFETCH(QStringList, warnings);
    const ParameterFile::Reading reading = ParameterFile::readModuleFile(text);
    QCOMPARE(reading.settingLines, settingLines);
    QCOMPARE(reading.warnings, warnings);
    QCOMPARE(reading.settings, ParameterFile::settingsOf(text));
}

QTEST_GUILESS_MAIN(tst_ParameterFile)
#include "tst_parameterfile.moc"
