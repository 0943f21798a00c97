#include "dialogs/NewHomebrewThemeDialog.h"
#include "model/FolderCopy.h"

#include "artwork/ArtworkFiles.h"
#include "model/DeviceRegistry.h"
#include "model/InstallRoots.h"
#include "panels/Asker.h"
#include "templates/HomebrewThemeRenderer.h"
#include "templates/PageTemplateLibrary.h"
#include "templates/ThemeAssets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kImportTab = 1;

QLabel* thumbnailLabel(const QSize& size)
{
    auto* label = new QLabel(NewHomebrewThemeDialog::tr("(none)"));
    label->setFixedSize(size);
    label->setFrameShape(QFrame::Box);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// The picture scaled into the label, one pixel of frame left on each side.
void showScaled(QLabel* label, const QImage& image)
{
    const QSize box = label->size() - QSize(2, 2);
    label->setPixmap(QPixmap::fromImage(image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

const DeviceRow* deviceById(const QString& id)
{
    for (const DeviceRow& row : DeviceRegistry::devices()) {
        if (row.id.compare(id, Qt::CaseInsensitive) == 0)
            return &row;
    }
    return nullptr;
}

} // namespace

NewHomebrewThemeDialog::NewHomebrewThemeDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("New Homebrew Theme"));
    resize(980, 680);
    m_previewTimer = new QTimer(this);
    m_previewTimer->setSingleShot(true);
    m_previewTimer->setInterval(120);
    connect(m_previewTimer, &QTimer::timeout, this, &NewHomebrewThemeDialog::refreshPreview);

    m_tabs = new QTabWidget;
    m_tabs->addTab(buildParametricTab(), tr("Parametric"));
    m_tabs->addTab(buildImportTab(), tr("Import Background"));
    connect(m_tabs, &QTabWidget::currentChanged, this, &NewHomebrewThemeDialog::onAnyFieldChanged);

    auto* row = new QHBoxLayout;
    row->addWidget(m_tabs, 1);
    row->addWidget(buildPreviewGroup(), 0);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    QPushButton* create = buttons->addButton(tr("Create theme"), QDialogButtonBox::AcceptRole);
    create->setObjectName(QStringLiteral("createButton"));
    connect(create, &QPushButton::clicked, this, &NewHomebrewThemeDialog::onCreate);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);

    collectParams();
    refreshPreview();
}

QWidget* NewHomebrewThemeDialog::buildParametricTab()
{
    auto* tab = new QWidget;
    auto* form = new QFormLayout(tab);
    form->setLabelAlignment(Qt::AlignRight);

    m_name = new QLineEdit;
    m_name->setObjectName(QStringLiteral("themeName"));
    m_name->setPlaceholderText(tr("e.g. Mercedes AMG Petronas"));
    m_title = new QLineEdit;
    m_title->setObjectName(QStringLiteral("title"));
    m_title->setPlaceholderText(tr("Header title (uppercased on render)"));
    m_subtitle = new QLineEdit;
    m_subtitle->setObjectName(QStringLiteral("subtitle"));
    m_subtitle->setPlaceholderText(tr("Footer subtitle (optional)"));
    form->addRow(tr("Theme name:"), m_name);
    form->addRow(tr("Title:"), m_title);
    form->addRow(tr("Subtitle:"), m_subtitle);
    form->addRow(tr("Primary:"), colorButton(&m_primary));
    form->addRow(tr("Accent:"), colorButton(&m_accent));

    m_useSecondary = new QCheckBox(tr("enable"));
    m_useSecondary->setObjectName(QStringLiteral("useSecondary"));
    m_useSecondary->setChecked(true);
    auto* secondary = new QHBoxLayout;
    secondary->addWidget(m_useSecondary);
    secondary->addWidget(colorButton(&m_secondary), 1);
    form->addRow(tr("Secondary:"), secondary);

    m_style = new QComboBox;
    m_style->setObjectName(QStringLiteral("style"));
    m_style->addItem(tr("Gradient"), 0);
    m_style->addItem(tr("Carbon"), 1);
    m_style->addItem(tr("Diagonal"), 2);
    form->addRow(tr("Style:"), m_style);

    auto* logoButton = new QPushButton(tr("Import logo (PNG/JPG/WebP)..."));
    logoButton->setObjectName(QStringLiteral("logoButton"));
    logoButton->setAutoDefault(false);
    m_logoThumb = thumbnailLabel(QSize(80, 60));
    m_logoThumb->setObjectName(QStringLiteral("logoThumb"));
    auto* logo = new QHBoxLayout;
    logo->addWidget(logoButton, 1);
    logo->addWidget(m_logoThumb);
    form->addRow(tr("Logo:"), logo);
    m_recolorLogo = new QCheckBox(tr("Recolor logo to accent"));
    m_recolorLogo->setObjectName(QStringLiteral("recolorLogo"));
    form->addRow(QString(), m_recolorLogo);

    m_watermarkAlpha = new QSlider(Qt::Horizontal);
    m_watermarkAlpha->setObjectName(QStringLiteral("watermarkAlpha"));
    m_watermarkAlpha->setRange(0, 100);
    m_watermarkAlpha->setValue(55);
    m_watermarkLabel = new QLabel(tr("%1%").arg(55));
    m_watermarkLabel->setFixedWidth(40);
    auto* alpha = new QHBoxLayout;
    alpha->addWidget(m_watermarkAlpha, 1);
    alpha->addWidget(m_watermarkLabel);
    form->addRow(tr("Watermark alpha:"), alpha);

    for (QLineEdit* edit : {m_name, m_title, m_subtitle})
        connect(edit, &QLineEdit::textChanged, this, &NewHomebrewThemeDialog::onAnyFieldChanged);
    connect(m_style, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &NewHomebrewThemeDialog::onAnyFieldChanged);
    connect(m_useSecondary, &QCheckBox::toggled, this, &NewHomebrewThemeDialog::onAnyFieldChanged);
    connect(m_recolorLogo, &QCheckBox::toggled, this, &NewHomebrewThemeDialog::onAnyFieldChanged);
    connect(m_watermarkAlpha, &QSlider::valueChanged, this, &NewHomebrewThemeDialog::onWatermarkChanged);
    connect(logoButton, &QPushButton::clicked, this, &NewHomebrewThemeDialog::onPickLogo);
    return tab;
}

