#ifndef SETTINGSSTATE_H
#define SETTINGSSTATE_H

#include "modulesettings.h"

#include <QStringList>
#include <QtGlobal>

// A module's settings as the tests write them: "arm=1 blighlvl=33", the
// file's names, each with its value; a setting not named is at its
// default. The window's controls are written the same way (windowdriver.h).
inline ModuleSettings settingsOf(const QString &text)
{
    ModuleSettings settings;
    const QStringList pairs = text.split(' ', Qt::SkipEmptyParts);
    for (const QString &pair : pairs) {
        const QStringList parts = pair.split('=');
        const ModuleSettings::Setting *setting = ModuleSettings::find(parts.value(0).toLatin1());
        if (!setting || parts.size() != 2)
            qFatal("not a setting: %s", qPrintable(pair));
        settings.setValue(setting->key, parts[1].toInt());
    }
    return settings;
}

// Every setting, by name, in the file's order.
inline QString stateOf(const ModuleSettings &settings)
{
    QStringList pairs;
    for (const ModuleSettings::Setting &setting : ModuleSettings::table())
        pairs << QString("%1=%2").arg(setting.name).arg(settings.value(setting.key));
    return pairs.join(' ');
}

// Every setting at its default: the text that names none.
constexpr char defaults[] = "";

// What a text names, over the defaults, written whole.
inline QString fullState(const QString &text)
{
    return stateOf(settingsOf(text));
}

#endif // SETTINGSSTATE_H
