#ifndef MODULEADDRESS_H
#define MODULEADDRESS_H

#include <QHostAddress>
#include <QString>
#include <QUrl>
#include <QVector>

// The address rule: a module is reached only at a complete dotted-quad
// IPv4 address that lies on one of this computer's own subnets, since it
// must be on the same LAN.
namespace ModuleAddress {

// Four octets of one to three decimal digits, each at most 255 (leading
// zeros allowed), separated by full stops. Not anchored: the whole text
// must match it.
QString pattern();
bool isWellFormed(const QString &text);
// A well-formed address with each octet read as decimal ("192.168.010.021"
// is 192.168.10.21), the form in which two spellings of one module are
// the same; an empty text when it is not well formed.
QString decimalForm(const QString &typed);

// The order of addresses in decimal form, number by number: .2 before .10.
bool ascending(const QString &one, const QString &other);

// One address entry of one of the computer's interfaces.
struct Subnet
{
    QHostAddress address;
    int prefixLength = -1;
};
// Every entry of every interface, whatever its flags; read afresh.
QVector<Subnet> localSubnets();
// The IPv4 subnets of the interfaces that are up, loopback excepted, as
// "192.168.10.0/24": the LANs where modules may be.
QStringList lanSubnets();
// Whether the network `address`/`prefixLength` (an address alone: /32)
// lies wholly on one of the subnets: the address rule.
bool isOnSubnets(const QHostAddress &address, int prefixLength, const QVector<Subnet> &subnets);

// Why an address is not a module's.
enum class Refusal { None, NotAnAddress, NotOnSubnet, NoInterfaces };
QString explanation(Refusal refusal);

// The parameter file's URL, "ftp://anonymous:@" + address + "/vtpx_domo",
// for an address typed as the pattern allows, each octet read as decimal;
// an empty URL when it is no address or lies on none of this computer's
// subnets (read afresh at each call).
QUrl parameterFileUrl(const QString &typed);
// The same, strictly (the whole text must match the pattern), against
// subnets given, and saying why not. No subnet at all means that the
// computer's interfaces could not be read: a computer always has one.
QUrl parameterFileUrl(const QString &typed, const QVector<Subnet> &subnets, Refusal *refusal);

} // namespace ModuleAddress

#endif // MODULEADDRESS_H
