#include "logcapture.h"
#include "windowdriver.h"
#include "windowinternals.h"

#include <QtTest>
#include <QtWidgets>

namespace {

const QByteArray menuComment = "#0=full access;1=read-only;other=forced to 1\n";

QByteArray parameterFile(const char *arm, const char *level, const char *timeout, const char *menus)
{
    const char *keys[] = {"backlightmenu=", "simulmenu=", "timemenu=", "networkmenu="};
    QByteArray text = QByteArray("[global]\n#0=disable;1=night;2=day;3=watchdog only\narm=") + arm
        + "\n#0%-100%\nblighlvl=" + level + "\n#in seconds. 0=always ON\nblightout=" + timeout + "\n";
    for (int i = 0; i < 4; ++i)
        text += menuComment + keys[i] + menus[i] + "\n";
    return text;
}

} // namespace

// Control states are written as "arm/level/timeout/menus", e.g. "3/80/120/0000"
// for the defaults; "-" for the arm when no radio button is checked.
class tst_ParameterFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void generation_data();
    void generation();
    void roundTrip_data();
    void roundTrip();
    void reader_data();
    void reader();
    void logLinesNameTheirSource();
    void readerSurvivesAnyInput();

private:
    template <typename T>
    T *child(const QString &name)
    {
        return window->findChild<T *>(name);
    }
    void checkInvariants();
    qvtpx0xtweaker *window = nullptr;
};

void tst_ParameterFile::initTestCase()
{
    window = new qvtpx0xtweaker;
}

void tst_ParameterFile::init()
{
    setControlState(window, "3/80/120/0000");
}

void tst_ParameterFile::cleanupTestCase()
{
    delete window;
}

void tst_ParameterFile::generation_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("defaults") << "3/80/120/0000" << parameterFile("3", "80", "120", "0000");
    QTest::newRow("second example") << "1/100/0/1001" << parameterFile("1", "100", "0", "1001");
    QTest::newRow("no radio checked") << "-/80/120/0000" << parameterFile("3", "80", "120", "0000");
    QTest::newRow("arm 0, lowest values") << "0/0/0/0000" << parameterFile("0", "0", "0", "0000");
    QTest::newRow("arm 2, highest values") << "2/100/600/1111" << parameterFile("2", "100", "600", "1111");
    QTest::newRow("menus one by one") << "3/7/45/0110" << parameterFile("3", "7", "45", "0110");
}

void tst_ParameterFile::generation()
{
    QCOMPARE(parameterFile("3", "80", "120", "0000").size(), 349);
    QCOMPARE(parameterFile("1", "100", "0", "1001").size(), 348);

    QFETCH(QString, state);
    QFETCH(QByteArray, expected);

    setControlState(window, state);
    const QByteArray text = WindowInternals::buildParameterFile(*window);
    QCOMPARE(text, expected);
    QCOMPARE(WindowInternals::buildParameterFile(*window), text);

    QCOMPARE(text.count('\n'), 15);
    QVERIFY(text.endsWith('\n'));
    QVERIFY(!text.contains('\r') && !text.contains(" =") && !text.contains("= "));
    QVERIFY(text.size() >= 346 && text.size() <= 350);
}

void tst_ParameterFile::roundTrip_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("expected");
    for (const char *s :
         {"0/0/0/0000", "1/100/600/1111", "2/55/1/1000", "3/1/599/0100", "0/99/300/0010", "1/50/60/0001"})
        QTest::newRow(s) << QString(s) << QString(s);
    QTest::newRow("no radio checked reads back as Automatic") << "-/80/120/0000"
                                                              << "3/80/120/0000";
}

void tst_ParameterFile::roundTrip()
{
    QFETCH(QString, state);
    QFETCH(QString, expected);

    setControlState(window, state);
    const QByteArray text = WindowInternals::buildParameterFile(*window);
    setControlState(window, state == "3/80/120/0000" ? "0/0/0/1111" : "3/80/120/0000");

    LogCapture log;
    WindowInternals::applyParameterFile(*window, text);
    QCOMPARE(controlState(window), expected);
    const QStringList messages = log.messages();
    QCOMPARE(messages.filter(QRegularExpression("^info: Ignore line \"[#\\[]")).size(), 8);
    QCOMPARE(messages.filter(QRegularExpression("^debug: \"[a-z]+=[0-9]+\"$")).size(), 7);
    QCOMPARE(messages.size(), 15);
}

