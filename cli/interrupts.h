#ifndef INTERRUPTS_H
#define INTERRUPTS_H

#include <QObject>

// The user's requests to stop, delivered as a signal on the thread that
// made the watcher, from the event loop: SIGINT, SIGTERM and SIGHUP on
// POSIX systems; on Windows Ctrl+C (as SIGINT, 2), Ctrl+Break (as SIGBREAK,
// 21) and the console's closing (as SIGHUP, 1), where Windows then waits
// for the process only a few seconds. One watcher at a time; the signals'
// former handling comes back when it is gone.
class InterruptWatcher : public QObject
{
    Q_OBJECT

public:
    explicit InterruptWatcher(QObject *parent = nullptr);
    ~InterruptWatcher() override;

signals:
    void interrupted(int signalNumber);

private slots:
    void deliver();
};

#endif // INTERRUPTS_H
