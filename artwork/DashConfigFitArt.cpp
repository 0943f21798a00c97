// Fitting a mask's art to its size. The device paints art at the pixel size
// of the image file, not at the mask's WIDTH x HEIGHT, so after a resize the
// art is regenerated: a styled box is rendered again into an item of its own
// for the new size; any other single picture is scaled from its untouched
// origin into a "fit" item, and the origin is stamped in DE_FIT_SRC so later
// fits never scale a scaled copy. Items are named after the page and the
// mask and hashed from their picture, so no fit draws over art that another
// mask, the saved file or an earlier undo step shows: undoing a resize only
// points the mask back. A bar is fitted the same way, all of its pictures
// of the item's size at once (a coloured bar is drawn again from its colour's
// origin instead).
#include "model/DashConfig.h"

#include "artwork/ArtworkFiles.h"
#include "artwork/BoxStyleLibrary.h"
#include "artwork/BoxStyleRenderer.h"
#include "artwork/ColoredBarArt.h"
#include "artwork/FittedBar.h"
#include "artwork/HeldArtFolder.h"
#include "artwork/HomebrewItems.h"
#include "artwork/TgzImage.h"
#include "model/DeviceTables.h"
#include "model/FileEntries.h"
#include "model/SafeRead.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/XmlParams.h"

#include <QDebug>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

namespace {

QString normalizedArtPath(const QByteArray& value)
{
    QString p = QString::fromUtf8(value).trimmed();
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return normalizeDirPath(p);
}

// The picture of an RS3-relative item folder, or null.
QImage itemPicture(const QString& rel)
{
    const QString folder = DashConfig::resolveOverlayDir(rel);
    if (folder.isEmpty())
        return {};
    return fitSourcePicture(folder);
}

// Where a fit starts: the untouched origin the file stamps (else the item
// shown) and its picture. `done` is 0 or 1 when nothing is left to draw:
// the art shown has the size already, or the origin has it again and the
// mask points back at it (1: the mask changed).
struct FitStart {
    QString origin;
    QImage picture;
    bool originMissing = false;
    int done = -1;
};

FitStart fitStart(pugi::xml_node node, const QString& current, const QString& fitSrc, QSize size)
{
    FitStart start;
    start.origin = fitSrc.isEmpty() ? current : fitSrc;
    if (start.origin != current) {
        const QImage now = itemPicture(current);
        if (!now.isNull() && now.size() == size) {
            start.done = 0;
            return start;
        }
    }
    start.picture = itemPicture(start.origin);
    if (start.picture.isNull() && start.origin != current) {
        start.originMissing = true;
        start.origin = current;
        start.picture = itemPicture(current);
    }
    if (start.picture.isNull() || (start.picture.size() == size && start.origin == current)) {
        start.done = 0;
    } else if (start.picture.size() == size) {
        setParam(node, "PATH_REL_AiM_MASK", start.origin.toUtf8());
        removeParams(node, "DE_FIT_SRC");
        start.done = 1;
    }
    return start;
}

// A bar whose pictures are the element's, a value box holding one
// included: its picture has the element's size as a bar's strips do. A ring
// draws its own arc over its dial.
bool isFittedBar(pugi::xml_node node)
{
    return findBargraphChild(node) && !maskHasChildClass(node, "Ring");
}

// A box drawn in a style of the designer: drawn again at the new size,
// whatever it holds, never scaled from its old picture.
bool isStyledBox(const QMap<QString, BoxStyleRecord>& styles, const QString& key, const QString& current)
{
    const auto rec = styles.constFind(key);
    return rec != styles.constEnd() && !rec->styleId.isEmpty() && rec->styleId != cleanBoxStyleId()
        && current.contains(QLatin1String("/s04_homebrew/zbox_")) && current.contains(QLatin1String("/Items/box_"));
}

QSize pictureSize(const QString& name, const QByteArray& bytes)
{
    if (name.endsWith(QLatin1String(".tgz"), Qt::CaseInsensitive))
        return TgzImage::decode(bytes).size();
    return QImage::fromData(bytes).size();
}

// The pictures the bar's widgets name (its strips) as its fit item holds
// them, by name: an item may hold hundreds the element never shows, and a
// resize costs what the element shows. mask.png and its device twin are the
// panel's own.
QMap<QString, QByteArray> fittedBarFiles(pugi::xml_node node, const QString& originFolder, const QSize& stockSize,
                                         const QSize& size)
{
    QStringList shown;
    for (pugi::xml_node e = node.child("e"); e; e = e.next_sibling("e"))
        shown += DashConfig::collectWidgetAssetReferences(e);
    return ColoredBarArt::shownBarPictures(originFolder, shown, stockSize, size);
}

// The pictures of `files` that an install's item folder lacks or holds at
// another size (a fit item an older build drew kept its strips at the
// stock size).
QStringList misfitPictures(const QString& folder, const QMap<QString, QByteArray>& files)
{
    QStringList misfit;
    for (auto it = files.constBegin(); it != files.constEnd(); ++it) {
        QByteArray held;
        if (!FolderCopy::readRegularFile(folder + QLatin1Char('/') + it.key(), kArtFileReadBound, &held)
            || pictureSize(it.key(), held) != pictureSize(it.key(), it.value()))
            misfit << it.key();
    }
    return misfit;
}

// A fit item is named for its origin and size: what it shows at another
// size is drawn again in place, as the fit would draw it, and Discard can
// put it back.
void redrawMisfitPictures(DashConfig& config, const QString& device, const QString& rel,
                          const QMap<QString, QByteArray>& files)
{
    const HeldArtFolder held = heldArtFolder(rs3OverlayRoots(), device, rel, QStringLiteral("mask.tgz"));
    for (const QString& folder : held.holding) {
        const QStringList misfit = misfitPictures(folder, files);
        if (misfit.isEmpty())
            continue;
        config.artState.savedArt.aboutToWrite(folder, misfit);
        for (const QString& name : misfit) {
            QString why;
            if (!writeInstallFile(folder + QLatin1Char('/') + name, files.value(name),
                                  installHolding(rs3OverlayRoots(), folder), config.artState.copies, &why))
                config.artState.notes << why;
        }
        qInfo() << "drawFittedBar: drew again" << misfit << "in" << folder;
    }
}

} // namespace

