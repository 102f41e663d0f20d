#include "modulesettings.h"

#include <QtTest>

using Key = ModuleSettings::Key;
Q_DECLARE_METATYPE(ModuleSettings::Key)

// The module's settings as a value: its defaults, the bounds a module's
// file is read with, and the strict check of values that a user gives.
class tst_ModuleSettings : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void valueAsAModuleReadsIt_data();
    void valueAsAModuleReadsIt();
    void valueGivenAsText_data();
    void valueGivenAsText();
};

void tst_ModuleSettings::defaults()
{
    const ModuleSettings settings;
    QCOMPARE(settings.value(Key::Arm), 3);
    QCOMPARE(settings.value(Key::BacklightLevel), 80);
    QCOMPARE(settings.value(Key::BacklightTimeout), 120);
    QCOMPARE(settings.value(Key::BacklightMenu), 0);
    QCOMPARE(settings.value(Key::SimulationMenu), 0);
    QCOMPARE(settings.value(Key::TimeMenu), 0);
    QCOMPARE(settings.value(Key::NetworkMenu), 0);
    QCOMPARE(ModuleSettings::names(),
             QString("arm, blighlvl, blightout, backlightmenu, simulmenu, timemenu, "
                     "networkmenu")); // the file's order
}

void tst_ModuleSettings::valueAsAModuleReadsIt_data()
{
    QTest::addColumn<Key>("key");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("choice in range") << Key::Arm << 0 << 0;
    QTest::newRow("choice beyond: unchanged") << Key::Arm << 4 << 3;
    QTest::newRow("choice below: unchanged") << Key::Arm << -1 << 3;
    QTest::newRow("level at its top") << Key::BacklightLevel << 100 << 100;
    QTest::newRow("level beyond: bounded") << Key::BacklightLevel << 150 << 100;
    QTest::newRow("level below: bounded") << Key::BacklightTimeout << -5 << 0;
    QTest::newRow("time-out beyond: bounded") << Key::BacklightTimeout << 999 << 600;
    QTest::newRow("switch on") << Key::TimeMenu << 1 << 1;
    QTest::newRow("switch: not 0 is on") << Key::SimulationMenu << -7 << 1;
    QTest::newRow("switch off") << Key::NetworkMenu << 0 << 0;
}

void tst_ModuleSettings::valueAsAModuleReadsIt()
{
    QFETCH(Key, key);
    QFETCH(int, value);
    QFETCH(int, expected);
    ModuleSettings settings;
    settings.setValue(key, value);
    QCOMPARE(settings.value(key), expected);
    settings.setValue(key, ModuleSettings().value(key));
    QVERIFY(settings == ModuleSettings()); // nothing else changed
}

// error: empty when the value is taken.
void tst_ModuleSettings::valueGivenAsText_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("error");
    const QString level = "blighlvl must be a whole number from 0 to 100, not \"%1\"";
    QTest::newRow("level") << QByteArray("blighlvl") << QByteArray("55") << "";
    QTest::newRow("lowest") << QByteArray("blightout") << QByteArray("0") << "";
    QTest::newRow("highest") << QByteArray("blightout") << QByteArray("600") << "";
    QTest::newRow("leading zero") << QByteArray("arm") << QByteArray("01") << "";
    QTest::newRow("beyond") << QByteArray("blighlvl") << QByteArray("101") << level.arg("101");
    QTest::newRow("negative") << QByteArray("blighlvl") << QByteArray("-1") << level.arg("-1");
    QTest::newRow("plus sign") << QByteArray("blighlvl") << QByteArray("+5") << level.arg("+5");
    QTest::newRow("blank around") << QByteArray("blighlvl") << QByteArray(" 5") << level.arg(" 5");
    QTest::newRow("empty") << QByteArray("blighlvl") << QByteArray() << level.arg("");
    QTest::newRow("words") << QByteArray("blighlvl") << QByteArray("high") << level.arg("high");
    QTest::newRow("huge") << QByteArray("blighlvl") << QByteArray("99999999999") << level.arg("99999999999");
    QTest::newRow("a switch of 2") << QByteArray("simulmenu") << QByteArray("2")
                                   << "simulmenu must be a whole number from 0 to 1, not \"2\"";
    QTest::newRow("choice beyond") << QByteArray("arm") << QByteArray("4")
                                   << "arm must be a whole number from 0 to 3, not \"4\"";
    QTest::newRow("unknown key") << QByteArray("volume") << QByteArray("3") << "unknown setting \"volume\"";
    QTest::newRow("key of another case") << QByteArray("ARM") << QByteArray("1") << "unknown setting \"ARM\"";
    QTest::newRow("control characters shown escaped")
        << QByteArray("a\x1b[2J") << QByteArray("1") << "unknown setting \"a%1B[2J\"";
}

void tst_ModuleSettings::valueGivenAsText()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(QString, error);
    ModuleSettings settings;
    QCOMPARE(settings.setFromText(key, value), error);
    if (error.isEmpty())
        QCOMPARE(settings.value(ModuleSettings::find(key)->key), value.toInt());
    else
        QVERIFY(settings == ModuleSettings());
}

QTEST_GUILESS_MAIN(tst_ModuleSettings)
#include "tst_modulesettings.moc"
