#include "regularfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace RegularFile {

QString notRegular(const char *kind)
{
    return QStringLiteral("%1, not a regular file").arg(QLatin1String(kind));
}

QString besidePath(const QString &path)
{
    const QFileInfo info(path);
    return info.dir().filePath(QStringLiteral(".%1.%2.part")
                                   .arg(info.fileName())
                                   .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
}

} // namespace RegularFile
