#include "panels/ElementLibraryDialog.h"

#include "model/InstallAdvice.h"
#include "model/InstallRoots.h"
#include "panels/ElementCatalog.h"
#include "panels/ElementLibraryGrid.h"
#include "panels/ElementLibraryGridDelegate.h"
#include "panels/ThumbnailIconEngine.h"
#include "templates/PageTemplateLibrary.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QStringBuilder>
#include <QVBoxLayout>

#include <memory>

namespace {

const int kThumbnailSide = 116;
const QString kDevicePrefix = QStringLiteral("dev:");
const QString kSizeFilter = QStringLiteral("size");

QString kindLabel(const QString& kind)
{
    if (kind == QLatin1String("gauge-analog"))
        return ElementLibraryDialog::tr("Needle gauge");
    if (kind == QLatin1String("gauge-ring"))
        return ElementLibraryDialog::tr("Ring gauge");
    if (kind == QLatin1String("bar"))
        return ElementLibraryDialog::tr("Bar");
    if (kind == QLatin1String("icon"))
        return ElementLibraryDialog::tr("Icon");
    if (kind == QLatin1String("digit"))
        return ElementLibraryDialog::tr("Digit box");
    return kind;
}

QString scanningText()
{
    return ElementLibraryDialog::tr("Scanning RaceStudio3 for native elements...");
}

// A scan without an install, or one that found nothing, says where it
// looked: the user's next step is the folders in the preferences.
QString indexedText(int count)
{
    const QString indexed = ElementLibraryDialog::tr("Indexed %1 elements from your RaceStudio3 install.").arg(count);
    if (count > 0 && !rs3OverlayRoots().isEmpty())
        return indexed;
    return indexed + QLatin1Char(' ') + InstallAdvice::notFound(QStringLiteral("aim/resources/overlay"));
}

// "8000 rpm, 300 kmh": each value and unit once, in frame order.
QString scaleList(const QList<CatalogScaleFrame>& scales)
{
    QStringList values;
    for (const CatalogScaleFrame& f : scales) {
        const QString value = QStringLiteral("%1 %2").arg(f.full).arg(f.unit);
        if (!values.contains(value))
            values << value;
    }
    return values.join(QStringLiteral(", "));
}

} // namespace

// Most items of a long list are never pointed at, so their tool tips are
// written on demand; the text is what toolTipFor says at that time of the
// filter that made the item. The thumbnail and the alignment every item
// shares are answered, not stored: storing them was much of a long list's
// filling. What is set on the item still wins.
class ElementLibraryDialog::GridItem : public QListWidgetItem {
public:
    GridItem(const QString& text, const ElementCatalogEntry& entry, const QIcon& icon,
             const ElementLibraryDialog* dialog, std::shared_ptr<const QStringList> sameScreen)
        : QListWidgetItem(text),
          entry(entry),
          icon(icon),
          // Null before it is drawn only when nothing can be drawn; one that
          // fails to draw later still shows as an icon, as a set one would.
          hasIcon(!icon.isNull()),
          dialog(dialog),
          sameScreen(std::move(sameScreen))
    {
    }

    QVariant data(int role) const override
    {
        QVariant set = QListWidgetItem::data(role);
        if (set.isValid())
            return set;
        switch (role) {
        case Qt::ToolTipRole:
            return dialog->toolTipFor(entry, *sameScreen);
        case Qt::DecorationRole:
            return hasIcon ? QVariant(icon) : set;
        case Qt::TextAlignmentRole:
            return int(Qt::AlignHCenter | Qt::AlignTop);
        default:
            return set;
        }
    }

private:
    ElementCatalogEntry entry;
    QIcon icon;
    bool hasIcon;
    const ElementLibraryDialog* dialog;
    std::shared_ptr<const QStringList> sameScreen;
};

// What the filter row asks for, read once per filling.
struct ElementLibraryDialog::Filters {
    bool oneDevice = false;
    QString device;
    bool sameScreenOnly = false;
    QString kind; // empty: any
    QString text; // trimmed; empty: any
};

