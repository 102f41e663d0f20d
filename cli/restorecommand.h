#ifndef RESTORECOMMAND_H
#define RESTORECOMMAND_H

#include "sendingcommand.h"

// restore DIR: each module's kept file written back, and read back.
class RestoreCommand : public SendingCommand
{
public:
    using SendingCommand::SendingCommand;
    Step begin(Module &module) override;
    Step after(Module &module, Step step, QNetworkReply *reply) override
    {
        return afterSending(module, step, reply, ModuleOutcome::Result::Restored);
    }
};

#endif // RESTORECOMMAND_H
