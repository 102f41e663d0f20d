#include "windowdriver.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkInterface>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>

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
    if (parts[0] == "-") {
        for (int mode = 0; mode < 4; ++mode) {
            QRadioButton *button = rebootButton(window, mode);
            button->setAutoExclusive(false);
            button->setChecked(false);
            button->setAutoExclusive(true);
        }
    } else {
        rebootButton(window, parts[0].toInt())->setChecked(true);
    }
    window->findChild<QSlider *>("sliderBlVal")->setValue(parts[1].toInt());
    window->findChild<QSpinBox *>("spinBoxBlTime")->setValue(parts[2].toInt());
    for (int i = 0; i < 4; ++i)
        window->findChild<QCheckBox *>(menuBoxes[i])->setChecked(parts[3][i] == '1');
}

bool inIsolatedNetworkNamespace()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    return interfaces.size() == 1 && (interfaces.first().flags() & QNetworkInterface::IsLoopBack);
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