// The catalog tells a device's displays apart, so the device is named with
// its display folder whole ("pdm/dash2").
ElementLibraryDialog::ElementLibraryDialog(const QString& deviceText, const QSize& size, QWidget* parent)
    : QDialog(parent), deviceName(deviceText), screenSize(size)
{
    setWindowTitle(deviceText.isEmpty() ? tr("AIM Element Library") : tr("AIM Element Library — %1").arg(deviceText));
    resize(940, 640);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(createTopRow());
    createGrid();
    layout->addWidget(grid, 1);
    statusLabel = new QLabel(this);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    statusLabel->setTextFormat(Qt::PlainText);
    statusLabel->setWordWrap(true);
    layout->addWidget(statusLabel);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(refreshButton, &QPushButton::clicked, this, &ElementLibraryDialog::refreshIndex);
    connect(deviceCombo, qOverload<int>(&QComboBox::currentIndexChanged), this, &ElementLibraryDialog::applyFilters);
    connect(typeCombo, qOverload<int>(&QComboBox::currentIndexChanged), this, &ElementLibraryDialog::applyFilters);
    connect(filterEdit, &QLineEdit::textChanged, this, &ElementLibraryDialog::applyFilters);

    if (!ElementCatalog::isLoaded())
        ElementCatalog::load();
    fillDeviceCombo();
    applyFilters();
}

ElementLibraryDialog::~ElementLibraryDialog() = default;

const QHash<QString, QSize>& ElementLibraryDialog::DeviceScreenSizes()
{
    static const QHash<QString, QSize> sizes = {
        {QStringLiteral("mxt"), QSize(1280, 480)},
        {QStringLiteral("mxt strada"), QSize(1280, 480)},
        {QStringLiteral("pdm"), QSize(1280, 480)},
        {QStringLiteral("pdm08"), QSize(1280, 480)},
        {QStringLiteral("mxg_12"), QSize(800, 480)},
        {QStringLiteral("mxg_12 strada"), QSize(800, 480)},
        {QStringLiteral("mxs_12"), QSize(800, 480)},
        {QStringLiteral("mxs_12 strada"), QSize(800, 480)},
        {QStringLiteral("mxp"), QSize(800, 480)},
        {QStringLiteral("fsw"), QSize(800, 480)},
    };
    return sizes;
}

QSize ElementLibraryDialog::screenSizeOf(const QString& deviceFolder)
{
    const auto known = DeviceScreenSizes().constFind(deviceFolder);
    if (known != DeviceScreenSizes().constEnd())
        return *known;
    // A display of a several-display device ("pdm/dash2") has the size of
    // its registry row; other devices keep to the table.
    if (!deviceFolder.contains(QLatin1Char('/')))
        return {};
    return PageTemplateLibrary::declaredCanvasSize(deviceFolder);
}

QWidget* ElementLibraryDialog::createTopRow()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);

    deviceCombo = new QComboBox(row);
    typeCombo = new QComboBox(row);
    typeCombo->addItem(tr("All types"), QString());
    typeCombo->addItem(tr("Needle gauges"), QStringLiteral("gauge-analog"));
    typeCombo->addItem(tr("Ring gauges"), QStringLiteral("gauge-ring"));
    typeCombo->addItem(tr("Bars"), QStringLiteral("bar"));
    typeCombo->addItem(tr("Icons"), QStringLiteral("icon"));
    typeCombo->addItem(tr("Digit boxes"), QStringLiteral("digit"));

    filterEdit = new QLineEdit(row);
    filterEdit->setPlaceholderText(tr("Filter by page or item..."));
    filterEdit->setClearButtonEnabled(true);

    refreshButton = new QPushButton(tr("Refresh index"), row);
    refreshButton->setToolTip(tr("Rescan the RaceStudio3 install for native elements.\n"
                                 "Only needed after installing a new device in RS3 -- this can take a few minutes."));

    layout->addWidget(new QLabel(tr("Device:"), row));
    layout->addWidget(deviceCombo, 1);
    layout->addWidget(new QLabel(tr("Type:"), row));
    layout->addWidget(typeCombo);
    layout->addWidget(filterEdit, 2);
    layout->addWidget(refreshButton);
    return row;
}

