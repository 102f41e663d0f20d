#include "mainform.h"

#include "logo.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMetaObject>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpacerItem>
#include <QSpinBox>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

template <typename T, typename Parent>
T *create(Parent parent, const char *objectName)
{
    T *object = new T(parent);
    object->setObjectName(QString::fromLatin1(objectName));
    return object;
}

QFrame *createRule(QWidget *parent, const char *objectName)
{
    QFrame *rule = create<QFrame>(parent, objectName);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    return rule;
}

QSizePolicy sizePolicyFor(const QWidget *widget, QSizePolicy::Policy policy)
{
    QSizePolicy sizePolicy(policy, policy);
    sizePolicy.setHorizontalStretch(0);
    sizePolicy.setVerticalStretch(0);
    sizePolicy.setHeightForWidth(widget->sizePolicy().hasHeightForWidth());
    return sizePolicy;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("qvtpx0xtweaker", text);
}

} // namespace

void MainForm::buildForm(QMainWindow *window)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("qvtpx0xtweaker"));
    window->setWindowModality(Qt::NonModal);
    window->resize(600, 580);
    window->setSizePolicy(sizePolicyFor(window, QSizePolicy::MinimumExpanding));
    window->setMinimumSize(QSize(600, 0));

    centralwidget = create<QWidget>(window, "centralwidget");
    verticalLayout = create<QVBoxLayout>(centralwidget, "verticalLayout");
    buildHeader();
    buildAddressRow();
    buildFrame();
    line_5 = createRule(centralwidget, "line_5");
    verticalLayout->addWidget(line_5);
    butQuit = create<QPushButton>(centralwidget, "butQuit");
    verticalLayout->addWidget(butQuit);
    window->setCentralWidget(centralwidget);

    statusbar = create<QStatusBar>(window, "statusbar");
    window->setStatusBar(statusbar);

    setFormTexts(window);
    QObject::connect(butQuit, SIGNAL(clicked()), window, SLOT(close()));
    QMetaObject::connectSlotsByName(window);
}

void MainForm::showLogo()
{
    label->setPixmap(Logo::pixmap());
}

void MainForm::buildHeader()
{
    label = create<QLabel>(centralwidget, "label");
    label->setSizePolicy(sizePolicyFor(label, QSizePolicy::Fixed));
    label->setMinimumSize(QSize(201, 31));
    label->setMaximumSize(QSize(201, 31));
    label->setScaledContents(true);
    label->setWordWrap(false);
    verticalLayout->addWidget(label);

    label_3 = create<QLabel>(centralwidget, "label_3");
    label_3->setSizePolicy(sizePolicyFor(label_3, QSizePolicy::MinimumExpanding));
    label_3->setAlignment(Qt::AlignJustify | Qt::AlignVCenter);
    label_3->setWordWrap(true);
    verticalLayout->addWidget(label_3);

    line = createRule(centralwidget, "line");
    verticalLayout->addWidget(line);
}

void MainForm::buildAddressRow()
{
    horizontalLayout = create<QHBoxLayout>(nullptr, "horizontalLayout");
    label_2 = create<QLabel>(centralwidget, "label_2");
    horizontalLayout->addWidget(label_2);
    lineEditIP = create<QLineEdit>(centralwidget, "lineEditIP");
    horizontalLayout->addWidget(lineEditIP);
    verticalLayout->addLayout(horizontalLayout);
}

// Everything that acts on the module lives inside `frame`, so that one
// setEnabled() on it gates them all.
void MainForm::buildFrame()
{
    frame = create<QFrame>(centralwidget, "frame");
    frame->setFrameShape(QFrame::NoFrame);
    verticalLayout_3 = create<QVBoxLayout>(frame, "verticalLayout_3");
    verticalLayout_3->setContentsMargins(0, 0, 0, 9);

    horizontalLayoutButtons = create<QHBoxLayout>(nullptr, "horizontalLayoutButtons");
    butRead = create<QPushButton>(frame, "butRead");
    horizontalLayoutButtons->addWidget(butRead);
    butWrite = create<QPushButton>(frame, "butWrite");
    horizontalLayoutButtons->addWidget(butWrite);
    butDefaults = create<QPushButton>(frame, "butDefaults");
    horizontalLayoutButtons->addWidget(butDefaults);
    verticalLayout_3->addLayout(horizontalLayoutButtons);

    verticalLayout_2 = create<QVBoxLayout>(nullptr, "verticalLayout_2");
    verticalLayout_2->setContentsMargins(-1, -1, -1, 9);
    line_3 = createRule(frame, "line_3");
    verticalLayout_2->addWidget(line_3);
    horizontalLayout_4 = create<QHBoxLayout>(nullptr, "horizontalLayout_4");
    horizontalLayout_4->setContentsMargins(-1, -1, -1, 9);
    buildRebootGroup();
    buildMenuGroup();
    verticalLayout_2->addLayout(horizontalLayout_4);
    buildBacklightGroup();
    verticalLayout_3->addLayout(verticalLayout_2);

    verticalSpacer = new QSpacerItem(20, 1, QSizePolicy::Minimum, QSizePolicy::Expanding);
    verticalLayout_3->addItem(verticalSpacer);
    verticalLayout->addWidget(frame);
}

