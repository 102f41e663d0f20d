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
WINDOW = "qvtpx0xtweaker/"
MODULE = "module/"
FTP = "module/ftp/"
CLI = "cli/"

# name: (file, text, replacement)
MUTANTS = {
    # The parameter file and the settings
    "wrong byte in the file": (MODULE + "modulesettings.cpp", '"#0%-100%"', '"#0%-100% "'),
    "wrong default time-out": (MODULE + "modulesettings.cpp", "0, 600, 120, Kind::Level", "0, 600, 121, Kind::Level"),
    "wrong default reboot mode": (MODULE + "modulesettings.cpp", "0, 3, 3, Kind::Choice", "0, 3, 2, Kind::Choice"),
    "levels not bounded": (MODULE + "modulesettings.cpp", "qBound(row.minimum, value, row.maximum)", "value"),
    "line with two '=' accepted": (MODULE + "parameterfile.cpp", "parts.size() == 2 ? Line::Kind::KeyValue",
                                   "parts.size() >= 2 ? Line::Kind::KeyValue"),
    "reboot mode 3 refused": (MODULE + "parameterfile.cpp", "*value > setting.maximum", "*value >= setting.maximum"),
    "garbage read as 0": (MODULE + "parameterfile.cpp", "    if (!isNumber)\n        return Taken::NotANumber;\n", ""),
    "a user's value beyond its range taken": (MODULE + "modulesettings.cpp", "number < row->minimum || number > row->maximum",
                                              "number < row->minimum"),
    # The window
    "switches written inverted": (WINDOW + "settingscontrols.cpp", "return box->isChecked() ? 1 : 0;",
                                  "return box->isChecked() ? 0 : 1;"),
    "the window's warm-up loads the bearer plugins": (WINDOW + "qvtpx0xtweaker.cpp", "[] { FtpAccessManager warmUp; }",
                                                      "[] { QNetworkAccessManager warmUp; }"),
    "time-out shown in the level": (WINDOW + "settingscontrols.cpp", "[form](int seconds) { form->spinBoxBlTime->setValue(seconds); }",
                                    "[form](int seconds) { form->sliderBlVal->setValue(seconds); }"),
    "Restore defaults leaves ticked boxes ticked": (WINDOW + "settingscontrols.cpp", "[box](int value) { box->setChecked(value != 0); }",
                                                    "[box](int value) { if (value != 0) box->setChecked(true); }"),
    "logo never shown": (WINDOW + "qvtpx0xtweaker.cpp", "    form->showLogo();", "    // form->showLogo();"),
    "address gate lets 256 through": (MODULE + "moduleaddress.cpp", "25[0-5]", "25[0-6]"),
    "controls enabled whatever the address": (WINDOW + "qvtpx0xtweaker.cpp", "form->frame->setEnabled(acceptable);",
                                              "form->frame->setEnabled(true);"),
    "slots not connected": (WINDOW + "mainform.cpp", "QMetaObject::connectSlotsByName(window);", ""),
    "octets read as octal": (MODULE + "moduleaddress.cpp", "address.setAddress(decimalAddress(typed));",
                             "address.setAddress(typed);"),
    "second read accepted": (WINDOW + "devicetransfer.cpp", "void qvtpx0xtweaker::on_butRead_clicked()\n{\n    if (transferInFlight)",
                             "void qvtpx0xtweaker::on_butRead_clicked()\n{\n    if (false)"),
    "address editable during a transfer": (WINDOW + "devicetransfer.cpp", "form->lineEditIP->setReadOnly(true);",
                                           "form->lineEditIP->setReadOnly(false);"),
    "a failed write closes the window on quit": (WINDOW + "devicetransfer.cpp",
                                                 "quitWhenWritten && reply->error() == QNetworkReply::NoError;",
                                                 "quitWhenWritten;"),
    "a quit cuts a write short": (WINDOW + "devicetransfer.cpp", "if (!uploadBuffer || !reply || !reply->mayHaveChangedFile())",
                                  "if (reply || !reply)"),
    "wrong success text": (WINDOW + "devicetransfer.cpp", '"Parameters successfully downloaded from "',
                           '"Parameters successfully downloaded from"'),
    "no error log line": (WINDOW + "devicetransfer.cpp", 'qWarning() << "Error occurs" << error;', 'qWarning() << error;'),
    "box without the application's name": (WINDOW + "devicetransfer.cpp",
                                           "QMessageBox::critical(this, QCoreApplication::applicationName(),",
                                           "QMessageBox::critical(this, QString(),"),
    "upload never released": (WINDOW + "devicetransfer.cpp", "    releaseUpload();\n    reply->deleteLater();",
                              "    reply->deleteLater();"),
    "address field not coloured": (WINDOW + "qvtpx0xtweaker.cpp", "background-color:#FFA07A;", "background-color:#FFFFFF;"),
    "defaults keep the status": (WINDOW + "qvtpx0xtweaker.cpp", "    form->statusbar->showMessage(QString(), 0);\n    showSettings",
                                 "    showSettings"),
    # The FTP client
    "short file reported as success": (FTP + "ftpverdict.cpp", "if (facts.announced >= 0 && !allAnnounced)", "if (false)"),
    "more bytes than announced taken": (FTP + "ftpverdict.cpp", "if (facts.announced >= 0 && facts.transferred > facts.announced)",
                                        "if (false)"),
    "a reset taken for a clean end": (FTP + "ftpdataconnection.cpp", "SystemSocket::isReset(failure) ? End::Reset : End::Failed, failure);\n        return;",
                                      "SystemSocket::isReset(failure) ? End::Clean : End::Failed, failure);\n        return;"),
    "failure after a confirmed read": (FTP + "ftpcontrolconnection.cpp",
                                       "            current = Step::Done;\n            endedWell = true;",
                                       "            endedWell = true;"),
    "data left open holds a read up": (FTP + "ftpverdict.cpp", "(facts.dataEnd == End::Open && !allAnnounced)",
                                       "(facts.dataEnd == End::Open)"),
    "a write cut after STOR not told": (FTP + "ftpverdict.cpp", "if (mayBeCut)", "if (false)"),
    "what the module kept not checked": (FTP + "ftpverdict.cpp", "if (facts.kept >= 0 && facts.kept != facts.fileSize)", "if (false)"),
    "a write kept at 0 bytes taken": (FTP + "ftpverdict.cpp", "if (facts.kept >= 0 && facts.kept != facts.fileSize)",
                                      "if (facts.kept > 0 && facts.kept != facts.fileSize)"),
    "250 refused as confirmation": (FTP + "ftpcontrolconnection.cpp", "reply.code == 226 || reply.code == 250",
                                    "reply.code == 226"),
    "multi-line replies never complete": (FTP + "ftpprotocol.cpp", "*response = {code, pending.text + '\\n' + line.mid(4)};",
                                          "*response = {0, pending.text + '\\n' + line.mid(4)};"),
    "markup shown as it came": (FTP + "ftpcontrolconnection.cpp", "c > '~' || c == '<' || c == '&'", "c > '~'"),
    "silence never times out": (FTP + "ftpreply.cpp", "if (idleLeft > 0 && totalLeft > 0 && connectLeft > 0)",
                                "if (totalLeft > 0 && connectLeft > 0)"),
    "file size unbounded": (FTP + "ftpverdict.cpp", "|| facts.transferred > facts.maxFileSize", ""),
    "file bound tested a chunk late": (FTP + "ftpverdict.cpp", "|| facts.transferred > facts.maxFileSize",
                                       "|| facts.transferred > facts.maxFileSize + 4096"),
    "a read reset after every byte failed": (FTP + "ftpverdict.cpp", "if ((facts.dataEnd == End::Reset || facts.dataEnd == End::Failed) && !allAnnounced)",
                                             "if (facts.dataEnd == End::Reset || facts.dataEnd == End::Failed)"),
    "a broken-off write reported as success": (WINDOW + "devicetransfer.cpp", "    if (reply->error() != QNetworkReply::NoError) {\n        reportTransferFailure(QStringLiteral(\"Upload error: \")",
                                               "    if (reply->error() != QNetworkReply::NoError && reply->error() != QNetworkReply::RemoteHostClosedError) {\n        reportTransferFailure(QStringLiteral(\"Upload error: \")"),
    "--no-verify prints settings never read": (CLI + "moduleoutcome.h", "return result == Result::Read || result == Result::Written ||",
                                               "return result == Result::Read || result == Result::Written || result == Result::Sent ||"),
    "a notifier on a closed socket": (FTP + "ftpcontrolconnection.cpp", "    current = Step::Done;\n    QMetaObject::invokeMethod(\n        socket,",
                                      "    current = Step::Done;\n    if (socket->state() == QAbstractSocket::ConnectedState)\n        socket->write(\"QUIT\\r\\n\");\n    QMetaObject::invokeMethod(\n        socket,"),
    "reply size unbounded": (FTP + "ftpprotocol.cpp", "if (pendingSize > maxReplySize)",
                             "if (pendingSize > maxReplySize * 4096)"),
    "line bound lifted": (FTP + "ftpprotocol.cpp", "return buffer.size() - start > maxLineSize + 1 ? Invalid : Incomplete;",
                          "return Incomplete;"),
    "passive port misread": (FTP + "ftpprotocol.cpp", "numbers[4] * 256 + numbers[5]", "numbers[4] * 255 + numbers[5]"),
    "a 120 greeting taken for a refusal": (FTP + "ftpcontrolconnection.cpp", "if (reply.code == 120)", "if (reply.code == 1200)"),
    "the data connection to the 227 reply's host": (FTP + "ftpreply.cpp", "data->connectToHost(control->peerAddress(), port);",
                                                    "data->connectToHost(QHostAddress(QStringLiteral(\"127.0.0.9\")), port);"),
    # The console tool
    "written file not read back": (CLI + "sendingcommand.cpp", "if (held != module.toWrite)", "if (false)"),
    "one module at a time": (CLI + "batch.cpp", "running.size() < jobs", "running.size() < 1"),
    "exit code 0 after a failure": (CLI + "batch.cpp", "anyFailed || outputFailed ? 1 : 0", "outputFailed ? 1 : 0"),
    "an interrupt cuts every write": (CLI + "batch.cpp", "if (job->step == Step::Write && ftp && ftp->mayHaveChangedFile())",
                                      "if (false)"),
    "a write before its STOR finishes after an interrupt": (CLI + "batch.cpp",
        "if (job->step == Step::Write && ftp && ftp->mayHaveChangedFile())", "if (job->step == Step::Write && ftp)"),
    "a failed output ignored": (CLI + "batch.cpp", "if (written == lines.size())", "if (true)"),
    "a module given twice written twice": (CLI + "addresslist.cpp", "if (first != firstGiven.constEnd()) {", "if (false) {"),
    "a file without settings read as the defaults": (CLI + "readcommand.cpp", "if (reading.settingLines == 0)", "if (false)"),
    "a value out of range not told": (MODULE + "parameterfile.cpp",
                                      "else if (value < setting->minimum || value > setting->maximum)", "else if (false)"),
    "jobs not bounded by open files": (CLI + "platform_posix.cpp",
                                       "if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= rlim_t(INT_MAX))",
                                       "if (true)"),
    "a closed pipe ends the tool": (CLI + "platform_posix.cpp", "signal(SIGPIPE, SIG_IGN);", ""),
    "a module holding the very bytes written again": (CLI + "writecommand.cpp", "if (!noFile && held == request.file && !request.force)",
                                                      "if (false)"),
    "a dry run writes": (CLI + "writecommand.cpp", "    if (request.dryRun)\n        return finish(module, Result::WouldChange);\n", ""),
    "a module that could not be read written": (CLI + "writecommand.cpp", "if (reply->error() != QNetworkReply::NoError && !noFile)",
                                                "if (false)"),
    "a server without the file counted a failure": (CLI + "findcommand.cpp", " || reply->error() == QNetworkReply::ContentNotFoundError)", ")"),
    "a range one short": (CLI + "addresslist.cpp", "for (int number = from; number <= last; ++number)",
                          "for (int number = from; number < last; ++number)"),
    "a subnet of another network taken": (CLI + "addresslist.cpp",
                                          "if (!ModuleAddress::isOnSubnets(QHostAddress(network), prefix, own))",
                                          "if (false)"),
    "found modules unsorted": (CLI + "batch.cpp", "return ModuleAddress::ascending(one.address, other.address);",
                               "return false;"),
    # Kept files
    "a kept file committed though cut": (CLI + "regularfile_posix.cpp",
                                         "int failure = writeAll(descriptor, bytes) && ::fsync(descriptor) == 0 ? 0 : errno;",
                                         "int failure = 0;\n    writeAll(descriptor, bytes);"),
    "a kept file replaced": (CLI + "keptfiles.cpp", "RegularFile::make(path(address), file, replace, &error)",
                             "RegularFile::make(path(address), file, true, &error)"),
    "a kept file read through a link": (CLI + "regularfile_posix.cpp", "(links == Links::Refuse ? O_NOFOLLOW : 0)", "0"),
    "a FIFO read as a kept file": (CLI + "regularfile_posix.cpp",
                                   "QString error = ::fstat(descriptor, &status) == 0 ? kindOf(status.st_mode) : systemError(errno);",
                                   "QString error;"),
    "two runs on one folder": (CLI + "keptfiles.cpp", "if (lock->tryLock(0))", "if (true)"),
    "a kept file without settings restored": (CLI + "restorecommand.cpp", "settingLines == 0 && !request.force",
                                              "settingLines < 0 && !request.force"),
    "a stale kept session fails the transfer": (FTP + "ftpreply.cpp", "if (!reused || control->answered() > 1)",
                                                "if (true)"),
    "a module's transfers each in a session of its own": (CLI + "main.cpp", "batch.keepSessions(", "(void)("),
    "a file there but unreadable taken for none": (FTP + "ftpcontrolconnection.cpp", "reply.code == 550 && !sizeTold",
                                                   "reply.code == 550"),
    "addresses unbounded": (CLI + "commandline.cpp", "if (lines.size() > maximum)", "if (false)"),
    "files open already not counted": (CLI + "platform_posix.cpp", "openFiles() + reserved", "openFiles() * 0 + reserved"),
    "bearer plugins loaded": (FTP + "ftpaccessmanager.cpp", "QCoreApplication::setLibraryPaths({});", ""),
    "--set ignored": (CLI + "commandline.cpp", "        error = applySettings(parser.values(setOption), &settings);", ""),
}


