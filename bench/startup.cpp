// Start-up probe: builds the tool's window (or, with BARE, a bare
// QMainWindow) exactly as main() does, shows it, and prints CLOCK_MONOTONIC
// in nanoseconds the first time the event loop has nothing left to do.

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QMainWindow>

#include <cstdio>
#include <ctime>

#ifndef BARE
#include "qvtpx0xtweaker.h"
#endif

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
#ifdef BARE
    QMainWindow window;
#else
    qvtpx0xtweaker window;
#endif
    window.show();

    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, [] {
        timespec now {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    return QApplication::exec();
}
