#pragma once

#include "gallery/CatalogItem.h"
#include "gallery/GalleryRequests.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

class QLabel;
class QListWidget;
class QNetworkAccessManager;
class QNetworkReply;
class QPushButton;
class QStackedWidget;
class QTextEdit;

namespace gallery {

class CatalogClient;

// The "Online Themes" window: browses the gallery's catalog, filters it by
// device, shows an item's details and preview, and on "Download && Install"
// fetches the item's install nonce and closes Accepted. It installs nothing
// itself; the caller reads selectedSlug() and installNonce() after exec.
class OnlineGalleryDialog : public QDialog {
    Q_OBJECT

public:
    // Largest preview picture accepted; a bigger one shows "no preview".
    static constexpr qint64 kMaxPreviewBytes = 5 * 1024 * 1024;

    explicit OnlineGalleryDialog(QWidget* parent = nullptr,
                                 const QUrl& baseUrl = GalleryRequests::defaultBaseUrl());

    QString selectedSlug() const { return m_selectedSlug; }
    QString installNonce() const { return m_installNonce; }

public Q_SLOTS:
    void onCatalogReady(const QList<gallery::CatalogItem>& items);
    void onCatalogFailed(const QString& reason);
    void onNonceReady(const QString& slug, const QString& nonce);
    void onNonceFailed(const QString& slug, const QString& reason);
    void onDeviceFilterChanged();
    void onItemSelectionChanged();
    void onInstallClicked();
    void onRetryClicked();
    void onPreviewFinished(QNetworkReply* reply);

private:
    static QString deviceDisplayName(const QString& id);
    static QString formatDevices(const QStringList& ids, int mostShown);
    QWidget* createLoadingPage();
    QWidget* createMessagePage();
    QWidget* createCatalogPage();
    QWidget* createDetailsPanel();
    void showMessage(const QString& style, const QString& text, const QString& buttonText);
    void rebuildDeviceFilter();
    void fitDeviceColumn();
    void showDetails();
    void showMeta(const CatalogItem& item);
    void clearPreview();
    void fetchPreview(const QString& address);
    // Whether a preview address may be fetched: https anywhere, or the
    // gallery's own scheme and host. file:// and plain http to other hosts
    // would let a catalog read local files or probe the user's network.
    bool isAllowedPreview(const QUrl& url) const;
    void finishNonceRequest();
    const CatalogItem* selectedItem() const;

    CatalogClient* catalogClient = nullptr;
    QNetworkAccessManager* previewManager = nullptr;
    QList<CatalogItem> items;
    QStackedWidget* stack = nullptr;
    QLabel* loadingLabel = nullptr;
    QLabel* messageLabel = nullptr;
    QPushButton* retryButton = nullptr;
    QListWidget* deviceList = nullptr;
    QListWidget* itemList = nullptr;
    QLabel* previewLabel = nullptr;
    QLabel* nameLabel = nullptr;
    QLabel* metaLabel = nullptr;
    QTextEdit* descriptionView = nullptr;
    QPushButton* installButton = nullptr;
    QString pendingPreviewUrl;
    QString m_selectedSlug;
    QString m_installNonce;
    QUrl m_baseUrl;
    // A nonce request is on its way: the install button stays off and a
    // double-click starts no second one.
    bool noncePending = false;
};

} // namespace gallery
