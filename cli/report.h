#ifndef REPORT_H
#define REPORT_H

#include <QByteArray>

struct ModuleOutcome;

// One module's line: as text, the address then its settings as the file
// writes them ("arm=3 blighlvl=80 ..."), "written", or "error: ..."; as
// JSON, an object with "address", "ok", "error" (on a failure only) and
// each setting as a number under its key.
namespace Report {

QByteArray textLine(const ModuleOutcome &outcome);
QByteArray jsonLine(const ModuleOutcome &outcome);

} // namespace Report

#endif // REPORT_H
