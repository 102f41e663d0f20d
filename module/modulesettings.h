#ifndef MODULESETTINGS_H
#define MODULESETTINGS_H

#include <QByteArray>
#include <QString>
#include <QVector>

// The settings that a VTPX02/VTPX04 module keeps in its parameter file, as a
// value: each setting by its key in the file, in the file's order. A new
// setting is one more row in the table of modulesettings.cpp.
class ModuleSettings
{
public:
    // How a module's file may hold a value beyond the setting's range.
    enum class Kind {
        Choice, // one of its values, or the line is not taken
        Level,  // bounded to the range
        Switch, // 0 is off, anything else on
    };
    struct Setting
    {
        const char *key;
        const char *comment; // the line above it in a generated file
        int minimum;
        int maximum;
        int defaultValue;
        Kind kind;
    };

    // Every setting, in the file's order.
    static const QVector<Setting> &table();
    // The setting of this key, or null.
    static const Setting *find(const QByteArray &key);

    // The defaults, as Restore defaults sets them.
    ModuleSettings();

    int value(const char *key) const;
    // Sets a value as a module reads it: a level is bounded to its range,
    // a switch is 0 or 1; a choice outside its values changes nothing.
    void setValue(const char *key, int value);
    // Sets a value given as text, strictly: the key known, the value a
    // decimal number in the setting's range. Returns why not, or nothing.
    QString setFromText(const QByteArray &key, const QByteArray &value);

    // Text from a file or a user as it may be shown on one line: every
    // byte but printable ASCII as %XX.
    static QString printable(const QByteArray &text);

    bool operator==(const ModuleSettings &other) const { return values == other.values; }

private:
    QVector<int> values; // in the table's order
};

#endif // MODULESETTINGS_H
