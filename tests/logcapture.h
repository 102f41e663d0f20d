#ifndef LOGCAPTURE_H
#define LOGCAPTURE_H

#include <QStringList>
#include <QtGlobal>

// Records the program's log messages, formatted as the program prints them
// (through the message pattern), for as long as it lives.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // Each message as "level: text", the text being what follows " - ".
    QStringList messages() const;
    // Each message exactly as printed.
    QStringList lines() const { return printed; }
    void clear();

    // A text as the logger quotes it, e.g. "a\nb" with the quotes.
    static QString quoted(const QString &text);

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);

    QtMessageHandler previous;
    QStringList printed;
    QList<QtMsgType> types;
};

#endif // LOGCAPTURE_H
