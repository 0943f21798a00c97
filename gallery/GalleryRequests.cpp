#include "gallery/GalleryRequests.h"

#include "gallery/ReplyBodyBuffer.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QStringList>

namespace gallery::GalleryRequests {
namespace {

const char* const kOversize = "dashOversize";
const char* const kCap = "dashCap";
const char* const kTimedOut = "dashTimedOut";

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
    boundTransfer(req);
    return req;
}

void boundTransfer(QNetworkRequest& request)
{
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
}

void boundReadBuffer(QNetworkReply* reply)
{
    reply->setReadBufferSize(kReadChunkBytes);
    // A request with a body (the bundle's POST) reaches Qt's network thread
    // only after this call, and the size set now never gets there: it is
    // set again once the request is out, when the thread surely holds it.
    QObject::connect(reply, &QNetworkReply::requestSent, reply,
                     [reply] { reply->setReadBufferSize(kReadChunkBytes); });
}

void capAnnouncedSize(QNetworkReply* reply, qint64 maxBytes)
{
    reply->setProperty(kCap, maxBytes);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, maxBytes] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > maxBytes)
            abortOversized(reply);
    });
}

void capBody(QNetworkReply* reply, qint64 maxBytes)
{
    // An honest server announces the size before the body...
    capAnnouncedSize(reply, maxBytes);
    // ...any other is stopped once it has sent too much.
    boundReadBuffer(reply);
    new ReplyBodyBuffer(reply, maxBytes);
}

QByteArray body(QNetworkReply* reply)
{
    ReplyBodyBuffer* buffer = ReplyBodyBuffer::of(reply);
    return buffer ? buffer->take() : reply->readAll();
}

QString localFailure(const QNetworkReply* reply)
{
    // The network thread may have received the whole body before the
    // buffer read it: the finished reply is measured too.
    const QVariant cap = reply->property(kCap);
    const ReplyBodyBuffer* buffer = ReplyBodyBuffer::of(reply);
    if (reply->property(kOversize).isValid() || (buffer && buffer->oversize())
        || (cap.isValid() && reply->bytesAvailable() > cap.toLongLong()))
        return QCoreApplication::translate("gallery", "the reply is larger than %1 bytes").arg(cap.toLongLong());
    if (reply->property(kTimedOut).isValid() || reply->error() == QNetworkReply::TimeoutError)
        return QCoreApplication::translate("gallery", "the server did not answer in time");
    if (reply->error() == QNetworkReply::OperationCanceledError)
        return QCoreApplication::translate("gallery", "the request was cancelled");
    return {};
}

void abortTimedOut(QNetworkReply* reply)
{
    if (reply->isRunning()) {
        reply->setProperty(kTimedOut, true);
        reply->abort();
    }
}

} // namespace gallery::GalleryRequests
