#include "modulesettings.h"

namespace {

const char menuComment[] = "#0=full access;1=read-only;other=forced to 1";

int indexOf(const char *key)
{
    const QVector<ModuleSettings::Setting> &table = ModuleSettings::table();
    for (int i = 0; i < table.size(); ++i) {
        if (qstrcmp(table[i].key, key) == 0)
            return i;
    }
    Q_ASSERT_X(false, "ModuleSettings", key);
    return -1;
}

} // namespace

QString ModuleSettings::printable(const QByteArray &text)
{
    QString shown;
    for (char c : text) {
        if (c >= ' ' && c <= '~' && c != '%')
            shown += QLatin1Char(c);
        else
            shown += QStringLiteral("%%1").arg(uchar(c), 2, 16, QLatin1Char('0')).toUpper();
    }
    return shown;
}

const QVector<ModuleSettings::Setting> &ModuleSettings::table()
{
    static const QVector<Setting> settings = {
        {"arm", "#0=disable;1=night;2=day;3=watchdog only", 0, 3, 3, Kind::Choice},
        {"blighlvl", "#0%-100%", 0, 100, 80, Kind::Level},
        {"blightout", "#in seconds. 0=always ON", 0, 600, 120, Kind::Level},
        {"backlightmenu", menuComment, 0, 1, 0, Kind::Switch},
        {"simulmenu", menuComment, 0, 1, 0, Kind::Switch},
        {"timemenu", menuComment, 0, 1, 0, Kind::Switch},
        {"networkmenu", menuComment, 0, 1, 0, Kind::Switch},
    };
    return settings;
}

const ModuleSettings::Setting *ModuleSettings::find(const QByteArray &key)
{
    for (const Setting &setting : table()) {
        if (key == setting.key)
            return &setting;
    }
    return nullptr;
}

ModuleSettings::ModuleSettings()
{
    for (const Setting &setting : table())
        values.append(setting.defaultValue);
}

int ModuleSettings::value(const char *key) const
{
    return values.value(indexOf(key));
}

void ModuleSettings::setValue(const char *key, int value)
{
    const int index = indexOf(key);
    if (index < 0)
        return;
    const Setting &setting = table()[index];
    switch (setting.kind) {
    case Kind::Choice:
        if (value >= setting.minimum && value <= setting.maximum)
            values[index] = value;
        break;
    case Kind::Level:
        values[index] = qBound(setting.minimum, value, setting.maximum);
        break;
    case Kind::Switch:
        values[index] = value != 0 ? 1 : 0;
        break;
    }
}

QString ModuleSettings::setFromText(const QByteArray &key, const QByteArray &value)
{
    const Setting *setting = find(key);
    if (!setting)
        return QStringLiteral("unknown setting \"%1\"").arg(printable(key));
    bool isNumber = !value.isEmpty() && value.size() <= 9;
    for (char c : value)
        isNumber = isNumber && c >= '0' && c <= '9';
    const int number = isNumber ? value.toInt() : -1;
    if (!isNumber || number < setting->minimum || number > setting->maximum)
        return QStringLiteral("%1 must be a whole number from %2 to %3, not \"%4\"")
            .arg(QLatin1String(setting->key))
            .arg(setting->minimum)
            .arg(setting->maximum)
            .arg(printable(value));
    values[indexOf(setting->key)] = number;
    return QString();
}
