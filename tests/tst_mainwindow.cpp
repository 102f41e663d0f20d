#include "qvtpx0xtweaker.h"

#include <QtTest>
#include <QtWidgets>

namespace {
const QString salmon = QStringLiteral("QLineEdit {background-color:#FFA07A;}");
}

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void stateAtFirstDisplay();
    void addressValidation_data();
    void addressValidation();
    void typingAnAddressKeyByKey();
    void restoreDefaults();
    void slotTable();
    void resources();
    void quit_data();
    void quit();

private:
    template <typename T>
    T *child(const char *name) const
    {
        return window->findChild<T *>(name);
    }
    bool frameEnabled() const { return child<QFrame>("frame")->isEnabled(); }
    QString addressStyle() const { return child<QLineEdit>("lineEditIP")->styleSheet(); }
    qvtpx0xtweaker *window = nullptr;
};

void tst_MainWindow::init()
{
    QCoreApplication::setApplicationVersion("1.0");
    window = new qvtpx0xtweaker;
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

void tst_MainWindow::cleanup()
{
    delete window;
}

void tst_MainWindow::stateAtFirstDisplay()
{
    QCOMPARE(window->windowTitle(), QString("Quorvella2 VTPX02/04 tweaker (v1.0)"));
    QVERIFY(child<QLineEdit>("lineEditIP")->text().isEmpty());
    QCOMPARE(addressStyle(), salmon);
    QVERIFY(!frameEnabled());
    for (const char *name : {"butRead", "butWrite", "butDefaults", "sliderBlVal", "radArm0"})
        QVERIFY2(!child<QWidget>(name)->isEnabled(), name);
    QVERIFY(child<QWidget>("lineEditIP")->isEnabled());
    QVERIFY(child<QWidget>("butQuit")->isEnabled());
    QCOMPARE(child<QSlider>("sliderBlVal")->value(), 80);
    QCOMPARE(child<QSpinBox>("spinBoxBlTime")->value(), 120);
    QCOMPARE(child<QSpinBox>("spinBoxBlTime")->text(), QString("120seconds"));
    QVERIFY(child<QRadioButton>("radArm3")->isChecked());
    for (const char *name : {"chkBlMenu", "chkSimulMenu", "chkTimeMenu", "chkNetworkMenu"})
        QVERIFY2(!child<QCheckBox>(name)->isChecked(), name);
    QVERIFY(child<QStatusBar>("statusbar")->currentMessage().isEmpty());
    QVERIFY(!window->windowIcon().isNull());
}

void tst_MainWindow::addressValidation_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("acceptable");

    for (const char *text :
         {"1.2.3.4", "0.0.0.0", "255.255.255.255", "010.001.000.255", "1.2.3.04", "192.0.2.1", "127.0.0.1"})
        QTest::newRow(text) << QString(text) << true;
    for (const char *text :
         {"", "192.0.2", "192.0.2.10.", " 1.2.3.4", "1.2.3.4 ", "256.1.1.1", "0000.1.1.1", "1.2.3.4:21",
          "1.2.3.4.5", ".1.2.3.4", "1..2.3", "+1.2.3.4", "a.b.c.d", "1.2.3.4\n", "٣.1.1.1"})
        QTest::newRow(QByteArray("\"") + text + "\"") << QString::fromUtf8(text) << false;
}

void tst_MainWindow::addressValidation()
{
    QFETCH(QString, text);
    QFETCH(bool, acceptable);

    auto *edit = child<QLineEdit>("lineEditIP");
    edit->setText("1.1.1.1");
    edit->setText(text);
    QCOMPARE(edit->text(), text); // validation never alters what was typed
    QCOMPARE(frameEnabled(), acceptable);
    QCOMPARE(addressStyle(), acceptable ? QString() : salmon);
}

void tst_MainWindow::typingAnAddressKeyByKey()
{
    auto *edit = child<QLineEdit>("lineEditIP");
    edit->setFocus();
    const QString address = "192.0.2.10";
    for (int i = 1; i <= address.size(); ++i) {
        QTest::keyClick(edit, address.at(i - 1).toLatin1());
        const bool complete = i >= address.indexOf("2.1") + 3;
        QCOMPARE(edit->text(), address.left(i));
        QVERIFY2(frameEnabled() == complete, qPrintable(edit->text()));
        QCOMPARE(addressStyle(), complete ? QString() : salmon);
    }
    QTest::keyClick(edit, Qt::Key_Backspace);
    QVERIFY(frameEnabled());
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), QString("192.0.2."));
    QVERIFY(!frameEnabled());
    QTest::keyClicks(edit, "x!# ");
    QCOMPARE(edit->text(), QString("192.0.2.x!# "));
    QCOMPARE(addressStyle(), salmon);
}

