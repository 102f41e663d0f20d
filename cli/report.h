#ifndef REPORT_H
#define REPORT_H

#include <QByteArray>
#include <QString>
#include <QVector>

struct ModuleOutcome;

// One module's lines, as text or as JSON; every line one line of ASCII:
// control characters and all beyond ASCII escaped.
//
// Text: the address, then its settings as the file writes them ("arm=3
// blighlvl=80 ..."), or what a write did ("written: arm 1->3", "unchanged",
// "would change: ..."), or "error: ...", and a line "warning: ..." for each
// value its file holds that was not taken as written; find prints the
// address alone. JSON: one object with "address", "ok", "error" on a
// failure, each setting it holds as a number under its key, and for a
// write "result" (written, unchanged, would change, failed), "before" (the
// settings it held) and "changes".
namespace Report {

QByteArray textLines(const ModuleOutcome &outcome);
QByteArray jsonLine(const ModuleOutcome &outcome);
// What a write changed: "arm 1->3 blighlvl 60->80".
QString changes(const ModuleOutcome &outcome);
// What a command's outcomes count: modules, or addresses where a module
// may be (find).
enum class Counted { Modules, Addresses };
// All of them in one line: "100 modules: 97 written, 2 unchanged, 1 failed: 192.168.10.40".
QString summary(const QVector<ModuleOutcome> &outcomes, Counted counted);
// A message as one line of ASCII: control characters written as \n, \t
// or \xNN, others beyond ASCII as \uNNNN.
QString oneLine(const QString &text);

} // namespace Report

#endif // REPORT_H
