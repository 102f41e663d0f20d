#ifndef FINDCOMMAND_H
#define FINDCOMMAND_H

#include "command.h"

// find: which addresses hold a module, asking each for its file's size.
class FindCommand : public Command
{
public:
    using Command::Command;
    Step begin(Module &) override { return Step::Probe; }
    Step after(Module &module, Step step, QNetworkReply *reply) override;
    void adjust(FtpTimeLimits *limits) const override;
    bool printsAsDone() const override { return false; }
    Report::Counted counts() const override { return Report::Counted::Addresses; }
};

#endif // FINDCOMMAND_H
