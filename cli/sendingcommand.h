#ifndef SENDINGCOMMAND_H
#define SENDINGCOMMAND_H

#include "command.h"

// What write and restore share: a file sent to the module, then read back
// and compared byte for byte (unless --no-verify).
class SendingCommand : public Command
{
public:
    using Command::Command;

protected:
    // After the Write step or the ReadBack step; `sent` is what a module
    // that kept the very bytes becomes.
    Step afterSending(Module &module, Step step, QNetworkReply *reply, ModuleOutcome::Result sent);
};

#endif // SENDINGCOMMAND_H
