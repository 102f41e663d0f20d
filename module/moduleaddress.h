#ifndef MODULEADDRESS_H
#define MODULEADDRESS_H

#include <QString>
#include <QUrl>

// The address rule: a module is reached only at a complete dotted-quad
// IPv4 address that lies on one of this computer's own subnets, since it
// must be on the same LAN.
namespace ModuleAddress {

// Four octets of one to three decimal digits, each at most 255 (leading
// zeros allowed), separated by full stops. Not anchored: the whole text
// must match it.
QString pattern();
bool isWellFormed(const QString &text);

// The parameter file's URL, "ftp://anonymous:@" + address + "/vtpx_domo",
// for an address typed as the pattern allows, each octet read as decimal;
// an empty URL when it is no address or lies on none of this computer's
// subnets.
QUrl parameterFileUrl(const QString &typed);

} // namespace ModuleAddress

#endif // MODULEADDRESS_H