QWidget* NewHomebrewThemeDialog::buildImportTab()
{
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    auto* intro = new QLabel(
        tr("<b>Import background image</b><br>Pick one image and Korvelanto will scale/crop it to each device's "
           "native canvas (800x480 or 1280x480). Header/footer stripes and title text are <i>not</i> drawn on "
           "top \u2014 the imported image fills the whole frame. Keep this in mind when designing it."));
    intro->setWordWrap(true);
    intro->setTextFormat(Qt::RichText);
    layout->addWidget(intro);

    m_importName = new QLineEdit;
    m_importName->setObjectName(QStringLiteral("importThemeName"));
    m_importName->setPlaceholderText(tr("e.g. My Custom Theme"));
    auto* form = new QFormLayout;
    form->addRow(tr("Theme name:"), m_importName);
    layout->addLayout(form);

    auto* pick = new QPushButton(tr("Import background image..."));
    pick->setObjectName(QStringLiteral("backgroundButton"));
    pick->setAutoDefault(false);
    m_backgroundThumb = thumbnailLabel(QSize(160, 96));
    m_backgroundThumb->setObjectName(QStringLiteral("backgroundThumb"));
    auto* row = new QHBoxLayout;
    row->addWidget(pick, 1);
    row->addWidget(m_backgroundThumb);
    layout->addLayout(row);
    layout->addStretch();
    connect(pick, &QPushButton::clicked, this, &NewHomebrewThemeDialog::onPickBackground);
    return tab;
}

QWidget* NewHomebrewThemeDialog::buildPreviewGroup()
{
    auto* group = new QGroupBox(tr("Preview"));
    auto* layout = new QVBoxLayout(group);
    m_device = new QComboBox;
    m_device->setObjectName(QStringLiteral("device"));
    for (const DeviceRow& row : DeviceRegistry::devices())
        m_device->addItem(tr("%1 (%2x%3)").arg(row.id, QString::number(row.width), QString::number(row.height)), row.id);
    m_preview = new QLabel;
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setFixedSize(480, 288);
    m_preview->setFrameShape(QFrame::Box);
    m_preview->setAlignment(Qt::AlignCenter);
    m_preview->setStyleSheet(QStringLiteral("background: #111;"));
    layout->addWidget(m_device);
    layout->addWidget(m_preview);
    layout->addStretch();
    connect(m_device, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &NewHomebrewThemeDialog::onDeviceTabChanged);
    return group;
}

