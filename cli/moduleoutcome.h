#ifndef MODULEOUTCOME_H
#define MODULEOUTCOME_H

#include "modulesettings.h"

#include <QString>
#include <QStringList>

// What became of one module.
struct ModuleOutcome
{
    enum class Result {
        Failed,      // error says why
        NotDone,     // interrupted before anything was sent that changes it
        Read,        // settings: what it holds
        Written,     // settings: what it holds now, read back
        Sent,        // written, not read back (--no-verify)
        Unverified,  // written, but the read-back was dropped: interrupted
        Unchanged,   // it held the very bytes already: nothing was sent
        WouldChange, // --dry-run: settings, what a write would leave
        Restored,    // its kept file written back, and read back
        Found,       // find: a module there
        NoModule,    // find: nothing that holds a module's file
    };
    // What a module held before a write: not read, its settings, a file
    // without any, no file.
    enum class Before { NotRead, Settings, NoSettings, NoFile };

    QString address; // in decimal form when it is an address
    Result result = Result::Failed;
    QString error;
    ModuleSettings settings; // what it holds (a dry run: still holds)
    QStringList warnings;    // values the module's file holds that were not taken as written
    Before before = Before::NotRead;
    ModuleSettings beforeSettings;
    int beforeSize = 0;
    ModuleSettings written; // what a write sent, or would send
    int restoredSize = 0;   // the bytes a restore wrote back

    bool ok() const { return result != Result::Failed && result != Result::NotDone; }
    // What the module is known to hold: read, or written and read back.
    bool hasSettings() const
    {
        return result == Result::Read || result == Result::Written || result == Result::Unchanged
            || result == Result::WouldChange;
    }
    // A write's outcome, with what it changed or would change.
    bool hasChanges() const
    {
        return result == Result::Written || result == Result::Unchanged || result == Result::WouldChange
            || result == Result::Sent || result == Result::Unverified;
    }
};

#endif // MODULEOUTCOME_H
