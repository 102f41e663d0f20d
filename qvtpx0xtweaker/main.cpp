#include "fontconfigwarmup.h"
#include "logo.h"
#include "qvtpx0xtweaker.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    FontConfigWarmUp fonts; // meanwhile, the application object is made
    QApplication application(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    Logo::startDecoding(); // meanwhile, the window is built
    fonts.finish();

    // Locals go in reverse order after exec() has returned its result:
    // the window first, then the application.
    qvtpx0xtweaker window;
    window.show();
    return QApplication::exec();
}
