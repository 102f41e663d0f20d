#include "systemlimits.h"

#include <climits>

namespace SystemLimits {

// Windows ends no program for a closed pipe, and its sockets are not
// numbered among its files.
void prepareProcess() { }

int modulesAtOnce()
{
    return INT_MAX;
}

} // namespace SystemLimits