QImage fitSourcePicture(const QString& folder)
{
    const QString path = folder + QStringLiteral("/mask.png");
    QString why;
    const QImage picture = SafeRead::readImage(path, &why);
    if (picture.isNull() && FileEntries::kindOf(path) != FileEntries::Kind::Missing)
        qWarning().noquote() << "fitMaskArtToGeometry: not read:" << why;
    return picture;
}

bool fittedBarItemStale(DashConfig& config, int pageIndex, int maskIndex, const QStringList& holding)
{
    const MaskElement* m = config.maskAt(pageIndex, maskIndex);
    int w = 0;
    int h = 0;
    if (!m || !m->node || !isFittedBar(m->node) || !elementDeclaredSize(m->node, w, h)
        || !BoxStyleRenderer::isRenderableSize(w, h))
        return false;
    const QString originFolder = DashConfig::resolveOverlayDir(normalizedArtPath(paramValue(m->node, "DE_FIT_SRC")));
    const QSize stock =
        originFolder.isEmpty() ? QSize() : SafeRead::imageSize(originFolder + QStringLiteral("/mask.png"));
    if (!stock.isValid())
        return false;
    const QMap<QString, QByteArray> files = fittedBarFiles(m->node, originFolder, stock, QSize(w, h));
    for (const QString& folder : holding) {
        if (!misfitPictures(folder, files).isEmpty())
            return true;
    }
    return false;
}

bool drawFittedBar(DashConfig& config, int pageIndex, int maskIndex, const QString& originRel,
                   const QString& hashSource, int width, int height, const QString& stem, QString& item)
{
    const MaskElement* m = config.maskAt(pageIndex, maskIndex);
    if (!m || !m->node || width < 1 || height < 1 || !BoxStyleRenderer::isRenderableSize(width, height))
        return false;
    const pugi::xml_node node = m->node;
    const QString originFolder = DashConfig::resolveOverlayDir(originRel);
    const QString device = deviceFolderFromPath(originRel);
    const QImage stock = originFolder.isEmpty() ? QImage() : fitSourcePicture(originFolder);
    if (stock.isNull() || device.isEmpty())
        return false;
    const QSize size(width, height);
    const QImage picture = ColoredBarArt::resizedBarPicture(stock, size);
    const QMap<QString, QByteArray> files = fittedBarFiles(node, originFolder, stock.size(), size);
    const QString key = sanitizeFileStem(config.sidecarKey(pageIndex, maskIndex, SidecarStore::BoxStyles));
    const QString named = artItemName(
        QStringLiteral("fit_%1_%2x%3").arg(key, QString::number(width), QString::number(height)), picture,
        hashSource);
    if (item.isEmpty())
        item = named;
    else if (!artItemNameConfirms(item, picture, hashSource))
        return false;
    const QString target = homebrewItemPath(device, stem, item);
    const QString copySource = normalizeDirPath(originRel) == target ? QString() : originFolder;
    // A bar draws no panel of its own: the parameter the panel writer sets
    // for one stays as the bar had it.
    const pugi::xml_node panel = node.find_child_by_attribute("p", "n", "PATH_IMAGE_SFONDO_FW");
    const QByteArray panelText = panel ? QByteArray(panel.text().get()) : QByteArray();
    if (!config.writeMaskPanel(pageIndex, maskIndex, picture, copySource, device, stem, item, false, nullptr, &files))
        return false;
    redrawMisfitPictures(config, device, target, files);
    if (!panel)
        removeParams(node, "PATH_IMAGE_SFONDO_FW");
    else
        setParam(node, "PATH_IMAGE_SFONDO_FW", panelText);
    return true;
}

