#include "addresslist.h"

#include <QHash>
#include <QRegularExpression>

namespace {

constexpr int shortestPrefix = 16;

QString dotted(quint32 address)
{
    return QHostAddress(address).toString();
}

// One argument as the addresses it names: *addresses filled, *counted
// whether they count against the maximum; an error text when it is a
// range or a subnet in no valid form.
QString namedBy(const QString &given, const QVector<ModuleAddress::Subnet> &own, QStringList *addresses,
                bool *counted)
{
    static const QRegularExpression range(QRegularExpression::anchoredPattern("([0-9.]+)-([0-9]{1,3})"));
    static const QRegularExpression subnet(QRegularExpression::anchoredPattern("([0-9.]+)/([0-9]{1,2})"));
    *counted = true;
    if (const auto match = range.match(given); match.hasMatch()) {
        const QString first = ModuleAddress::decimalForm(match.captured(1));
        const int last = match.captured(2).toInt();
        const int from = first.section('.', 3).toInt();
        if (first.isEmpty() || last > 255 || last < from)
            return QStringLiteral("%1: not a range of addresses, as 192.168.10.21-40").arg(given);
        for (int number = from; number <= last; ++number)
            addresses->append(first.section('.', 0, 2) + QLatin1Char('.') + QString::number(number));
        return QString();
    }
    if (const auto match = subnet.match(given); match.hasMatch()) {
        const QString address = ModuleAddress::decimalForm(match.captured(1));
        const int prefix = match.captured(2).toInt();
        if (address.isEmpty() || prefix > 32)
            return QStringLiteral("%1: not a subnet, as 192.168.10.0/24").arg(given);
        if (prefix < shortestPrefix)
            return QStringLiteral("%1: a subnet of more than /%2 is too large to name its modules")
                .arg(given)
                .arg(shortestPrefix);
        const quint32 mask = prefix == 0 ? 0 : ~quint32(0) << (32 - prefix);
        const quint32 network = QHostAddress(address).toIPv4Address() & mask;
        if (!ModuleAddress::isOnSubnets(QHostAddress(network), prefix, own))
            return QStringLiteral("%1: not a subnet of this computer").arg(given);
        const quint32 last = network | ~mask;
        const bool hosts = prefix <= 30; // a /31 or /32 has no network and broadcast address
        for (quint64 host = network + (hosts ? 1 : 0); host <= last - (hosts ? 1 : 0); ++host)
            addresses->append(dotted(quint32(host)));
        return QString();
    }
    *counted = false;
    addresses->append(given);
    return QString();
}

} // namespace

namespace Addresses {

AddressList expand(const QStringList &given, int maximum, const QVector<ModuleAddress::Subnet> &own)
{
    AddressList list;
    QHash<QString, QString> firstGiven; // by module
    qint64 countedSoFar = 0;
    for (const QString &argument : given) {
        QStringList named;
        bool counted = false;
        list.error = namedBy(argument, own, &named, &counted);
        if (!list.error.isEmpty())
            return list;
        countedSoFar += counted ? named.size() : 0;
        if (countedSoFar > maximum) {
            list.error = QStringLiteral("the ranges and subnets name more than %1 addresses "
                                        "(--max-addresses raises the bound)")
                             .arg(maximum);
            return list;
        }
        for (const QString &address : qAsConst(named)) {
            QString module = ModuleAddress::decimalForm(address);
            if (module.isEmpty())
                module = address;
            const auto first = firstGiven.constFind(module);
            if (first != firstGiven.constEnd()) {
                list.notes << QStringLiteral("%1: the same module as %2, given before: left out")
                                  .arg(address, *first);
                continue;
            }
            firstGiven.insert(module, address);
            list.addresses.append(module);
        }
    }
    return list;
}

QStringList fromFile(const QByteArray &text)
{
    QStringList lines;
    const QList<QByteArray> all = text.split('\n');
    for (const QByteArray &line : all) {
        const int comment = line.indexOf('#');
        const QByteArray given = (comment < 0 ? line : line.left(comment)).trimmed();
        if (!given.isEmpty())
            lines << QString::fromUtf8(given.constData(), given.size()); // all of it: a NUL is no end
    }
    return lines;
}

QStringList toScan(const QStringList &subnets, int maximum, QStringList *notes)
{
    QStringList scanned;
    qint64 addresses = 0;
    for (const QString &subnet : subnets) {
        const int prefix = subnet.section(QLatin1Char('/'), 1).toInt();
        const qint64 hosts = (qint64(1) << (32 - prefix)) - (prefix <= 30 ? 2 : 0);
        if (prefix < shortestPrefix || addresses + hosts > maximum) {
            *notes << QStringLiteral("%1 left out: more than %2 addresses; name a part of it to scan it")
                          .arg(subnet)
                          .arg(maximum - addresses);
            continue;
        }
        addresses += hosts;
        scanned << subnet;
    }
    return scanned;
}

} // namespace Addresses
