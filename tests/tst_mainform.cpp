#include "mainform.h"
#include "qvtpx0xtweaker.h"

#include <QtTest>
#include <QtWidgets>

// The form is an interface: other code and the slots bound by name rely on
// its object names, classes, parents and layout positions.
class tst_MainForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setApplicationVersion("1.0"); }
    void init();
    void cleanup();
    void objectTree_data();
    void objectTree();
    void texts_data();
    void texts();
    void notice();
    void properties();
    void frameHoldsEveryModuleControl();
    void focusFollowsCreationOrder();
    void presetObjectNameIsKept();

private:
    QObject *object(const QString &name) const;
    qvtpx0xtweaker *window = nullptr;
};

void tst_MainForm::init()
{
    window = new qvtpx0xtweaker;
}

void tst_MainForm::cleanup()
{
    delete window;
}

QObject *tst_MainForm::object(const QString &name) const
{
    if (name == QLatin1String("qvtpx0xtweaker"))
        return window;
    return window->findChild<QObject *>(name);
}

void tst_MainForm::objectTree_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parent"); // widget parent, or the widget a layout is installed on
    QTest::addColumn<QString>("layout"); // the layout it is placed in
    QTest::addColumn<int>("position");

    const struct
    {
        const char *name, *className, *parent, *layout;
        int position;
    } rows[] = {
        {"centralwidget", "QWidget", "qvtpx0xtweaker", "", -1},
        {"verticalLayout", "QVBoxLayout", "centralwidget", "", -1},
        {"label", "QLabel", "centralwidget", "verticalLayout", 0},
        {"label_3", "QLabel", "centralwidget", "verticalLayout", 1},
        {"line", "QFrame", "centralwidget", "verticalLayout", 2},
        {"horizontalLayout", "QHBoxLayout", "", "verticalLayout", 3},
        {"label_2", "QLabel", "centralwidget", "horizontalLayout", 0},
        {"lineEditIP", "QLineEdit", "centralwidget", "horizontalLayout", 1},
        {"frame", "QFrame", "centralwidget", "verticalLayout", 4},
        {"verticalLayout_3", "QVBoxLayout", "frame", "", -1},
        {"horizontalLayoutButtons", "QHBoxLayout", "", "verticalLayout_3", 0},
        {"butRead", "QPushButton", "frame", "horizontalLayoutButtons", 0},
        {"butWrite", "QPushButton", "frame", "horizontalLayoutButtons", 1},
        {"butDefaults", "QPushButton", "frame", "horizontalLayoutButtons", 2},
        {"verticalLayout_2", "QVBoxLayout", "", "verticalLayout_3", 1},
        {"line_3", "QFrame", "frame", "verticalLayout_2", 0},
        {"horizontalLayout_4", "QHBoxLayout", "", "verticalLayout_2", 1},
        {"groupBox", "QGroupBox", "frame", "horizontalLayout_4", 0},
        {"verticalLayout_5", "QVBoxLayout", "groupBox", "", -1},
        {"radArm3", "QRadioButton", "groupBox", "verticalLayout_5", 0},
        {"radArm2", "QRadioButton", "groupBox", "verticalLayout_5", 1},
        {"radArm1", "QRadioButton", "groupBox", "verticalLayout_5", 2},
        {"radArm0", "QRadioButton", "groupBox", "verticalLayout_5", 3},
        {"groupBox_3", "QGroupBox", "frame", "horizontalLayout_4", 1},
        {"verticalLayout_4", "QVBoxLayout", "groupBox_3", "", -1},
        {"chkBlMenu", "QCheckBox", "groupBox_3", "verticalLayout_4", 0},
        {"chkSimulMenu", "QCheckBox", "groupBox_3", "verticalLayout_4", 1},
        {"chkTimeMenu", "QCheckBox", "groupBox_3", "verticalLayout_4", 2},
        {"chkNetworkMenu", "QCheckBox", "groupBox_3", "verticalLayout_4", 3},
        {"groupBox_2", "QGroupBox", "frame", "verticalLayout_2", 2},
        {"horizontalLayout_3", "QHBoxLayout", "groupBox_2", "", -1},
        {"sliderBlVal", "QSlider", "groupBox_2", "horizontalLayout_3", 0},
        {"spinBoxBlTime", "QSpinBox", "groupBox_2", "horizontalLayout_3", 1},
        {"line_5", "QFrame", "centralwidget", "verticalLayout", 5},
        {"butQuit", "QPushButton", "centralwidget", "verticalLayout", 6},
        {"statusbar", "QStatusBar", "qvtpx0xtweaker", "", -1},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << row.className << row.parent << row.layout << row.position;
}