QPushButton* NewHomebrewThemeDialog::colorButton(QColor* colour)
{
    auto* button = new QPushButton;
    button->setAutoDefault(false);
    styleColorButton(button, *colour);
    connect(button, &QPushButton::clicked, this, [this, colour, button] { pickColor(colour, button); });
    return button;
}

QString NewHomebrewThemeDialog::slugify(const QString& name)
{
    QString slug;
    for (const QChar c : name) {
        if (c.isLetterOrNumber())
            slug += c.toLower();
    }
    if (slug.isEmpty())
        slug = QStringLiteral("theme");
    if (!slug.startsWith(QLatin1Char('z')))
        slug.prepend(QLatin1Char('z'));
    return slug;
}

void NewHomebrewThemeDialog::collectParams()
{
    m_params = ThemeParams();
    // The imported picture replaces the whole design, also in the preview.
    if (m_tabs->currentIndex() == kImportTab) {
        m_params.importedBackground = m_importedBackground;
        return;
    }
    m_params.title = m_title->text();
    m_params.subtitle = m_subtitle->text();
    m_params.primary = m_primary;
    m_params.accent = m_accent;
    if (m_useSecondary->isChecked()) {
        m_params.secondary = m_secondary;
        m_params.useSecondary = true;
    }
    m_params.style = m_style->currentData().toInt();
    m_params.logo = m_logo;
    m_params.recolorLogo = m_recolorLogo->isChecked();
    m_params.recolorColor = m_accent;
    m_params.watermarkAlpha = m_watermarkAlpha->value() / 100.0;
}

void NewHomebrewThemeDialog::refreshPreview()
{
    collectParams();
    const DeviceRow* row = deviceById(m_device->currentData().toString());
    const QImage image = row ? HomebrewThemeRenderer::renderBackground(row->width, row->height, m_params) : QImage();
    if (image.isNull()) {
        m_preview->clear();
        return;
    }
    showScaled(m_preview, image);
}

void NewHomebrewThemeDialog::onDeviceTabChanged(int)
{
    refreshPreview();
}

void NewHomebrewThemeDialog::onAnyFieldChanged()
{
    m_previewTimer->start();
}

void NewHomebrewThemeDialog::onWatermarkChanged(int value)
{
    m_watermarkLabel->setText(tr("%1%").arg(value));
    onAnyFieldChanged();
}

void NewHomebrewThemeDialog::pickColor(QColor* colour, QPushButton* button)
{
    const QColor picked = Asker::instance().color(this, *colour, tr("Pick color"));
    if (!picked.isValid())
        return;
    *colour = picked;
    styleColorButton(button, picked);
    onAnyFieldChanged();
}

void NewHomebrewThemeDialog::styleColorButton(QPushButton* button, const QColor& colour)
{
    const QString text = colour.lightness() < 129 ? QStringLiteral("#fff") : QStringLiteral("#000");
    button->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: %2; border: 1px solid #222; padding: 4px 10px; }")
            .arg(colour.name(), text));
    button->setText(colour.name().toUpper());
}

QImage NewHomebrewThemeDialog::importPicture(const QString& title, const QString& filter)
{
    const QString path = Asker::instance().openFileName(this, title, QString(), filter);
    if (path.isEmpty())
        return {};
    // Phone pictures are stored sideways with an orientation tag.
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        Asker::instance().warning(this, tr("Import failed"), tr("Qt couldn't decode that file as an image."));
        return {};
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}

void NewHomebrewThemeDialog::onPickLogo()
{
    const QImage logo = importPicture(tr("Import Logo"), tr("Images (*.png *.jpg *.jpeg *.webp *.bmp *.gif)"));
    if (logo.isNull())
        return;
    m_logo = logo;
    showScaled(m_logoThumb, m_logo);
    onAnyFieldChanged();
}

void NewHomebrewThemeDialog::onPickBackground()
{
    const QImage picture = importPicture(tr("Import Background"), tr("Images (*.png *.jpg *.jpeg *.webp *.bmp)"));
    if (picture.isNull())
        return;
    m_importedBackground = picture;
    showScaled(m_backgroundThumb, m_importedBackground);
    onAnyFieldChanged();
}

