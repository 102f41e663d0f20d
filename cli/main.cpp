#include "batch.h"
#include "commandline.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qvtpx0xtweaker-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));

    Request request;
    QString error;
    int exitCode = 2; // a mistake in the arguments: nothing is sent to any module
    if (!parseCommandLine(QCoreApplication::arguments(), &request, &error, &exitCode)) {
        if (!error.isEmpty())
            QTextStream(stderr) << QCoreApplication::applicationName() << ": " << error << '\n';
        return exitCode;
    }
    Batch batch(request);
    QObject::connect(&batch, &Batch::done, &application, &QCoreApplication::exit, Qt::QueuedConnection);
    batch.start();
    return QCoreApplication::exec();
}
