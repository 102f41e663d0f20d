#include "platform.h"

#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace Platform {

// Windows ends no program for a closed pipe, and its sockets are not
// numbered among its files. Lines end in LF as elsewhere: the text mode of
// its C library would make each CR LF.
void prepareProcess()
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

int modulesAtOnce()
{
    return INT_MAX;
}

bool isTerminal(FILE *stream)
{
    return _isatty(_fileno(stream)) != 0;
}

} // namespace Platform
