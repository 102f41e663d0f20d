#ifndef WINDOWDRIVER_H
#define WINDOWDRIVER_H

#include <QString>

class QWidget;

// The state of the window's parameter controls as "arm/level/timeout/menus",
// e.g. "3/80/120/0000" for the defaults; the arm is "-" when no auto-reboot
// button is checked, and the menus are the four boxes in form order.
QString controlState(const QWidget *window);
void setControlState(QWidget *window, const QString &state);

// What a user does with the window, and what the tests look at.
void typeAddress(QWidget *window, const QString &address);
void clickButton(QWidget *window, const char *objectName);
QString statusText(const QWidget *window);
// Transfers whose completion has not yet released their network manager.
int transfersInFlight(const QWidget *window);

// True when this process has a network namespace of its own holding only a
// loopback interface, as the CTest commands of the transfer tests give it.
bool inIsolatedNetworkNamespace();

#endif // WINDOWDRIVER_H
