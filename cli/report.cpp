#include "report.h"

#include "batch.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace Report {

QByteArray textLine(const ModuleOutcome &outcome)
{
    QByteArray line = outcome.address.toUtf8();
    if (!outcome.error.isEmpty()) {
        line += " error: " + outcome.error.toUtf8();
    } else if (!outcome.hasSettings) {
        line += " written";
    } else {
        for (const ModuleSettings::Setting &setting : ModuleSettings::table())
            line += ' ' + QByteArray(setting.key) + '='
                + QByteArray::number(outcome.settings.value(setting.key));
    }
    return line + '\n';
}

QByteArray jsonLine(const ModuleOutcome &outcome)
{
    QJsonObject object {{QStringLiteral("address"), outcome.address},
                        {QStringLiteral("ok"), outcome.error.isEmpty()}};
    if (!outcome.error.isEmpty())
        object.insert(QStringLiteral("error"), outcome.error);
    if (outcome.hasSettings) {
        for (const ModuleSettings::Setting &setting : ModuleSettings::table())
            object.insert(QLatin1String(setting.key), outcome.settings.value(setting.key));
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace Report
