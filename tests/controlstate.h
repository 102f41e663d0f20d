#ifndef CONTROLSTATE_H
#define CONTROLSTATE_H

#include <QString>

class QWidget;

// The state of the window's parameter controls as "arm/level/timeout/menus",
// e.g. "3/80/120/0000" for the defaults; the arm is "-" when no auto-reboot
// button is checked, and the menus are the four boxes in form order.
QString controlState(const QWidget *window);
void setControlState(QWidget *window, const QString &state);

// True when this process has a network namespace of its own holding only a
// loopback interface, as the CTest commands of the transfer tests give it.
bool inIsolatedNetworkNamespace();

#endif // CONTROLSTATE_H
