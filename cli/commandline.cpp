#include "commandline.h"

#include "addresslist.h"
#include "command.h"
#include "modulesettings.h"
#include "parameterfile.h"
#include "regularfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {

const QCommandLineOption fromOption({"f", "from"}, "write: start from the settings of parameter file FILE.",
                                    "FILE");
const QCommandLineOption setOption({"s", "set"}, "write: set KEY to VALUE (repeatable; after --from).",
                                   "KEY=VALUE");
const QCommandLineOption noVerifyOption("no-verify",
                                        "write: do not read each module's file back after writing it.");
const QCommandLineOption dryRunOption("dry-run",
                                      "write: read each module and tell what a write would change; "
                                      "write nothing.");
const QCommandLineOption forceOption("force",
                                     "write: write also where a module holds the very bytes already; "
                                     "restore: send also a kept file that holds none of the settings.");
const QCommandLineOption backupOption("backup",
                                      "write: keep each module's file, as read, in DIR, before any "
                                      "module is written.",
                                      "DIR");
const QCommandLineOption saveOption("save", "read: keep each module's file in DIR.", "DIR");
const QCommandLineOption replaceOption("replace",
                                       "read --save, write --backup: replace a module's file kept in DIR "
                                       "before (else it stays as it was).");
const QCommandLineOption addressesOption("addresses",
                                         "Read addresses, ranges or subnets from FILE, one a line "
                                         "(-: standard input).",
                                         "FILE");
const QCommandLineOption maxAddressesOption("max-addresses",
                                            "Let ranges and subnets name up to N addresses "
                                            "(default 4096).",
                                            "N", "4096");
const QCommandLineOption jsonOption("json", "Print one JSON object per module (JSON Lines).");
const QCommandLineOption jobsOption({"j", "jobs"}, "Handle at most N modules at a time (default 256).", "N",
                                    "256");

// "read, write, restore or find"
QString commandList()
{
    QStringList names = Commands::names();
    const QString last = names.takeLast();
    return names.join(QLatin1String(", ")) + QLatin1String(" or ") + last;
}

