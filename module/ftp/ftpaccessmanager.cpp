#include "ftpaccessmanager.h"

QNetworkReply *FtpAccessManager::createRequest(Operation operation, const QNetworkRequest &request,
                                               QIODevice *outgoingData)
{
    return new FtpReply(operation, request, outgoingData, timeLimits, this);
}