void tst_MainForm::objectTree()
{
    QFETCH(QString, className);
    QFETCH(QString, parent);
    QFETCH(QString, layout);
    QFETCH(int, position);

    QObject *found = object(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(found);
    QCOMPARE(QString::fromLatin1(found->metaObject()->className()), className);

    if (auto *widget = qobject_cast<QWidget *>(found)) {
        QCOMPARE(widget->parentWidget()->objectName(), parent);
    } else {
        auto *installedOn = qobject_cast<QWidget *>(found->parent()); // nested: the outer layout
        QCOMPARE(installedOn ? installedOn->objectName() : QString(), parent);
    }
    if (layout.isEmpty())
        return;
    auto *outer = qobject_cast<QLayout *>(object(layout));
    QVERIFY(outer);
    QLayoutItem *item = outer->itemAt(position);
    QVERIFY(item);
    QObject *placed = item->widget() ? static_cast<QObject *>(item->widget()) : item->layout();
    QCOMPARE(placed, found);
}

void tst_MainForm::texts_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QString>("text");

    const struct
    {
        const char *object, *property, *text;
    } rows[] = {
        {"qvtpx0xtweaker", "windowTitle", "Quorvella2 VTPX02/04 tweaker (v1.0)"},
        {"label", "text", ""},
        {"label_2", "text", "IP address"},
        {"butRead", "text", "&Read current config"},
        {"butWrite", "toolTip", "Ask to all connected DALI slaves/drivers to go to their Minimal Level"},
        {"butWrite", "text", "&Write new config"},
        {"butDefaults", "text", "Restore defaults"},
        {"groupBox", "title", "Auto-reboot mode"},
        {"radArm3", "text", "Automatic"},
        {"radArm2", "text", "Each afternoon (14h00)"},
        {"radArm1", "text", "Each night (2h00 A.M.)"},
        {"radArm0", "text", "Disabled"},
        {"groupBox_3", "title", "Restictions on menus"},
        {"chkBlMenu", "text", "Disable access to backlight menu"},
        {"chkSimulMenu", "text", "Disable access to simulation menu"},
        {"chkTimeMenu", "text", "Disable access to time menu"},
        {"chkNetworkMenu", "text", "Disable access to network menu"},
        {"groupBox_2", "title", "Backlight"},
        {"spinBoxBlTime", "toolTip", "A value of 0second will let the backlight always on."},
        {"spinBoxBlTime", "suffix", "seconds"},
        {"butQuit", "text", "&Quit"},
    };
    for (const auto &row : rows) {
        QTest::addRow("%s.%s", row.object, row.property)
            << QString::fromLatin1(row.object) << QByteArray(row.property) << QString::fromUtf8(row.text);
    }
}

void tst_MainForm::texts()
{
    QFETCH(QString, objectName);
    QFETCH(QByteArray, property);
    QFETCH(QString, text);

    QCOMPARE(object(objectName)->property(property.constData()).toString(), text);
}

void tst_MainForm::notice()
{
    const QString paragraphs[] = {
        "Tool to adjust some hidden parameters of VTPX02/VTPX04 modules.",
        "- Contact Quorvella's support before using this tool.",
        "- Parameters must be changed carefully.",
        "- VTPX02/VTPX04 must be connected on the same LAN than this computer !",
        QString("- IP address of VTPX02/VTPX04 must be known. Go to flasher dialog in Quorvella2/Tessaline ")
            + "to find the current IP address.",
        "- Parameters can reset to default after an O.S. update",
    };
    QString expected = "<html><head/><body><p>" + paragraphs[0] + "</p>";
    for (int i = 1; i < 6; ++i) {
        const QString colour = i < 5 ? " color:#ff0000;" : " color:#000000;";
        expected += "<p><span style=\"" + colour + "\">" + paragraphs[i] + "</span></p>";
    }
    expected += "</body></html>";

    const QString text = window->findChild<QLabel *>("label_3")->text();
    QCOMPARE(text, expected);
    QCOMPARE(text.size(), 660);
}