void ElementLibraryDialog::createGrid()
{
    grid = new ElementLibraryGrid(this);
    grid->setViewMode(QListView::IconMode);
    grid->setIconSize(QSize(kThumbnailSide, kThumbnailSide));
    grid->setGridSize(QSize(162, 178));
    grid->setResizeMode(QListView::Adjust);
    grid->setMovement(QListView::Static);
    grid->setDragEnabled(false);
    grid->setWordWrap(true);
    // Thumbnails differ in shape (wide bars, square gauges and icons): one
    // size taken from the first item would crop the others and their
    // captions.
    grid->setUniformItemSizes(false);
    grid->setItemDelegate(new ElementLibraryGridDelegate(grid));
}

QSize ElementLibraryDialog::referenceSize() const
{
    if (screenSize.isValid() && !screenSize.isEmpty())
        return screenSize;
    return screenSizeOf(deviceName);
}

QStringList ElementLibraryDialog::sameScreenDevices() const
{
    const QSize reference = referenceSize();
    QStringList list;
    if (!reference.isValid())
        return list;
    for (const QString& device : ElementCatalog::devices()) {
        if (screenSizeOf(device) == reference)
            list << device;
    }
    return list;
}

void ElementLibraryDialog::fillDeviceCombo()
{
    const QString remembered = deviceCombo->currentData().toString();
    const QSignalBlocker blocker(deviceCombo);
    deviceCombo->clear();
    if (!deviceName.isEmpty()) {
        deviceCombo->addItem(tr("This config (%1)").arg(deviceName), kDevicePrefix + deviceName);
        const QStringList sameScreen = sameScreenDevices();
        if (sameScreen.size() >= 2) {
            const QSize reference = referenceSize();
            deviceCombo->addItem(tr("Same screen size — %1x%2 (%3)")
                                     .arg(reference.width())
                                     .arg(reference.height())
                                     .arg(sameScreen.join(QStringLiteral(", "))),
                                 kSizeFilter);
        }
    }
    deviceCombo->addItem(tr("All devices"), QString());
    deviceCombo->insertSeparator(deviceCombo->count());
    for (const QString& device : ElementCatalog::devices()) {
        const QString text =
            ElementCatalog::isDeviceStable(device) ? device : tr("%1  (not installed)").arg(device);
        deviceCombo->addItem(text, kDevicePrefix + device);
    }
    int index = 0;
    for (int i = 0; i < deviceCombo->count(); ++i) {
        const QVariant data = deviceCombo->itemData(i);
        if (data.isValid() && data.toString() == remembered) {
            index = i;
            break;
        }
    }
    deviceCombo->setCurrentIndex(index);
}

ElementLibraryDialog::Filters ElementLibraryDialog::currentFilters() const
{
    Filters filters;
    const QString deviceFilter = deviceCombo->currentData().toString();
    filters.oneDevice = deviceFilter.startsWith(kDevicePrefix);
    if (filters.oneDevice)
        filters.device = deviceFilter.mid(kDevicePrefix.size());
    filters.sameScreenOnly = deviceFilter == kSizeFilter;
    filters.kind = typeCombo->currentData().toString();
    filters.text = filterEdit->text().trimmed();
    return filters;
}

bool ElementLibraryDialog::passesFilters(const ElementCatalogEntry& entry, const Filters& filters,
                                         const QStringList& sameScreen)
{
    if (filters.oneDevice && entry.deviceFolder() != filters.device)
        return false;
    if (filters.sameScreenOnly && !sameScreen.contains(entry.deviceFolder()))
        return false;
    if (!filters.kind.isEmpty() && filters.kind != entry.kind)
        return false;
    if (!filters.text.isEmpty() && !entry.page.contains(filters.text, Qt::CaseInsensitive)
        && !entry.item.contains(filters.text, Qt::CaseInsensitive))
        return false;
    return true;
}

