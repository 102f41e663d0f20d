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

bool isOnLocalSubnet(const QHostAddress &address)
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries) {
            if (address.isInSubnet(entry.ip(), entry.prefixLength()))
                return true;
        }
    }
    return false;
}

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

QUrl parameterFileUrl(const QString &typed)
{
    QHostAddress address;
    address.setAddress(decimalAddress(typed));
    if (address.isNull())
        return QUrl();

    QNetworkAddressEntry module;
    module.setIp(address);
    if (!isOnLocalSubnet(module.ip()))
        return QUrl();

    QUrl url;
    url.setUrl(QStringLiteral("ftp://anonymous:@") + module.ip().toString() + QLatin1Char('/')
                   + QLatin1String(ParameterFile::name),
               QUrl::TolerantMode);
    return url.isValid() ? url : QUrl();
}

} // namespace ModuleAddress
