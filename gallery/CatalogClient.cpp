#include "gallery/CatalogClient.h"

#include "gallery/BoundedNetworkAccess.h"
#include "gallery/GalleryRequests.h"
#include "model/PathGuard.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace gallery {
namespace {

enum RequestKind { CatalogRequest = 0, NonceRequest = 1 };

const char* const kKind = "dashKind";
const char* const kSlug = "dashSlug";

CatalogItem readItem(const QJsonObject& o)
{
    CatalogItem item;
    item.slug = o.value(QLatin1String("slug")).toString();
    item.name = o.value(QLatin1String("name")).toString();
    item.author = o.value(QLatin1String("author")).toString();
    item.description = o.value(QLatin1String("description")).toString();
    item.kind = o.value(QLatin1String("kind")).toString();
    item.preview = o.value(QLatin1String("preview")).toString();
    // A fractional or textual count is not a count: it reads as 0.
    item.downloads = o.value(QLatin1String("downloads")).toInt(0);
    const QJsonValue devices = o.value(QLatin1String("devices"));
    if (devices.isArray()) {
        for (const QJsonValue& d : devices.toArray()) {
            const QString id = d.toString();
            if (!id.isEmpty())
                item.devices.append(id);
        }
    }
    if (item.name.isEmpty())
        item.name = item.slug;
    return item;
}

} // namespace

CatalogClient::CatalogClient(QObject* parent, const QUrl& baseUrl)
    : QObject(parent)
    , m_network(new BoundedNetworkAccess(this))
    , m_baseUrl(baseUrl)
    , m_transferTimeoutMs(GalleryRequests::kDefaultTransferTimeoutMs)
{
    qRegisterMetaType<QList<gallery::CatalogItem>>();
    connect(m_network, &QNetworkAccessManager::finished, this, &CatalogClient::onFinished);
}

void CatalogClient::setTransferTimeout(int milliseconds)
{
    m_transferTimeoutMs = milliseconds;
}

void CatalogClient::fetchCatalog()
{
    const QUrl url = GalleryRequests::endpoint(m_baseUrl, {QStringLiteral("api"), QStringLiteral("catalog")});
    QNetworkReply* reply = m_network->get(GalleryRequests::request(url, m_transferTimeoutMs));
    reply->setProperty(kKind, int(CatalogRequest));
    GalleryRequests::capBody(reply, m_maxCatalogBytes);
}

void CatalogClient::requestInstallNonce(const QString& slug)
{
    // Encoding keeps any slug inside its segment, but "." and ".." would
    // still climb the path on the server: those are never sent. The answer
    // still arrives later, like any reply, so callers see one protocol.
    if (slug.isEmpty() || slug == QLatin1String(".") || slug == QLatin1String("..")) {
        const QString reason = tr("Not a valid gallery item name: '%1'.").arg(slug);
        QMetaObject::invokeMethod(
            this, [this, slug, reason] { Q_EMIT nonceFailed(slug, reason); }, Qt::QueuedConnection);
        return;
    }
    const QUrl url = GalleryRequests::endpoint(
        m_baseUrl, {QStringLiteral("api"), QStringLiteral("templates"), slug, QStringLiteral("install-url")},
        QStringLiteral("format=json"));
    QNetworkReply* reply = m_network->get(GalleryRequests::request(url, m_transferTimeoutMs));
    reply->setProperty(kKind, int(NonceRequest));
    reply->setProperty(kSlug, slug);
    GalleryRequests::capBody(reply, kMaxNonceBytes);
}

void CatalogClient::onFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    const int kind = reply->property(kKind).toInt();
    const QString slug = reply->property(kSlug).toString();
    const QString reason = failureReason(reply);
    if (!reason.isEmpty()) {
        if (kind == NonceRequest)
            Q_EMIT nonceFailed(slug, reason);
        else
            Q_EMIT catalogFailed(reason);
        return;
    }
    const QByteArray body = GalleryRequests::body(reply);
    if (kind == NonceRequest)
        finishNonce(slug, body);
    else
        finishCatalog(body);
}

QString CatalogClient::failureReason(const QNetworkReply* reply) const
{
    const QString local = GalleryRequests::localFailure(reply);
    if (!local.isEmpty())
        return tr("Network error: %1").arg(local);
    if (reply->error() == QNetworkReply::NoError)
        return {};
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 404)
        return tr("Not found on the server (404).");
    if (status == 500 || status == 502 || status == 503)
        return tr("Gallery server error (%1). Try again in a moment.").arg(status);
    return tr("Network error: %1").arg(reply->errorString());
}

void CatalogClient::finishNonce(const QString& slug, const QByteArray& body)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        Q_EMIT nonceFailed(slug, tr("Malformed install-url response."));
        return;
    }
    const QString nonce = doc.object().value(QLatin1String("nonce")).toString();
    if (nonce.isEmpty())
        Q_EMIT nonceFailed(slug, tr("Server did not return an install nonce."));
    else
        Q_EMIT nonceReady(slug, nonce);
}

void CatalogClient::finishCatalog(const QByteArray& body)
{
    QString error;
    const QList<CatalogItem> items = parseCatalog(body, &error);
    if (error.isEmpty())
        Q_EMIT catalogReady(items);
    else
        Q_EMIT catalogFailed(error);
}

QList<CatalogItem> CatalogClient::parseCatalog(const QByteArray& body, QString* error)
{
    QList<CatalogItem> items;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        if (error)
            *error = QStringLiteral("Malformed catalog JSON: %1").arg(parseError.errorString());
        return items;
    }
    if (!doc.isObject()) {
        if (error)
            *error = QStringLiteral("Catalog JSON was not an object.");
        return items;
    }
    if (error)
        error->clear();
    const QJsonValue list = doc.object().value(QLatin1String("items"));
    for (const QJsonValue& v : list.toArray()) {
        if (!v.isObject())
            continue;
        CatalogItem item = readItem(v.toObject());
        // The slug names the item's folder once installed and a segment of
        // the request addresses: an unusable one drops the item.
        if (!PathGuard::isSafeName(item.slug))
            continue;
        items.append(item);
    }
    return items;
}

} // namespace gallery
