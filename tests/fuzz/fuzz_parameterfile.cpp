// libFuzzer target: the parameter file reader, on the module's library
// alone. After every input, what it sets must be known keys with values a
// module takes, the settings read must be in their ranges, and a file
// generated from them must read back to the same settings.

#include "parameterfile.h"

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace {

void discardMessages(QtMsgType, const QMessageLogContext &, const QString &) { }

void check(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "broken invariant: %s\n", what);
        abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(discardMessages); // the reader logs every line
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), int(size));
    ModuleSettings settings;
    for (const ParameterFile::Assignment &assignment : ParameterFile::read(text)) {
        check(ModuleSettings::find(assignment.setting->name) == assignment.setting, "a known key");
        const bool choice = assignment.setting->kind == ModuleSettings::Kind::Choice;
        check(!choice
                  || (assignment.value >= assignment.setting->minimum
                      && assignment.value <= assignment.setting->maximum),
              "a choice among its values");
        settings.setValue(assignment.setting->key, assignment.value);
    }
    for (const ModuleSettings::Setting &setting : ModuleSettings::table()) {
        const int value = settings.value(setting.key);
        check(value >= setting.minimum && value <= setting.maximum, "each setting in its range");
    }
    check(ParameterFile::settingsOf(text) == settings, "the same settings, read quietly");
    const QByteArray generated = ParameterFile::generate(settings);
    check(ParameterFile::settingsOf(generated) == settings, "a generated file reads back unchanged");
    return 0;
}