// The settings of a parameter file given by the user: every key known,
// every value in its range.
QString readSettingsFile(const QString &path, ModuleSettings *settings)
{
    QByteArray text;
    const QString error = RegularFile::read(path, ParameterFile::maxSize, RegularFile::Links::Follow, &text);
    if (!error.isEmpty())
        return QStringLiteral("cannot read %1: %2").arg(path, error);
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

// A folder the tool may write each module's file into: made if need be,
// and tried.
QString checkFolder(const QString &path)
{
    if (!QDir().mkpath(path))
        return QStringLiteral("cannot make the folder %1").arg(path);
    QTemporaryFile probe(QDir(path).filePath(QStringLiteral(".qvtpx-XXXXXX")));
    if (!probe.open())
        return QStringLiteral("cannot write in %1: %2").arg(path, probe.errorString());
    return QString();
}

// Standard input is read to its end; a named file must be a regular one.
// Either holds at most `maximum` lines of addresses, and as many bytes as
// such lines take with their comments.
QString readAddressesFile(const QString &path, int maximum, QStringList *given)
{
    const qint64 maxBytes = qint64(maximum) * 128;
    QByteArray text;
    QString error;
    if (path == QLatin1String("-")) {
        QFile input;
        input.open(stdin, QIODevice::ReadOnly);
        text = input.read(maxBytes + 1);
        if (text.size() > maxBytes)
            error = QStringLiteral("larger than %1 bytes").arg(maxBytes);
    } else {
        error = RegularFile::read(path, maxBytes, RegularFile::Links::Follow, &text);
    }
    const QStringList lines = error.isEmpty() ? Addresses::fromFile(text) : QStringList();
    if (lines.size() > maximum)
        error = QStringLiteral("more than %1 addresses").arg(maximum);
    if (!error.isEmpty())
        return QStringLiteral("cannot read the addresses in %1: %2").arg(path, error)
            + (error.startsWith(QLatin1String("more than")) || error.startsWith(QLatin1String("larger than"))
                   ? QStringLiteral(" (--max-addresses raises the bound)")
                   : QString());
    *given += lines;
    return QString();
}

QString checkWriteOptions(const QCommandLineParser &parser, Request *request)
{
    ModuleSettings settings;
    QString error;
    if (parser.isSet(fromOption))
        error = readSettingsFile(parser.value(fromOption), &settings);
    if (error.isEmpty())
        error = applySettings(parser.values(setOption), &settings);
    request->file = ParameterFile::generate(settings);
    request->verify = !parser.isSet(noVerifyOption);
    request->dryRun = parser.isSet(dryRunOption);
    request->force = parser.isSet(forceOption);
    if (error.isEmpty() && parser.isSet(backupOption))
        error = checkFolder(request->folder = parser.value(backupOption));
    return error;
}

// Each option with the commands it goes with.
QString checkOptionsBelong(const QCommandLineParser &parser, Request::Operation operation)
{
    using Op = Request::Operation;
    const QVector<QPair<QCommandLineOption, QVector<Op>>> belongs {
        {fromOption, {Op::Write}},
        {setOption, {Op::Write}},
        {noVerifyOption, {Op::Write}},
        {dryRunOption, {Op::Write}},
        {forceOption, {Op::Write, Op::Restore}},
        {backupOption, {Op::Write}},
        {saveOption, {Op::Read}},
        {replaceOption, {Op::Read, Op::Write}},
        {addressesOption, {Op::Read, Op::Write, Op::Restore, Op::Find}},
    };
    for (const auto &[option, operations] : belongs) {
        if (parser.isSet(option) && !operations.contains(operation))
            return QStringLiteral("--%1 goes with %2, not %3")
                .arg(option.names().constLast(), Commands::nameOf(operations.first()),
                     Commands::nameOf(operation));
    }
    return QString();
}

QString checkNumbers(const QCommandLineParser &parser, Request *request)
{
    bool isNumber = true;
    request->jobs = parser.value(jobsOption).toInt(&isNumber);
    if (!isNumber || request->jobs < 1 || request->jobs > 1024)
        return QStringLiteral("--jobs takes a number from 1 to 1024");
    request->maxAddresses = parser.value(maxAddressesOption).toInt(&isNumber);
    if (!isNumber || request->maxAddresses < 1)
        return QStringLiteral("--max-addresses takes a number from 1 on");
    return QString();
}

QString checkArguments(const QCommandLineParser &parser, Request *request)
{
    QStringList positional = parser.positionalArguments();
    const QString command = positional.isEmpty() ? QString() : positional.takeFirst();
    if (!Commands::find(command, &request->operation))
        return command.isEmpty() ? QStringLiteral("no command: ") + commandList()
                                 : QStringLiteral("unknown command \"%1\": %2").arg(command, commandList());
    QString error = checkOptionsBelong(parser, request->operation);
    if (error.isEmpty())
        error = checkNumbers(parser, request);
    if (!error.isEmpty())
        return error;
    request->json = parser.isSet(jsonOption);
    if (request->operation == Request::Operation::Restore) {
        if (positional.isEmpty())
            return QStringLiteral("no folder to restore from");
        request->folder = positional.takeFirst();
        if (!QFileInfo(request->folder).isDir())
            return QStringLiteral("%1 is not a folder").arg(request->folder);
    }
    request->given = positional;
    if (parser.isSet(addressesOption))
        error = readAddressesFile(parser.value(addressesOption), request->maxAddresses, &request->given);
    if (error.isEmpty() && request->given.isEmpty() && request->operation != Request::Operation::Find
        && request->operation != Request::Operation::Restore)
        error = QStringLiteral("no module address");
    if (error.isEmpty() && request->operation == Request::Operation::Write)
        error = checkWriteOptions(parser, request);
    if (error.isEmpty() && parser.isSet(saveOption))
        error = checkFolder(request->folder = parser.value(saveOption));
    request->replace = parser.isSet(replaceOption);
    request->force = request->force || parser.isSet(forceOption);
    if (error.isEmpty() && request->replace && !parser.isSet(saveOption) && !parser.isSet(backupOption))
        error = QStringLiteral("--replace goes with --save or --backup");
    return error;
}

} // namespace

bool parseCommandLine(const QStringList &arguments, Request *request, QString *message, int *exitCode)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Reads, or writes, the settings of VTPX02/VTPX04 modules, many at once.\n"
            "read ADDRESS...: prints each module's settings.\n"
            "write [--from FILE] [--set KEY=VALUE]... ADDRESS...: writes one parameter file to every module\n"
            "that holds another: the defaults, or FILE's settings, then each --set; keys: %1.\n"
            "restore DIR [ADDRESS...]: writes back each module's file kept in DIR (read --save, write --backup).\n"
            "find [SUBNET...]: lists the modules on these subnets, or on all of this computer's.\n"
            "An ADDRESS may also be a range of the last number, 192.168.10.21-40, or a subnet, 192.168.10.0/24.")
            .arg(ModuleSettings::names()));
    parser.addPositionalArgument(QStringLiteral("command"), commandList());
    parser.addPositionalArgument(QStringLiteral("addresses"), QStringLiteral("The modules' IPv4 addresses."),
                                 QStringLiteral("ADDRESS..."));
    parser.addOptions({fromOption, setOption, noVerifyOption, dryRunOption, forceOption, backupOption,
                       saveOption, replaceOption, addressesOption, maxAddressesOption, jsonOption,
                       jobsOption});
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
