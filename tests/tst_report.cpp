#include "moduleoutcome.h"
#include "report.h"
#include "settingsstate.h"

#include <QtTest>

Q_DECLARE_METATYPE(ModuleOutcome)

namespace {
using Result = ModuleOutcome::Result;
using Before = ModuleOutcome::Before;

// A module at 192.0.2.10; a write's outcome held "arm=1" before and sent the
// defaults.
ModuleOutcome outcome(Result result, Before before = Before::NotRead, const QString &error = QString())
{
    ModuleOutcome outcome;
    outcome.address = "192.0.2.10";
    outcome.result = result;
    outcome.error = error;
    outcome.before = before;
    outcome.beforeSettings = settingsOf(before == Before::Settings ? "arm=1" : "");
    outcome.beforeSize = 6;
    return outcome;
}

// The defaults as JSON, in two parts: "before" sorts between them.
const QByteArray settingsA = R"("arm":3,"backlightmenu":0,)";
const QByteArray settingsB = R"("blighlvl":80,"blightout":120,)";
const QByteArray settingsJson = settingsA + settingsB;
const QByteArray beforeJson = R"("before":{"arm":1,"backlightmenu":0,"blighlvl":80,"blightout":120,)"
                              R"("networkmenu":0,"simulmenu":0,"timemenu":0},)";
// What a write sent (the defaults), after the address.
const QByteArray afterJson = R"("after":{"arm":3,"backlightmenu":0,"blighlvl":80,"blightout":120,)"
                             R"("networkmenu":0,"simulmenu":0,"timemenu":0},)";
const QByteArray otherJson = R"("networkmenu":0,"ok":true,)";
const QByteArray restJson = R"("simulmenu":0,"timemenu":0)";
} // namespace

// What the console tool prints of each module, as text and as JSON, and
// its summary: from the outcomes alone.
class tst_Report : public QObject
{
    Q_OBJECT

private slots:
    void lines_data();
    void lines();
    void summary_data();
    void summary();
};

void tst_Report::lines_data()
{
    QTest::addColumn<ModuleOutcome>("outcome");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("json");

    ModuleOutcome read = outcome(Result::Read);
    read.warnings << "arm=7 is not one of 0 to 3: read as 3";
    QTest::newRow("read, with a warning")
        << read
        << QByteArray("192.0.2.10 arm=3 blighlvl=80 blightout=120 backlightmenu=0 simulmenu=0 timemenu=0 "
                      "networkmenu=0\n192.0.2.10 warning: arm=7 is not one of 0 to 3: read as 3\n")
        << R"({"address":"192.0.2.10",)" + settingsJson + otherJson + R"("result":"read",)" + restJson
            + R"(,"warnings":["arm=7 is not one of 0 to 3: read as 3"]})";
    ModuleOutcome foreign = outcome(Result::Failed, Before::NotRead, "not an IPv4 address");
    foreign.address = QString::fromUtf8("192.168.\xc3\xb1.1\n");
    QTest::newRow("beyond ASCII, never read")
        << foreign << QByteArray("192.168.\\u00f1.1\\n error: not an IPv4 address\n")
        << QByteArray(R"({"address":"192.168.\u00f1.1\n","error":"not an IPv4 address","ok":false,)"
                      R"("result":"failed"})");
    QTest::newRow("failed once read")
        << outcome(Result::Failed, Before::Settings, "The module kept other content than was written")
        << QByteArray("192.0.2.10 error: The module kept other content than was written\n")
        << R"({"address":"192.0.2.10",)" + beforeJson
            + R"("error":"The module kept other content than was written","ok":false,"result":"failed"})";
    QTest::newRow("written") << outcome(Result::Written, Before::Settings)
                             << QByteArray("192.0.2.10 written: arm 1->3\n")
                             << R"({"address":"192.0.2.10",)" + afterJson + settingsA + beforeJson + settingsB
            + R"("changes":"arm 1->3",)" + otherJson + R"("result":"written",)" + restJson + "}";
    QTest::newRow("written, not read back") << outcome(Result::Sent, Before::Settings)
                                            << QByteArray("192.0.2.10 written, not read back: arm 1->3\n")
                                            << R"({"address":"192.0.2.10",)" + afterJson + beforeJson
            + R"("changes":"arm 1->3","ok":true,"result":"written","verified":false})";
    QTest::newRow("written, its read-back interrupted")
        << outcome(Result::Unverified, Before::Settings)
        << QByteArray("192.0.2.10 written, not verified: interrupted\n")
        << R"({"address":"192.0.2.10",)" + afterJson + beforeJson
            + R"("changes":"arm 1->3","ok":true,"result":"written","verified":false})";
    QTest::newRow("not done") << outcome(Result::NotDone)
                              << QByteArray("192.0.2.10 error: not done: interrupted\n")
                              << QByteArray(R"({"address":"192.0.2.10","error":"not done: interrupted",)"
                                            R"("ok":false,"result":"not done"})");
    QTest::newRow("would change, no file")
        << outcome(Result::WouldChange, Before::NoFile)
        << QByteArray("192.0.2.10 would change: it had no file\n")
        << R"({"address":"192.0.2.10",)" + afterJson + settingsA + R"("before":null,)" + settingsB
            + R"("changes":"it had no file",)" + otherJson + R"("result":"would change",)" + restJson + "}";
    QTest::newRow("written over a file without settings")
        << outcome(Result::Sent, Before::NoSettings)
        << QByteArray("192.0.2.10 written, not read back: its file held none of the settings (6 bytes)\n")
        << R"({"address":"192.0.2.10",)" + afterJson
            + R"x("before":{},"changes":"its file held none of the settings (6 bytes)","ok":true,)x"
              R"x("result":"written","verified":false})x";
    ModuleOutcome restored = outcome(Result::Restored);
    restored.restoredSize = 31;
    QTest::newRow("restored") << restored << QByteArray("192.0.2.10 restored (31 bytes)\n")
                              << QByteArray(
                                     R"({"address":"192.0.2.10","bytes":31,"ok":true,"result":"restored"})");
}

