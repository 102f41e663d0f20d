#ifndef SETTINGSSTATE_H
#define SETTINGSSTATE_H

#include "modulesettings.h"

#include <QStringList>

// A module's settings written as "arm/level/timeout/menus", e.g.
// "3/80/120/0000" for the defaults, the menu switches in the file's order;
// the window's controls are written the same way (windowdriver.h).
inline ModuleSettings settingsOf(const QString &state)
{
    static const char *const menuKeys[] = {"backlightmenu", "simulmenu", "timemenu", "networkmenu"};
    const QStringList parts = state.split('/');
    ModuleSettings settings;
    settings.setValue("arm", parts[0].toInt());
    settings.setValue("blighlvl", parts[1].toInt());
    settings.setValue("blightout", parts[2].toInt());
    for (int i = 0; i < 4; ++i)
        settings.setValue(menuKeys[i], parts[3][i] == '1');
    return settings;
}

inline QString stateOf(const ModuleSettings &settings)
{
    QString menus;
    for (const char *key : {"backlightmenu", "simulmenu", "timemenu", "networkmenu"})
        menus += QString::number(settings.value(key));
    return QString("%1/%2/%3/%4")
        .arg(settings.value("arm"))
        .arg(settings.value("blighlvl"))
        .arg(settings.value("blightout"))
        .arg(menus);
}

#endif // SETTINGSSTATE_H
