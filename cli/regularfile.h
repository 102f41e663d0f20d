#ifndef REGULARFILE_H
#define REGULARFILE_H

#include <QByteArray>
#include <QString>

// The console tool's files on the user's disk, read and made so that
// nothing blocks, nothing is half written and nothing goes through a link
// to somewhere else: what is opened is checked to be a regular file before
// a byte of it is read, and a file is made beside its place, flushed to
// the disk and only then moved there. QFile would open a FIFO and wait for
// a writer, and QSaveFile writes through a link to its target.
namespace RegularFile {

// Whether a link at the path is followed (a file the user names) or
// refused (a file in a folder that others may write to).
enum class Links { Follow, Refuse };

// Reads the regular file at path, at most maxBytes of it. Returns why it
// cannot be read ("a FIFO, not a regular file", "larger than N bytes",
// the system's words), or an empty text.
QString read(const QString &path, qint64 maxBytes, Links links, QByteArray *bytes);

enum class Made {
    Now,     // the file holds the bytes
    Earlier, // a regular file was there already, and is left as it was
    Not,     // *error says why; whatever was there is left as it was
};
// Makes the file at path hold exactly these bytes, or leaves it as it
// was. A regular file already there is replaced only with `replace`;
// anything else there (a link, a FIFO, a folder) is never touched.
Made make(const QString &path, const QByteArray &bytes, bool replace, QString *error);

// Why something that is not a regular file is refused.
QString notRegular(const char *kind);
// Where a file is written before it is moved to path: beside it, hidden.
QString besidePath(const QString &path);

} // namespace RegularFile

#endif // REGULARFILE_H
