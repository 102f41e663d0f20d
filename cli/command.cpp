#include "command.h"

#include "findcommand.h"
#include "keptfiles.h"
#include "readcommand.h"
#include "restorecommand.h"
#include "writecommand.h"

#include <algorithm>
#include <iterator>

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

namespace {

template <typename Kind>
std::unique_ptr<Command> made(const Request &request, const KeptFiles *kept)
{
    return std::make_unique<Kind>(request, kept);
}

struct Entry
{
    Request::Operation operation;
    const char *name;
    std::unique_ptr<Command> (*make)(const Request &request, const KeptFiles *kept);
};

const Entry registry[] = {
    {Request::Operation::Read, "read", &made<ReadCommand>},
    {Request::Operation::Write, "write", &made<WriteCommand>},
    {Request::Operation::Restore, "restore", &made<RestoreCommand>},
    {Request::Operation::Find, "find", &made<FindCommand>},
};

const Entry &entryOf(Request::Operation operation)
{
    return *std::find_if(std::begin(registry), std::end(registry),
                         [operation](const Entry &entry) { return entry.operation == operation; });
}

} // namespace

namespace Commands {

QStringList names()
{
    QStringList names;
    for (const Entry &entry : registry)
        names << QLatin1String(entry.name);
    return names;
}

QString nameOf(Request::Operation operation)
{
    return QLatin1String(entryOf(operation).name);
}

bool find(const QString &name, Request::Operation *operation)
{
    for (const Entry &entry : registry) {
        if (name == QLatin1String(entry.name)) {
            *operation = entry.operation;
            return true;
        }
    }
    return false;
}

std::unique_ptr<Command> make(const Request &request, const KeptFiles *kept)
{
    return entryOf(request.operation).make(request, kept);
}

} // namespace Commands
