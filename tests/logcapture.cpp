#include "logcapture.h"

#include <QDebug>

namespace {
LogCapture *currentLog = nullptr;
} // namespace

LogCapture::LogCapture() : previous(qInstallMessageHandler(handler))
{
    currentLog = this;
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous);
    currentLog = nullptr;
}

// Only the program's own messages carry a source file: Qt's are kept
// apart, and passed on.
void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    static const char *const levels[] = {"debug", "warning", "critical", "fatal", "info"};
    if (!context.file) {
        currentLog->fromQt << message;
        return currentLog->previous(type, context, message);
    }
    currentLog->printed << qFormatLogMessage(type, context, message);
    currentLog->texts << QString(levels[type]) + ": " + message;
}

QString LogCapture::quoted(const QString &text)
{
    QString result;
    QDebug(&result).nospace() << text;
    return result;
}
