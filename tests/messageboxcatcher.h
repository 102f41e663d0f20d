#ifndef MESSAGEBOXCATCHER_H
#define MESSAGEBOXCATCHER_H

#include <QList>
#include <QMessageBox>
#include <QObject>

class QStatusBar;

// Closes, as a user would with its Ok button, every modal message box that
// opens while the catcher lives, and remembers what each one said.
class MessageBoxCatcher : public QObject
{
public:
    struct Box
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
        QString statusWhileOpen; // the status bar's text while the box was shown
    };

    explicit MessageBoxCatcher(QStatusBar *statusbar = nullptr);
    QList<Box> boxes;

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    QStatusBar *statusbar;
};

#endif // MESSAGEBOXCATCHER_H
