#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

class QNetworkReply;

// What every request to the gallery service shares: the built-in address,
// the User-Agent, the transfer timeout and the cap on a reply's body. The
// catalog, nonce and bundle requests all go through here, the update's too;
// all are sent through a BoundedNetworkAccess, which bounds the header.
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

// How much of a reply's body Qt may hold before its reader takes it.
constexpr qint64 kReadChunkBytes = 256 * 1024;

// A GET/POST request for url with the User-Agent and the timeout set, ready
// for a bounded read (boundTransfer).
QNetworkRequest request(const QUrl& url, int transferTimeoutMs);

// Keeps the request to HTTP/1.1, should it ever reach a manager other than
// BoundedNetworkAccess: over HTTP/2 Qt 6 takes in whatever the server
// sends, read or not.
void boundTransfer(QNetworkRequest& request);

// Lets the reply hold no more than kReadChunkBytes of its body: the reader
// then has to take it on readyRead, and a server can never send faster than
// the reader takes. Without it the reply reads the connection as fast as it
// delivers, however much that is.
void boundReadBuffer(QNetworkReply* reply);

// Aborts reply at its headers when the size they announce passes maxBytes,
// and marks it so, for localFailure.
void capAnnouncedSize(QNetworkReply* reply, qint64 maxBytes);

// Bounds reply's body while it is read: refused at its headers when the
// announced size passes maxBytes; otherwise read into a buffer of its own as
// it arrives (boundReadBuffer) and aborted, its connection closed, as soon
// as the body would pass maxBytes. body() hands it out when it finished.
void capBody(QNetworkReply* reply, qint64 maxBytes);

// The body of a finished reply set up with capBody (empty when it went over
// its cap); for any other reply, whatever Qt still holds.
QByteArray body(QNetworkReply* reply);

// Aborts reply because its caller's own time for it ran out, marked so for
// localFailure: an abort alone reads as cancelled.
void abortTimedOut(QNetworkReply* reply);

// The reason for a finished reply that failed on our side (over its cap,
// timed out, or cancelled), or an empty text otherwise; a server that closed
// early or refused is told by the reply's own text.
QString localFailure(const QNetworkReply* reply);

} // namespace gallery::GalleryRequests