void tst_ParameterFile::reader_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected"); // control state afterwards, from the defaults
    QTest::addColumn<QStringList>("messages");

    auto row
        = [](const char *name, const QByteArray &text, const char *expected, const QStringList &messages) {
              QTest::newRow(name) << text << QString(expected) << messages;
          };
    // Line ends, blanks and layout.
    row("CR LF", "arm=1\r\nblighlvl=50\r\n", "1/50/120/0000", {"debug: \"arm=1\"", "debug: \"blighlvl=50\""});
    row("indentation and tabs", " \t arm=2 \t\n", "2/80/120/0000", {"debug: \"arm=2\""});
    row("no final LF", "blightout=30", "3/80/30/0000", {"debug: \"blightout=30\""});
    row("CR only: one line", "arm=1\rblighlvl=50\r", "3/80/120/0000",
        {"warning: line can not be splitted \"arm=1 blighlvl=50\""});
    row("empty and blank lines", "\n   \n", "3/80/120/0000",
        {"info: Ignore line \"\"", "info: Ignore line \"\""});
    row("section and indented comment", "[global]\n   # arm=1\n[other]\narm=2\n", "2/80/120/0000",
        {"info: Ignore line \"[global]\"", "info: Ignore line \"# arm=1\"", "info: Ignore line \"[other]\"",
         "debug: \"arm=2\""});
    row("empty text", "", "3/80/120/0000", {});
    // Keys.
    row("repeated key: last wins", "blighlvl=20\nblighlvl=90\n", "3/90/120/0000",
        {"debug: \"blighlvl=20\"", "debug: \"blighlvl=90\""});
    row("two equals signs", "timemenu=1=2\n", "3/80/120/0000",
        {"warning: line can not be splitted \"timemenu=1=2\""});
    row("empty key", "=5\n", "3/80/120/0000", {"debug: \"=5\""});
    row("space before equals", "arm = 1\n", "3/80/120/0000", {"debug: \"arm = 1\""});
    row("keys are case-sensitive", "ARM=1\nBlighlvl=50\n", "3/80/120/0000",
        {"debug: \"ARM=1\"", "debug: \"Blighlvl=50\""});
    row("unknown key", "volume=3\n", "3/80/120/0000", {"debug: \"volume=3\""});
    // Numbers.
    row("space after equals", "arm= 1\n", "1/80/120/0000", {"debug: \"arm= 1\""});
    row("plus sign", "arm=+2\n", "2/80/120/0000", {"debug: \"arm=+2\""});
    row("arm out of range", "arm=7\n", "3/80/120/0000",
        {"warning: Unhandled value for arm \"arm=7\"", "debug: \"arm=7\""});
    row("arm negative", "arm=-1\n", "3/80/120/0000",
        {"warning: Unhandled value for arm \"arm=-1\"", "debug: \"arm=-1\""});
    row("bounded by the controls", "blighlvl=150\nblightout=999\n", "3/100/600/0000",
        {"debug: \"blighlvl=150\"", "debug: \"blightout=999\""});
    row("bounded below", "blighlvl=-5\nblightout=-1\n", "3/0/0/0000",
        {"debug: \"blighlvl=-5\"", "debug: \"blightout=-1\""});
    row("menu values", "backlightmenu=2\nsimulmenu=-1\ntimemenu=1\nnetworkmenu=1\nnetworkmenu=0\n",
        "3/80/120/1110",
        {"debug: \"backlightmenu=2\"", "debug: \"simulmenu=-1\"", "debug: \"timemenu=1\"",
         "debug: \"networkmenu=1\"", "debug: \"networkmenu=0\""});
    // Values that are not numbers leave their control as it was.
    const char *invalid[] = {"arm=",
                             "arm=x",
                             "arm=1 #night",
                             "blighlvl=abc",
                             "blighlvl=5.5",
                             "blightout=99999999999",
                             "backlightmenu=off",
                             "timemenu=0x1",
                             "arm=\"1\""};
    for (const char *line : invalid) {
        const QByteArray quoted = QByteArray(line).replace("\"", "\\\"");
        row(line, QByteArray(line) + "\n", "3/80/120/0000",
            {"warning: Invalid value \"" + quoted + "\"", "debug: \"" + quoted + "\""});
    }
    row("invalid value, then a valid one", "blighlvl=abc\nblighlvl=40\n", "3/40/120/0000",
        {"warning: Invalid value \"blighlvl=abc\"", "debug: \"blighlvl=abc\"", "debug: \"blighlvl=40\""});
}

