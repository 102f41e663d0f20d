// Start-up probe: builds a window exactly as main() does, shows it, and
// prints CLOCK_MONOTONIC in nanoseconds and the peak resident memory in KiB
// once its first frame is drawn (every widget painted and the backing store
// flushed), then quits. The window is
//   (default)  the tool's;
//   BARE       a bare QMainWindow;
//   LOGO       a bare QMainWindow that shows only the tool's logo, decoded
//              from the same resource and stretched to 201 x 31 in a label:
//              the least any window of this design must do.
// With --grab FILE it also saves a grab of the window to FILE.
//
// clazy:excludeall=lambda-in-connect

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QPixmap>

#include <cstdio>
#include <ctime>

#if !defined(BARE) && !defined(LOGO)
#include "fontconfigwarmup.h"
#include "logo.h"
#include "qvtpx0xtweaker.h"
#endif

namespace {

qint64 now()
{
    timespec time {};
    clock_gettime(CLOCK_MONOTONIC, &time);
    return static_cast<qint64>(time.tv_sec) * 1000000000LL + time.tv_nsec;
}

// The process's peak resident memory so far, in KiB.
long long peakMemoryKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    const QByteArray text = status.readAll();
    const int start = text.indexOf("VmHWM:") + 6;
    return text.mid(start, text.indexOf('\n', start) - start).trimmed().split(' ').first().toLongLong();
}

// Stamps the end of the first frame: the window's first paint event comes
// before its children's and the flush of the backing store; a call queued
// then runs once they are all done.
class FirstFrame : public QObject
{
public:
    FirstFrame(QWidget *window, QString grabFile) : window(window), grabFile(std::move(grabFile)) { }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched == window && !painted) {
            painted = true;
            QMetaObject::invokeMethod(this, &FirstFrame::stamp, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void stamp()
    {
        std::printf("%lld %lld\n", static_cast<long long>(now()), peakMemoryKiB());
        std::fflush(stdout);
        if (!grabFile.isEmpty())
            window->grab().save(grabFile);
        QCoreApplication::exit(0);
    }

    QWidget *window;
    QString grabFile;
    bool painted = false;
};

} // namespace

int main(int argc, char *argv[])
{
#if !defined(BARE) && !defined(LOGO)
    FontConfigWarmUp fonts;
#endif
    QApplication application(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
#if !defined(BARE) && !defined(LOGO)
    Logo::startDecoding();
    fonts.finish();
#endif
#if defined(BARE)
    QMainWindow window;
#elif defined(LOGO)
    QMainWindow window;
    auto *logo = new QLabel(&window);
    logo->setFixedSize(201, 31);
    logo->setScaledContents(true);
    logo->setPixmap(QPixmap(QStringLiteral(":/res/Quorvella_logo_h.png")));
    window.setCentralWidget(logo);
#else
    qvtpx0xtweaker window;
#endif
    const QStringList arguments = QCoreApplication::arguments();
    const int grab = arguments.indexOf(QStringLiteral("--grab"));
    FirstFrame firstFrame(&window, grab > 0 ? arguments.value(grab + 1) : QString());
    window.installEventFilter(&firstFrame);
    window.show();
    return QApplication::exec();
}