QString ElementLibraryDialog::toolTipFor(const ElementCatalogEntry& entry, const QStringList& sameScreen) const
{
    const QString device = entry.deviceFolder();
    QString tip = QStringLiteral("%1\n%2\n%3").arg(device, entry.relPath, kindLabel(entry.kind));
    if (!entry.scales.isEmpty())
        tip += tr("\nScales: %1").arg(scaleList(entry.scales));
    if (!deviceName.isEmpty() && device != deviceName) {
        if (sameScreen.contains(device))
            tip += tr("\n\nFrom %1: same screen size, so its artwork must be copied into a homebrew set for %2 "
                      "before use.")
                       .arg(device, deviceName);
        else
            tip += tr("\n\nFrom %1: a different screen size to %2 — its artwork would need rescaling as well as "
                      "copying.")
                       .arg(device, deviceName);
    }
    if (!entry.stable)
        tip += tr("\n\nNot installed: download the %1 device in RaceStudio3 before using this element.")
                   .arg(device);
    return tip;
}

void ElementLibraryDialog::applyFilters()
{
    const auto sameScreen = std::make_shared<const QStringList>(sameScreenDevices());
    const Filters filters = currentFilters();
    // A handful of kinds name every element.
    QHash<QString, QString> kindLabels;
    grid->clear();
    for (const ElementCatalogEntry& entry : ElementCatalog::entries()) {
        if (!passesFilters(entry, filters, *sameScreen))
            continue;
        auto label = kindLabels.constFind(entry.kind);
        if (label == kindLabels.constEnd())
            label = kindLabels.insert(entry.kind, kindLabel(entry.kind));
        // "page/item", then the kind and the size.
        const QString text = entry.page % QLatin1Char('/') % entry.item % QLatin1Char('\n') % *label
                           % QLatin1String("  ") % QString::number(entry.size.width()) % QLatin1Char('x')
                           % QString::number(entry.size.height());
        // Drawn when first painted: most items of a long list are never in
        // view.
        const QIcon icon(new ThumbnailIconEngine(entry, kThumbnailSide));
        grid->addItem(new GridItem(text, entry, icon, this, sameScreen));
    }
    updateStatus();
}

void ElementLibraryDialog::updateStatus()
{
    if (ElementCatalog::entries().isEmpty()) {
        statusLabel->setText(tr("No index yet. Press \"Refresh index\" to scan your RaceStudio3 install for native "
                                "gauges and bars."));
        return;
    }
    const QDateTime scanned = ElementCatalog::scannedAt();
    const QString when = scanned.isValid() ? scanned.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : tr("just now");
    statusLabel->setText(tr("Showing %1 of %2 elements  ·  indexed %3  ·  elements from devices marked \"not "
                            "installed\" need that device downloaded in RaceStudio3 first.")
                             .arg(grid->count())
                             .arg(ElementCatalog::entries().size())
                             .arg(when));
}

void ElementLibraryDialog::refreshIndex()
{
    // The scan processes events: a second click, or the Refresh slot reached
    // again through them, must not start a scan inside the scan.
    if (busy)
        return;
    busy = true;
    refreshButton->setEnabled(false);

    QProgressDialog progress(scanningText(), tr("Cancel"), 0, 0, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.show();
    QCoreApplication::processEvents();
    QString saveError;
    const int count = ElementCatalog::rebuild(
        [&progress](int found, int) {
            progress.setLabelText(tr("Scanning RaceStudio3 for native elements...\n%1 found").arg(found));
            QCoreApplication::processEvents();
        },
        &saveError);
    progress.close();

    fillDeviceCombo();
    applyFilters();
    if (count >= 0 && !saveError.isEmpty())
        statusLabel->setText(tr("Indexed %1 elements for now; the index could not be saved for the next start: %2")
                                 .arg(count)
                                 .arg(saveError));
    else if (count >= 0)
        statusLabel->setText(indexedText(count));
    refreshButton->setEnabled(true);
    busy = false;
    if (heldResult >= 0) {
        const int result = heldResult;
        heldResult = -1;
        QDialog::done(result);
    }
}

void ElementLibraryDialog::done(int result)
{
    if (busy) {
        heldResult = result;
        return;
    }
    QDialog::done(result);
}
