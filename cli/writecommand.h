#ifndef WRITECOMMAND_H
#define WRITECOMMAND_H

#include "sendingcommand.h"

// write: every module read first (and its file kept, with --backup), then
// the file written to each that holds other bytes, and read back.
class WriteCommand : public SendingCommand
{
public:
    using SendingCommand::SendingCommand;
    Step begin(Module &) override { return Step::Read; }
    Step after(Module &module, Step step, QNetworkReply *reply) override;

private:
    Step beforeWrite(Module &module, QNetworkReply *reply);
};

#endif // WRITECOMMAND_H