// The install replaces the slug's folder in every family of the store and in
// every RS3 homebrew set, whatever made it (an earlier theme, or a page
// template saved under the same name): ask once when any of them exists.
bool NewHomebrewThemeDialog::confirmReplace(const QString& name, const QString& slug)
{
    if (PageTemplateLibrary::existingThemeFolders(slug).isEmpty())
        return true;
    // Saved pages point into those folders: overwriting them would change or
    // remove what they show, as a delete would.
    const TemplateUsers users = usersOf ? usersOf(slug) : TemplateUsers::ofFolderName(slug, nullptr, {});
    if (users.found()) {
        Asker::instance().warning(this, tr("Theme exists"),
                                  tr("A theme or template named \"%1\" (slug: %2) already exists and is in use:"
                                     "\n\n%3\n\nOverwriting it would change or remove the pictures they show. "
                                     "Choose another name.")
                                      .arg(name, slug, users.listing()));
        return false;
    }
    QString text = tr("A theme named \"%1\" (slug: %2) already exists. Overwrite?").arg(name, slug)
                   + QStringLiteral("\n\n") + tr("The old folders are kept in the artwork backups.") + QLatin1Char(' ')
                   + users.notSearched();
    // What could not be read counts as a user: said first.
    if (!users.complete())
        text = tr("\"%1\" may still be in use: the search could not read everything.").arg(name)
               + QStringLiteral("\n\n") + text;
    const auto answer = Asker::instance().question(this, tr("Theme exists"), text,
                                                   QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel);
    return answer == QMessageBox::Yes;
}

ThemeAssets NewHomebrewThemeDialog::renderAssets()
{
    ThemeAssets assets;
    for (const DeviceRow& row : DeviceRegistry::devices()) {
        const QImage image = HomebrewThemeRenderer::renderBackground(row.width, row.height, m_params);
        if (image.isNull())
            continue;
        assets.backgrounds.insert(row.family, pngBytes(image));
        assets.previews.insert(row.family,
                               pngBytes(image.scaled(196, 117, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    return assets;
}

void NewHomebrewThemeDialog::reportInstall(const QString& name, int count, const QStringList& skipped,
                                           const QString& keptAside, const QStringList& leftAlone)
{
    if (count <= 0) {
        Asker::instance().critical(
            this, tr("Nothing written"),
            tr("Could not install the theme. None of the registered devices had a usable base template in the "
               "RaceStudio3 install.\n\nKorvelanto currently looks at:\n  Stable: %1\n  Beta:   %2\n\nYou can "
               "change either path via Tools > Preferences.")
                .arg(configuredRaceStudio3Root(), configuredRaceStudio3BetaRoot()));
        return;
    }
    QString message = tr("Created \"%1\" - %2 device variant%3 written.")
                          .arg(name, QString::number(count), count == 1 ? QString() : QStringLiteral("s"));
    if (!skipped.isEmpty())
        message += tr("\n\nSkipped (no base template present): %1").arg(skipped.join(QStringLiteral(", ")));
    if (!keptAside.isEmpty())
        message += tr("\n\nThe folders it replaced were kept in:\n%1").arg(QDir::toNativeSeparators(keptAside));
    if (!leftAlone.isEmpty())
        message += tr("\n\nNot written into RaceStudio3, where a folder of its name holds something else:\n%1")
                       .arg(leftAlone.join(QLatin1Char('\n')));
    Asker::instance().information(this, tr("Theme created"), message);
    accept();
}

void NewHomebrewThemeDialog::onCreate()
{
    const bool imported = m_tabs->currentIndex() == kImportTab;
    const QString name = (imported ? m_importName : m_name)->text().trimmed();
    if (name.isEmpty()) {
        Asker::instance().warning(this, tr("Theme name required"), tr("Please enter a theme name before creating."));
        return;
    }
    if (const QString tooLong = FolderCopy::whyNameDoesNotFit(name); !tooLong.isEmpty()) {
        Asker::instance().warning(this, tr("Theme name too long"), tooLong);
        return;
    }
    if (imported && m_importedBackground.isNull()) {
        Asker::instance().warning(this, tr("Background required"), tr("Import a background image first."));
        return;
    }
    const QString slug = slugify(name);
    if (!confirmReplace(name, slug))
        return;
    collectParams();
    QStringList skipped;
    QString keptAside;
    QStringList leftAlone;
    const int count =
        PageTemplateLibrary::installHomebrewTheme(slug, name, renderAssets(), &skipped, &keptAside, &leftAlone);
    reportInstall(name, count, skipped, keptAside, leftAlone);
}
