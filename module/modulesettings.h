#ifndef MODULESETTINGS_H
#define MODULESETTINGS_H

#include <QByteArray>
#include <QString>
#include <QVector>

// The settings that a VTPX02/VTPX04 module keeps in its parameter file, as a
// value: each setting by its key, in the file's order. A new setting is one
// more key here and one more row in the table of modulesettings.cpp.
class ModuleSettings
{
public:
    // In the file's order.
    enum class Key {
        Arm,              // the auto-reboot mode
        BacklightLevel,   // in percent
        BacklightTimeout, // in seconds, 0: always on
        BacklightMenu,    // the menu locks
        SimulationMenu,
        TimeMenu,
        NetworkMenu,
    };
    // How a module's file may hold a value beyond the setting's range.
    enum class Kind {
        Choice, // one of its values, or the line is not taken
        Level,  // bounded to the range
        Switch, // 0 is off, anything else on
    };
    struct Setting
    {
        Key key;
        const char *name;    // in the file, "arm"
        const char *comment; // the line above it in a generated file
        int minimum;
        int maximum;
        int defaultValue;
        Kind kind;
    };

    // Every setting, in the file's order.
    static const QVector<Setting> &table();
    static const Setting &setting(Key key) { return table()[int(key)]; }
    // The setting of this name in a file, or null.
    static const Setting *find(const QByteArray &name);
    // The names, "arm, blighlvl, ..., networkmenu".
    static QString names();

    // The defaults, as Restore defaults sets them.
    ModuleSettings();

    int value(Key key) const { return values[int(key)]; }
    // Sets a value as a module reads it: a level is bounded to its range,
    // a switch is 0 or 1; a choice outside its values changes nothing.
    void setValue(Key key, int value);
    // Sets a value given as text, strictly: the name known, the value a
    // decimal number in the setting's range. Returns why not, or nothing.
    QString setFromText(const QByteArray &name, const QByteArray &value);

    // Text from a file or a user as it may be shown on one line: every
    // byte but printable ASCII as %XX.
    static QString printable(const QByteArray &text);

    bool operator==(const ModuleSettings &other) const { return values == other.values; }
    bool operator!=(const ModuleSettings &other) const { return values != other.values; }

private:
    QVector<int> values; // by key
};

#endif // MODULESETTINGS_H
