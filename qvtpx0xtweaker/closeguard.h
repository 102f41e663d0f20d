#ifndef CLOSEGUARD_H
#define CLOSEGUARD_H

#include <QEvent>
#include <QObject>

#include <functional>

// Asks before its parent widget closes, however the close was asked for
// (a button, a shortcut, the window system): when mayClose() says no, the
// widget stays open.
class CloseGuard : public QObject
{
public:
    CloseGuard(QObject *parent, std::function<bool()> mayClose)
        : QObject(parent), mayClose(std::move(mayClose))
    {
        parent->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != parent() || event->type() != QEvent::Close || mayClose())
            return false;
        event->ignore();
        return true;
    }

private:
    std::function<bool()> mayClose;
};

#endif // CLOSEGUARD_H
