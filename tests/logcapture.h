#ifndef LOGCAPTURE_H
#define LOGCAPTURE_H

#include <QStringList>
#include <QtGlobal>

// Records the program's own log messages, as printed, while it lives.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    Q_DISABLE_COPY(LogCapture)
    // Each message as "level: text".
    QStringList messages() const { return texts; }
    QStringList lines() const { return printed; }
    // Qt's own messages, as they came.
    QStringList qtMessages() const { return fromQt; }
    // A text as the logger quotes it.
    static QString quoted(const QString &text);

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);
    QtMessageHandler previous;
    QStringList printed;
    QStringList texts;
    QStringList fromQt;
};

#endif // LOGCAPTURE_H
