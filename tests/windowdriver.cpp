#include "windowdriver.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

namespace {
// Each setting's control, by the setting's name in the file.
const QPair<const char *, const char *> controls[] = {
    {"blighlvl", "sliderBlVal"},   {"blightout", "spinBoxBlTime"}, {"backlightmenu", "chkBlMenu"},
    {"simulmenu", "chkSimulMenu"}, {"timemenu", "chkTimeMenu"},    {"networkmenu", "chkNetworkMenu"},
};

QRadioButton *rebootButton(const QWidget *window, int mode)
{
    return window->findChild<QRadioButton *>(QStringLiteral("radArm%1").arg(mode));
}

int controlValue(const QWidget *window, const char *objectName)
{
    const QObject *control = window->findChild<QObject *>(objectName);
    if (const auto *box = qobject_cast<const QCheckBox *>(control))
        return box->isChecked() ? 1 : 0;
    return control->property("value").toInt();
}
} // namespace

QString controlState(const QWidget *window)
{
    QString arm = "-";
    for (int mode = 0; mode < 4; ++mode) {
        if (rebootButton(window, mode)->isChecked())
            arm = QString::number(mode);
    }
    QStringList pairs {"arm=" + arm};
    for (const auto &control : controls)
        pairs << QString("%1=%2").arg(control.first).arg(controlValue(window, control.second));
    return pairs.join(' ');
}

void setControlState(QWidget *window, const QString &state)
{
    const bool noRebootMode = state.split(' ').contains("arm=-");
    QMap<QString, int> values;
    const QStringList pairs = fullState(QString(state).remove("arm=-")).split(' ');
    for (const QString &pair : pairs)
        values.insert(pair.section('=', 0, 0), pair.section('=', 1).toInt());
    for (int mode = 0; mode < 4; ++mode) {
        QRadioButton *button = rebootButton(window, mode);
        button->setAutoExclusive(false); // so that "-" can uncheck them all
        button->setChecked(!noRebootMode && values.value("arm") == mode);
        button->setAutoExclusive(true);
    }
    for (const auto &control : controls) {
        QObject *widget = window->findChild<QObject *>(control.second);
        if (auto *box = qobject_cast<QCheckBox *>(widget))
            box->setChecked(values.value(control.first) != 0);
        else
            widget->setProperty("value", values.value(control.first));
    }
}

void typeAddress(QWidget *window, const QString &address)
{
    window->findChild<QLineEdit *>("lineEditIP")->setText(address);
}

void clickButton(QWidget *window, const char *objectName)
{
    QTest::mouseClick(window->findChild<QPushButton *>(objectName), Qt::LeftButton);
}

QString statusText(const QWidget *window)
{
    return window->findChild<QStatusBar *>()->currentMessage();
}

int transfersInFlight(const QWidget *window)
{
    return window->findChildren<QNetworkAccessManager *>().size();
}

void MessageBoxCatcher::timerEvent(QTimerEvent *)
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    boxes << Box {box->icon(), box->windowTitle(), box->text(), window ? statusText(window) : QString()};
    box->button(QMessageBox::Ok)->click();
}
