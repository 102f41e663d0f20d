#include "moduleaddress.h"
#include "parameterfile.h"
#include "settingsstate.h"
#include "windowdriver.h"

#include "qvtpx0xtweaker.h"

#include <QtTest>
#include <QtWidgets>

namespace {
QPixmap pixmapOf(const QLabel *label)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    return label->pixmap(Qt::ReturnByValue);
#else
    return label->pixmap();
#endif
}

const QString salmon = QStringLiteral("QLineEdit {background-color:#FFA07A;}");
} // namespace

// The window as a user meets it: its first state, the address gate, each
// control's place in the parameter file, and Restore defaults (quitting is
// tested on the real executable by executable_in_x11.sh); and what other
// programs rely on: its slot table and its resources.
class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { delete window; }
    void firstDisplay();
    void addressGate_data();
    void addressGate();
    void controlsInTheFile_data();
    void controlsInTheFile();
    void restoreDefaults();
    void slotTable();
    void resources();

private:
    void checkModuleControlsEnabled(bool expected) const;
    QString addressStyle() const { return window->findChild<QLineEdit *>("lineEditIP")->styleSheet(); }
    qvtpx0xtweaker *window = nullptr;
};

void tst_MainWindow::init()
{
    QCoreApplication::setApplicationVersion("1.0");
    window = new qvtpx0xtweaker;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

// Every control that acts on the module is enabled, or none is; the
// address field and Quit always are.
void tst_MainWindow::checkModuleControlsEnabled(bool expected) const
{
    QList<QWidget *> controls;
    const auto buttons = window->findChildren<QAbstractButton *>();
    for (QAbstractButton *button : buttons)
        controls << button;
    controls << window->findChild<QSlider *>() << window->findChild<QSpinBox *>();
    QCOMPARE(controls.size(), 14);
    for (QWidget *control : qAsConst(controls)) {
        const bool alwaysUsable = control->objectName() == "butQuit";
        QVERIFY2(control->isEnabled() == (alwaysUsable || expected), qPrintable(control->objectName()));
    }
    QVERIFY(window->findChild<QLineEdit *>("lineEditIP")->isEnabled());
}

void tst_MainWindow::firstDisplay()
{
    QCOMPARE(window->windowTitle(), QString("Quorvella2 VTPX02/04 tweaker (v1.0)"));
    QCOMPARE(window->windowIcon().availableSizes(), QList<QSize> {QSize(37, 48)});
    QCOMPARE(pixmapOf(window->findChild<QLabel *>("label")).size(), QSize(2190, 416));
    QCOMPARE(addressStyle(), salmon);
    checkModuleControlsEnabled(false);
    QCOMPARE(controlState(window), fullState(defaults));
    QVERIFY(statusText(window).isEmpty());
}

void tst_MainWindow::addressGate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("acceptable");
    for (const char *text : {"1.2.3.4", "0.0.0.0", "255.255.255.255", "010.001.000.255", "192.0.2.10"})
        QTest::newRow(text) << QString(text) << true;
    for (const char *text : {"", "192.0.2", "192.0.2.", "192.0.2.10.", " 1.2.3.4", "256.1.1.1", "1.2.3.256",
                             "0000.1.1.1", "1.2.3.4:21", "1..2.3", "+1.2.3.4", "a.b.c.d", "٣.1.1.1"})
        QTest::newRow(QByteArray("\"") + text + "\"") << QString::fromUtf8(text) << false;
}

// Typed key by key, as a user does; the text is never altered. Qt 5's
// QRegExp and Qt 6's QRegularExpression take the same texts.
void tst_MainWindow::addressGate()
{
    QFETCH(QString, text);
    QFETCH(bool, acceptable);
    auto *edit = window->findChild<QLineEdit *>("lineEditIP");
    edit->setText("1.1.1.1");
    edit->clear();
    if (text.toLatin1() == text.toUtf8())
        QTest::keyClicks(edit, text);
    else
        edit->insert(text); // keys QTest cannot type
    QCOMPARE(edit->text(), text);
    checkModuleControlsEnabled(acceptable);
    QCOMPARE(addressStyle(), acceptable ? QString() : salmon);
    QCOMPARE(ModuleAddress::isWellFormed(text), acceptable); // the console tool's rule
}

