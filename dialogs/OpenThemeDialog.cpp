#include "dialogs/OpenThemeDialog.h"

#include "gallery/ThemePackage.h"
#include "panels/Asker.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

OpenThemeDialog::OpenThemeDialog(std::unique_ptr<ThemePackage> package, QWidget* parent)
    : QDialog(parent)
    , package(std::move(package))
{
    setWindowTitle(tr("Open Dashboard Theme"));
    setMinimumWidth(520);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 10);
    layout->setSpacing(8);
    addHeader(layout);
    fillDevices(layout);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* cancelButton = new QPushButton(tr("Cancel"), this);
    openButton = new QPushButton(tr("Open"), this);
    openButton->setDefault(true);
    buttons->addWidget(cancelButton);
    buttons->addWidget(openButton);
    layout->addLayout(buttons);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(openButton, &QPushButton::clicked, this, &OpenThemeDialog::onOpenClicked);
    if (deviceCombo->count() == 0) {
        openButton->setEnabled(false);
        openButton->setToolTip(tr("This theme declares no devices."));
    }
}

OpenThemeDialog::~OpenThemeDialog() = default;

// Name, author, licence and id come from the package's manifest, so they are
// escaped before they reach rich text.
void OpenThemeDialog::addHeader(QVBoxLayout* layout)
{
    const QString name = package->name.isEmpty() ? package->id : package->name;
    titleLabel = new QLabel(
        QStringLiteral("<span style='font-size:14pt; font-weight:bold;'>%1</span>").arg(name.toHtmlEscaped()), this);
    titleLabel->setTextFormat(Qt::RichText);
    layout->addWidget(titleLabel);

    QStringList pieces;
    if (!package->author.isEmpty())
        pieces << tr("by %1").arg(package->author.toHtmlEscaped());
    if (!package->license.isEmpty())
        pieces << package->license.toHtmlEscaped();
    if (!package->id.isEmpty())
        pieces << tr("id: %1").arg(package->id.toHtmlEscaped());
    metaLabel = new QLabel(
        QStringLiteral("<span style='color:#888;'>%1</span>").arg(pieces.join(QStringLiteral(" &middot; "))), this);
    metaLabel->setTextFormat(Qt::RichText);
    layout->addWidget(metaLabel);

    if (!package->description.isEmpty()) {
        descriptionView = new QTextEdit(this);
        descriptionView->setPlainText(package->description);
        descriptionView->setReadOnly(true);
        descriptionView->setMaximumHeight(70);
        layout->addWidget(descriptionView);
    }
}

void OpenThemeDialog::fillDevices(QVBoxLayout* layout)
{
    auto* pick = new QLabel(tr("<b>Pick the device whose canvas you want to edit:</b>"), this);
    pick->setTextFormat(Qt::RichText);
    layout->addWidget(pick);

    deviceCombo = new QComboBox(this);
    bool anyWithout = false;
    for (const QString& device : package->devices) {
        const bool hasAssets = package->hasAssetsFor(device);
        anyWithout = anyWithout || !hasAssets;
        deviceCombo->addItem(hasAssets ? device : device + tr("  (no assets)"), device);
    }
    layout->addWidget(deviceCombo);

    if (anyWithout) {
        auto* warning = new QLabel(tr("<span style='color:#b07000;'>&#9888; Some devices in this manifest have no "
                                      "assets in the bundle. They may not render correctly.</span>"),
                                   this);
        warning->setTextFormat(Qt::RichText);
        warning->setWordWrap(true);
        layout->addWidget(warning);
    }
}

void OpenThemeDialog::onOpenClicked()
{
    selectedDevice = deviceCombo->currentData().toString();
    if (selectedDevice.isEmpty()) {
        Asker::instance().warning(this, tr("Open Theme"), tr("Please pick a device."));
        return;
    }
    accept();
}

std::unique_ptr<ThemePackage> OpenThemeDialog::takePackage()
{
    return std::move(package);
}
