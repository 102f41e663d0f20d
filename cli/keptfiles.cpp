#include "keptfiles.h"

#include "moduleaddress.h"
#include "parameterfile.h"

#include <QDir>
#include <QFile>

namespace KeptFiles {

QString fileName(const QString &address)
{
    return address + QLatin1Char('.') + QLatin1String(ParameterFile::name);
}

QHash<QString, QByteArray> read(const QString &folder, QStringList *notes)
{
    QHash<QString, QByteArray> kept;
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        const QString address = name.section(QLatin1Char('.'), 0, 3);
        QFile file(QDir(folder).filePath(name));
        if (name != fileName(address) || ModuleAddress::decimalForm(address) != address) {
            *notes << QStringLiteral("%1: not a module's kept file, left out").arg(file.fileName());
            continue;
        }
        const QByteArray bytes
            = file.open(QIODevice::ReadOnly) ? file.read(ParameterFile::maxSize + 1) : QByteArray();
        if (file.error() != QFileDevice::NoError || bytes.size() > ParameterFile::maxSize) {
            *notes << QStringLiteral("%1: cannot be read, or larger than a parameter file: left out")
                          .arg(file.fileName());
            continue;
        }
        kept.insert(address, bytes);
    }
    return kept;
}

} // namespace KeptFiles
