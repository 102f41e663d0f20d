#ifndef ADDRESSLIST_H
#define ADDRESSLIST_H

#include "moduleaddress.h"

#include <QStringList>

// The modules a command names: single addresses; ranges of the last
// number, "192.168.10.21-40"; subnets, "192.168.10.0/24", for their host
// addresses (a /31 or /32 for its addresses). Each module once, in the
// decimal form of its address.
struct AddressList
{
    QStringList addresses; // in the order given; a text that is no address, as given
    QStringList notes;     // for the user: a module given twice, left out
    QString error;         // why the list cannot be used: nothing is sent
};

namespace Addresses {

constexpr int defaultMaximum = 4096;

// Ranges and subnets may name at most `maximum` addresses in all
// (addresses given one by one are not counted); a subnet must be one of
// the computer's own (on its subnets), with a prefix of /16 or longer.
AddressList expand(const QStringList &given, int maximum, const QVector<ModuleAddress::Subnet> &own);

// The lines of an addresses file: one address, range or subnet a line;
// blank lines and what follows '#' are passed over.
QStringList fromFile(const QByteArray &text);

// Of these subnets, those that find scans when it is named none: in the
// order given, as many as name at most `maximum` addresses together; each
// left out is a note.
QStringList toScan(const QStringList &subnets, int maximum, QStringList *notes);

} // namespace Addresses

#endif // ADDRESSLIST_H
