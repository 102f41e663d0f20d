// Transfer round trips, timed in process, in nanoseconds:
//   read RUNS, write RUNS: RUNS pairs, one line each, "tool reference":
//       the tool, a click on the window's button until its success status
//       (controls filled for a read), then the reference, one get or put
//       of the same URL through Qt's own FTP layer (a bare
//       QNetworkAccessManager, one per transfer as the tool has); after
//       one untimed pair, so both are warm.
//   first-read: one line, "first later": the first read of this fresh
//       process, 300 ms after the window was shown, then the next one.
// Usage: bench_transfer MODE [RUNS] (the module at 127.0.0.1).
//
// Each run's connection ends before the locals its lambda captures do.
// clazy:excludeall=lambda-in-connect

#include "qvtpx0xtweaker.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <cstdio>

namespace {

const QUrl url(QStringLiteral("ftp://anonymous:@127.0.0.1/vtpx_domo"));

qint64 clickUntilDone(qvtpx0xtweaker &window, const char *button)
{
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 elapsed = -1;
    auto *statusbar = window.findChild<QStatusBar *>();
    auto connection
        = QObject::connect(statusbar, &QStatusBar::messageChanged, &loop, [&](const QString &text) {
              if (text.startsWith(QLatin1String("Parameters successfully")))
                  elapsed = clock.nsecsElapsed();
              else if (!text.contains(QLatin1String(" error: ")))
                  return;
              // A write's information box opens next: close it as a user would.
              QTimer::singleShot(0, statusbar, [] {
                  if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                      box->accept();
              });
              loop.quit();
          });
    clock.start();
    window.findChild<QPushButton *>(button)->click();
    loop.exec();
    QObject::disconnect(connection);
    // Untimed: what the run left behind (the repaint after a closed box,
    // deferred deletions) must not fall into the next run's time.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return elapsed;
}

qint64 bareTransfer(bool upload, const QByteArray &file)
{
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    auto *manager = new QNetworkAccessManager;
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    QNetworkReply *reply
        = upload ? manager->put(QNetworkRequest(url), &buffer) : manager->get(QNetworkRequest(url));
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const bool ok = reply->error() == QNetworkReply::NoError;
    reply->readAll();
    const qint64 elapsed = clock.nsecsElapsed();
    reply->deleteLater();
    manager->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return ok ? elapsed : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const QByteArray mode = argc > 1 ? argv[1] : "";
    const int runs = argc > 2 ? atoi(argv[2]) : 30;
    qvtpx0xtweaker window;
    window.findChild<QLineEdit *>(QStringLiteral("lineEditIP"))->setText(QStringLiteral("127.0.0.1"));
    const QByteArray file = QByteArray("[global]\narm=3\n").leftJustified(349, '#');

    if (mode == "first-read") {
        // As a user starts the tool: the window shows, and the user takes
        // a moment to type the address before clicking.
        window.show();
        QTimer::singleShot(300, &application, &QCoreApplication::quit);
        QCoreApplication::exec();
        const qint64 first = clickUntilDone(window, "butRead");
        const qint64 later = clickUntilDone(window, "butRead");
        std::printf("%lld %lld\n", static_cast<long long>(first), static_cast<long long>(later));
        return first < 0 || later < 0 ? 1 : 0;
    }
    const bool write = mode == "write";
    for (int run = -1; run < runs; ++run) {
        const qint64 tool = clickUntilDone(window, write ? "butWrite" : "butRead");
        const qint64 reference = bareTransfer(write, file);
        if (tool < 0 || reference < 0) {
            std::fprintf(stderr, "%s: run %d failed\n", mode.constData(), run);
            return 1;
        }
        if (run >= 0)
            std::printf("%lld %lld\n", static_cast<long long>(tool), static_cast<long long>(reference));
    }
    return 0;
}
