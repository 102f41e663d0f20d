#include "restorecommand.h"

#include "keptfiles.h"
#include "parameterfile.h"

// Only what a read would take as a module's file goes back to a module,
// unless the user forces one without settings.
Step RestoreCommand::begin(Module &module)
{
    using Result = ModuleOutcome::Result;
    const QString error = kept->read(module.address, &module.toWrite);
    if (!error.isEmpty())
        return finish(module, Result::Failed, error);
    if (ParameterFile::readModuleFile(module.toWrite).settingLines == 0 && !request.force)
        return finish(
            module, Result::Failed,
            QStringLiteral("Its kept file holds none of the settings (%1 bytes): not sent (--force sends it)")
                .arg(module.toWrite.size()));
    return Step::Write;
}
