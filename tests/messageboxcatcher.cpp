#include "messageboxcatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QStatusBar>

MessageBoxCatcher::MessageBoxCatcher(QStatusBar *statusbar) : statusbar(statusbar)
{
    startTimer(10);
}

void MessageBoxCatcher::timerEvent(QTimerEvent *)
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    boxes << Box {box->icon(), box->windowTitle(), box->text(),
                  statusbar ? statusbar->currentMessage() : QString()};
    box->button(QMessageBox::Ok)->click();
}
