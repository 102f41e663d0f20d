// libFuzzer target: the parameter file reader on a real window. After every
// input each control must hold a value in its range and exactly one
// auto-reboot button must be checked.

#include "windowinternals.h"

#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>

#include <cstdlib>

namespace {

QApplication *application = nullptr;
qvtpx0xtweaker *window = nullptr;

void discardMessages(QtMsgType, const QMessageLogContext &, const QString &) { }

void check(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "broken invariant: %s\n", what);
        abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application = new QApplication(*argc, *argv);
    window = new qvtpx0xtweaker;
    qInstallMessageHandler(discardMessages); // the reader logs every line
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    WindowInternals::applyParameterFile(*window, QByteArray(reinterpret_cast<const char *>(data), int(size)));

    int checked = 0;
    for (const char *name : {"radArm0", "radArm1", "radArm2", "radArm3"})
        checked += window->findChild<QRadioButton *>(name)->isChecked();
    check(checked == 1, "exactly one auto-reboot button checked");
    const int level = window->findChild<QSlider *>("sliderBlVal")->value();
    check(level >= 0 && level <= 100, "backlight level in 0..100");
    const int timeout = window->findChild<QSpinBox *>("spinBoxBlTime")->value();
    check(timeout >= 0 && timeout <= 600, "backlight time-out in 0..600");

    // A generated file always reads back to the state it came from.
    const QByteArray generated = WindowInternals::buildParameterFile(*window);
    WindowInternals::applyParameterFile(*window, generated);
    check(WindowInternals::buildParameterFile(*window) == generated, "generated file reads back unchanged");
    return 0;
}
