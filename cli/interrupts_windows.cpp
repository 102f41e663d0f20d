#include "interrupts.h"

#include <QPointer>

#include <windows.h>

namespace {

QPointer<InterruptWatcher> watcher;
volatile LONG pending = 0; // the signal's number, until the watcher's thread takes it
volatile LONG received = 0;

// Windows calls this on a thread of its own.
BOOL WINAPI handleConsoleEvent(DWORD event)
{
    LONG number = 0;
    switch (event) {
    case CTRL_C_EVENT:
        number = 2; // SIGINT
        break;
    case CTRL_BREAK_EVENT:
        number = 21; // SIGBREAK
        break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        number = 1; // SIGHUP
        break;
    default:
        return FALSE;
    }
    InterlockedExchange(&received, 1);
    InterlockedCompareExchange(&pending, number, 0);
    QMetaObject::invokeMethod(watcher.data(), "deliver", Qt::QueuedConnection);
    // Returning from a closing console's event ends the process at once:
    // this thread waits instead, until the program ends or Windows does.
    if (number == 1)
        Sleep(INFINITE);
    return TRUE;
}

} // namespace

InterruptWatcher::InterruptWatcher(QObject *parent) : QObject(parent)
{
    watcher = this;
    SetConsoleCtrlHandler(handleConsoleEvent, TRUE);
}

InterruptWatcher::~InterruptWatcher()
{
    SetConsoleCtrlHandler(handleConsoleEvent, FALSE);
    // Once interrupted, the process is on its way out with its own exit
    // code: a repeated Ctrl+C after the watcher has gone changes nothing
    // either.
    if (received)
        SetConsoleCtrlHandler(nullptr, TRUE);
}

void InterruptWatcher::deliver()
{
    const LONG number = InterlockedExchange(&pending, 0);
    if (number != 0)
        emit interrupted(int(number));
}
