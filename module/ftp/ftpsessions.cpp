#include "ftpsessions.h"

#include "ftpcontrolconnection.h"

#include <algorithm>

FtpSessions::FtpSessions(int capacity, QObject *parent)
    : QObject(parent), capacity(std::size_t(qMax(0, capacity)))
{ }

FtpSessions::~FtpSessions()
{
    for (const Idle &session : idle)
        hangUp(session.control);
}

// A session the server has closed, or spoken in, meanwhile is ended.
FtpControlConnection *FtpSessions::take(const QUrl &url)
{
    const QString server = serverOf(url);
    const auto found = std::find_if(idle.begin(), idle.end(),
                                    [&](const Idle &session) { return session.server == server; });
    if (found == idle.end())
        return nullptr;
    FtpControlConnection *control = found->control;
    idle.erase(found);
    if (control->isIdle())
        return control;
    hangUp(control);
    return nullptr;
}

void FtpSessions::keep(FtpControlConnection *control, const QUrl &url)
{
    if (capacity == 0 || !control->isIdle()) {
        control->quit();
        return;
    }
    end(url); // one session per server
    control->setParent(this);
    idle.push_back({serverOf(url), control});
    if (idle.size() > capacity) {
        hangUp(idle.front().control);
        idle.pop_front();
    }
}

void FtpSessions::end(const QUrl &url)
{
    const QString server = serverOf(url);
    const auto found = std::find_if(idle.begin(), idle.end(),
                                    [&](const Idle &session) { return session.server == server; });
    if (found == idle.end())
        return;
    hangUp(found->control);
    idle.erase(found);
}

QString FtpSessions::serverOf(const QUrl &url)
{
    return url.userName() + QLatin1Char('@') + url.host() + QLatin1Char(':') + QString::number(url.port(21));
}

void FtpSessions::hangUp(FtpControlConnection *control)
{
    control->hangUp();
    delete control;
}
