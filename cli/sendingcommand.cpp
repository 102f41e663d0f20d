#include "sendingcommand.h"

#include "parameterfile.h"

#include <QNetworkReply>

// A module may answer 226 and keep something else: what it holds now must
// be the very bytes written.
Step SendingCommand::afterSending(Module &module, Step step, QNetworkReply *reply, ModuleOutcome::Result sent)
{
    using Result = ModuleOutcome::Result;
    if (step == Step::Write) {
        if (reply->error() != QNetworkReply::NoError)
            return finish(module, Result::Failed, reply->errorString());
        return request.verify ? Step::ReadBack : finish(module, Result::Sent);
    }
    if (reply->error() != QNetworkReply::NoError)
        return finish(module, Result::Failed, QStringLiteral("Reading back: ") + reply->errorString());
    const QByteArray held = reply->readAll();
    if (held != module.toWrite)
        return finish(module, Result::Failed,
                      QStringLiteral("The module kept other content than was written"));
    module.outcome.settings = ParameterFile::settingsOf(held);
    module.outcome.restoredSize = int(held.size());
    return finish(module, sent);
}
