#include "addresslist.h"

#include <QtTest>

// The modules a command names, from its arguments or a file, without a
// network: ranges and subnets expanded, each module once, the bounds.
class tst_AddressList : public QObject
{
    Q_OBJECT

private slots:
    void expand_data();
    void expand();
    void fromFile();
    void toScan_data();
    void toScan();
};

// The computer's entries are 192.0.2.1/24 and 198.51.100.7/16; at most 300
// addresses from ranges and subnets. modules: the addresses, in order; a
// count when they are many, empty for an error.
void tst_AddressList::expand_data()
{
    QTest::addColumn<QStringList>("given");
    QTest::addColumn<QString>("modules");
    QTest::addColumn<QStringList>("notes");
    QTest::addColumn<QString>("error");
    const auto row = [](const char *name, const QStringList &given, const QString &modules,
                        const QString &error = QString(), const QStringList &notes = {}) {
        QTest::newRow(name) << given << modules << notes << error;
    };
    row("addresses one by one", {"192.0.2.10", "10.1.2.3", "no address"}, "192.0.2.10 10.1.2.3 no address");
    row("a range of the last number", {"192.0.2.8-11"}, "192.0.2.8 192.0.2.9 192.0.2.10 192.0.2.11");
    row("a range of one", {"192.0.2.8-8"}, "192.0.2.8");
    row("a subnet: its host addresses", {"192.0.2.8/30"}, "192.0.2.9 192.0.2.10");
    row("a /31: both addresses", {"192.0.2.8/31"}, "192.0.2.8 192.0.2.9");
    row("a /32: its address", {"192.0.2.8/32"}, "192.0.2.8");
    row("a subnet inside the computer's", {"198.51.7.0/24"}, "254 addresses");
    row("leading zeros", {"192.000.002.010", "192.0.2.011-12"}, "192.0.2.10 192.0.2.11 192.0.2.12");
    row("each module once", {"192.0.2.10", "192.0.2.9-11", "192.000.2.10"}, "192.0.2.10 192.0.2.9 192.0.2.11",
        "",
        {"192.0.2.10: the same module as 192.0.2.10, given before: left out",
         "192.000.2.10: the same module as 192.0.2.10, given before: left out"});
    row("the bound, reached", {"192.0.2.0/24", "198.51.100.1-46"}, "300 addresses");
    row("the bound, passed", {"192.0.2.0/24", "198.51.100.1-47"}, "",
        "the ranges and subnets name more than 300 addresses (--max-addresses raises the bound)");
    QStringList oneByOne;
    for (int i = 0; i < 400; ++i)
        oneByOne << QString("10.0.%1.%2").arg(i / 256).arg(i % 256);
    row("addresses one by one are not counted", oneByOne << "192.0.2.0/24", "654 addresses");
    row("a range backwards", {"192.0.2.11-8"}, "",
        "192.0.2.11-8: not a range of addresses, as 192.168.10.21-40");
    row("a range beyond 255", {"192.0.2.250-256"}, "",
        "192.0.2.250-256: not a range of addresses, as 192.168.10.21-40");
    row("a subnet beyond /32", {"192.0.2.0/33"}, "", "192.0.2.0/33: not a subnet, as 192.168.10.0/24");
    row("a subnet of another network", {"203.0.113.0/24"}, "",
        "203.0.113.0/24: not a subnet of this computer");
    row("a subnet wider than the computer's", {"192.0.0.0/22"}, "",
        "192.0.0.0/22: not a subnet of this computer");
    row("a subnet wider than /16", {"198.51.0.0/15"}, "",
        "198.51.0.0/15: a subnet of more than /16 is too large to name its modules");
}

void tst_AddressList::expand()
{
    QFETCH(QStringList, given);
    QFETCH(QString, modules);
    QFETCH(QStringList, notes);
    QFETCH(QString, error);
    const QVector<ModuleAddress::Subnet> own {{QHostAddress("192.0.2.1"), 24},
                                              {QHostAddress("198.51.100.7"), 16}};
    const AddressList list = Addresses::expand(given, 300, own);
    QCOMPARE(list.error, error);
    if (modules.endsWith(" addresses"))
        QCOMPARE(list.addresses.size(), modules.section(' ', 0, 0).toInt());
    else if (error.isEmpty())
        QCOMPARE(list.addresses.join(' '), modules);
    QCOMPARE(list.notes, notes);
}

void tst_AddressList::fromFile()
{
    QCOMPARE(
        Addresses::fromFile("192.0.2.10\n# the east wing\n\n  192.0.2.20-29  # stairs\n192.0.2.0/24\r\n"),
        QStringList({"192.0.2.10", "192.0.2.20-29", "192.0.2.0/24"}));
    // A NUL is a byte of the line: the line stays, to be refused as given.
    QCOMPARE(Addresses::fromFile(QByteArray("192.0.2.10\n\0\0x\n", 15)),
             QStringList({"192.0.2.10", QString::fromLatin1("\0\0x", 3)}));
}

// find without a subnet: the computer's that fit the bound, at most 600
// addresses here; each other one named.
void tst_AddressList::toScan_data()
{
    QTest::addColumn<QStringList>("subnets");
    QTest::addColumn<QStringList>("scanned");
    QTest::addColumn<QStringList>("notes");
    const QString leftOut = "%1 left out: more than %2 addresses; name a part of it to scan it";
    QTest::newRow("two /24s") << QStringList {"192.0.2.0/24", "198.51.100.0/24"}
                              << QStringList {"192.0.2.0/24", "198.51.100.0/24"} << QStringList();
    QTest::newRow("a container's /16 beside the LAN")
        << QStringList {"172.17.0.0/16", "192.0.2.0/24"} << QStringList {"192.0.2.0/24"}
        << QStringList {leftOut.arg("172.17.0.0/16").arg(600)};
    QTest::newRow("a VPN's /8") << QStringList {"10.0.0.0/8"} << QStringList()
                                << QStringList {leftOut.arg("10.0.0.0/8").arg(600)};
    QTest::newRow("a third /24 beyond the bound")
        << QStringList {"192.0.2.0/24", "198.51.100.0/24", "203.0.113.0/24"}
        << QStringList {"192.0.2.0/24", "198.51.100.0/24"}
        << QStringList {leftOut.arg("203.0.113.0/24").arg(92)};
}

void tst_AddressList::toScan()
{
    QFETCH(QStringList, subnets);
    QFETCH(QStringList, scanned);
    QFETCH(QStringList, notes);
    QStringList told;
    QCOMPARE(Addresses::toScan(subnets, 600, &told), scanned);
    QCOMPARE(told, notes);
}

QTEST_GUILESS_MAIN(tst_AddressList)
#include "tst_addresslist.moc"
