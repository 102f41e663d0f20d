#include "ftpaccessmanager.h"

#include "ftpreply.h"

QNetworkReply *FtpAccessManager::createRequest(Operation operation, const QNetworkRequest &request,
                                               QIODevice *outgoingData)
{
    return new FtpReply(operation, request, outgoingData, this);
}
