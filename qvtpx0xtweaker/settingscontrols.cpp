// The window's control of each of the module's settings: the parameter
// file is generated from what the controls hold, and a module's file is
// shown in them.

#include "qvtpx0xtweaker.h"

#include "mainform.h"
#include "modulesettings.h"
#include "parameterfile.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>

#include <functional>

namespace {

// A setting's control: the value it holds, and how a value is shown in it.
struct Control
{
    ModuleSettings::Key key;
    std::function<int()> value;
    std::function<void(int)> show;
};

Control switchControl(ModuleSettings::Key key, QCheckBox *box)
{
    return {key, [box] { return box->isChecked() ? 1 : 0; },
            [box](int value) { box->setChecked(value != 0); }};
}

QRadioButton *rebootButton(const MainForm *form, int mode)
{
    QRadioButton *const buttons[] = {form->radArm0, form->radArm1, form->radArm2, form->radArm3};
    return buttons[mode];
}

// One row per setting. Levels are bounded by their
// controls' ranges, switches are on for any value but 0.
QVector<Control> controlsOf(const MainForm *form)
{
    const auto rebootMode = [form] { // "Automatic" too when no button is checked
        return form->radArm0->isChecked() ? 0
            : form->radArm1->isChecked()  ? 1
            : form->radArm2->isChecked()  ? 2
                                          : 3;
    };
    using Key = ModuleSettings::Key;
    return {
        {Key::Arm, rebootMode, [form](int mode) { rebootButton(form, mode)->setChecked(true); }},
        {Key::BacklightLevel, [form] { return form->sliderBlVal->value(); },
         [form](int level) { form->sliderBlVal->setValue(level); }},
        {Key::BacklightTimeout, [form] { return form->spinBoxBlTime->value(); },
         [form](int seconds) { form->spinBoxBlTime->setValue(seconds); }},
        switchControl(Key::BacklightMenu, form->chkBlMenu),
        switchControl(Key::SimulationMenu, form->chkSimulMenu),
        switchControl(Key::TimeMenu, form->chkTimeMenu),
        switchControl(Key::NetworkMenu, form->chkNetworkMenu),
    };
}

} // namespace

QByteArray qvtpx0xtweaker::buildParameterFile() const
{
    ModuleSettings settings;
    const QVector<Control> controls = controlsOf(form);
    for (const Control &control : controls)
        settings.setValue(control.key, control.value());
    return ParameterFile::generate(settings);
}

// Only what the file sets, each in turn: a setting it does not name keeps
// what its control showed.
void qvtpx0xtweaker::applyParameterFile(const QByteArray &text)
{
    const QVector<Control> controls = controlsOf(form);
    const QVector<ParameterFile::Assignment> assignments = ParameterFile::read(text);
    for (const ParameterFile::Assignment &assignment : assignments) {
        for (const Control &control : controls) {
            if (control.key == assignment.setting->key)
                control.show(assignment.value);
        }
    }
}

void qvtpx0xtweaker::showSettings(const ModuleSettings &settings)
{
    const QVector<Control> controls = controlsOf(form);
    for (const Control &control : controls)
        control.show(settings.value(control.key));
}
