// The module's parameter file `vtpx_domo`: generated whole from the
// controls, and read back tolerantly, line by line.

#include "qvtpx0xtweaker.h"

#include "mainform.h"

#include <QBuffer>
#include <QCheckBox>
#include <QDebug>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>

#include <functional>

namespace {

const char menuComment[] = "#0=full access;1=read-only;other=forced to 1\n";

QByteArray menuLine(const char *key, const QCheckBox *box)
{
    return QByteArray(menuComment) + key + '=' + (box->isChecked() ? '1' : '0') + '\n';
}

} // namespace

QByteArray qvtpx0xtweaker::buildParameterFile() const
{
    char arm = '3';
    if (form->radArm0->isChecked())
        arm = '0';
    else if (form->radArm1->isChecked())
        arm = '1';
    else if (form->radArm2->isChecked())
        arm = '2';

    QByteArray text;
    text += "[global]\n";
    text += "#0=disable;1=night;2=day;3=watchdog only\n";
    text += QByteArray("arm=") + arm + '\n';
    text += "#0%-100%\n";
    text += "blighlvl=" + QByteArray::number(form->sliderBlVal->value(), 10) + '\n';
    text += "#in seconds. 0=always ON\n";
    text += "blightout=" + QByteArray::number(form->spinBoxBlTime->value(), 10) + '\n';
    text += menuLine("backlightmenu", form->chkBlMenu);
    text += menuLine("simulmenu", form->chkSimulMenu);
    text += menuLine("timemenu", form->chkTimeMenu);
    text += menuLine("networkmenu", form->chkNetworkMenu);
    return text;
}

void qvtpx0xtweaker::applyParameterFile(const QByteArray &text)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    buffer.seek(0);
    while (!buffer.atEnd()) {
        const QByteArray line = buffer.readLine(0).simplified();
        if (line.isEmpty() || line.startsWith('#') || !line.contains('=')) {
            qInfo() << "Ignore line" << line;
            continue;
        }
        const QList<QByteArray> parts = line.split('=');
        if (parts.size() != 2) {
            qWarning() << "line can not be splitted" << line;
            continue;
        }
        applyParameter(parts.at(0), parts.at(1), line);
        qDebug() << line;
    }
    buffer.close();
}

// A value that is not wholly a decimal integer leaves its control as it was:
// read as 0 it would silently turn off a setting on the next write.
void qvtpx0xtweaker::applyParameter(const QByteArray &key, const QByteArray &value, const QByteArray &line)
{
    const struct
    {
        const char *key;
        std::function<void(int)> apply;
    } settings[] = {
        {"arm", [&](int n) { applyRebootMode(n, line); }},
        {"blighlvl", [&](int n) { form->sliderBlVal->setValue(n); }},
        {"blightout", [&](int n) { form->spinBoxBlTime->setValue(n); }},
        {"backlightmenu", [&](int n) { form->chkBlMenu->setChecked(n != 0); }},
        {"simulmenu", [&](int n) { form->chkSimulMenu->setChecked(n != 0); }},
        {"timemenu", [&](int n) { form->chkTimeMenu->setChecked(n != 0); }},
        {"networkmenu", [&](int n) { form->chkNetworkMenu->setChecked(n != 0); }},
    };
    for (const auto &setting : settings) {
        if (key != setting.key)
            continue;
        bool ok = false;
        const int number = QString::fromUtf8(value).toInt(&ok, 10);
        if (ok)
            setting.apply(number);
        else
            qWarning() << "Invalid value" << line;
        return;
    }
}

void qvtpx0xtweaker::applyRebootMode(int mode, const QByteArray &line)
{
    QRadioButton *const buttons[] = {form->radArm0, form->radArm1, form->radArm2, form->radArm3};
    if (mode < 0 || mode > 3) {
        qWarning() << "Unhandled value for arm" << line;
        return;
    }
    buttons[mode]->setChecked(true);
}
