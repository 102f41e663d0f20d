#include "readcommand.h"

#include "parameterfile.h"

#include <QNetworkReply>

// A file that sets none of the settings is no module's: an empty file, a
// page of something else, a file cut short. It is kept all the same, as
// what the module held.
Step ReadCommand::after(Module &module, Step, QNetworkReply *reply)
{
    using Result = ModuleOutcome::Result;
    if (reply->error() != QNetworkReply::NoError)
        return finish(module, Result::Failed, reply->errorString());
    const QByteArray text = reply->readAll();
    if (kept && !keep(module, text))
        return Step::Done;
    const ParameterFile::Reading reading = ParameterFile::readModuleFile(text);
    if (reading.settingLines == 0)
        return finish(
            module, Result::Failed,
            QStringLiteral("The module's file holds none of the settings (%1 bytes)").arg(text.size()));
    module.outcome.settings = reading.settings;
    module.outcome.warnings = reading.warnings;
    return finish(module, Result::Read);
}
