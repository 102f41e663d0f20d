#include "moduleaddress.h"

#include "parameterfile.h"

#include <QHostAddress>
#include <QNetworkAddressEntry>
#include <QNetworkInterface>
#include <QRegularExpression>
#include <QStringList>

namespace {

const char octetPattern[] = "(?:[0-1]?[0-9]?[0-9]|2[0-4][0-9]|25[0-5])";
const char octetSeparator[] = "\\.";

// The typed address with each octet read as the decimal number that the
// address field accepted: QHostAddress would read "010" as octal 8, and
// "08" not at all.
QString decimalAddress(const QString &typed)
{
    QStringList octets = typed.split(QLatin1Char('.'));
    if (octets.size() != 4)
        return typed;
    for (QString &octet : octets) {
        bool isNumber = false;
        const int value = octet.toInt(&isNumber, 10);
        if (!isNumber || octet.startsWith(QLatin1Char('+')) || octet.startsWith(QLatin1Char('-')))
            return typed;
        octet = QString::number(value);
    }
    return octets.join(QLatin1Char('.'));
}

// The address as QHostAddress reads it, found on one of the subnets, in
// the file's URL.
QUrl fileUrl(const QString &typed, const QVector<ModuleAddress::Subnet> &subnets)
{
    QHostAddress address;
    address.setAddress(decimalAddress(typed));
    if (address.isNull())
        return QUrl();

    QNetworkAddressEntry module;
    module.setIp(address);
    if (!ModuleAddress::isOnSubnets(module.ip(), 32, subnets))
        return QUrl();

    QUrl url;
    url.setUrl(QStringLiteral("ftp://anonymous:@") + module.ip().toString() + QLatin1Char('/')
                   + QLatin1String(ParameterFile::name),
               QUrl::TolerantMode);
    return url.isValid() ? url : QUrl();
}

} // namespace

namespace ModuleAddress {

QString pattern()
{
    const QString octet = QLatin1String(octetPattern);
    const QString dot = QLatin1String(octetSeparator);
    return octet + dot + octet + dot + octet + dot + octet;
}

bool isWellFormed(const QString &text)
{
    static const QRegularExpression whole(QRegularExpression::anchoredPattern(pattern()));
    return whole.match(text).hasMatch();
}

QString decimalForm(const QString &typed)
{
    return isWellFormed(typed) ? decimalAddress(typed) : QString();
}

bool ascending(const QString &one, const QString &other)
{
    return QHostAddress(one).toIPv4Address() < QHostAddress(other).toIPv4Address();
}

QVector<Subnet> localSubnets()
{
    QVector<Subnet> subnets;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries)
            subnets.append({entry.ip(), entry.prefixLength()});
    }
    return subnets;
}

QStringList lanSubnets()
{
    QStringList subnets;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        if (!(interface.flags() & QNetworkInterface::IsUp)
            || (interface.flags() & QNetworkInterface::IsLoopBack))
            continue;
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol || entry.prefixLength() < 0)
                continue;
            const QHostAddress network(entry.ip().toIPv4Address() & entry.netmask().toIPv4Address());
            subnets << network.toString() + QLatin1Char('/') + QString::number(entry.prefixLength());
        }
    }
    subnets.removeDuplicates();
    return subnets;
}

bool isOnSubnets(const QHostAddress &address, int prefixLength, const QVector<Subnet> &subnets)
{
    for (const Subnet &subnet : subnets) {
        if (subnet.prefixLength <= prefixLength && address.isInSubnet(subnet.address, subnet.prefixLength))
            return true;
    }
    return false;
}

QString explanation(Refusal refusal)
{
    switch (refusal) {
    case Refusal::None:
        break;
    case Refusal::NotAnAddress:
        return QStringLiteral("not an IPv4 address of four decimal numbers from 0 to 255");
    case Refusal::NotOnSubnet:
        return QStringLiteral("not on a subnet of this computer");
    case Refusal::NoInterfaces:
        return QStringLiteral("this computer's network interfaces could not be read");
    }
    return QString();
}

QUrl parameterFileUrl(const QString &typed)
{
    return fileUrl(typed, localSubnets());
}

QUrl parameterFileUrl(const QString &typed, const QVector<Subnet> &subnets, Refusal *refusal)
{
    *refusal = Refusal::None;
    if (!isWellFormed(typed))
        *refusal = Refusal::NotAnAddress;
    else if (subnets.isEmpty())
        *refusal = Refusal::NoInterfaces;
    QUrl url = *refusal == Refusal::None ? fileUrl(typed, subnets) : QUrl();
    if (*refusal == Refusal::None && !url.isValid())
        *refusal = Refusal::NotOnSubnet;
    return url;
}

} // namespace ModuleAddress
