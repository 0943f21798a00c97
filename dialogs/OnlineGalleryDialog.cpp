#include "dialogs/OnlineGalleryDialog.h"

#include "gallery/BoundedNetworkAccess.h"
#include "gallery/CatalogClient.h"
#include "model/DeviceRegistry.h"
#include "panels/Asker.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPixmap>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace gallery {
namespace {

enum Page { LoadingPage = 0, MessagePage = 1, CatalogPage = 2 };

const QSize kPreviewSize(220, 132);

QString noPreview()
{
    return QCoreApplication::translate("gallery::OnlineGalleryDialog", "no preview");
}

QString installText()
{
    return QCoreApplication::translate("gallery::OnlineGalleryDialog", "Download && Install");
}

} // namespace

OnlineGalleryDialog::OnlineGalleryDialog(QWidget* parent, const QUrl& baseUrl)
    : QDialog(parent)
    , m_baseUrl(baseUrl)
{
    setWindowTitle(tr("Online Themes"));
    setMinimumSize(760, 460);

    catalogClient = new CatalogClient(this, baseUrl);
    connect(catalogClient, &CatalogClient::catalogReady, this, &OnlineGalleryDialog::onCatalogReady);
    connect(catalogClient, &CatalogClient::catalogFailed, this, &OnlineGalleryDialog::onCatalogFailed);
    connect(catalogClient, &CatalogClient::nonceReady, this, &OnlineGalleryDialog::onNonceReady);
    connect(catalogClient, &CatalogClient::nonceFailed, this, &OnlineGalleryDialog::onNonceFailed);
    previewManager = new BoundedNetworkAccess(this);
    connect(previewManager, &QNetworkAccessManager::finished, this, &OnlineGalleryDialog::onPreviewFinished);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(8);
    stack = new QStackedWidget(this);
    stack->addWidget(createLoadingPage());
    stack->addWidget(createMessagePage());
    stack->addWidget(createCatalogPage());
    layout->addWidget(stack, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* close = new QPushButton(tr("Close"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(close);
    installButton = new QPushButton(installText(), this);
    installButton->setObjectName(QStringLiteral("installButton"));
    installButton->setDefault(true);
    connect(installButton, &QPushButton::clicked, this, &OnlineGalleryDialog::onInstallClicked);
    buttons->addWidget(installButton);
    layout->addLayout(buttons);

    stack->setCurrentIndex(LoadingPage);
    installButton->setEnabled(false);
    catalogClient->fetchCatalog();
}

QWidget* OnlineGalleryDialog::createLoadingPage()
{
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->addStretch();
    loadingLabel = new QLabel(tr("Loading catalog…"), page);
    loadingLabel->setAlignment(Qt::AlignCenter);
    loadingLabel->setStyleSheet(QStringLiteral("color:#888; font-size:12pt;"));
    layout->addWidget(loadingLabel);
    layout->addStretch();
    return page;
}

QWidget* OnlineGalleryDialog::createMessagePage()
{
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->addStretch();
    messageLabel = new QLabel(page);
    messageLabel->setObjectName(QStringLiteral("messageLabel"));
    messageLabel->setAlignment(Qt::AlignCenter);
    messageLabel->setWordWrap(true);
    messageLabel->setStyleSheet(QStringLiteral("color:#b02000;"));
    layout->addWidget(messageLabel);
    auto* row = new QHBoxLayout;
    row->addStretch();
    retryButton = new QPushButton(tr("Retry"), page);
    retryButton->setObjectName(QStringLiteral("retryButton"));
    connect(retryButton, &QPushButton::clicked, this, &OnlineGalleryDialog::onRetryClicked);
    row->addWidget(retryButton);
    row->addStretch();
    layout->addLayout(row);
    layout->addStretch();
    return page;
}

QWidget* OnlineGalleryDialog::createCatalogPage()
{
    auto* page = new QWidget(this);
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Horizontal, page);
    layout->addWidget(splitter, 1);

    deviceList = new QListWidget(splitter);
    deviceList->setObjectName(QStringLiteral("deviceList"));
    deviceList->setMinimumWidth(120);
    deviceList->setMaximumWidth(180);
    itemList = new QListWidget(splitter);
    itemList->setObjectName(QStringLiteral("itemList"));
    // A row names the item and its devices: it wraps rather than runs out
    // of the pane.
    itemList->setWordWrap(true);
    itemList->setResizeMode(QListView::Adjust);
    itemList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    splitter->addWidget(deviceList);
    splitter->addWidget(itemList);
    splitter->addWidget(createDetailsPanel());
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setStretchFactor(2, 1);

    connect(deviceList, &QListWidget::itemSelectionChanged, this, &OnlineGalleryDialog::onDeviceFilterChanged);
    connect(itemList, &QListWidget::itemSelectionChanged, this, &OnlineGalleryDialog::onItemSelectionChanged);
    connect(itemList, &QListWidget::itemDoubleClicked, this, &OnlineGalleryDialog::onInstallClicked);
    return page;
}

QWidget* OnlineGalleryDialog::createDetailsPanel()
{
    auto* panel = new QWidget(this);
    panel->setMinimumWidth(240);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(8, 0, 0, 0);
    previewLabel = new QLabel(noPreview(), panel);
    previewLabel->setObjectName(QStringLiteral("previewLabel"));
    previewLabel->setFixedSize(kPreviewSize);
    previewLabel->setAlignment(Qt::AlignCenter);
    previewLabel->setStyleSheet(QStringLiteral("background:#1e1e1e; color:#666; border:1px solid #444;"));
    nameLabel = new QLabel(panel);
    nameLabel->setObjectName(QStringLiteral("nameLabel"));
    nameLabel->setWordWrap(true);
    nameLabel->setTextFormat(Qt::RichText);
    metaLabel = new QLabel(panel);
    metaLabel->setObjectName(QStringLiteral("metaLabel"));
    metaLabel->setWordWrap(true);
    metaLabel->setTextFormat(Qt::RichText);
    metaLabel->setStyleSheet(QStringLiteral("color:#888;"));
    descriptionView = new QTextEdit(panel);
    descriptionView->setObjectName(QStringLiteral("descriptionView"));
    descriptionView->setReadOnly(true);
    layout->addWidget(previewLabel);
    layout->addWidget(nameLabel);
    layout->addWidget(metaLabel);
    layout->addWidget(descriptionView, 1);
    return panel;
}

void OnlineGalleryDialog::onCatalogReady(const QList<CatalogItem>& received)
{
    items = received;
    if (items.isEmpty()) {
        showMessage(QStringLiteral("color:#888;"),
                    tr("No configs available yet.\n\nCheck back soon — new dashboards are published regularly."),
                    tr("Refresh"));
        return;
    }
    rebuildDeviceFilter();
    onDeviceFilterChanged();
    stack->setCurrentIndex(CatalogPage);
    fitDeviceColumn();
}

void OnlineGalleryDialog::onCatalogFailed(const QString& reason)
{
    showMessage(QStringLiteral("color:#b02000;"), tr("Could not load the catalog:\n%1").arg(reason), tr("Retry"));
}

void OnlineGalleryDialog::showMessage(const QString& style, const QString& text, const QString& buttonText)
{
    messageLabel->setStyleSheet(style);
    messageLabel->setText(text);
    retryButton->setText(buttonText);
    stack->setCurrentIndex(MessagePage);
}

void OnlineGalleryDialog::onRetryClicked()
{
    stack->setCurrentIndex(LoadingPage);
    installButton->setEnabled(false);
    catalogClient->fetchCatalog();
}

QString OnlineGalleryDialog::deviceDisplayName(const QString& id)
{
    for (const DeviceRow& row : DeviceRegistry::devices()) {
        if (row.id.compare(id, Qt::CaseInsensitive) == 0 || row.family.compare(id, Qt::CaseInsensitive) == 0)
            return row.displayName;
    }
    return id;
}

QString OnlineGalleryDialog::formatDevices(const QStringList& ids, int mostShown)
{
    QStringList names;
    for (const QString& id : ids)
        names << deviceDisplayName(id);
    if (mostShown > 0 && names.size() > mostShown) {
        const qsizetype left = names.size() - mostShown;
        return names.mid(0, mostShown).join(QStringLiteral(", ")) + tr(" +%1 more").arg(left);
    }
    return names.join(QStringLiteral(", "));
}

void OnlineGalleryDialog::rebuildDeviceFilter()
{
    QStringList ids;
    for (const CatalogItem& item : std::as_const(items)) {
        for (const QString& id : item.devices) {
            if (!ids.contains(id))
                ids << id;
        }
    }
    std::stable_sort(ids.begin(), ids.end(), [](const QString& a, const QString& b) {
        return deviceDisplayName(a).compare(deviceDisplayName(b), Qt::CaseInsensitive) < 0;
    });

    const QSignalBlocker blocker(deviceList);
    deviceList->clear();
    auto* all = new QListWidgetItem(tr("All devices"), deviceList);
    all->setData(Qt::UserRole, QString());
    for (const QString& id : std::as_const(ids)) {
        auto* row = new QListWidgetItem(deviceDisplayName(id), deviceList);
        row->setData(Qt::UserRole, id);
        row->setToolTip(id);
    }
    deviceList->setCurrentRow(0);
}

// The device pane as wide as its rows (within its bounds) and the rest to the
// item list: the splitter would otherwise give the pane more than it may
// take, leaving a dead gap, and squeeze the item rows.
void OnlineGalleryDialog::fitDeviceColumn()
{
    auto* splitter = qobject_cast<QSplitter*>(deviceList->parentWidget());
    if (!splitter || splitter->count() != 3)
        return;
    int widest = 0;
    for (int i = 0; i < deviceList->count(); ++i)
        widest = std::max(widest, deviceList->fontMetrics().horizontalAdvance(deviceList->item(i)->text()));
    const int device = std::clamp(widest + 2 * deviceList->frameWidth() + 16, deviceList->minimumWidth(),
                                  deviceList->maximumWidth());
    const int total = std::max(splitter->width(), width() - 20);
    const int details = splitter->widget(2)->minimumWidth();
    splitter->setSizes({device, std::max(1, total - device - details - 2 * splitter->handleWidth()), details});
}

void OnlineGalleryDialog::onDeviceFilterChanged()
{
    const QListWidgetItem* current = deviceList->currentItem();
    const QString filter = current ? current->data(Qt::UserRole).toString() : QString();

    const QSignalBlocker blocker(itemList);
    itemList->clear();
    for (qsizetype i = 0; i < items.size(); ++i) {
        const CatalogItem& item = items.at(i);
        if (!filter.isEmpty() && !item.devices.contains(filter))
            continue;
        const QString kind = item.kind.compare(QLatin1String("theme"), Qt::CaseInsensitive) == 0
                                 ? tr("[theme]")
                                 : tr("[config]");
        QString text = QStringLiteral("%1  %2").arg(kind, item.name);
        if (!item.devices.isEmpty())
            text += QStringLiteral("  – %1").arg(formatDevices(item.devices, 3));
        auto* row = new QListWidgetItem(text, itemList);
        row->setData(Qt::UserRole, int(i));
    }
    installButton->setEnabled(false);
    showDetails();
}

void OnlineGalleryDialog::onItemSelectionChanged()
{
    installButton->setEnabled(!noncePending && selectedItem());
    showDetails();
}

const CatalogItem* OnlineGalleryDialog::selectedItem() const
{
    const QListWidgetItem* current = itemList->currentItem();
    if (!current)
        return nullptr;
    bool ok = false;
    const int index = current->data(Qt::UserRole).toInt(&ok);
    if (!ok || index < 0 || index >= items.size())
        return nullptr;
    return &items.at(index);
}

void OnlineGalleryDialog::showDetails()
{
    const CatalogItem* item = selectedItem();
    if (!item) {
        nameLabel->clear();
        metaLabel->clear();
        descriptionView->clear();
        clearPreview();
        return;
    }
    nameLabel->setText(QStringLiteral("<span style='font-size:13pt; font-weight:bold;'>%1</span>")
                           .arg(item->name.toHtmlEscaped()));
    showMeta(*item);
    descriptionView->setPlainText(item->description);
    if (item->preview.isEmpty())
        clearPreview();
    else
        fetchPreview(item->preview);
}

void OnlineGalleryDialog::showMeta(const CatalogItem& item)
{
    QStringList parts;
    if (!item.author.isEmpty())
        parts << tr("by %1").arg(item.author.toHtmlEscaped());
    if (!item.kind.isEmpty())
        parts << item.kind.toHtmlEscaped();
    if (!item.devices.isEmpty())
        parts << formatDevices(item.devices, 0).toHtmlEscaped();
    if (item.downloads > 0)
        parts << tr("%n download(s)", nullptr, item.downloads);
    metaLabel->setText(parts.join(QStringLiteral(" &middot; ")));
}

void OnlineGalleryDialog::clearPreview()
{
    previewLabel->setPixmap(QPixmap());
    previewLabel->setText(noPreview());
    pendingPreviewUrl.clear();
}

bool OnlineGalleryDialog::isAllowedPreview(const QUrl& url) const
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    if (url.scheme() == QLatin1String("https"))
        return true;
    return url.scheme() == m_baseUrl.scheme() && url.host().compare(m_baseUrl.host(), Qt::CaseInsensitive) == 0
           && url.port() == m_baseUrl.port();
}

void OnlineGalleryDialog::fetchPreview(const QString& address)
{
    const QUrl url(address);
    if (!isAllowedPreview(url)) {
        clearPreview();
        return;
    }
    previewLabel->setPixmap(QPixmap());
    previewLabel->setText(tr("loading…"));
    QNetworkRequest request = GalleryRequests::request(url, GalleryRequests::kDefaultTransferTimeoutMs);
    // Whatever answers is only shown if it is what was asked for.
    pendingPreviewUrl = request.url().toString();
    QNetworkReply* reply = previewManager->get(request);
    GalleryRequests::capBody(reply, kMaxPreviewBytes);
}

void OnlineGalleryDialog::onPreviewFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    if (reply->request().url().toString() != pendingPreviewUrl)
        return;
    QPixmap picture;
    const bool failed = !GalleryRequests::localFailure(reply).isEmpty() || reply->error() != QNetworkReply::NoError
                        || !picture.loadFromData(GalleryRequests::body(reply));
    if (failed) {
        clearPreview();
        return;
    }
    previewLabel->setPixmap(picture.scaled(kPreviewSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void OnlineGalleryDialog::onInstallClicked()
{
    const CatalogItem* item = selectedItem();
    if (!item || noncePending)
        return;
    noncePending = true;
    installButton->setEnabled(false);
    installButton->setText(tr("Requesting…"));
    catalogClient->requestInstallNonce(item->slug);
}

void OnlineGalleryDialog::finishNonceRequest()
{
    noncePending = false;
    installButton->setText(installText());
    installButton->setEnabled(selectedItem() != nullptr);
}

void OnlineGalleryDialog::onNonceReady(const QString& slug, const QString& nonce)
{
    m_selectedSlug = slug;
    m_installNonce = nonce;
    noncePending = false;
    installButton->setText(installText());
    if (!slug.isEmpty() && !nonce.isEmpty()) {
        accept();
        return;
    }
    m_selectedSlug.clear();
    m_installNonce.clear();
    finishNonceRequest();
    Asker::instance().warning(this, tr("Online Themes"),
                              tr("The server returned an incomplete install token. Please try again."));
}

void OnlineGalleryDialog::onNonceFailed(const QString&, const QString& reason)
{
    finishNonceRequest();
    Asker::instance().warning(this, tr("Online Themes"), tr("Could not start the install:\n%1").arg(reason));
}

} // namespace gallery
