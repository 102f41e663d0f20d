#include "platform.h"

#include <QByteArray>

#include <cerrno>
#include <climits>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {
// Kept for what the program and Qt open beside the modules' connections:
// the event loops of Qt's threads, a kept file, a folder's lock.
constexpr rlim_t reserved = 28;
// A module's control and data connections, and its read-back's control
// connection while the write's is being closed.
constexpr rlim_t perModule = 3;

// Those open already: inherited from whoever started the program, and its
// own so far. Only where the system lists them (/proc); elsewhere none
// beyond the standard streams is assumed.
rlim_t openFiles()
{
    DIR *folder = opendir("/proc/self/fd");
    if (!folder)
        return 3;
    rlim_t count = 0;
    while (const dirent *entry = readdir(folder))
        count += entry->d_name[0] != '.';
    closedir(folder);
    return count - 1; // the listing's own
}
} // namespace

namespace Platform {

void prepareProcess()
{
    // Qt's own event loop, not GLib's: GLib's wakes itself through a file
    // for each socket it begins or stops watching, some twenty-five writes
    // for each module.
    qputenv("QT_NO_GLIB", QByteArrayLiteral("1"));
    signal(SIGPIPE, SIG_IGN);
    for (int stream = 0; stream <= 2; ++stream) {
        if (fcntl(stream, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", O_RDONLY); // takes the lowest free number: this one
    }
}

int modulesAtOnce()
{
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return INT_MAX;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= rlim_t(INT_MAX))
        return INT_MAX;
    const rlim_t used = openFiles() + reserved;
    return int((limit.rlim_cur - qMin(limit.rlim_cur, used)) / perModule);
}

bool isTerminal(FILE *stream)
{
    return isatty(fileno(stream)) == 1;
}

} // namespace Platform
