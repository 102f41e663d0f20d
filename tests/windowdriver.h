#ifndef WINDOWDRIVER_H
#define WINDOWDRIVER_H

#include "logcapture.h"
#include "settingsstate.h"
#include "windowinternals.h"

#include <QMessageBox>
#include <QStringList>

// What a user does with the window, and what the tests look at. The
// controls' state is written as a module's settings are (settingsstate.h):
// "arm=1 blighlvl=33 ...", "arm=-" when no reboot mode is checked; the
// state read names every control, the state set puts the controls it does
// not name at their defaults.
QString controlState(const QWidget *window);
void setControlState(QWidget *window, const QString &state);
void typeAddress(QWidget *window, const QString &address);
void clickButton(QWidget *window, const char *objectName);
QString statusText(const QWidget *window);
// Transfers whose completion has not yet released their network manager.
int transfersInFlight(const QWidget *window);

// Closes with Ok every modal message box that opens while it lives, and
// keeps what each said and what the status bar said meanwhile.
class MessageBoxCatcher : public QObject
{
public:
    struct Box
    {
        QMessageBox::Icon icon;
        QString title, text, statusWhileOpen;
    };
    explicit MessageBoxCatcher(const QWidget *window = nullptr) : window(window) { startTimer(10); }
    QList<Box> boxes;

protected:
    void timerEvent(QTimerEvent *) override;

private:
    const QWidget *window;
};

#endif // WINDOWDRIVER_H
