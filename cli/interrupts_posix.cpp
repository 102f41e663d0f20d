#include "interrupts.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const int watched[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction former[3];
int wakeUp[2] = {-1, -1}; // the handler writes the signal's number to [0], the watcher reads [1]
volatile sig_atomic_t received = 0;

// Only what a signal handler may do: one write() of one byte.
extern "C" void handleSignal(int signalNumber)
{
    const int savedErrno = errno;
    received = 1;
    const char number = char(signalNumber);
    [[maybe_unused]] const auto written = ::write(wakeUp[0], &number, 1);
    errno = savedErrno;
}

} // namespace

InterruptWatcher::InterruptWatcher(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, wakeUp) != 0)
        return;
    auto *notifier = new QSocketNotifier(wakeUp[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &InterruptWatcher::deliver);
    struct sigaction action = {};
    action.sa_handler = handleSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i)
        sigaction(watched[i], &action, &former[i]);
}

InterruptWatcher::~InterruptWatcher()
{
    if (wakeUp[0] == -1)
        return;
    // Once interrupted, the process is on its way out with its own exit
    // code: a repeat that comes after the watcher has gone changes nothing
    // either.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (int i = 0; i < 3; ++i)
        sigaction(watched[i], received ? &ignore : &former[i], nullptr);
    ::close(wakeUp[0]);
    ::close(wakeUp[1]);
    wakeUp[0] = wakeUp[1] = -1;
}

void InterruptWatcher::deliver()
{
    char number = 0;
    if (::read(wakeUp[1], &number, 1) == 1)
        emit interrupted(number);
}
