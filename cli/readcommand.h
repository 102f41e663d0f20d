#ifndef READCOMMAND_H
#define READCOMMAND_H

#include "command.h"

// read [--save DIR]: each module's settings, and its file kept.
class ReadCommand : public Command
{
public:
    using Command::Command;
    Step begin(Module &) override { return Step::Read; }
    Step after(Module &module, Step step, QNetworkReply *reply) override;
};

#endif // READCOMMAND_H