int fitBarArtToGeometry(DashConfig& config, int pageIndex, int maskIndex)
{
    // A coloured bar is drawn again from its colour's origin.
    if (config.colouredBar(pageIndex, maskIndex).coloured)
        return 0;
    return fitBarPictures(config, pageIndex, maskIndex);
}

int fitBarPictures(DashConfig& config, int pageIndex, int maskIndex)
{
    const MaskElement* mask = config.maskAt(pageIndex, maskIndex);
    if (!mask || !mask->node)
        return 0;
    pugi::xml_node node = mask->node;
    int w = 0;
    int h = 0;
    if (!elementDeclaredSize(node, w, h) || w < 1 || h < 1)
        return 0;
    const QString current = normalizedArtPath(paramValue(node, "PATH_REL_AiM_MASK"));
    if (current.isEmpty())
        return 0;
    const QString fitSrc = normalizedArtPath(paramValue(node, "DE_FIT_SRC"));
    FitStart start = fitStart(node, current, fitSrc, QSize(w, h));
    if (start.done >= 0)
        return start.done;
    const QString origin = start.origin;
    const QImage picture = start.picture;
    const bool originMissing = start.originMissing;
    const QString key = config.sidecarKey(pageIndex, maskIndex, SidecarStore::BoxStyles);
    QString item;
    if (!drawFittedBar(config, pageIndex, maskIndex, origin, fitSrc.isEmpty() ? origin : fitSrc, w, h,
                       config.homebrewSetStem(), item)) {
        config.fitWarning = QStringLiteral("Could not fit the art of %1 to %2x%3 -- the dash will paint it at "
                                           "%4x%5. Close RaceStudio 3 and try the resize again.")
                                .arg(key, QString::number(w), QString::number(h), QString::number(picture.width()),
                                     QString::number(picture.height()));
        qWarning() << "fitBarPictures: could not fit" << current << "to" << w << "x" << h << "(origin" << origin
                   << ")";
        return 2;
    }
    if (!originMissing && !origin.contains(QLatin1String("/Items/fit_")))
        setParam(node, "DE_FIT_SRC", origin.toUtf8());
    qInfo() << "fitBarPictures:" << key << "bar" << picture.size() << "->" << w << "x" << h << "from" << origin
            << (originMissing ? "(stamped origin missing here)" : "");
    return 1;
}

