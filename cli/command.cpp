#include "command.h"

#include "findcommand.h"
#include "keptfiles.h"
#include "readcommand.h"
#include "restorecommand.h"
#include "writecommand.h"

Step Command::finish(Module &module, ModuleOutcome::Result result, const QString &error)
{
    module.outcome.result = result;
    module.outcome.error = error;
    return Step::Done;
}

// A file kept by an earlier run stays, as the building was then.
bool Command::keep(Module &module, const QByteArray &file)
{
    bool earlier = false;
    const QString error = kept->keep(module.address, file, &earlier);
    if (earlier)
        emit note(QStringLiteral("%1: kept before: left as it was").arg(kept->path(module.address)));
    if (!error.isEmpty())
        finish(module, ModuleOutcome::Result::Failed, QStringLiteral("Its file could not be kept: ") + error);
    return error.isEmpty();
}

namespace Commands {

// The commands, each by its operation.
std::unique_ptr<Command> make(const Request &request, const KeptFiles *kept)
{
    switch (request.operation) {
    case Request::Operation::Read:
        return std::make_unique<ReadCommand>(request, kept);
    case Request::Operation::Write:
        return std::make_unique<WriteCommand>(request, kept);
    case Request::Operation::Restore:
        return std::make_unique<RestoreCommand>(request, kept);
    case Request::Operation::Find:
        break;
    }
    return std::make_unique<FindCommand>(request, kept);
}

} // namespace Commands
