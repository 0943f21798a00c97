#pragma once

#include "gallery/CatalogItem.h"
#include "gallery/GalleryRequests.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace gallery {

// Fetches the gallery's catalog and the one-time install nonce of an item.
// Requests are independent: several may be in flight, and every one ends in
// exactly one of the four signals.
class CatalogClient : public QObject {
    Q_OBJECT

public:
    // Largest catalog and nonce replies accepted; a bigger one is aborted
    // and reported as a failure.
    static constexpr qint64 kMaxCatalogBytes = 16 * 1024 * 1024;
    static constexpr qint64 kMaxNonceBytes = 64 * 1024;

    explicit CatalogClient(QObject* parent = nullptr, const QUrl& baseUrl = GalleryRequests::defaultBaseUrl());

    void fetchCatalog();
    void requestInstallNonce(const QString& slug);

    // Inactivity timeout of each request; 60 s unless lowered.
    void setTransferTimeout(int milliseconds);
    // Largest catalog reply accepted; kMaxCatalogBytes unless lowered.
    void setMaxCatalogBytes(qint64 bytes) { m_maxCatalogBytes = bytes; }

    // The items of a catalog body. A body that is not a JSON object sets
    // *error (plain text) and gives no items; a missing "items" array is an
    // empty catalog, not an error. Items without a usable slug are left out.
    static QList<CatalogItem> parseCatalog(const QByteArray& body, QString* error);

public Q_SLOTS:
    // Handles every reply of the client's manager.
    void onFinished(QNetworkReply* reply);

Q_SIGNALS:
    void catalogReady(const QList<gallery::CatalogItem>& items);
    void catalogFailed(const QString& reason);
    void nonceReady(const QString& slug, const QString& nonce);
    void nonceFailed(const QString& slug, const QString& reason);

private:
    // Why the reply failed, or empty when it succeeded.
    QString failureReason(const QNetworkReply* reply) const;
    void finishNonce(const QString& slug, const QByteArray& body);
    void finishCatalog(const QByteArray& body);

    QNetworkAccessManager* m_network;
    QUrl m_baseUrl;
    int m_transferTimeoutMs;
    qint64 m_maxCatalogBytes = kMaxCatalogBytes;
};

} // namespace gallery
