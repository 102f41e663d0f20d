#include "findcommand.h"

#include "ftpreply.h"
#include "report.h"

// Where nothing answers is no module: soon known; nor where something
// takes the connection and never speaks.
void FindCommand::adjust(FtpTimeLimits *limits) const
{
    limits->connectMs = limits->idleMs = 2000;
}

// An address where nothing takes the connection, or whose server holds no
// such file, is no module; one whose server takes it and then fails is a
// failure.
Step FindCommand::after(Module &module, Step, QNetworkReply *reply)
{
    using Result = ModuleOutcome::Result;
    const auto *ftp = qobject_cast<const FtpReply *>(reply);
    if (reply->error() == QNetworkReply::NoError)
        return finish(module, Result::Found);
    if (!ftp || !ftp->hasConnected() || reply->error() == QNetworkReply::ContentNotFoundError)
        return finish(module, Result::NoModule);
    emit note(QStringLiteral("%1: its FTP server failed: %2")
                  .arg(module.address, Report::oneLine(reply->errorString())));
    return finish(module, Result::Failed, reply->errorString());
}
