#ifndef KEPTFILES_H
#define KEPTFILES_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class QLockFile;

// The modules' files kept in a folder, each as <address>.vtpx_domo: made
// by read --save and write --backup, sent back by restore. A kept file is
// the user's record of a module as it was, so it is whole or not there,
// a regular file of the tool's own (never a link, a FIFO or a device,
// neither made nor read through one), and the first one kept of a module
// stays until the user asks to replace it. One run at a time uses a
// folder.
class KeptFiles
{
public:
    explicit KeptFiles(const QString &folder, bool replace = false);
    ~KeptFiles();

    // Makes the folder if need be, and takes it for this run; another
    // run is refused it until this one ends. Returns why not, or an
    // empty text.
    QString take();

    QString path(const QString &address) const;
    // Keeps the module's file; *earlier tells that a file kept before
    // was there and has been left as it was. Returns why it could not be
    // kept, or an empty text.
    QString keep(const QString &address, const QByteArray &file, bool *earlier) const;

    // The modules whose files lie in the folder, in ascending order;
    // *notes has a line for each other name there.
    QStringList addresses(QStringList *notes) const;
    // The module's kept file: why it cannot be read, or an empty text.
    QString read(const QString &address, QByteArray *file) const;

private:
    QString folder;
    bool replace;
    std::unique_ptr<QLockFile> lock;
};

#endif // KEPTFILES_H
