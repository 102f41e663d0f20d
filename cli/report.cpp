#include "report.h"

#include "moduleoutcome.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Report {

namespace {

// Beyond ASCII, as JSON writes it: the same on any console, in any code page.
QString escaped(QChar c)
{
    return QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
}

} // namespace

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

QByteArray textLines(const ModuleOutcome &outcome)
{
    const QByteArray address = oneLine(outcome.address).toUtf8();
    QByteArray line = address;
    switch (outcome.result) {
    case ModuleOutcome::Result::Failed:
        line += " error: " + oneLine(outcome.error).toUtf8();
        break;
    case ModuleOutcome::Result::Sent:
        line += " written";
        break;
    case ModuleOutcome::Result::Unverified:
        line += " written, not verified: interrupted";
        break;
    case ModuleOutcome::Result::Read:
    case ModuleOutcome::Result::Written:
        for (const ModuleSettings::Setting &setting : ModuleSettings::table())
            line += ' ' + QByteArray(setting.name) + '='
                + QByteArray::number(outcome.settings.value(setting.key));
        break;
    }
    line += '\n';
    for (const QString &warning : outcome.warnings)
        line += address + " warning: " + oneLine(warning).toUtf8() + '\n';
    return line;
}

QByteArray jsonLine(const ModuleOutcome &outcome)
{
    QJsonObject object {{QStringLiteral("address"), outcome.address}, {QStringLiteral("ok"), outcome.ok()}};
    if (!outcome.ok())
        object.insert(QStringLiteral("error"), outcome.error);
    if (outcome.result == ModuleOutcome::Result::Unverified)
        object.insert(QStringLiteral("verified"), false);
    if (outcome.hasSettings()) {
        for (const ModuleSettings::Setting &setting : ModuleSettings::table())
            object.insert(QLatin1String(setting.name), outcome.settings.value(setting.key));
    }
    if (!outcome.warnings.isEmpty())
        object.insert(QStringLiteral("warnings"), QJsonArray::fromStringList(outcome.warnings));
    // Outside JSON's strings all is ASCII: each other character is in one.
    QString json = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    QString ascii;
    for (const QChar c : qAsConst(json))
        ascii += c.unicode() > 0x7f ? escaped(c) : QString(c);
    return ascii.toLatin1() + '\n';
}

} // namespace Report
