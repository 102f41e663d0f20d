#include "parameterfile.h"

#include <QBuffer>
#include <QDebug>

namespace ParameterFile {

QByteArray generate(const ModuleSettings &settings)
{
    QByteArray text = "[global]\n";
    for (const ModuleSettings::Setting &setting : ModuleSettings::table()) {
        text += QByteArray(setting.comment) + '\n';
        text += QByteArray(setting.key) + '=' + QByteArray::number(settings.value(setting.key), 10) + '\n';
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

// A value that is not wholly a decimal integer is refused: read as 0 it
// would silently turn a setting off on the next write.
bool take(const Line &line, const ModuleSettings::Setting &setting, int *value, Logging logging)
{
    bool isNumber = false;
    *value = QString::fromUtf8(line.value).toInt(&isNumber, 10);
    const bool unhandled = isNumber && setting.kind == ModuleSettings::Kind::Choice
        && (*value < setting.minimum || *value > setting.maximum);
    if (logging == Logging::EachLine && !isNumber)
        qWarning() << "Invalid value" << line.text;
    if (logging == Logging::EachLine && unhandled)
        qWarning() << "Unhandled value for" << setting.key << line.text;
    return isNumber && !unhandled;
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
        if (setting && take(line, *setting, &value, logging))
            assignments.append({setting, value});
        if (logged)
            qDebug() << line.text;
    }
    return assignments;
}

ModuleSettings settingsOf(const QByteArray &text)
{
    ModuleSettings settings;
    const QVector<Assignment> assignments = read(text, Logging::None);
    for (const Assignment &assignment : assignments)
        settings.setValue(assignment.setting->key, assignment.value);
    return settings;
}

} // namespace ParameterFile
