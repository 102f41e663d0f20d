#ifndef KEPTFILES_H
#define KEPTFILES_H

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

// The modules' files kept in a folder by read --save or write --backup,
// each as <address>.vtpx_domo.
namespace KeptFiles {

QString fileName(const QString &address);

// Each module's file, by its address; a file whose name is no address's is
// passed over with a note, and so is one larger than a parameter file.
QHash<QString, QByteArray> read(const QString &folder, QStringList *notes);

} // namespace KeptFiles

#endif // KEPTFILES_H
