#ifndef PARAMETERFILE_H
#define PARAMETERFILE_H

#include "modulesettings.h"

#include <QByteArray>
#include <QStringList>
#include <QVector>

// The module's parameter file `vtpx_domo`: generated whole from a
// module's settings, and read back tolerantly, line by line.
namespace ParameterFile {

constexpr char name[] = "vtpx_domo";
// The real file is about 350 bytes: anything beyond this bound is not a
// module's parameter file, and is neither read nor sent.
constexpr int maxSize = 65536;

// "[global]", then for each setting its comment line and its key line,
// each line ending in LF.
QByteArray generate(const ModuleSettings &settings);

// One line of a file as the reader takes it: simplified, then passed over
// (empty, a comment, or no '='), refused (not exactly one '='), or a key
// and a value.
struct Line
{
    enum class Kind { Ignored, Unsplittable, KeyValue };
    Kind kind;
    QByteArray text;
    QByteArray key;
    QByteArray value;
};
QVector<Line> lines(const QByteArray &text);

// A setting that a file sets, and to what.
struct Assignment
{
    const ModuleSettings::Setting *setting;
    int value;
};

enum class Logging { EachLine, None };

// What a module's file sets, in the file's order: only known keys, only
// values that are wholly decimal integers, and for a choice only one of
// its values. Nothing else is ever refused. With Logging::EachLine each
// line is logged: "Ignore line" (info), "line can not be splitted",
// "Invalid value" and "Unhandled value for <key>" (warnings), and each
// line with a key echoed (debug).
QVector<Assignment> read(const QByteArray &text, Logging logging = Logging::EachLine);

// The settings a module's file holds; what it does not set keeps its
// default.
ModuleSettings settingsOf(const QByteArray &text);

// A module's file as the console tool reports it: its settings as read,
// how many lines set one of them, and each value the module holds that
// was not taken as written ("arm=7 is not one of 0 to 3: read as 3").
struct Reading
{
    ModuleSettings settings;
    int settingLines = 0;
    QStringList warnings;
};
Reading readModuleFile(const QByteArray &text);

} // namespace ParameterFile

#endif // PARAMETERFILE_H
