#include "keptfiles.h"

#include "moduleaddress.h"
#include "parameterfile.h"
#include "regularfile.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#include <algorithm>

KeptFiles::KeptFiles(const QString &folder, bool replace) : folder(folder), replace(replace) { }

KeptFiles::~KeptFiles() = default;

QString KeptFiles::take()
{
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot make the folder %1").arg(folder);
    lock = std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral(".qvtpx0xtweaker-cli.lock")));
    lock->setStaleLockTime(0); // held as long as the run lasts; a lock of a run that has ended is stale
    if (lock->tryLock(0))
        return QString();
    qint64 process = 0;
    QString host;
    QString application;
    if (lock->error() == QLockFile::LockFailedError && lock->getLockInfo(&process, &host, &application))
        return QStringLiteral("%1 is in use by another run (process %2 on %3): try again once it has ended")
            .arg(folder, QString::number(process), host);
    return QStringLiteral("cannot write in %1 (is its disk full?)").arg(folder);
}

QString KeptFiles::path(const QString &address) const
{
    return QDir(folder).filePath(address + QLatin1Char('.') + QLatin1String(ParameterFile::name));
}

QString KeptFiles::keep(const QString &address, const QByteArray &file, bool *earlier) const
{
    QString error;
    const RegularFile::Made made = RegularFile::make(path(address), file, replace, &error);
    *earlier = made == RegularFile::Made::Earlier;
    return made == RegularFile::Made::Not ? path(address) + QStringLiteral(": ") + error : QString();
}

QStringList KeptFiles::addresses(QStringList *notes) const
{
    QStringList addresses;
    const QStringList names
        = QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        const QString address = name.section(QLatin1Char('.'), 0, 3);
        if (QDir(folder).filePath(name) == path(address) && ModuleAddress::decimalForm(address) == address)
            addresses << address;
        else
            *notes
                << QStringLiteral("%1: not a module's kept file, left out").arg(QDir(folder).filePath(name));
    }
    std::sort(addresses.begin(), addresses.end(), ModuleAddress::ascending);
    return addresses;
}

QString KeptFiles::read(const QString &address, QByteArray *file) const
{
    const QFileInfo kept(path(address));
    if (!kept.exists() && !kept.isSymLink())
        return QStringLiteral("no file of it kept in %1").arg(folder);
    const QString error
        = RegularFile::read(path(address), ParameterFile::maxSize, RegularFile::Links::Refuse, file);
    return error.isEmpty() ? QString() : path(address) + QStringLiteral(": ") + error;
}
