#include "windowdriver.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

namespace {
const char *const menuBoxes[] = {"chkBlMenu", "chkSimulMenu", "chkTimeMenu", "chkNetworkMenu"};

QRadioButton *rebootButton(const QWidget *window, int mode)
{
    return window->findChild<QRadioButton *>(QStringLiteral("radArm%1").arg(mode));
}
} // namespace

QString controlState(const QWidget *window)
{
    QString arm = "-";
    for (int mode = 0; mode < 4; ++mode) {
        if (rebootButton(window, mode)->isChecked())
            arm = QString::number(mode);
    }
    QString menus;
    for (const char *box : menuBoxes)
        menus += window->findChild<QCheckBox *>(box)->isChecked() ? '1' : '0';
    return QString("%1/%2/%3/%4")
        .arg(arm)
        .arg(window->findChild<QSlider *>("sliderBlVal")->value())
        .arg(window->findChild<QSpinBox *>("spinBoxBlTime")->value())
        .arg(menus);
}

void setControlState(QWidget *window, const QString &state)
{
    const QStringList parts = state.split('/');
    for (int mode = 0; mode < 4; ++mode) {
        QRadioButton *button = rebootButton(window, mode);
        button->setAutoExclusive(false); // so that "-" can uncheck them all
        button->setChecked(parts[0] == QString::number(mode));
        button->setAutoExclusive(true);
    }
    window->findChild<QSlider *>("sliderBlVal")->setValue(parts[1].toInt());
    window->findChild<QSpinBox *>("spinBoxBlTime")->setValue(parts[2].toInt());
    for (int i = 0; i < 4; ++i)
        window->findChild<QCheckBox *>(menuBoxes[i])->setChecked(parts[3][i] == '1');
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
