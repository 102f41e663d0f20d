#include "commandline.h"

#include "modulesettings.h"
#include "parameterfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

const QCommandLineOption fromOption({"f", "from"}, "Start from the settings of parameter file FILE.", "FILE");
const QCommandLineOption setOption({"s", "set"}, "Set KEY to VALUE (repeatable; after --from).", "KEY=VALUE");
const QCommandLineOption noVerifyOption("no-verify", "Do not read each module's file back after writing it.");
const QCommandLineOption jsonOption("json", "Print one JSON object per module (JSON Lines).");
const QCommandLineOption jobsOption({"j", "jobs"}, "Handle at most N modules at a time (default 16).", "N",
                                    "16");

// The settings of a parameter file given by the user: every key known,
// every value in its range.
QString readSettingsFile(const QString &path, ModuleSettings *settings)
{
    // A FIFO or a device could block the tool, or never end.
    if (QFileInfo::exists(path) && !QFileInfo(path).isFile())
        return QStringLiteral("%1 is not a regular file").arg(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    const QByteArray text = file.read(ParameterFile::maxSize + 1);
    if (text.size() > ParameterFile::maxSize)
        return QStringLiteral("%1 is larger than %2 bytes")
            .arg(path, QString::number(ParameterFile::maxSize));
    int number = 0;
    const QVector<ParameterFile::Line> lines = ParameterFile::lines(text);
    for (const ParameterFile::Line &line : lines) {
        ++number;
        QString error;
        if (line.kind == ParameterFile::Line::Kind::Unsplittable)
            error = QStringLiteral("not KEY=VALUE");
        else if (line.kind == ParameterFile::Line::Kind::KeyValue)
            error = settings->setFromText(line.key, line.value);
        if (!error.isEmpty())
            return QStringLiteral("%1, line %2: %3").arg(path, QString::number(number), error);
    }
    return QString();
}

QString applySettings(const QStringList &assignments, ModuleSettings *settings)
{
    for (const QString &assignment : assignments) {
        const int equals = assignment.indexOf(QLatin1Char('='));
        const QString error = equals < 0
            ? QStringLiteral("not KEY=VALUE")
            : settings->setFromText(assignment.left(equals).toUtf8(), assignment.mid(equals + 1).toUtf8());
        if (!error.isEmpty())
            return QStringLiteral("--set %1: %2").arg(assignment, error);
    }
    return QString();
}

QString checkWriteOptions(const QCommandLineParser &parser, Request *request)
{
    if (request->operation == Request::Operation::Read) {
        for (const QCommandLineOption &option : {fromOption, setOption, noVerifyOption}) {
            if (parser.isSet(option))
                return QStringLiteral("--%1 goes with write, not read").arg(option.names().constLast());
        }
        return QString();
    }
    ModuleSettings settings;
    QString error;
    if (parser.isSet(fromOption))
        error = readSettingsFile(parser.value(fromOption), &settings);
    if (error.isEmpty())
        error = applySettings(parser.values(setOption), &settings);
    request->file = ParameterFile::generate(settings);
    request->verify = !parser.isSet(noVerifyOption);
    return error;
}

QString checkArguments(const QCommandLineParser &parser, Request *request)
{
    QStringList positional = parser.positionalArguments();
    const QString command = positional.isEmpty() ? QString() : positional.takeFirst();
    if (command != QLatin1String("read") && command != QLatin1String("write"))
        return command.isEmpty() ? QStringLiteral("no command: read or write")
                                 : QStringLiteral("unknown command \"%1\": read or write").arg(command);
    request->operation
        = command == QLatin1String("read") ? Request::Operation::Read : Request::Operation::Write;
    if (positional.isEmpty())
        return QStringLiteral("no module address");
    request->addresses = positional;
    bool isNumber = false;
    request->jobs = parser.value(jobsOption).toInt(&isNumber);
    if (!isNumber || request->jobs < 1 || request->jobs > 1024)
        return QStringLiteral("--jobs takes a number from 1 to 1024");
    request->json = parser.isSet(jsonOption);
    return checkWriteOptions(parser, request);
}

} // namespace

bool parseCommandLine(const QStringList &arguments, Request *request, QString *message, int *exitCode)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Reads, or writes, the settings of VTPX02/VTPX04 modules, many at once.\n"
            "read ADDRESS...: prints each module's settings.\n"
            "write [--from FILE] [--set KEY=VALUE]... ADDRESS...: writes one parameter file to every module:\n"
            "the defaults, or FILE's settings, then each --set; keys: %1.")
            .arg(ModuleSettings::names()));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("read or write"));
    parser.addPositionalArgument(QStringLiteral("addresses"), QStringLiteral("The modules' IPv4 addresses."),
                                 QStringLiteral("ADDRESS..."));
    parser.addOptions({fromOption, setOption, noVerifyOption, jsonOption, jobsOption});
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    *exitCode = 2;
    if (!parser.parse(arguments)) {
        *message = parser.errorText();
        return false;
    }
    if (parser.isSet(helpOption) || parser.isSet(versionOption)) {
        *message = parser.isSet(helpOption) ? parser.helpText()
                                            : QCoreApplication::applicationName() + QLatin1Char(' ')
                + QCoreApplication::applicationVersion() + QLatin1Char('\n');
        *exitCode = 0;
        return false;
    }
    *message = checkArguments(parser, request);
    return message->isEmpty();
}
