#ifndef MAINFORM_H
#define MAINFORM_H

class QCheckBox;
class QFrame;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpacerItem;
class QSpinBox;
class QStatusBar;
class QVBoxLayout;
class QWidget;

// The fixed content of the main window. The members point at objects owned
// by the window through Qt's parent-child ownership; they are declared in
// creation order, which is also the keyboard focus order.
struct MainForm
{
    QWidget *centralwidget = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QLabel *label = nullptr;
    QLabel *label_3 = nullptr;
    QFrame *line = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QLabel *label_2 = nullptr;
    QLineEdit *lineEditIP = nullptr;
    QFrame *frame = nullptr;
    QVBoxLayout *verticalLayout_3 = nullptr;
    QHBoxLayout *horizontalLayoutButtons = nullptr;
    QPushButton *butRead = nullptr;
    QPushButton *butWrite = nullptr;
    QPushButton *butDefaults = nullptr;
    QVBoxLayout *verticalLayout_2 = nullptr;
    QFrame *line_3 = nullptr;
    QHBoxLayout *horizontalLayout_4 = nullptr;
    QGroupBox *groupBox = nullptr;
    QVBoxLayout *verticalLayout_5 = nullptr;
    QRadioButton *radArm3 = nullptr;
    QRadioButton *radArm2 = nullptr;
    QRadioButton *radArm1 = nullptr;
    QRadioButton *radArm0 = nullptr;
    QGroupBox *groupBox_3 = nullptr;
    QVBoxLayout *verticalLayout_4 = nullptr;
    QCheckBox *chkBlMenu = nullptr;
    QCheckBox *chkSimulMenu = nullptr;
    QCheckBox *chkTimeMenu = nullptr;
    QCheckBox *chkNetworkMenu = nullptr;
    QGroupBox *groupBox_2 = nullptr;
    QHBoxLayout *horizontalLayout_3 = nullptr;
    QSlider *sliderBlVal = nullptr;
    QSpinBox *spinBoxBlTime = nullptr;
    QSpacerItem *verticalSpacer = nullptr;
    QFrame *line_5 = nullptr;
    QPushButton *butQuit = nullptr;
    QStatusBar *statusbar = nullptr;

    void buildForm(QMainWindow *window);
    void setFormTexts(QMainWindow *window);
    // The logo's pixmap; the window sets it last, once it has sized itself.
    void showLogo();

private:
    void buildHeader();
    void buildAddressRow();
    void buildFrame();
    void buildRebootGroup();
    void buildMenuGroup();
    void buildBacklightGroup();
};

#endif // MAINFORM_H
