#ifndef COMMAND_H
#define COMMAND_H

#include "commandline.h"
#include "moduleoutcome.h"
#include "report.h"

#include <QObject>
#include <QUrl>

#include <memory>

class KeptFiles;
class QNetworkReply;
struct FtpTimeLimits;

// One module as a command takes it through its steps.
struct Module
{
    QString address;
    QUrl url;
    QByteArray toWrite; // what a write sends it
    ModuleOutcome outcome;
};

// A module's next step: a transfer, or none yet (Wait: until every
// module has had its first round), or none at all (Done: its outcome is
// set).
enum class Step { Done, Wait, Read, Probe, Write, ReadBack };

// One command of the console tool: what it does to each module, step by
// step, and what it makes of each step's transfer. Batch runs the steps,
// so many at a time, and prints each module's lines once it is done.
class Command : public QObject
{
    Q_OBJECT

public:
    Command(const Request &request, const KeptFiles *kept) : request(request), kept(kept) { }

    // The module's first step.
    virtual Step begin(Module &module) = 0;
    // The step after a transfer: the next one, or Done with the outcome set.
    virtual Step after(Module &module, Step step, QNetworkReply *reply) = 0;
    // The time limits of its transfers, where they differ from a module's own.
    virtual void adjust(FtpTimeLimits *) const { }
    // Whether each module's lines are printed once it is done; else at the
    // end, in the order of addresses, those that found something.
    virtual bool printsAsDone() const { return true; }
    // What its summary counts.
    virtual Report::Counted counts() const { return Report::Counted::Modules; }

signals:
    // For the user, beside the results.
    void note(const QString &text);

protected:
    static Step finish(Module &module, ModuleOutcome::Result result, const QString &error = QString());
    // What the module holds, kept before anything is sent to it; false,
    // with the outcome set, when it could not be kept.
    bool keep(Module &module, const QByteArray &file);

    const Request request;
    const KeptFiles *const kept;
};

// The commands, by name, each with its operation: the one list of them.
namespace Commands {
QStringList names();
QString nameOf(Request::Operation operation);
// False when there is no such command.
bool find(const QString &name, Request::Operation *operation);
// The command the request names, for a run of it.
std::unique_ptr<Command> make(const Request &request, const KeptFiles *kept);
} // namespace Commands

#endif // COMMAND_H