void tst_MainWindow::restoreDefaults()
{
    child<QLineEdit>("lineEditIP")->setText("192.0.2.10");
    child<QSlider>("sliderBlVal")->setValue(5);
    child<QSpinBox>("spinBoxBlTime")->setValue(0);
    child<QRadioButton>("radArm1")->setChecked(true);
    for (const char *name : {"chkBlMenu", "chkSimulMenu", "chkTimeMenu", "chkNetworkMenu"})
        child<QCheckBox>(name)->setChecked(true);
    child<QStatusBar>("statusbar")->showMessage("something earlier");

    QTest::mouseClick(child<QPushButton>("butDefaults"), Qt::LeftButton);

    QCOMPARE(child<QSlider>("sliderBlVal")->value(), 80);
    QCOMPARE(child<QSpinBox>("spinBoxBlTime")->value(), 120);
    const auto radios = child<QGroupBox>("groupBox")->findChildren<QRadioButton *>();
    QCOMPARE(std::count_if(radios.begin(), radios.end(), [](auto *r) { return r->isChecked(); }), 1);
    QVERIFY(child<QRadioButton>("radArm3")->isChecked());
    for (const char *name : {"chkBlMenu", "chkSimulMenu", "chkTimeMenu", "chkNetworkMenu"})
        QVERIFY2(!child<QCheckBox>(name)->isChecked(), name);
    QVERIFY(child<QStatusBar>("statusbar")->currentMessage().isEmpty());
    QCOMPARE(child<QLineEdit>("lineEditIP")->text(), QString("192.0.2.10"));
    QCOMPARE(addressStyle(), QString());
}

void tst_MainWindow::slotTable()
{
    const QMetaObject *meta = window->metaObject();
    QCOMPARE(meta->className(), "qvtpx0xtweaker");
    QCOMPARE(meta->superClass(), &QMainWindow::staticMetaObject);
    QCOMPARE(meta->methodCount() - meta->methodOffset(), 6);
    QCOMPARE(meta->propertyCount(), meta->propertyOffset());
    QCOMPARE(meta->enumeratorCount(), meta->enumeratorOffset());
    QCOMPARE(meta->classInfoCount(), 0);

    const QByteArray signatures[] = {"on_lineEditIP_textChanged(QString)",
                                     "on_butRead_clicked()",
                                     "on_butWrite_clicked()",
                                     "on_butDefaults_clicked()",
                                     "cb_networkAccessManagerGet_finished(QNetworkReply*)",
                                     "cb_networkAccessManagerPut_finished(QNetworkReply*)"};
    const QByteArray parameterNames[] = {"arg1", "", "", "", "reply", "reply"};
    for (int i = 0; i < 6; ++i) {
        const QMetaMethod slot = meta->method(meta->methodOffset() + i);
        QCOMPARE(slot.methodSignature(), signatures[i]);
        QCOMPARE(slot.methodType(), QMetaMethod::Slot);
        QCOMPARE(slot.access(), QMetaMethod::Private);
        QCOMPARE(slot.parameterNames().value(0), parameterNames[i]);
    }

    // A queued connection asks moc for the network slots' argument type.
    for (int i : {4, 5}) {
        int typeId = -1;
        int argument = 0;
        void *arguments[] = {&typeId, &argument};
        QMetaObject::metacall(window, QMetaObject::RegisterMethodArgumentMetaType, meta->methodOffset() + i,
                              arguments);
        QCOMPARE(typeId, qMetaTypeId<QNetworkReply *>());
    }
}

void tst_MainWindow::resources()
{
    QImageReader logo(":/res/Quorvella_logo_h.png");
    QCOMPARE(logo.format(), QByteArray("png"));
    const QImage logoImage = logo.read();
    QCOMPARE(logoImage.size(), QSize(2190, 416));
    QVERIFY(logoImage.hasAlphaChannel());

    // Written by rcc in resource data format version 2.
    QDirIterator generated(QVTPX_RESOURCES_AUTOGEN_DIR, {"qrc_qvtpx0xtweaker.cpp"}, QDir::Files,
                           QDirIterator::Subdirectories);
    QVERIFY(generated.hasNext());
    QFile source(generated.next());
    QVERIFY(source.open(QIODevice::ReadOnly | QIODevice::Text));
    const QByteArray registration = source.readAll();
    QVERIFY(registration.contains("int version = 2;"));
    QVERIFY(!registration.contains("int version = 3;"));

    QFile icon(":/winico");
    QVERIFY(icon.open(QIODevice::ReadOnly));
    QCOMPARE(icon.size(), 3390);
    QImageReader iconReader(&icon);
    QCOMPARE(iconReader.format(), QByteArray("ico"));
    QCOMPARE(iconReader.imageCount(), 1);
    const QImage iconImage = iconReader.read();
    QCOMPARE(iconImage.size(), QSize(37, 48));

    auto *label = child<QLabel>("label");
    QVERIFY(label->text().isEmpty());
    QVERIFY(!label->pixmap(Qt::ReturnByValue).isNull());
}

void tst_MainWindow::quit_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Alt+Q") << "Alt+Q";
    QTest::newRow("Quit button") << "button";
    QTest::newRow("Quit action") << "action";
}

// The offscreen platform defines no standard Quit keys; the real Ctrl+Q is
// pressed in an X server by executable_in_x11.sh.
void tst_MainWindow::quit()
{
    QFETCH(QString, how);
    if (how == "Alt+Q") {
        QTest::keySequence(window, QKeySequence("Alt+Q"));
    } else if (how == "button") {
        QTest::mouseClick(child<QPushButton>("butQuit"), Qt::LeftButton);
    } else {
        const QList<QAction *> actions = window->actions();
        QCOMPARE(actions.size(), 1);
        QAction *action = actions.first();
        QCOMPARE(action->shortcut(), QKeySequence(QKeySequence::Quit));
        action->trigger();
    }
    QTRY_VERIFY(!window->isVisible());
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