void MainForm::buildRebootGroup()
{
    groupBox = create<QGroupBox>(frame, "groupBox");
    verticalLayout_5 = create<QVBoxLayout>(groupBox, "verticalLayout_5");
    radArm3 = create<QRadioButton>(groupBox, "radArm3");
    radArm3->setChecked(true);
    verticalLayout_5->addWidget(radArm3);
    radArm2 = create<QRadioButton>(groupBox, "radArm2");
    verticalLayout_5->addWidget(radArm2);
    radArm1 = create<QRadioButton>(groupBox, "radArm1");
    verticalLayout_5->addWidget(radArm1);
    radArm0 = create<QRadioButton>(groupBox, "radArm0");
    verticalLayout_5->addWidget(radArm0);
    horizontalLayout_4->addWidget(groupBox);
}

void MainForm::buildMenuGroup()
{
    groupBox_3 = create<QGroupBox>(frame, "groupBox_3");
    verticalLayout_4 = create<QVBoxLayout>(groupBox_3, "verticalLayout_4");
    chkBlMenu = create<QCheckBox>(groupBox_3, "chkBlMenu");
    verticalLayout_4->addWidget(chkBlMenu);
    chkSimulMenu = create<QCheckBox>(groupBox_3, "chkSimulMenu");
    verticalLayout_4->addWidget(chkSimulMenu);
    chkTimeMenu = create<QCheckBox>(groupBox_3, "chkTimeMenu");
    verticalLayout_4->addWidget(chkTimeMenu);
    chkNetworkMenu = create<QCheckBox>(groupBox_3, "chkNetworkMenu");
    verticalLayout_4->addWidget(chkNetworkMenu);
    horizontalLayout_4->addWidget(groupBox_3);
}

void MainForm::buildBacklightGroup()
{
    groupBox_2 = create<QGroupBox>(frame, "groupBox_2");
    horizontalLayout_3 = create<QHBoxLayout>(groupBox_2, "horizontalLayout_3");
    sliderBlVal = create<QSlider>(groupBox_2, "sliderBlVal");
    sliderBlVal->setMaximum(100);
    sliderBlVal->setValue(80);
    sliderBlVal->setTracking(false);
    sliderBlVal->setOrientation(Qt::Horizontal);
    sliderBlVal->setTickPosition(QSlider::TicksAbove);
    sliderBlVal->setTickInterval(10);
    horizontalLayout_3->addWidget(sliderBlVal);
    spinBoxBlTime = create<QSpinBox>(groupBox_2, "spinBoxBlTime");
    spinBoxBlTime->setAccelerated(true);
    spinBoxBlTime->setMaximum(600);
    spinBoxBlTime->setValue(120);
    horizontalLayout_3->addWidget(spinBoxBlTime);
    verticalLayout_2->addWidget(groupBox_2);
}

void MainForm::setFormTexts(QMainWindow *window)
{
    window->setWindowTitle(tr("MainWindow"));
    label->setText(QString());
    label_3->setText(tr(
        "<html><head/><body>"
        "<p>Tool to adjust some hidden parameters of VTPX02/VTPX04 modules.</p>"
        "<p><span style=\" color:#ff0000;\">- Contact Quorvella's support before using this tool.</span></p>"
        "<p><span style=\" color:#ff0000;\">- Parameters must be changed carefully.</span></p>"
        "<p><span style=\" color:#ff0000;\">- VTPX02/VTPX04 must be connected on the same LAN than this computer !</span></p>"
        "<p><span style=\" color:#ff0000;\">- IP address of VTPX02/VTPX04 must be known. Go to flasher dialog in "
        "Quorvella2/Tessaline to find the current IP address.</span></p>"
        "<p><span style=\" color:#000000;\">- Parameters can reset to default after an O.S. update</span></p>"
        "</body></html>"));
    label_2->setText(tr("IP address"));
    butRead->setText(tr("&Read current config"));
    butWrite->setToolTip(tr("Ask to all connected DALI slaves/drivers to go to their Minimal Level"));
    butWrite->setText(tr("&Write new config"));
    butDefaults->setText(tr("Restore defaults"));
    groupBox->setTitle(tr("Auto-reboot mode"));
    radArm3->setText(tr("Automatic"));
    radArm2->setText(tr("Each afternoon (14h00)"));
    radArm1->setText(tr("Each night (2h00 A.M.)"));
    radArm0->setText(tr("Disabled"));
    groupBox_3->setTitle(tr("Restictions on menus"));
    chkBlMenu->setText(tr("Disable access to backlight menu"));
    chkSimulMenu->setText(tr("Disable access to simulation menu"));
    chkTimeMenu->setText(tr("Disable access to time menu"));
    chkNetworkMenu->setText(tr("Disable access to network menu"));
    groupBox_2->setTitle(tr("Backlight"));
    spinBoxBlTime->setToolTip(tr("A value of 0second will let the backlight always on."));
    spinBoxBlTime->setSuffix(tr("seconds"));
    butQuit->setText(tr("&Quit"));
}
