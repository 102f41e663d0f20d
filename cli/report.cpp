#include "report.h"

#include "moduleoutcome.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

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

QString resultName(const ModuleOutcome &outcome)
{
    switch (outcome.result) {
    case Result::Written:
    case Result::Sent:
    case Result::Unverified:
    case Result::Restored:
        return QStringLiteral("written");
    case Result::Unchanged:
        return QStringLiteral("unchanged");
    case Result::WouldChange:
        return QStringLiteral("would change");
    case Result::Failed:
        return QStringLiteral("failed");
    case Result::Read:
        return QStringLiteral("read");
    case Result::Found:
    case Result::NoModule:
        break;
    }
    return QStringLiteral("found");
}

QByteArray whatWasDone(const ModuleOutcome &outcome)
{
    const QByteArray changes = Report::oneLine(Report::changes(outcome)).toUtf8();
    switch (outcome.result) {
    case Result::Failed:
        return " error: " + Report::oneLine(outcome.error).toUtf8();
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
    if (!outcome.ok())
        object.insert(QStringLiteral("error"), outcome.error);
    if (outcome.result == Result::Unverified || outcome.result == Result::Sent)
        object.insert(QStringLiteral("verified"), false);
    if (outcome.hasBefore()) {
        object.insert(QStringLiteral("result"), resultName(outcome));
        object.insert(QStringLiteral("changes"), changes(outcome));
        if (outcome.before == ModuleOutcome::Before::Settings)
            object.insert(QStringLiteral("before"), settingsObject(outcome.beforeSettings));
    }
    if (!outcome.warnings.isEmpty())
        object.insert(QStringLiteral("warnings"), QJsonArray::fromStringList(outcome.warnings));
    // Outside JSON's strings all is ASCII: each other character is in one.
    const QString json = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    QString ascii;
    for (const QChar c : json)
        ascii += c.unicode() > 0x7f ? escaped(c) : QString(c);
    return ascii.toLatin1() + '\n';
}

QString summary(const QVector<ModuleOutcome> &outcomes)
{
    QMap<int, int> counts; // by result, in the enumeration's order
    QStringList failed;
    for (const ModuleOutcome &outcome : outcomes) {
        ++counts[int(outcome.result)];
        if (!outcome.ok())
            failed << oneLine(outcome.address);
    }
    static const char *const names[] = {
        "failed",       "read",     "written", "written, not read back", "written, not verified", "unchanged",
        "would change", "restored", "modules", "without a module"};
    QStringList parts;
    for (auto count = counts.cbegin(); count != counts.cend(); ++count) {
        const bool oneModule = count.key() == int(Result::Found) && count.value() == 1;
        if (count.key() != int(Result::Failed))
            parts
                << QStringLiteral("%1 %2").arg(count.value()).arg(oneModule ? "module" : names[count.key()]);
    }
    if (!failed.isEmpty())
        parts << QStringLiteral("%1 failed: %2")
                     .arg(failed.size())
                     .arg(failed.size() <= 10
                              ? failed.join(QLatin1String(", "))
                              : failed.mid(0, 10).join(QLatin1String(", ")) + QStringLiteral(", ..."));
    const int all = int(outcomes.size());
    const bool found = counts.contains(int(Result::Found)) || counts.contains(int(Result::NoModule));
    const QString noun = found ? (all == 1 ? "address" : "addresses") : (all == 1 ? "module" : "modules");
    return QStringLiteral("%1 %2: %3").arg(all).arg(noun, parts.join(QLatin1String(", ")));
}

} // namespace Report
