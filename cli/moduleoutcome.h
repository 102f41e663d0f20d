#ifndef MODULEOUTCOME_H
#define MODULEOUTCOME_H

#include "modulesettings.h"

#include <QString>
#include <QStringList>

// What became of one module.
struct ModuleOutcome
{
    enum class Result {
        Failed,     // error says why
        Read,       // settings: what it holds
        Written,    // settings: what it holds now, read back
        Sent,       // written, not read back (--no-verify)
        Unverified, // written, but the read-back was dropped: interrupted
    };
    QString address; // in decimal form when it is an address
    Result result = Result::Failed;
    QString error;
    ModuleSettings settings;
    QStringList warnings; // values the module's file holds that were not taken as written

    bool ok() const { return result != Result::Failed; }
    bool hasSettings() const { return result == Result::Read || result == Result::Written; }
};

#endif // MODULEOUTCOME_H
