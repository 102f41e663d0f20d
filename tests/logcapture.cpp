#include "logcapture.h"

#include <QDebug>

namespace {
LogCapture *current = nullptr;
}

LogCapture::LogCapture() : previous(qInstallMessageHandler(handler))
{
    current = this;
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous);
    current = nullptr;
}

// Only the program's own messages carry a source file: Qt's are passed on.
void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!context.file) {
        current->previous(type, context, message);
        return;
    }
    current->printed << qFormatLogMessage(type, context, message);
    current->types << type;
}

QStringList LogCapture::messages() const
{
    static const char *const levels[] = {"debug", "warning", "critical", "fatal", "info"};
    QStringList result;
    for (int i = 0; i < printed.size(); ++i) {
        const QString &line = printed.at(i);
        result << QString::fromLatin1(levels[types.at(i)]) + ": " + line.mid(line.indexOf(" - ") + 3);
    }
    return result;
}

void LogCapture::clear()
{
    printed.clear();
    types.clear();
}

QString LogCapture::quoted(const QString &text)
{
    QString result;
    QDebug(&result).nospace() << text;
    return result;
}
