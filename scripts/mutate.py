#!/usr/bin/python3
"""Seeds faults in the product, one at a time, and tells which ones the
suite catches: each mutant changes one line of the application as a slip
would (a wrong byte in the written file, a switch written inverted, a wrong
default, a broken reader rule, a failure reported as success, a bound
removed, a second transfer accepted, a slot not connected, ...), is built,
and the suite runs against it (without the 35 s real-time test; the same
faults reach the shortened limits). The tree is restored after each.

Usage: scripts/mutate.py [NAME ...]   (root, like the suite; build-mutate/)
"""
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
BUILD = ROOT / "build-mutate"
APP = "qvtpx0xtweaker/"

# name: (file, text, replacement)
MUTANTS = {
    "wrong byte in the file": ("parameterfile.cpp", 'text += "#0%-100%\\n";', 'text += "#0%-100% \\n";'),
    "switches written inverted": ("parameterfile.cpp", "(box->isChecked() ? '1' : '0')",
                                  "(box->isChecked() ? '0' : '1')"),
    "wrong default time-out": ("qvtpx0xtweaker.cpp", "spinBoxBlTime->setValue(120);",
                               "spinBoxBlTime->setValue(121);"),
    "wrong default reboot mode": ("qvtpx0xtweaker.cpp", "form->radArm3->setChecked(true);",
                                  "form->radArm2->setChecked(true);"),
    "logo never shown": ("qvtpx0xtweaker.cpp", "    form->showLogo();", "    // form->showLogo();"),
    "time-out read into the level": ("parameterfile.cpp", "{\"blightout\", [&](int n) { form->spinBoxBlTime",
                                     "{\"blightout\", [&](int n) { form->sliderBlVal"),
    "line with two '=' accepted": ("parameterfile.cpp", "if (parts.size() != 2) {", "if (parts.size() < 2) {"),
    "reboot mode 3 refused": ("parameterfile.cpp", "mode > 3", "mode > 2"),
    "address gate lets 256 through": ("qvtpx0xtweaker.cpp", "25[0-5]", "25[0-6]"),
    "controls enabled whatever the address": ("qvtpx0xtweaker.cpp", "form->frame->setEnabled(acceptable);",
                                              "form->frame->setEnabled(true);"),
    "slots not connected": ("mainform.cpp", "QMetaObject::connectSlotsByName(window);", ""),
    "octets read as octal": ("devicetransfer.cpp", "address.setAddress(decimalAddress(form->lineEditIP->text()));",
                             "address.setAddress(form->lineEditIP->text());"),
    "second read accepted": ("devicetransfer.cpp", "void qvtpx0xtweaker::on_butRead_clicked()\n{\n    if (transferInFlight)",
                             "void qvtpx0xtweaker::on_butRead_clicked()\n{\n    if (false)"),
    "wrong success text": ("devicetransfer.cpp", '"Parameters successfully downloaded from "',
                           '"Parameters successfully downloaded from"'),
    "no error log line": ("devicetransfer.cpp", 'qWarning() << "Error occurs" << error;', 'qWarning() << error;'),
    "box without the application's name": ("devicetransfer.cpp",
                                           "QMessageBox::critical(this, QCoreApplication::applicationName(),",
                                           "QMessageBox::critical(this, QString(),"),
    "upload never released": ("devicetransfer.cpp", "    releaseUpload();\n    reply->deleteLater();",
                              "    reply->deleteLater();"),
    "short file reported as success": ("ftpreply.cpp", "if (isDownload() && announced >= 0 && file.size() != announced)",
                                       "if (false)"),
    "silence never times out": ("ftpreply.cpp", "    idleTimer.start();\n    totalTimer.start();",
                                "    totalTimer.start();"),
    "file size unbounded": ("ftpreply.cpp", "if (file.size() + bytes.size() > maxFileSize)", "if (false)"),
    "reply size unbounded": ("ftpprotocol.cpp", "if (pendingSize > maxReplySize)",
                             "if (pendingSize > maxReplySize * 4096)"),
    "passive port misread": ("ftpprotocol.cpp", "numbers[4] * 256 + numbers[5]", "numbers[4] * 255 + numbers[5]"),
    "status kept at a refused write": ("devicetransfer.cpp", "    if (transferInFlight)\n        return;\n"
                                       "    form->statusbar->showMessage(QString(), 0);\n    const QUrl url = buildDeviceUrl();\n"
                                       "    if (!url.isValid())\n        return;\n\n    form->statusbar->showMessage(\n",
                                       "    if (transferInFlight)\n        return;\n    const QUrl url = buildDeviceUrl();\n"
                                       "    if (!url.isValid())\n        return;\n\n    form->statusbar->showMessage(\n"),
    "address field not coloured": ("qvtpx0xtweaker.cpp", "background-color:#FFA07A;", "background-color:#FFFFFF;"),
    "defaults keep the status": ("qvtpx0xtweaker.cpp", "    form->statusbar->showMessage(QString(), 0);\n    form->sliderBlVal",
                                 "    form->sliderBlVal"),
    "a 120 greeting taken for a refusal": ("ftpreply.cpp", "if (response.code == 120)", "if (response.code == 1200)"),
    "the data connection to the 227 reply's host": ("ftpreply.cpp", "data->connectToHost(control->peerAddress(), port);",
                                                    "data->connectToHost(QHostAddress(QStringLiteral(\"127.0.0.9\")), port);"),
}


def run(command, **options):
    return subprocess.run(command, cwd=ROOT, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **options)


def caught(name):
    file, text, replacement = MUTANTS[name]
    path = ROOT / APP / file
    original = path.read_text()
    if original.count(text) != 1:
        return "not applicable (the text is not there once)"
    path.write_text(original.replace(text, replacement))
    try:
        if run(["cmake", "--build", BUILD, "-j2"]).returncode != 0:
            return "caught by the build"
        tests = run(["ctest", "--test-dir", BUILD, "-j2", "--timeout", "120", "--stop-on-failure",
                     "-E", "real_time_limit"])
        return "caught" if tests.returncode != 0 else "MISSED"
    finally:
        path.write_text(original)


def main():
    names = sys.argv[1:] or list(MUTANTS)
    run(["cmake", "-S", ROOT, "-B", BUILD, "-DCMAKE_BUILD_TYPE=RelWithDebInfo"], check=True)
    run(["cmake", "--build", BUILD, "-j2"], check=True)
    results = {name: caught(name) for name in names}
    for name, result in results.items():
        print(f"{result:>10}  {name}")
    run(["cmake", "--build", BUILD, "-j2"])
    count = sum(result.startswith("caught") for result in results.values())
    print(f"caught {count} of {len(results)} seeded faults")


if __name__ == "__main__":
    main()