void tst_Report::lines()
{
    QFETCH(ModuleOutcome, outcome);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, json);
    if (outcome.result != Result::Read && outcome.result != Result::Restored
        && outcome.result != Result::Failed && outcome.result != Result::NotDone)
        outcome.written = settingsOf("");
    if (outcome.hasSettings())
        outcome.settings = settingsOf("");
    QCOMPARE(Report::textLines(outcome), text);
    QCOMPARE(Report::jsonLine(outcome), json + '\n');
}

void tst_Report::summary_data()
{
    QTest::addColumn<QVector<int>>("results");
    QTest::addColumn<bool>("addresses"); // find's: else modules
    QTest::addColumn<QString>("summary");
    QTest::newRow("a write") << QVector<int> {int(Result::Written), int(Result::Unchanged),
                                              int(Result::Failed)}
                             << false << "3 modules: 1 written, 1 unchanged, 1 failed: 192.0.2.3";
    QTest::newRow("interrupted") << QVector<int> {int(Result::Unverified), int(Result::Unverified),
                                                  int(Result::NotDone)}
                                 << false << "3 modules: 2 written, not verified, 1 not done";
    QTest::newRow("find") << QVector<int> {int(Result::NoModule), int(Result::Found), int(Result::NoModule)}
                          << true << "3 addresses: 1 module, 2 without a module";
    QTest::newRow("find, interrupted")
        << QVector<int> {int(Result::NotDone), int(Result::NotDone)} << true << "2 addresses: 2 not done";
    QTest::newRow("eleven failed")
        << QVector<int>(11, int(Result::Failed)) << false
        << "11 modules: 11 failed: 192.0.2.1, 192.0.2.2, 192.0.2.3, 192.0.2.4, "
           "192.0.2.5, 192.0.2.6, 192.0.2.7, 192.0.2.8, 192.0.2.9, 192.0.2.10, ...";
}

void tst_Report::summary()
{
    QFETCH(QVector<int>, results);
    QFETCH(bool, addresses);
    QFETCH(QString, summary);
    QVector<ModuleOutcome> outcomes;
    for (const int result : qAsConst(results)) {
        outcomes << outcome(Result(result));
        outcomes.last().address = QString("192.0.2.%1").arg(outcomes.size());
    }
    QCOMPARE(Report::summary(outcomes, addresses ? Report::Counted::Addresses : Report::Counted::Modules),
             summary);
}

QTEST_GUILESS_MAIN(tst_Report)
#include "tst_report.moc"