void tst_ParameterFile::reader()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);
    QFETCH(QStringList, messages);

    LogCapture log;
    WindowInternals::applyParameterFile(*window, text);
    QCOMPARE(log.messages(), messages);
    QCOMPARE(controlState(window), expected);
}

void tst_ParameterFile::logLinesNameTheirSource()
{
    LogCapture log;
    WindowInternals::applyParameterFile(*window, "[global]\narm=3\n");
    QCOMPARE(log.lines().size(), 2);
    const QRegularExpression format("^.*parameterfile\\.cpp:[0-9]+ - ");
    QVERIFY2(
        log.lines().at(0).contains(QRegularExpression(format.pattern() + "Ignore line \"\\[global\\]\"$")),
        qPrintable(log.lines().at(0)));
    QVERIFY2(log.lines().at(1).contains(QRegularExpression(format.pattern() + "\"arm=3\"$")),
             qPrintable(log.lines().at(1)));
}

void tst_ParameterFile::checkInvariants()
{
    int checked = 0;
    for (int i = 0; i < 4; ++i)
        checked += child<QRadioButton>(QString("radArm%1").arg(i))->isChecked();
    QCOMPARE(checked, 1);
    const int level = child<QSlider>("sliderBlVal")->value();
    const int timeout = child<QSpinBox>("spinBoxBlTime")->value();
    QVERIFY(level >= 0 && level <= 100);
    QVERIFY(timeout >= 0 && timeout <= 600);
}

// Random bytes, mutated files, NUL bytes, a 1 MB line and many lines: the
// reader must finish and leave every control valid.
void tst_ParameterFile::readerSurvivesAnyInput()
{
    LogCapture log; // keeps the flood of log lines out of the test output
    QRandomGenerator random(20261206);
    const QByteArray valid = parameterFile("2", "55", "300", "1010");
    static const char bytes[] = "=#[]\r\n\t -+0123456789abcdemrtu\0\x7f\xff";
    const QByteArray alphabet(bytes, sizeof bytes - 1);

    for (int round = 0; round < 3000; ++round) {
        QByteArray text = valid;
        const int edits = 1 + int(random.bounded(20));
        for (int e = 0; e < edits; ++e) {
            const int at = int(random.bounded(text.size() + 1));
            const char byte = round % 3 == 0 ? char(random.bounded(256))
                                             : alphabet.at(int(random.bounded(alphabet.size())));
            switch (random.bounded(3)) {
            case 0:
                text.insert(at, byte);
                break;
            case 1:
                if (at < text.size())
                    text[at] = byte;
                break;
            default:
                text.remove(at, int(random.bounded(8)));
            }
        }
        WindowInternals::applyParameterFile(*window, text);
        checkInvariants();
        log.clear();
    }

    const QByteArray large[] = {
        QByteArray(1 << 20, 'x'),
        "blighlvl=" + QByteArray(1 << 20, '9'),
        QByteArray(64, '\0') + "arm=1\n" + QByteArray(64, '\0'),
        valid.repeated(2000),
        QByteArray("arm=2\n").repeated(100000),
    };
    for (const QByteArray &text : large) {
        WindowInternals::applyParameterFile(*window, text);
        checkInvariants();
        log.clear();
    }
    QCOMPARE(controlState(window), QString("2/55/300/1010"));
}

QTEST_MAIN(tst_ParameterFile)
#include "tst_parameterfile.moc"
