#include "parameterfile.h"

#include <QBuffer>
#include <QDebug>

namespace ParameterFile {

QByteArray generate(const ModuleSettings &settings)
{
    QByteArray text = "[global]\n";
    for (const ModuleSettings::Setting &setting : ModuleSettings::table()) {
        text += QByteArray(setting.comment) + '\n';
        text += QByteArray(setting.name) + '=' + QByteArray::number(settings.value(setting.key), 10) + '\n';
    }
    return text;
}

QVector<Line> lines(const QByteArray &text)
{
    QVector<Line> result;
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    while (!buffer.atEnd()) {
        Line line {Line::Kind::Ignored, buffer.readLine(0).simplified(), {}, {}};
        if (!line.text.isEmpty() && !line.text.startsWith('#') && line.text.contains('=')) {
            const QList<QByteArray> parts = line.text.split('=');
            line.kind = parts.size() == 2 ? Line::Kind::KeyValue : Line::Kind::Unsplittable;
            if (parts.size() == 2) {
                line.key = parts[0];
                line.value = parts[1];
            }
        }
        result.append(line);
    }
    return result;
}

namespace {

enum class Taken { Yes, NotANumber, NotAChoice };

// A value that is not wholly a decimal integer is refused: read as 0 it
// would silently turn a setting off on the next write.
Taken take(const Line &line, const ModuleSettings::Setting &setting, int *value)
{
    bool isNumber = false;
    *value = QString::fromUtf8(line.value).toInt(&isNumber, 10);
    if (!isNumber)
        return Taken::NotANumber;
    if (setting.kind == ModuleSettings::Kind::Choice
        && (*value < setting.minimum || *value > setting.maximum))
        return Taken::NotAChoice;
    return Taken::Yes;
}

} // namespace

QVector<Assignment> read(const QByteArray &text, Logging logging)
{
    QVector<Assignment> assignments;
    const bool logged = logging == Logging::EachLine;
    const QVector<Line> allLines = lines(text);
    for (const Line &line : allLines) {
        if (line.kind == Line::Kind::Ignored) {
            if (logged)
                qInfo() << "Ignore line" << line.text;
            continue;
        }
        if (line.kind == Line::Kind::Unsplittable) {
            if (logged)
                qWarning() << "line can not be splitted" << line.text;
            continue;
        }
        const ModuleSettings::Setting *setting = ModuleSettings::find(line.key);
        int value = 0;
        const Taken taken = setting ? take(line, *setting, &value) : Taken::Yes;
        if (setting && taken == Taken::Yes)
            assignments.append({setting, value});
        if (logged && taken == Taken::NotANumber)
            qWarning() << "Invalid value" << line.text;
        if (logged && taken == Taken::NotAChoice)
            qWarning() << "Unhandled value for" << setting->name << line.text;
        if (logged)
            qDebug() << line.text;
    }
    return assignments;
}

ModuleSettings settingsOf(const QByteArray &text)
{
    return readModuleFile(text).settings;
}

Reading readModuleFile(const QByteArray &text)
{
    Reading reading;
    const QVector<Line> allLines = lines(text);
    for (const Line &line : allLines) {
        const ModuleSettings::Setting *setting
            = line.kind == Line::Kind::KeyValue ? ModuleSettings::find(line.key) : nullptr;
        if (!setting)
            continue;
        ++reading.settingLines;
        int value = 0;
        const Taken taken = take(line, *setting, &value);
        if (taken == Taken::Yes)
            reading.settings.setValue(setting->key, value);
        const QString range = QStringLiteral("%1 to %2").arg(setting->minimum).arg(setting->maximum);
        QString problem;
        if (taken == Taken::NotANumber)
            problem = QStringLiteral("is not a number");
        else if (taken == Taken::NotAChoice)
            problem = QStringLiteral("is not one of ") + range;
        else if (value < setting->minimum || value > setting->maximum)
            problem = QStringLiteral("is out of range ") + range;
        if (!problem.isEmpty())
            reading.warnings << QStringLiteral("%1 %2: read as %3")
                                    .arg(ModuleSettings::printable(line.text), problem,
                                         QString::number(reading.settings.value(setting->key)));
    }
    return reading;
}

} // namespace ParameterFile