def run(command, **options):
    return subprocess.run(command, cwd=ROOT, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **options)


def caught(name):
    file, text, replacement = MUTANTS[name]
    path = ROOT / file
    original = path.read_text()
    if original.count(text) != 1:
        return "not applicable (the text is not there once)"
    path.write_text(original.replace(text, replacement))
    try:
        if run(["cmake", "--build", BUILD, "-j2"]).returncode != 0:
            return "caught by the build"
        tests = subprocess.run(["ctest", "--test-dir", BUILD, "-j2", "--timeout", "120", "--stop-on-failure",
                                "-E", "real_time_limit"], cwd=ROOT, capture_output=True, text=True)
        if tests.returncode == 0:
            return "MISSED"
        # Which test failed, so that a catch can be told from a flaky row.
        failed = [line.split(":")[1].split()[0] for line in tests.stdout.splitlines()
                  if "***Failed" in line or "***Timeout" in line or "Exception:" in line]
        return "caught by " + (", ".join(failed) or "the suite")
    finally:
        path.write_text(original)


def main():
    names = sys.argv[1:] or list(MUTANTS)
    run(["cmake", "-S", ROOT, "-B", BUILD, "-DCMAKE_BUILD_TYPE=RelWithDebInfo"], check=True)
    run(["cmake", "--build", BUILD, "-j2"], check=True)
    results = {}
    for name in names:
        results[name] = caught(name)
        print(f"{name}: {results[name]}", flush=True)
    run(["cmake", "--build", BUILD, "-j2"])
    count = sum(result.startswith("caught") for result in results.values())
    print(f"caught {count} of {len(results)} seeded faults")


if __name__ == "__main__":
    main()
