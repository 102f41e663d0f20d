#include "modulesettings.h"

#include <QStringList>

namespace {
const char menuComment[] = "#0=full access;1=read-only;other=forced to 1";
} // namespace

const QVector<ModuleSettings::Setting> &ModuleSettings::table()
{
    static const QVector<Setting> settings = {
        {Key::Arm, "arm", "#0=disable;1=night;2=day;3=watchdog only", 0, 3, 3, Kind::Choice},
        {Key::BacklightLevel, "blighlvl", "#0%-100%", 0, 100, 80, Kind::Level},
        {Key::BacklightTimeout, "blightout", "#in seconds. 0=always ON", 0, 600, 120, Kind::Level},
        {Key::BacklightMenu, "backlightmenu", menuComment, 0, 1, 0, Kind::Switch},
        {Key::SimulationMenu, "simulmenu", menuComment, 0, 1, 0, Kind::Switch},
        {Key::TimeMenu, "timemenu", menuComment, 0, 1, 0, Kind::Switch},
        {Key::NetworkMenu, "networkmenu", menuComment, 0, 1, 0, Kind::Switch},
    };
    return settings;
}

const ModuleSettings::Setting *ModuleSettings::find(const QByteArray &name)
{
    for (const Setting &setting : table()) {
        if (name == setting.name)
            return &setting;
    }
    return nullptr;
}

QString ModuleSettings::names()
{
    QStringList names;
    for (const Setting &setting : table())
        names << QLatin1String(setting.name);
    return names.join(QLatin1String(", "));
}

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

ModuleSettings::ModuleSettings()
{
    for (const Setting &setting : table())
        values.append(setting.defaultValue);
}

void ModuleSettings::setValue(Key key, int value)
{
    const Setting &row = setting(key);
    switch (row.kind) {
    case Kind::Choice:
        if (value >= row.minimum && value <= row.maximum)
            values[int(key)] = value;
        break;
    case Kind::Level:
        values[int(key)] = qBound(row.minimum, value, row.maximum);
        break;
    case Kind::Switch:
        values[int(key)] = value != 0 ? 1 : 0;
        break;
    }
}

QString ModuleSettings::setFromText(const QByteArray &name, const QByteArray &value)
{
    const Setting *row = find(name);
    if (!row)
        return QStringLiteral("unknown setting \"%1\"").arg(printable(name));
    bool isNumber = !value.isEmpty() && value.size() <= 9;
    for (char c : value)
        isNumber = isNumber && c >= '0' && c <= '9';
    const int number = isNumber ? value.toInt() : -1;
    if (!isNumber || number < row->minimum || number > row->maximum)
        return QStringLiteral("%1 must be a whole number from %2 to %3, not \"%4\"")
            .arg(QLatin1String(row->name), QString::number(row->minimum), QString::number(row->maximum),
                 printable(value));
    values[int(row->key)] = number;
    return QString();
}
