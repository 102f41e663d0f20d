#ifndef FTPSESSIONS_H
#define FTPSESSIONS_H

#include <QObject>
#include <QUrl>

#include <deque>

class FtpControlConnection;

// Logged-in control connections kept between transfers, so that the
// transfers of one module in turn (a write's read, its STOR, its
// read-back) run in one session: one connection, one greeting, one login.
// At most `capacity` wait at a time, the oldest ended first; each is
// ended when its module needs it no more.
class FtpSessions : public QObject
{
    Q_OBJECT

public:
    FtpSessions(int capacity, QObject *parent);
    ~FtpSessions() override;

    // An idle session with the server of `url`, now the caller's, or none.
    FtpControlConnection *take(const QUrl &url);
    // Keeps a session whose transfer ended well; any other is ended.
    void keep(FtpControlConnection *control, const QUrl &url);
    // Ends the idle session with the server of `url`, if there is one.
    void end(const QUrl &url);

private:
    struct Idle
    {
        QString server;
        FtpControlConnection *control;
    };
    static QString serverOf(const QUrl &url);
    void hangUp(FtpControlConnection *control);

    std::deque<Idle> idle;
    std::size_t capacity;
};

#endif // FTPSESSIONS_H
