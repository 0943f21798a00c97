#include "gallery/GalleryRequests.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QStringList>

namespace gallery::GalleryRequests {
namespace {

const char* const kOversize = "dashOversize";
const char* const kCap = "dashCap";

void abortOversized(QNetworkReply* reply)
{
    if (reply->isRunning()) {
        reply->setProperty(kOversize, true);
        reply->abort();
    }
}

} // namespace

QUrl defaultBaseUrl()
{
    return QUrl(QStringLiteral("https://gallery.korvelanto.app"));
}

QByteArray userAgent()
{
    return QByteArrayLiteral("Korvelanto/") + QCoreApplication::applicationVersion().toUtf8();
}

QUrl endpoint(const QUrl& base, const QStringList& segments, const QString& query)
{
    QByteArray encoded = base.toEncoded(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::StripTrailingSlash);
    for (const QString& segment : segments)
        encoded += '/' + QUrl::toPercentEncoding(segment);
    if (!query.isEmpty())
        encoded += '?' + query.toUtf8();
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

QNetworkRequest request(const QUrl& url, int transferTimeoutMs)
{
    QNetworkRequest req(url);
    req.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
    req.setTransferTimeout(transferTimeoutMs);
    return req;
}

void capBody(QNetworkReply* reply, qint64 maxBytes)
{
    reply->setProperty(kCap, maxBytes);
    // An honest server announces the size before the body...
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, maxBytes] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > maxBytes)
            abortOversized(reply);
    });
    // ...any other is stopped once it has sent too much.
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [reply, maxBytes](qint64 received, qint64 total) {
                         if (received > maxBytes || total > maxBytes)
                             abortOversized(reply);
                     });
}

QString localFailure(const QNetworkReply* reply)
{
    // The network thread may have received the whole body before the
    // progress signal got through: the finished reply is measured too.
    const QVariant cap = reply->property(kCap);
    if (reply->property(kOversize).isValid() || (cap.isValid() && reply->bytesAvailable() > cap.toLongLong()))
        return QCoreApplication::translate("gallery", "the reply is larger than %1 bytes").arg(cap.toLongLong());
    if (reply->error() == QNetworkReply::OperationCanceledError
        || reply->error() == QNetworkReply::TimeoutError)
        return QCoreApplication::translate("gallery", "the server did not answer in time");
    return {};
}

} // namespace gallery::GalleryRequests
