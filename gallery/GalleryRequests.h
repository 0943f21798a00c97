#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

class QNetworkReply;

// What every request to the gallery service shares: the built-in address,
// the User-Agent, the transfer timeout and the cap on a reply's body. The
// catalog, nonce and bundle requests all go through here.
namespace gallery::GalleryRequests {

// The gallery service. Tests hand the clients a local address instead; no
// setting or environment variable changes it.
QUrl defaultBaseUrl();

// "Korvelanto/<application version>".
QByteArray userAgent();

// Transfer (inactivity) timeout of a request, so a stalled server cannot
// keep a caller waiting for ever.
constexpr int kDefaultTransferTimeoutMs = 60000;

// base + "/" + the path segments, each percent-encoded as one segment, so
// a "/", "?" or "#" inside a slug cannot change the endpoint. query is
// appended as written.
QUrl endpoint(const QUrl& base, const QStringList& segments, const QString& query = QString());

// A GET/POST request for url with the User-Agent and the timeout set.
QNetworkRequest request(const QUrl& url, int transferTimeoutMs);

// Aborts reply as soon as its announced or received size passes maxBytes
// and marks it, so the finished handler can tell the cause.
void capBody(QNetworkReply* reply, qint64 maxBytes);

// The reason for a finished reply that failed on our side (over its cap,
// or timed out), or an empty text otherwise.
QString localFailure(const QNetworkReply* reply);

} // namespace gallery::GalleryRequests
