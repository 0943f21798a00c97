#include "reports/DebugReportUploader.h"

#include "gallery/BoundedNetworkAccess.h"
#include "gallery/GalleryRequests.h"

#include <QCoreApplication>
#include <QHttpMultiPart>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <utility>

namespace debugreport {
namespace {

QHttpPart formPart(const QByteArray& disposition, const QByteArray& body)
{
    QHttpPart part;
    part.setHeader(QNetworkRequest::ContentDispositionHeader, disposition);
    part.setBody(body);
    return part;
}

// The server's own reason, when it gave one.
QString serverError(const QJsonObject& object, const QString& fallback)
{
    const QJsonValue error = object.value(QStringLiteral("error"));
    return error.isString() && !error.toString().isEmpty() ? error.toString() : fallback;
}

} // namespace

DebugReportUploader::DebugReportUploader(QObject* parent, const QUrl& serviceUrl)
    : QObject(parent)
    , network(new gallery::BoundedNetworkAccess(this))
    , serviceUrl(serviceUrl)
    , timer(new QTimer(this))
{
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &DebugReportUploader::onUploadTimeout);
}

QUrl DebugReportUploader::builtInServiceUrl()
{
    return QUrl(QStringLiteral("https://support.korvelanto.app"));
}

QHttpMultiPart* DebugReportUploader::buildMultipart(const QString& email, const QString& message,
                                                    const QByteArray& zip, QObject* parent)
{
    auto* multipart = new QHttpMultiPart(QHttpMultiPart::FormDataType, parent);
    multipart->append(formPart("form-data; name=\"email\"", email.toUtf8()));
    multipart->append(formPart("form-data; name=\"message\"", message.toUtf8()));
    QHttpPart report = formPart("form-data; name=\"report\"; filename=\"report.zip\"", zip);
    report.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/zip"));
    multipart->append(report);
    return multipart;
}

void DebugReportUploader::upload(const QString& email, const QString& message, const QByteArray& zip)
{
    // One report per uploader: a second call while the first runs is ignored.
    if (reply)
        return;
    QUrl url = serviceUrl;
    url.setPath(url.path() + QStringLiteral("/debug-reports/upload"));
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Korvelanto/%1").arg(QCoreApplication::applicationVersion()));

    QHttpMultiPart* body = buildMultipart(email, message, zip, this);
    replyTooLong = false;
    reply = network->post(request, body);
    body->setParent(reply);
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        abortIfTooLong(reply ? reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() : 0);
    });
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this](qint64 received, qint64 total) { abortIfTooLong(qMax(received, total)); });
    connect(reply, &QNetworkReply::finished, this, &DebugReportUploader::onReplyFinished);
    timer->start(timeoutMs);
}

void DebugReportUploader::onUploadTimeout()
{
    if (reply)
        gallery::GalleryRequests::abortTimedOut(reply);
}

// The body is not worth holding in memory: stop the transfer and let the
// status decide, as for an answer without JSON.
void DebugReportUploader::abortIfTooLong(qint64 size)
{
    if (!reply || !reply->isRunning() || size <= kMaxReplyBytes)
        return;
    replyTooLong = true;
    reply->abort();
}

QJsonObject DebugReportUploader::replyObject(QNetworkReply* finishedReply) const
{
    // An aborted reply is closed and has nothing to read.
    if (replyTooLong || !finishedReply->isOpen())
        return {};
    const QByteArray body = finishedReply->read(kMaxReplyBytes + 1);
    if (body.size() > kMaxReplyBytes)
        return {};
    return QJsonDocument::fromJson(body).object();
}

// What happened to a reply that failed: our own time ran out, or the
// server closed early or refused, in the reply's words.
QString DebugReportUploader::failureText(const QNetworkReply* finishedReply)
{
    const QString local = gallery::GalleryRequests::localFailure(finishedReply);
    return local.isEmpty() ? finishedReply->errorString() : local;
}

void DebugReportUploader::onReplyFinished()
{
    QNetworkReply* finishedReply = std::exchange(reply, nullptr);
    if (!finishedReply)
        return;
    finishedReply->deleteLater();
    timer->stop();

    const int status = finishedReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QJsonObject object = replyObject(finishedReply);
    // Our own stop of an over-long body is not a network failure.
    const bool delivered = replyTooLong || finishedReply->error() == QNetworkReply::NoError;
    const QString errorText = delivered ? QString() : failureText(finishedReply);

    if (delivered && status >= 200 && status <= 299) {
        if (object.value(QStringLiteral("ok")).toBool())
            Q_EMIT finished(object.value(QStringLiteral("id")).toString());
        else
            Q_EMIT failed(serverError(object, tr("Server rejected the report")));
        return;
    }
    if (status == 400)
        Q_EMIT failed(serverError(object, tr("Validation error")));
    else if (status == 413)
        Q_EMIT failed(tr("Report too large (>20 MB). Close some configs and retry."));
    else if (status == 429)
        Q_EMIT failed(tr("Too many reports \u2014 try again later."));
    else if (status >= 500 && status <= 599)
        Q_EMIT failed(tr("Server error (%1). Try again in a moment.").arg(status));
    else
        Q_EMIT failed(errorText.isEmpty() ? tr("Upload failed (HTTP %1)").arg(status) : errorText);
}

} // namespace debugreport
