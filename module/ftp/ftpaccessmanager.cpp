#include "ftpaccessmanager.h"

#include "ftpsessions.h"

#include <QCoreApplication>
#include <QtNetwork/qtnetwork-config.h>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0) && QT_CONFIG(bearermanagement)
#include <QNetworkConfigurationManager>
#endif

#include <mutex>

namespace {

// Qt 5's network access managers load the bearer plugins (connman,
// NetworkManager, ...) the first time one is made, and those load libdbus
// and ask the system bus, none of which a file on the LAN needs. Their
// loader looks for them once, when the first manager is made: with no
// plugin folder then, it finds none, and never looks again.
QObject *withoutBearerPlugins(QObject *parent)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0) && QT_CONFIG(bearermanagement)
    static std::once_flag once;
    std::call_once(once, [] {
        const QStringList paths = QCoreApplication::libraryPaths();
        QCoreApplication::setLibraryPaths({});
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        {
            const QNetworkConfigurationManager bearer;
        }
        QT_WARNING_POP
        QCoreApplication::setLibraryPaths(paths);
    });
#endif
    return parent;
}

} // namespace

FtpAccessManager::FtpAccessManager(QObject *parent) : QNetworkAccessManager(withoutBearerPlugins(parent)) { }

QNetworkReply *FtpAccessManager::createRequest(Operation operation, const QNetworkRequest &request,
                                               QIODevice *outgoingData)
{
    return new FtpReply(operation, request, outgoingData, timeLimits, sessions, this);
}

void FtpAccessManager::keepSessions(int count)
{
    delete sessions;
    sessions = count > 0 ? new FtpSessions(count, this) : nullptr;
}

void FtpAccessManager::endSession(const QUrl &url)
{
    if (sessions)
        sessions->end(url);
}