void tst_MainForm::properties()
{
    auto *label = window->findChild<QLabel *>("label");
    QCOMPARE(label->minimumSize(), QSize(201, 31));
    QCOMPARE(label->maximumSize(), QSize(201, 31));
    QVERIFY(label->hasScaledContents());
    QVERIFY(label->pixmap(Qt::ReturnByValue).size() == QSize(2190, 416));
    QCOMPARE(label->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);

    auto *notice = window->findChild<QLabel *>("label_3");
    QCOMPARE(notice->alignment(), Qt::AlignJustify | Qt::AlignVCenter);
    QVERIFY(notice->wordWrap());
    QCOMPARE(notice->sizePolicy().verticalPolicy(), QSizePolicy::MinimumExpanding);

    auto *slider = window->findChild<QSlider *>("sliderBlVal");
    QCOMPARE(slider->minimum(), 0);
    QCOMPARE(slider->maximum(), 100);
    QVERIFY(!slider->hasTracking());
    QCOMPARE(slider->orientation(), Qt::Horizontal);
    QCOMPARE(slider->tickPosition(), QSlider::TicksAbove);
    QCOMPARE(slider->tickInterval(), 10);

    auto *spinBox = window->findChild<QSpinBox *>("spinBoxBlTime");
    QCOMPARE(spinBox->minimum(), 0);
    QCOMPARE(spinBox->maximum(), 600);
    QVERIFY(spinBox->isAccelerated());

    QCOMPARE(window->findChild<QLayout *>("verticalLayout_3")->contentsMargins(), QMargins(0, 0, 0, 9));
    QCOMPARE(window->findChild<QLayout *>("horizontalLayout_4")->contentsMargins().bottom(), 9);
    QSpacerItem *spacer = window->findChild<QLayout *>("verticalLayout_3")->itemAt(2)->spacerItem();
    QVERIFY(spacer);
    QCOMPARE(spacer->sizeHint(), QSize(20, 1));
    QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);

    QCOMPARE(window->minimumWidth(), 600);
    QVERIFY(!window->menuWidget());
}

void tst_MainForm::frameHoldsEveryModuleControl()
{
    auto *frame = window->findChild<QFrame *>("frame");
    const char *inside[] = {"butRead",        "butWrite",    "butDefaults",  "radArm3",      "radArm2",
                            "radArm1",        "radArm0",     "chkBlMenu",    "chkSimulMenu", "chkTimeMenu",
                            "chkNetworkMenu", "sliderBlVal", "spinBoxBlTime"};
    for (const char *name : inside)
        QVERIFY2(frame->isAncestorOf(window->findChild<QWidget *>(name)), name);
    QVERIFY(!frame->isAncestorOf(window->findChild<QWidget *>("lineEditIP")));
    QVERIFY(!frame->isAncestorOf(window->findChild<QWidget *>("butQuit")));
}

void tst_MainForm::focusFollowsCreationOrder()
{
    const QStringList expected
        = {"lineEditIP",  "butRead",        "butWrite",    "butDefaults",   "radArm3",
           "radArm2",     "radArm1",        "radArm0",     "chkBlMenu",     "chkSimulMenu",
           "chkTimeMenu", "chkNetworkMenu", "sliderBlVal", "spinBoxBlTime", "butQuit"};
    QStringList chain;
    for (QWidget *w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
        if (expected.contains(w->objectName()))
            chain << w->objectName();
    }
    QCOMPARE(chain, expected);
}

void tst_MainForm::presetObjectNameIsKept()
{
    QMainWindow named;
    named.setObjectName("alreadyNamed");
    MainForm form;
    form.buildForm(&named);
    QCOMPARE(named.objectName(), QString("alreadyNamed"));

    QMainWindow unnamed;
    MainForm other;
    other.buildForm(&unnamed);
    QCOMPARE(unnamed.objectName(), QString("qvtpx0xtweaker"));
    QCOMPARE(unnamed.windowTitle(), QString("MainWindow"));
}

QTEST_MAIN(tst_MainForm)
#include "tst_mainform.moc"
