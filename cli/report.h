#ifndef REPORT_H
#define REPORT_H

#include <QByteArray>

struct ModuleOutcome;

// One module's lines: as text, the address then its settings as the file
// writes them ("arm=3 blighlvl=80 ..."), "written", or "error: ...", and
// a line "warning: ..." for each value its file holds that was not taken
// as written; as JSON, one object with "address", "ok", "error" (on a
// failure only), each setting as a number under its key, and "warnings".
// Every line is one line of ASCII: control characters and all beyond
// ASCII are escaped.
namespace Report {

QByteArray textLines(const ModuleOutcome &outcome);
QByteArray jsonLine(const ModuleOutcome &outcome);
// A message as one line of ASCII: control characters written as \n, \t
// or \xNN, others beyond ASCII as \uNNNN.
QString oneLine(const QString &text);

} // namespace Report

#endif // REPORT_H