int DashConfig::fitMaskArtToGeometry(int pageIndex, int maskIndex)
{
    PageModel* pg = page(pageIndex);
    if (!pg || maskIndex < 0 || maskIndex >= int(pg->masks.size()))
        return 0;
    pugi::xml_node node = pg->masks[size_t(maskIndex)].node;
    if (!node)
        return 0;
    // The panel of a multi-value box is laid out elsewhere: never scale it here.
    if (hasMultiBoxRecord(pageIndex, maskIndex))
        return 0;
    const QString key = sidecarKey(pageIndex, maskIndex, SidecarStore::BoxStyles);
    const QMap<QString, BoxStyleRecord> styles = loadBoxStyleSidecar();
    if (isFittedBar(node)
        && !isStyledBox(styles, key, normalizedArtPath(paramValue(node, "PATH_REL_AiM_MASK"))))
        return fitBarArtToGeometry(*this, pageIndex, maskIndex);
    if (paramValue(node, "PATH_IMAGE_SFONDO_FW").isEmpty())
        return 0;
    if (maskHasChildClass(node, "Ring"))
        return 0;
    const int w = paramInt(node, "WIDTH");
    const int h = paramInt(node, "HEIGHT");
    if (w < 1 || h < 1)
        return 0;
    const QString current = normalizedArtPath(paramValue(node, "PATH_REL_AiM_MASK"));
    if (current.isEmpty())
        return 0;

    // A styled box is drawn again at the new size into an item of its own,
    // which takes the current item's descriptor and extras along.
    if (isStyledBox(styles, key, current)) {
        const auto rec = styles.constFind(key);
        const QImage now = itemPicture(current);
        if (!now.isNull() && now.size() == QSize(w, h))
            return 0;
        QString device, stem, item;
        if (!parseHomebrewBoxPath(current, device, stem, item)) {
            fitWarning = QStringLiteral("Could not re-render the box of %1: unexpected folder %2").arg(key, current);
            return 2;
        }
        // Sizes come from the XML: the renderer refuses (null) what the
        // device format cannot hold, before any allocation.
        const QImage image = BoxStyleRenderer::render(QSize(w, h), rec->styleId, colourFromArgb(rec->accentArgb),
                                                      rec->borderPx, rec->caption, colourFromArgb(rec->captionArgb));
        const QString sized = image.isNull() ? QString()
            : artItemName(QStringLiteral("box_") + sanitizeFileStem(key), image, rec->originalPathRel);
        if (image.isNull()
            || !writeMaskPanel(pageIndex, maskIndex, image, resolveOverlayDir(current), device, homebrewSetStem(),
                               sized, false)) {
            fitWarning = QStringLiteral("Could not re-render the box of %1 at %2x%3 -- the dash will paint the old "
                                        "size. Close RaceStudio 3 and try again.")
                             .arg(key, QString::number(w), QString::number(h));
            return 2;
        }
        qInfo() << "fitMaskArtToGeometry: styled box" << key << "re-rendered at" << w << "x" << h;
        return 1;
    }

    // Any other single picture: scaled from its origin.
    const QString fitSrc = normalizedArtPath(paramValue(node, "DE_FIT_SRC"));
    FitStart start = fitStart(node, current, fitSrc, QSize(w, h));
    if (start.done >= 0)
        return start.done;
    const QString origin = start.origin;
    const QImage picture = start.picture;
    const bool originMissing = start.originMissing;

    const QSize pictureSize = picture.size();
    const auto fail = [&]() {
        fitWarning = QStringLiteral("Could not fit the art of %1 to %2x%3 -- the dash will paint it at %4x%5. Close "
                                    "RaceStudio 3 and try the resize again.")
                         .arg(key, QString::number(w), QString::number(h), QString::number(pictureSize.width()),
                              QString::number(pictureSize.height()));
        qWarning() << "fitMaskArtToGeometry: could not fit" << current << "to" << w << "x" << h << "(origin" << origin
                   << ")";
        return 2;
    };

    const QString hashSource = fitSrc.isEmpty() ? origin : fitSrc;
    const QString stem = homebrewSetStem();
    const QString originFolder = resolveOverlayDir(origin);
    QImage source = originFolder.isEmpty() ? QImage() : fitSourcePicture(originFolder);
    const QString device = deviceFolderFromPath(origin);
    if (originFolder.isEmpty() || source.isNull() || device.isEmpty())
        return fail();
    // WIDTH/HEIGHT come from the XML: a size the device format cannot hold
    // never reaches the scaler's allocation.
    if (!BoxStyleRenderer::isRenderableSize(w, h))
        return fail();
    source = source.convertToFormat(QImage::Format_ARGB32);
    if (source.size() != QSize(w, h))
        source = source.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // The hash covers the picture too: art the origin gets later (a
    // replacement) makes another item, never draws over this one.
    const QString item = artItemName(
        QStringLiteral("fit_%1_%2x%3").arg(sanitizeFileStem(key), QString::number(w), QString::number(h)), source,
        hashSource);
    const QString target = homebrewItemPath(device, stem, item);
    const QString copySource = origin == target ? QString() : originFolder;
    if (!writeMaskPanel(pageIndex, maskIndex, source, copySource, device, stem, item, false))
        return fail();

    if (!originMissing && !origin.contains(QLatin1String("/Items/fit_")))
        setParam(node, "DE_FIT_SRC", origin.toUtf8());
    if (originMissing)
        qInfo() << "fitMaskArtToGeometry:" << key << "art" << pictureSize << "->" << w << "x" << h << "from" << origin
                << "(stamped origin missing here)";
    else
        qInfo() << "fitMaskArtToGeometry:" << key << "art" << pictureSize << "->" << w << "x" << h << "from" << origin;
    return 1;
}

QString DashConfig::takePendingStatus()
{
    QString note;
    note.swap(fitWarning);
    return note;
}