// Each control written to its own key, and read back from it.
void tst_MainWindow::controlsInTheFile_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("written"); // the settings the file holds
    for (const char *state :
         {"arm=3", "arm=1 blighlvl=100 blightout=0 backlightmenu=1 networkmenu=1",
          "arm=0 blighlvl=0 blightout=0 simulmenu=1", "arm=2 blighlvl=100 blightout=600 timemenu=1",
          "blighlvl=7 blightout=9 networkmenu=1"})
        QTest::newRow(state) << QString(state) << QString(state);
    QTest::newRow("no reboot mode checked") << "arm=-" << QString(defaults);
}

void tst_MainWindow::controlsInTheFile()
{
    QFETCH(QString, state);
    QFETCH(QString, written);
    setControlState(window, state);
    const QByteArray file = WindowInternals::buildParameterFile(*window);
    QCOMPARE(stateOf(ParameterFile::settingsOf(file)), fullState(written));
    setControlState(window,
                    "arm=0 blighlvl=1 blightout=2 backlightmenu=1 simulmenu=1 timemenu=1 networkmenu=1");
    WindowInternals::applyParameterFile(*window, file);
    QCOMPARE(controlState(window), fullState(written));
}

// Every control moved, every box ticked: all back to the defaults, and
// the status bar cleared; the address stays.
void tst_MainWindow::restoreDefaults()
{
    typeAddress(window, "127.0.0.1");
    setControlState(window,
                    "arm=0 blighlvl=5 blightout=7 backlightmenu=1 simulmenu=1 timemenu=1 networkmenu=1");
    window->findChild<QStatusBar *>()->showMessage("earlier");
    clickButton(window, "butDefaults");
    QCOMPARE(controlState(window), fullState(defaults));
    QVERIFY(statusText(window).isEmpty());
    QCOMPARE(window->findChild<QLineEdit *>("lineEditIP")->text(), QString("127.0.0.1"));
}

// Six private slots, and moc registers the network slots' argument type
// when a queued connection asks for it; for the other slots it knows none.
// (Qt 5 answers with a type id, -1 for none; Qt 6 with a QMetaType.)
void tst_MainWindow::slotTable()
{
    const QMetaObject *meta = window->metaObject();
    QCOMPARE(meta->methodCount() - meta->methodOffset(), 6);
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        QCOMPARE(meta->method(i).access(), QMetaMethod::Private);
        const bool network = meta->method(i).name().startsWith("cb_");
        int argument = 0;
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        int type = -1;
        const int expected = network ? qMetaTypeId<QNetworkReply *>() : -1;
#else
        QMetaType type;
        const QMetaType expected = network ? QMetaType::fromType<QNetworkReply *>() : QMetaType();
#endif
        void *arguments[] = {&type, &argument};
        QMetaObject::metacall(window, QMetaObject::RegisterMethodArgumentMetaType, i, arguments);
        QCOMPARE(type, expected);
    }
}

void tst_MainWindow::resources()
{
    QImageReader logo(":/res/Quorvella_logo_h.png");
    QCOMPARE(logo.format(), QByteArray("png"));
    const QImage logoImage = logo.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(logoImage.size(), QSize(2190, 416));
    const auto *label = window->findChild<QLabel *>("label");
    QCOMPARE(pixmapOf(label).toImage(), logoImage);
    QCOMPARE(label->size(), QSize(201, 31));

    // rcc writes the tree in data format version 2.
    QDirIterator generated(QVTPX_RESOURCES_AUTOGEN_DIR, {"qrc_qvtpx0xtweaker.cpp"}, QDir::Files,
                           QDirIterator::Subdirectories);
    QVERIFY(generated.hasNext());
    QFile source(generated.next());
    QVERIFY(source.open(QIODevice::ReadOnly));
    QVERIFY(source.readAll().contains("int version = 2;"));
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
