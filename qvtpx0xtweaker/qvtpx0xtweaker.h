#ifndef QVTPX0XTWEAKER_H
#define QVTPX0XTWEAKER_H

#include "ftpreply.h"

#include <QMainWindow>
#include <QNetworkReply> // complete, so that moc registers the slots' argument type
#include <QUrl>

class ModuleSettings;
class QBuffer;
class QNetworkAccessManager;
struct MainForm;

// The tool's only window: it shows the module's parameters, validates the
// module's address and reads or writes the parameter file over FTP.
class qvtpx0xtweaker : public QMainWindow
{
    Q_OBJECT

public:
    explicit qvtpx0xtweaker(QWidget *parent = nullptr);
    ~qvtpx0xtweaker() override;

protected:
    void paintEvent(QPaintEvent *event) override;

private slots:
    void on_lineEditIP_textChanged(const QString &arg1);
    void on_butRead_clicked();
    void on_butWrite_clicked();
    void on_butDefaults_clicked();
    void cb_networkAccessManagerGet_finished(QNetworkReply *reply);
    void cb_networkAccessManagerPut_finished(QNetworkReply *reply);

private:
    friend struct WindowInternals; // the tests' access to the operations below

    QUrl buildDeviceUrl() const;
    QByteArray buildParameterFile() const;
    void applyParameterFile(const QByteArray &text);
    void showSettings(const ModuleSettings &settings);
    QNetworkAccessManager *createTransferManager();
    void detachTransfer(QNetworkAccessManager *manager, QNetworkReply *reply);
    void reportTransferFailure(const QString &statusPrefix, const QString &boxPrefix,
                               const QNetworkReply *reply);
    void releaseUpload();
    bool mayCloseNow();

    MainForm *form;
    QByteArray *uploadData;                            // the text of the write in flight
    QBuffer *uploadBuffer;                             // reads uploadData for the write in flight
    QNetworkAccessManager *transferInFlight = nullptr; // the read's or the write's, until its completion
    FtpTimeLimits transferTimeLimits;
    bool quitWhenWritten = false;
    bool firstFrameDrawn = false;
};

#endif // QVTPX0XTWEAKER_H
