// libFuzzer target: the console tool's reader of addresses files, and the
// expansion of what they name. Whatever a file holds, the list names each
// module once, within the bound, every address of it on the subnets
// given, or it is refused as a whole.

#include "addresslist.h"

#include <QSet>

#include <cstdlib>

namespace {

void check(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "broken: %s\n", what);
        abort();
    }
}

const QVector<ModuleAddress::Subnet> lan {{QHostAddress("192.168.10.1"), 24},
                                          {QHostAddress("10.20.0.1"), 16}};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList given
        = Addresses::fromFile(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    for (const QString &line : given)
        check(!line.isEmpty() && !line.contains('\n') && !line.contains('#'), "a line, its comment left out");
    const AddressList list = Addresses::expand(given, 600, lan);
    if (!list.error.isEmpty()) {
        check(list.addresses.size() <= given.size() + 600, "a refused list bounded too");
        return 0;
    }
    check(QSet<QString>(list.addresses.begin(), list.addresses.end()).size() == list.addresses.size(),
          "each module once");
    check(list.addresses.size() <= given.size() + 600, "within the bound");
    return 0;
}
