#include "qvtpx0xtweaker.h"

#include "closeguard.h"
#include "ftpaccessmanager.h"
#include "mainform.h"
#include "moduleaddress.h"
#include "modulesettings.h"

#include <QAction>
#include <QCoreApplication>
#include <QFrame>
#include <QIcon>
#include <QLineEdit>
#include <QPixmap>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QRegExp>
#include <QRegExpValidator>
#else
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#endif
#include <QStatusBar>

qvtpx0xtweaker::qvtpx0xtweaker(QWidget *parent)
    : QMainWindow(parent), form(new MainForm), uploadData(nullptr), uploadBuffer(nullptr)
{
    auto *quitAction = new QAction(this);
    qSetMessagePattern(QStringLiteral("%{file}:%{line} - %{message}"));
    form->buildForm(this);
    // Read as what it is: a QIcon given the path would first look its type
    // up in the MIME database (the name has no suffix), at a cost in
    // start-up time and memory.
    setWindowIcon(QIcon(QPixmap(QStringLiteral(":/winico"), "ico")));
    setWindowTitle(QStringLiteral("%1 (v%2)")
                       .arg(QStringLiteral("Quorvella2 VTPX02/04 tweaker")) // clazy:exclude=qstring-arg
                       .arg(QCoreApplication::applicationVersion()));

    quitAction->setShortcut(QKeySequence(QKeySequence::Quit));
    connect(quitAction, SIGNAL(triggered()), this, SLOT(close()));
    addAction(quitAction);
    new CloseGuard(this, [this] { return mayCloseNow(); });

    on_lineEditIP_textChanged(QString());
    on_butDefaults_clicked();
    adjustSize();
    // Last, so that the logo's decoding in the background has the longest
    // time: its label has a fixed size, so the window's size does not
    // depend on it.
    form->showLogo();
}

qvtpx0xtweaker::~qvtpx0xtweaker()
{
    // A transfer still in flight ends here, without its completion.
    delete transferInFlight;
    releaseUpload();
    delete form;
}

// Once the first frame is drawn, and long before the user can click Read,
// the network layer sets itself up: Qt does so for its first network
// access manager, which would otherwise be the first read's. The warm-up
// is a manager of the transfers' own kind, which loads no bearer plugin.
void qvtpx0xtweaker::paintEvent(QPaintEvent *event)
{
    QMainWindow::paintEvent(event);
    if (firstFrameDrawn)
        return;
    firstFrameDrawn = true;
    QMetaObject::invokeMethod(
        this, [] { FtpAccessManager warmUp; }, Qt::QueuedConnection);
}

void qvtpx0xtweaker::on_lineEditIP_textChanged(const QString &arg1)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    const QRegExp expression(ModuleAddress::pattern(), Qt::CaseSensitive, QRegExp::RegExp);
    QRegExpValidator validator(expression);
#else // Qt 6 has no QRegExp; the validator takes the whole text here too
    const QRegularExpression expression(ModuleAddress::pattern());
    QRegularExpressionValidator validator(expression);
#endif
    QString text = arg1;
    int position = 0;
    const bool acceptable = validator.validate(text, position) == QValidator::Acceptable;

    form->frame->setEnabled(acceptable);
    form->lineEditIP->setStyleSheet(acceptable ? QString()
                                               : QStringLiteral("QLineEdit {background-color:#FFA07A;}"));
}

void qvtpx0xtweaker::on_butDefaults_clicked()
{
    form->statusbar->showMessage(QString(), 0);
    showSettings(ModuleSettings());
}
