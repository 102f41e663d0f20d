#include "writecommand.h"

#include "parameterfile.h"

#include <QNetworkReply>

Step WriteCommand::after(Module &module, Step step, QNetworkReply *reply)
{
    return step == Step::Read ? beforeWrite(module, reply)
                              : afterSending(module, step, reply, ModuleOutcome::Result::Written);
}

// What the module holds decides: the very bytes, nothing to do; a file
// without settings, or none at all, is written over. A module that could
// not be read, or whose file could not be kept, is not written. Only the
// server's word that there is no such file makes a module one without.
// The writes wait until every module has been read.
Step WriteCommand::beforeWrite(Module &module, QNetworkReply *reply)
{
    using Result = ModuleOutcome::Result;
    const bool noFile = reply->error() == QNetworkReply::ContentNotFoundError;
    if (reply->error() != QNetworkReply::NoError && !noFile)
        return finish(module, Result::Failed,
                      QStringLiteral("Reading it before the write: ") + reply->errorString());
    const QByteArray held = reply->readAll();
    const ParameterFile::Reading reading = ParameterFile::readModuleFile(held);
    ModuleOutcome &outcome = module.outcome;
    outcome.before = noFile         ? ModuleOutcome::Before::NoFile
        : reading.settingLines == 0 ? ModuleOutcome::Before::NoSettings
                                    : ModuleOutcome::Before::Settings;
    outcome.beforeSettings = outcome.settings = reading.settings;
    outcome.beforeSize = int(held.size());
    outcome.written = ParameterFile::settingsOf(request.file);
    if (!noFile && kept && !keep(module, held))
        return Step::Done;
    module.toWrite = request.file;
    if (!noFile && held == request.file && !request.force)
        return finish(module, Result::Unchanged);
    if (request.dryRun)
        return finish(module, Result::WouldChange);
    return Step::Wait;
}
