#include "panels/IconPreviewDialog.h"

#include "canvas/DashCanvas.h"
#include "model/InstallAdvice.h"
#include "model/InstallRoots.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QVBoxLayout>

namespace {

constexpr int StoredPathRole = Qt::UserRole + 1;

QString trimmedRoot(QString root)
{
    root = QDir::fromNativeSeparators(root);
    while (root.endsWith(QLatin1Char('/')))
        root.chop(1);
    return root;
}

// The device's "<device>/masks/set/standard" relative to an overlay root, or
// empty when the artwork path does not lie in a standard page set.
QString standardRoot(const QString& artworkPath)
{
    const QString path = QDir::fromNativeSeparators(artworkPath);
    const QString marker = QStringLiteral("/masks/set/standard");
    const int at = path.indexOf(marker);
    if (path.isEmpty() || at < 0)
        return {};
    QString root = path.left(at + marker.size());
    const QString overlay = QStringLiteral("aim/resources/overlay/");
    const int overlayAt = root.indexOf(overlay);
    if (overlayAt >= 0)
        root = root.mid(overlayAt + overlay.size());
    return trimmedRoot(root);
}

QString storedPathFor(const QString& filePath)
{
    for (const QString& raw : { raceStudio3Root(), raceStudio3BetaRoot() }) {
        if (raw.isEmpty())
            continue;
        const QString prefix = trimmedRoot(raw) + QLatin1Char('/');
        if (filePath.startsWith(prefix, Qt::CaseInsensitive))
            return filePath.mid(prefix.size());
    }
    return filePath;
}

QString displayNameFor(const QString& baseName)
{
    static const QRegularExpression devicePrefix(QStringLiteral("^[A-Za-z]{1,4}_[0-9]+x[0-9]+_"));
    static const QRegularExpression onSuffix(QStringLiteral("_on$"), QRegularExpression::CaseInsensitiveOption);
    QString name = baseName;
    name.remove(devicePrefix);
    name.remove(onSuffix);
    name.replace(QLatin1Char('_'), QLatin1Char(' '));
    return name.trimmed();
}

struct Collector {
    int limit;
    QList<IconGraphic> graphics;
    QSet<QString> taken;

    void addFolder(const QString& folder)
    {
        const QFileInfoList files
            = QDir(folder).entryInfoList({ QStringLiteral("*_on.bmp") }, QDir::Files, QDir::Name | QDir::IgnoreCase);
        for (const QFileInfo& file : files) {
            if (graphics.size() >= limit)
                return;
            const QString base = file.completeBaseName().toLower();
            if (base.contains(QLatin1String("all_black")) || base.contains(QLatin1String("no chmath")))
                continue;
            const QString key = file.fileName().toLower();
            if (taken.contains(key))
                continue;
            taken.insert(key);
            IconGraphic graphic;
            graphic.filePath = QDir::fromNativeSeparators(folder + QLatin1Char('/') + file.fileName());
            graphic.storedPath = storedPathFor(graphic.filePath);
            graphic.displayName = displayNameFor(file.completeBaseName());
            graphics.append(graphic);
        }
    }
};

} // namespace

