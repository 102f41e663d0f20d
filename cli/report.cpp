#include "report.h"

#include "moduleoutcome.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <iterator>

namespace {

using Result = ModuleOutcome::Result;

// Beyond ASCII, as JSON writes it: the same on any console, in any code page.
QString escaped(QChar c)
{
    return QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
}

QJsonObject settingsObject(const ModuleSettings &settings)
{
    QJsonObject object;
    for (const ModuleSettings::Setting &setting : ModuleSettings::table())
        object.insert(QLatin1String(setting.name), settings.value(setting.key));
    return object;
}

// Each result's words: in JSON's "result", and in the summary, in its order.
struct Words
{
    Result result;
    const char *json;
    const char *summary;
};
constexpr Words words[] = {
    {Result::Read, "read", "read"},
    {Result::Written, "written", "written"},
    {Result::Sent, "written", "written, not read back"},
    {Result::Unverified, "written", "written, not verified"},
    {Result::Unchanged, "unchanged", "unchanged"},
    {Result::WouldChange, "would change", "would change"},
    {Result::Restored, "restored", "restored"},
    {Result::Found, "found", "modules"},
    {Result::NoModule, "no module", "without a module"},
    {Result::NotDone, "not done", "not done"},
    {Result::Failed, "failed", "failed"},
};

const Words &wordsFor(Result result)
{
    return *std::find_if(std::begin(words), std::end(words),
                         [result](const Words &entry) { return entry.result == result; });
}

QJsonValue beforeValue(const ModuleOutcome &outcome)
{
    switch (outcome.before) {
    case ModuleOutcome::Before::Settings:
        return settingsObject(outcome.beforeSettings);
    case ModuleOutcome::Before::NoSettings:
        return QJsonObject();
    case ModuleOutcome::Before::NoFile:
    case ModuleOutcome::Before::NotRead:
        break;
    }
    return QJsonValue::Null;
}

QByteArray whatWasDone(const ModuleOutcome &outcome)
{
    const QByteArray changes = Report::oneLine(Report::changes(outcome)).toUtf8();
    switch (outcome.result) {
    case Result::Failed:
        return " error: " + Report::oneLine(outcome.error).toUtf8();
    case Result::NotDone:
        return " error: not done: interrupted";
    case Result::Written:
        return " written: " + changes;
    case Result::Sent:
        return " written, not read back: " + changes;
    case Result::Unverified:
        return " written, not verified: interrupted";
    case Result::Unchanged:
        return " unchanged";
    case Result::WouldChange:
        return " would change: " + changes;
    case Result::Restored:
        return " restored (" + QByteArray::number(outcome.restoredSize) + " bytes)";
    case Result::Read:
        break;
    case Result::Found:
    case Result::NoModule:
        return QByteArray();
    }
    QByteArray line;
    for (const ModuleSettings::Setting &setting : ModuleSettings::table())
        line
            += ' ' + QByteArray(setting.name) + '=' + QByteArray::number(outcome.settings.value(setting.key));
    return line;
}

} // namespace

namespace Report {

QString oneLine(const QString &text)
{
    QString line;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            line += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            line += QLatin1String("\\t");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            line += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else if (c.unicode() > 0x7f)
            line += escaped(c);
        else
            line += c;
    }
    return line;
}

QString changes(const ModuleOutcome &outcome)
{
    if (outcome.result == Result::Unchanged)
        return QString();
    if (outcome.before == ModuleOutcome::Before::NoFile)
        return QStringLiteral("it had no file");
    if (outcome.before == ModuleOutcome::Before::NoSettings)
        return QStringLiteral("its file held none of the settings (%1 bytes)").arg(outcome.beforeSize);
    QStringList changed;
    for (const ModuleSettings::Setting &setting : ModuleSettings::table()) {
        const int before = outcome.beforeSettings.value(setting.key);
        const int after = outcome.written.value(setting.key);
        if (before != after)
            changed << QStringLiteral("%1 %2->%3").arg(QLatin1String(setting.name)).arg(before).arg(after);
    }
    return changed.isEmpty() ? QStringLiteral("the same settings, the file in full") : changed.join(' ');
}

QByteArray textLines(const ModuleOutcome &outcome)
{
    const QByteArray address = oneLine(outcome.address).toUtf8();
    QByteArray lines = address + whatWasDone(outcome) + '\n';
    for (const QString &warning : outcome.warnings)
        lines += address + " warning: " + oneLine(warning).toUtf8() + '\n';
    return lines;
}

QByteArray jsonLine(const ModuleOutcome &outcome)
{
    QJsonObject object = outcome.hasSettings() ? settingsObject(outcome.settings) : QJsonObject();
    object.insert(QStringLiteral("address"), outcome.address);
    object.insert(QStringLiteral("ok"), outcome.ok());
    object.insert(QStringLiteral("result"), QLatin1String(wordsFor(outcome.result).json));
    if (outcome.result == Result::Failed)
        object.insert(QStringLiteral("error"), outcome.error);
    if (outcome.result == Result::NotDone)
        object.insert(QStringLiteral("error"), QStringLiteral("not done: interrupted"));
    if (outcome.result == Result::Unverified || outcome.result == Result::Sent)
        object.insert(QStringLiteral("verified"), false);
    if (outcome.before != ModuleOutcome::Before::NotRead)
        object.insert(QStringLiteral("before"), beforeValue(outcome));
    if (outcome.hasChanges()) {
        object.insert(QStringLiteral("changes"), changes(outcome));
        object.insert(QStringLiteral("after"), settingsObject(outcome.written));
    }
    if (outcome.result == Result::Restored)
        object.insert(QStringLiteral("bytes"), outcome.restoredSize);
    if (!outcome.warnings.isEmpty())
        object.insert(QStringLiteral("warnings"), QJsonArray::fromStringList(outcome.warnings));
    // Outside JSON's strings all is ASCII: each other character is in one.
    const QString json = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    QString ascii;
    for (const QChar c : json)
        ascii += c.unicode() > 0x7f ? escaped(c) : QString(c);
    return ascii.toLatin1() + '\n';
}

QString summary(const QVector<ModuleOutcome> &outcomes, Counted counted)
{
    QHash<int, int> counts;
    QStringList failed;
    for (const ModuleOutcome &outcome : outcomes) {
        ++counts[int(outcome.result)];
        if (outcome.result == Result::Failed)
            failed << oneLine(outcome.address);
    }
    QStringList parts;
    for (const Words &entry : words) {
        const int count = counts.value(int(entry.result));
        if (count == 0 || entry.result == Result::Failed)
            continue;
        const bool oneModule = entry.result == Result::Found && count == 1;
        parts << QStringLiteral("%1 %2").arg(count).arg(oneModule ? "module" : entry.summary);
    }
    if (!failed.isEmpty())
        parts << QStringLiteral("%1 failed: %2")
                     .arg(failed.size())
                     .arg(failed.size() <= 10
                              ? failed.join(QLatin1String(", "))
                              : failed.mid(0, 10).join(QLatin1String(", ")) + QStringLiteral(", ..."));
    const int all = int(outcomes.size());
    const QString noun = counted == Counted::Addresses ? (all == 1 ? "address" : "addresses")
                                                       : (all == 1 ? "module" : "modules");
    return QStringLiteral("%1 %2: %3").arg(all).arg(noun, parts.join(QLatin1String(", ")));
}

} // namespace Report
