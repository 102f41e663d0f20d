#include "qvtpx0xtweaker.h"

#include <QNetworkReply>

void qvtpx0xtweaker::on_butRead_clicked()
{
}

void qvtpx0xtweaker::on_butWrite_clicked()
{
}

void qvtpx0xtweaker::cb_networkAccessManagerGet_finished(QNetworkReply *reply)
{
    Q_UNUSED(reply)
}

void qvtpx0xtweaker::cb_networkAccessManagerPut_finished(QNetworkReply *reply)
{
    Q_UNUSED(reply)
}
