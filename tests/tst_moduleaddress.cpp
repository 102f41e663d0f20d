#include "moduleaddress.h"

#include <QtTest>

Q_DECLARE_METATYPE(ModuleAddress::Refusal)

namespace {
using Refusal = ModuleAddress::Refusal;

// "192.0.2.1/24 fe80::1/64 10.0.0.1/-1": the computer's address entries.
QVector<ModuleAddress::Subnet> subnetsOf(const QString &text)
{
    QVector<ModuleAddress::Subnet> subnets;
    const QStringList entries = text.split(' ', Qt::SkipEmptyParts);
    for (const QString &entry : entries)
        subnets.append({QHostAddress(entry.section('/', 0, 0)), entry.section('/', 1).toInt()});
    return subnets;
}
} // namespace

// The address rule without a network: which texts are addresses, and which
// addresses lie on the subnets of interface entries given here.
class tst_ModuleAddress : public QObject
{
    Q_OBJECT

private slots:
    void wellFormed_data();
    void wellFormed();
    void onTheSubnets_data();
    void onTheSubnets();
};

// decimal: the address as the rule reads it, empty when it is none.
void tst_ModuleAddress::wellFormed_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("decimal");
    const auto accepted = [](const char *typed, const char *decimal) {
        QTest::newRow(typed) << QString::fromUtf8(typed) << QString(decimal);
    };
    accepted("1.2.3.4", "1.2.3.4");
    accepted("0.0.0.0", "0.0.0.0");
    accepted("255.255.255.255", "255.255.255.255");
    accepted("010.001.000.255", "10.1.0.255"); // decimal, not octal
    accepted("192.0.2.08", "192.0.2.8");
    for (const char *typed : {"", "192.0.2", "192.0.2.", "192.0.2.10.", " 1.2.3.4", "1.2.3.4 ", "256.1.1.1",
                              "1.2.3.256", "0000.1.1.1", "1.2.3.4:21", "1..2.3", "+1.2.3.4", "-1.2.3.4",
                              "a.b.c.d", "0x7f.0.0.1", "::1", "\xd9\xa3.1.1.1" /* an Arabic-Indic three */})
        QTest::newRow(QByteArray("\"") + typed + "\"") << QString::fromUtf8(typed) << QString();
}

void tst_ModuleAddress::wellFormed()
{
    QFETCH(QString, typed);
    QFETCH(QString, decimal);
    QCOMPARE(ModuleAddress::isWellFormed(typed), !decimal.isEmpty());
    QCOMPARE(ModuleAddress::decimalForm(typed), decimal);
}

// url: what the rule gives, empty when it refuses.
void tst_ModuleAddress::onTheSubnets_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("subnets");
    QTest::addColumn<QString>("url");
    QTest::addColumn<Refusal>("refusal");
    const QString lan = "192.0.2.1/24 127.0.0.1/8 fe80::1/64";
    const auto row = [](const char *name, const char *typed, const QString &subnets, const char *url,
                        Refusal refusal = Refusal::None) {
        QTest::newRow(name) << QString(typed) << subnets << QString(url) << refusal;
    };
    row("on the LAN", "192.0.2.10", lan, "ftp://anonymous:@192.0.2.10/vtpx_domo");
    row("the computer itself", "192.0.2.1", lan, "ftp://anonymous:@192.0.2.1/vtpx_domo");
    row("network address", "192.0.2.0", lan, "ftp://anonymous:@192.0.2.0/vtpx_domo");
    row("broadcast address", "192.0.2.255", lan, "ftp://anonymous:@192.0.2.255/vtpx_domo");
    row("leading zeros", "192.000.002.010", lan, "ftp://anonymous:@192.0.2.10/vtpx_domo");
    row("anywhere in 127/8", "127.200.1.2", lan, "ftp://anonymous:@127.200.1.2/vtpx_domo");
    row("next subnet", "192.0.3.1", lan, "", Refusal::NotOnSubnet);
    row("another network", "10.1.2.3", lan, "", Refusal::NotOnSubnet);
    row("on two subnets", "10.1.2.3", "10.0.0.1/8 10.1.0.1/16", "ftp://anonymous:@10.1.2.3/vtpx_domo");
    row("a /32 entry, its own address", "10.1.2.3", "10.1.2.3/32", "ftp://anonymous:@10.1.2.3/vtpx_domo");
    row("a /32 entry, another address", "10.1.2.4", "10.1.2.3/32", "", Refusal::NotOnSubnet);
    row("a /0 entry, any address", "203.0.113.7", "10.1.2.3/0", "ftp://anonymous:@203.0.113.7/vtpx_domo");
    row("an entry without a netmask", "10.1.2.3", "10.1.2.3/-1", "", Refusal::NotOnSubnet);
    row("only IPv6 entries", "10.1.2.3", "::/0", "", Refusal::NotOnSubnet);
    row("no entry at all: the interfaces unread", "192.0.2.10", "", "", Refusal::NoInterfaces);
    row("not an address", "192.0.2", lan, "", Refusal::NotAnAddress);
    row("not an address, and no entry", "a.b.c.d", "", "", Refusal::NotAnAddress);
}

void tst_ModuleAddress::onTheSubnets()
{
    QFETCH(QString, typed);
    QFETCH(QString, subnets);
    QFETCH(QString, url);
    QFETCH(Refusal, refusal);
    Refusal why = Refusal::None;
    const QUrl result = ModuleAddress::parameterFileUrl(typed, subnetsOf(subnets), &why);
    QCOMPARE(result.toString(), url);
    QCOMPARE(why, refusal);
}

QTEST_GUILESS_MAIN(tst_ModuleAddress)
#include "tst_moduleaddress.moc"
