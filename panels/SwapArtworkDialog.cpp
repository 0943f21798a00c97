#include "panels/SwapArtworkDialog.h"

#include "model/DeviceTables.h"
#include "panels/ElementCatalog.h"
#include "panels/ElementThumbnail.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const int kThumbnailSide = 132;

QString pageSetOf(const QString& folder)
{
    const QStringList parts = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (int i = 1; i < parts.size(); ++i) {
        if (parts.at(i).compare(QLatin1String("items"), Qt::CaseInsensitive) == 0)
            return parts.at(i - 1);
    }
    return {};
}

QString leafOf(const QString& folder)
{
    const QStringList parts = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return parts.isEmpty() ? QString() : parts.last();
}

} // namespace

SwapArtworkDialog::SwapArtworkDialog(const QString& artworkFolder, QWidget* parent)
    : QDialog(parent),
      current(normaliseFolder(artworkFolder)),
      device(deviceFolderFromPath(current)),
      set(pageSetOf(current))
{
    setWindowTitle(tr("Swap artwork"));
    resize(680, 520);
    auto* layout = new QVBoxLayout(this);

    explanation = new QLabel(this);
    explanation->setWordWrap(true);
    explanation->setTextFormat(Qt::RichText);
    layout->addWidget(explanation);

    list = new QListWidget(this);
    list->setViewMode(QListView::IconMode);
    list->setIconSize(QSize(kThumbnailSide, kThumbnailSide));
    list->setGridSize(QSize(166, 186));
    list->setResizeMode(QListView::Adjust);
    list->setMovement(QListView::Static);
    list->setDragEnabled(false);
    list->setSpacing(6);
    list->setWordWrap(true);
    layout->addWidget(list, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    swapButton = buttons->button(QDialogButtonBox::Ok);
    swapButton->setText(tr("Swap"));
    swapButton->setEnabled(false);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list, &QListWidget::currentItemChanged, this, &SwapArtworkDialog::onCurrentChanged);
    connect(list, &QListWidget::itemDoubleClicked, this, &SwapArtworkDialog::onDoubleClicked);
    connect(this, &QDialog::accepted, this, [this] { chosen = folderOf(list->currentItem()); });

    fillList();
}

SwapArtworkDialog::~SwapArtworkDialog() = default;

QString SwapArtworkDialog::normaliseFolder(const QString& folder)
{
    QString normal = folder;
    normal.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!normal.endsWith(QLatin1Char('/')))
        normal += QLatin1Char('/');
    return normal;
}

// The catalog names a device by the folder right after "overlay", so a PDM
// dash folder ("pdm08/dash1") is looked up under "pdm08" and kept to the
// items of its own dash: another dash's item is not part of this page set.
QList<ElementCatalogEntry> SwapArtworkDialog::candidates() const
{
    QList<ElementCatalogEntry> list;
    if (device.isEmpty() || set.isEmpty())
        return list;
    const QString prefix = QStringLiteral("aim/resources/overlay/") + device + QLatin1Char('/');
    for (const ElementCatalogEntry& e : ElementCatalog::entriesInSet(device.section(QLatin1Char('/'), 0, 0), set)) {
        if (e.relPath.startsWith(prefix))
            list << e;
    }
    return list;
}

void SwapArtworkDialog::fillList()
{
    if (!ElementCatalog::isLoaded())
        ElementCatalog::load();
    const QList<ElementCatalogEntry> found = candidates();
    const QString leaf = leafOf(current);
    QString kind;
    for (const ElementCatalogEntry& e : found) {
        if (e.item.compare(leaf, Qt::CaseInsensitive) == 0)
            kind = e.kind;
    }
    for (const ElementCatalogEntry& e : found) {
        if (!kind.isEmpty() && e.kind == kind)
            alternatives << e;
    }

    // The page set comes from the configuration: escaped, so a "<" in it is
    // shown as written and cannot add markup.
    const QString shownSet = (set.isEmpty() ? tr("(unknown)") : set).toHtmlEscaped();
    if (alternatives.isEmpty()) {
        explanation->setText(tr("<b>No alternatives in this page set.</b><br>The artwork for this element comes from "
                                "<code>%1</code>. Either the element catalogue has not been built yet (Element "
                                "Library → Refresh), or this page set ships only one item of this kind.")
                                 .arg(shownSet));
        return;
    }
    explanation->setText(tr("Artwork only — the channel, position, size and firmware slot stay exactly as they are. "
                            "Alternatives come from <code>%1</code>, this element's own page set; items from other "
                            "sets cannot be used on this page.")
                             .arg(shownSet));
    for (const ElementCatalogEntry& e : alternatives)
        addAlternative(e);
}

void SwapArtworkDialog::addAlternative(const ElementCatalogEntry& entry)
{
    const QString folder = normaliseFolder(entry.relPath);
    const bool isCurrent = folder == current;
    auto* item = new QListWidgetItem(isCurrent ? tr("%1 (current)").arg(entry.item) : entry.item, list);
    item->setData(Qt::UserRole, folder);
    item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
    const QPixmap icon = renderElementThumbnail(entry, kThumbnailSide);
    if (!icon.isNull())
        item->setIcon(QIcon(icon));
    QString tip = QStringLiteral("%1 — %2x%3").arg(entry.item, QString::number(entry.size.width()),
                                                                QString::number(entry.size.height()));
    if (!entry.scales.isEmpty())
        tip += tr("\n%n scale frame(s)", nullptr, int(entry.scales.size()));
    item->setToolTip(tip + QLatin1Char('\n') + folder);
    if (isCurrent) {
        QFont font = item->font();
        font.setWeight(QFont::Bold);
        item->setFont(font);
        list->setCurrentItem(item);
    }
}

QString SwapArtworkDialog::folderOf(const QListWidgetItem* item) const
{
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void SwapArtworkDialog::onCurrentChanged()
{
    const QString folder = folderOf(list->currentItem());
    swapButton->setEnabled(!folder.isEmpty() && folder != current);
}

void SwapArtworkDialog::onDoubleClicked(QListWidgetItem* item)
{
    const QString folder = folderOf(item);
    if (folder.isEmpty() || folder == current)
        return;
    list->setCurrentItem(item);
    accept();
}