QList<IconGraphic> IconPreviewDialog::collectGraphics(const QString& artworkPath, int limit)
{
    Collector collector { limit, {}, {} };
    const QString standard = standardRoot(artworkPath);
    const QStringList roots = allOverlayRoots();
    if (!standard.isEmpty()) {
        for (const QString& root : roots) {
            const QString dir = trimmedRoot(root) + QLatin1Char('/') + standard;
            if (!QFileInfo(dir).isDir())
                continue;
            const QStringList sets = QDir(dir).entryList(
                { QStringLiteral("s*") }, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
            for (const QString& set : sets) {
                const QString icons = dir + QLatin1Char('/') + set + QStringLiteral("/Icon");
                if (QFileInfo(icons).isDir())
                    collector.addFolder(icons);
            }
        }
    }
    // No page set of the element's own device: the first stock icon folder
    // of any install, so the user still has graphics to choose from.
    for (int i = 0; collector.graphics.isEmpty() && i < roots.size(); ++i) {
        const QString root = trimmedRoot(roots.at(i));
        if (root.isEmpty() || !QFileInfo(root).isDir())
            continue;
        QDirIterator walk(root, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (collector.graphics.isEmpty() && walk.hasNext()) {
            const QString dir = QDir::fromNativeSeparators(walk.next());
            if (walk.fileName().compare(QLatin1String("Icon"), Qt::CaseInsensitive) == 0
                && dir.contains(QLatin1String("/s01/Icon"), Qt::CaseInsensitive))
                collector.addFolder(dir);
        }
    }
    return collector.graphics;
}

IconPreviewDialog::IconPreviewDialog(const QString& artworkPath, const QString& currentPreview, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Preview icon"));
    setModal(true);
    resize(720, 560);
    auto* layout = new QVBoxLayout(this);

    auto* note = new QLabel(tr("Preview only — the icon's real graphic and trigger are "
                               "configured in RaceStudio 3's "
                               "Icons Manager. This choice is not saved into the config."),
        this);
    note->setWordWrap(true);
    note->setStyleSheet(QStringLiteral("QLabel { background:#3a3320; color:#f0e6b0; border:1px solid #7a6a2a; "
                                       "border-radius:4px; padding:6px; }"));
    note->setToolTip(note->text());
    layout->addWidget(note);
    auto* prompt = new QLabel(tr("Pick a graphic to show on this icon element in "
                                 "the Korvelanto canvas mockup:"),
        this);
    prompt->setWordWrap(true);
    layout->addWidget(prompt);

    m_list = new QListWidget(this);
    m_list->setViewMode(QListView::IconMode);
    m_list->setIconSize(QSize(64, 64));
    // Room for a name wrapped over three lines under the graphic; longer
    // ones are elided and whole in the tool tip.
    m_list->setGridSize(QSize(108, 64 + 3 * fontMetrics().lineSpacing() + 16));
    m_list->setResizeMode(QListView::Adjust);
    m_list->setMovement(QListView::Static);
    m_list->setDragEnabled(false);
    m_list->setWrapping(true);
    m_list->setSpacing(8);
    m_list->setUniformItemSizes(false);
    m_list->setWordWrap(true);
    layout->addWidget(m_list, 1);

    m_buttons = new QDialogButtonBox(this);
    QPushButton* use = m_buttons->addButton(tr("Use as preview"), QDialogButtonBox::AcceptRole);
    use->setToolTip(tr("Assign the highlighted graphic as a layout preview (not "
                       "saved into the config)."));
    QPushButton* remove = m_buttons->addButton(tr("Remove preview"), QDialogButtonBox::DestructiveRole);
    remove->setToolTip(tr("Clear any preview graphic on this icon element."));
    m_buttons->addButton(QDialogButtonBox::Cancel);
    layout->addWidget(m_buttons);

    connect(use, &QPushButton::clicked, this, [this] { useCurrent(); });
    connect(remove, &QPushButton::clicked, this, [this] { removePreview(); });
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        m_chosenPath = item->data(StoredPathRole).toString();
        accept();
    });

    const QList<IconGraphic> graphics = collectGraphics(artworkPath);
    fillList(graphics, currentPreview);
    // The list has no room for why it is empty: the prompt says it, and
    // where the graphics were looked for.
    if (graphics.isEmpty()) {
        const QString standard = standardRoot(artworkPath);
        prompt->setText(standard.isEmpty()
                            ? tr("No icon graphics found: this icon's artwork folder lies in no RaceStudio 3 page "
                                 "set, so there was nowhere to look.")
                            : tr("No icon graphics found. %1")
                                  .arg(InstallAdvice::notFound(QStringLiteral("aim/resources/overlay/") + standard)));
    }
}

IconPreviewDialog::~IconPreviewDialog() = default;

void IconPreviewDialog::fillList(const QList<IconGraphic>& graphics, const QString& currentPreview)
{
    for (const IconGraphic& graphic : graphics) {
        auto* item = new QListWidgetItem(graphic.displayName, m_list);
        const QImage image = DashCanvas::loadImage(graphic.filePath);
        if (!image.isNull())
            item->setIcon(QIcon(QPixmap::fromImage(image)));
        item->setToolTip(graphic.displayName + QLatin1Char('\n') + graphic.filePath);
        item->setData(StoredPathRole, graphic.storedPath);
        item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
        if (!currentPreview.isEmpty() && currentPreview.compare(graphic.storedPath, Qt::CaseInsensitive) == 0)
            m_list->setCurrentItem(item);
    }
    if (graphics.isEmpty()) {
        auto* item = new QListWidgetItem(tr("(no icon graphics found)"), m_list);
        item->setFlags(Qt::NoItemFlags);
    }
}

void IconPreviewDialog::useCurrent()
{
    if (QListWidgetItem* item = m_list->currentItem())
        m_chosenPath = item->data(StoredPathRole).toString();
    accept();
}

void IconPreviewDialog::removePreview()
{
    m_removed = true;
    m_chosenPath.clear();
    accept();
}
