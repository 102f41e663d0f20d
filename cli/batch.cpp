#include "batch.h"

#include "moduleaddress.h"
#include "parameterfile.h"
#include "report.h"

#include <QBuffer>
#include <QNetworkReply>

#include <cstdio>

Batch::Batch(const Request &request, QObject *parent) : QObject(parent), request(request) { }

void Batch::start()
{
    for (int job = 0; job < request.jobs; ++job)
        startNext();
}

void Batch::startNext()
{
    if (next < request.addresses.size()) {
        ++running;
        startModule(request.addresses.at(next++));
    } else if (running == 0) {
        emit done(anyFailed ? 1 : 0);
    }
}

// Nothing is sent to an address that the window would refuse.
void Batch::startModule(const QString &address)
{
    const QUrl url = ModuleAddress::parameterFileUrl(address);
    if (!ModuleAddress::isWellFormed(address) || !url.isValid()) {
        const QString why = ModuleAddress::isWellFormed(address)
            ? QStringLiteral("not on a subnet of this computer")
            : QStringLiteral("not an IPv4 address of four decimal numbers from 0 to 255");
        return finish({address, why, false, {}});
    }
    QNetworkReply *reply = nullptr;
    if (request.operation == Request::Operation::Read) {
        reply = manager.get(QNetworkRequest(url));
    } else {
        auto *upload = new QBuffer;
        upload->setData(request.file);
        upload->open(QIODevice::ReadOnly);
        reply = manager.put(QNetworkRequest(url), upload);
        upload->setParent(reply);
    }
    connect(reply, &QNetworkReply::finished, this, [this, address, reply] { transferred(address, reply); });
}

void Batch::transferred(const QString &address, QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError)
        return finish({address, reply->errorString(), false, {}});
    if (request.operation == Request::Operation::Read)
        return finish({address, QString(), true, ParameterFile::settingsOf(reply->readAll())});
    if (!request.verify)
        return finish({address, QString(), false, {}});
    QNetworkReply *check = manager.get(QNetworkRequest(reply->url()));
    connect(check, &QNetworkReply::finished, this, [this, address, check] { readBack(address, check); });
}

// A module may answer 226 and keep something else: what it holds now must
// be the very bytes written.
void Batch::readBack(const QString &address, QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError)
        return finish({address, QStringLiteral("Reading back: ") + reply->errorString(), false, {}});
    const QByteArray kept = reply->readAll();
    if (kept != request.file)
        return finish({address, QStringLiteral("The module kept other content than was written"), false, {}});
    finish({address, QString(), true, ParameterFile::settingsOf(kept)});
}

void Batch::finish(const ModuleOutcome &outcome)
{
    anyFailed = anyFailed || !outcome.error.isEmpty();
    const QByteArray line = request.json ? Report::jsonLine(outcome) : Report::textLine(outcome);
    fwrite(line.constData(), 1, size_t(line.size()), stdout);
    fflush(stdout);
    --running;
    startNext();
}
