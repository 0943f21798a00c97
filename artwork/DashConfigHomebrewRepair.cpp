// Load-time repair of the editor's own art: box, multi-value box and fitted
// items live in the RaceStudio 3 installs, not in the configuration, so a
// configuration opened on another computer or after a reinstall points at
// items that are missing there. An item one install still holds is copied
// to the others; one that none holds is rebuilt from what the configuration
// and its sidecars still know, when they describe it.
#include "model/DashConfig.h"

#include "artwork/BoxStyleRenderer.h"
#include "artwork/FittedBar.h"
#include "artwork/HeldArtFolder.h"
#include "artwork/HomebrewItems.h"
#include "artwork/MadeArtFolders.h"
#include "editing/MultiBoxGeometry.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <QDebug>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <optional>

namespace {

struct Grid {
    int rows = 1;
    int cols = 1;
};

// The rows and columns of a panel without a usable multi-box record, from
// how its values cluster.
Grid inferGrid(pugi::xml_node mask, int width, int height)
{
    std::vector<int> xs;
    std::vector<int> ys;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (!hasClass(e, "Digit"))
            continue;
        xs.push_back(paramInt(e, "XPOS"));
        ys.push_back(paramInt(e, "YPOS"));
    }
    const int n = int(xs.size());
    if (n <= 1)
        return {};
    const int rowsFound = countGapClusters(ys, std::max(8, height / 8));
    const int colsFound = countGapClusters(xs, std::max(8, width / 8));
    if (qint64(rowsFound) * colsFound == n)
        return {rowsFound, colsFound};
    if (rowsFound >= 1 && n % rowsFound == 0)
        return {rowsFound, n / rowsFound};
    if (colsFound >= 1 && n % colsFound == 0)
        return {n / colsFound, colsFound};
    return {1, n};
}

} // namespace

int DashConfig::repairMissingHomebrewArt(bool force, QStringList* left, QStringList* mismatched)
{
    const QStringList roots = rs3OverlayRoots();
    const QMap<QString, MultiBoxRecord> multiBoxes = loadMultiBoxSidecar();
    const QMap<QString, BoxStyleRecord> styles = loadBoxStyleSidecar();
    // A store that cannot be read may hold any box's style: none has a
    // record then, rather than the default style standing in for it. Asked
    // only once a record is found, so an open without any reads no store
    // twice.
    std::optional<bool> readable;
    const auto storesReadable = [&] {
        if (!readable)
            readable = sidecarReadFailure(SidecarStore::BoxStyles).isEmpty()
                && sidecarReadFailure(SidecarStore::MultiBoxes).isEmpty();
        return *readable;
    };
    const auto hasRecord = [&](int p, int k) {
        const auto mb = multiBoxes.constFind(sidecarKey(p, k, SidecarStore::MultiBoxes));
        return (styles.contains(boxStyleKey(p, k))
                || (mb != multiBoxes.constEnd() && BoxStyleRenderer::isUsableGrid(mb->rows, mb->cols)))
            && storesReadable();
    };
    // A copy of a styled box points at the item its original's style drew
    // and has no record of its own: the item is drawn from the record of a
    // mask that has one, and only once.
    QSet<QString> recordedItems;
    for (int p = 0; p < int(pages.size()); ++p) {
        for (int k = 0; k < int(pages[size_t(p)].masks.size()); ++k) {
            const pugi::xml_node node = pages[size_t(p)].masks[size_t(k)].node;
            if (node && hasRecord(p, k))
                recordedItems.insert(QString::fromUtf8(paramValue(node, "PATH_REL_AiM_MASK")));
        }
    }
    QSet<QString> drawn;
    // Every copy and drawing of the run is flushed once, when it is done;
    // in an open, with the open's other art, by the open.
    FolderCopy own;
    FolderCopy* const outer = artState.copies;
    FolderCopy& copies = outer ? *outer : own;
    artState.copies = &copies;
    const auto stopCopies = qScopeGuard([this, outer] { artState.copies = outer; });
    int count = 0;
    for (int p = 0; p < int(pages.size()); ++p) {
        if (artState.repairProgress)
            artState.repairProgress(p, int(pages.size()));
        for (int k = 0; k < int(pages[size_t(p)].masks.size()); ++k) {
            const MaskElement& m = pages[size_t(p)].masks[size_t(k)];
            const pugi::xml_node node = m.node;
            if (!node)
                continue;
            const QString rel = QString::fromUtf8(paramValue(node, "PATH_REL_AiM_MASK"));
            if (!rel.contains(QLatin1String("/s04_homebrew/zbox_"))
                || !rel.startsWith(QLatin1String("aim/resources/overlay/")))
                continue;
            QString device, stem, item;
            // Only the exact form the editor writes; parts come from the file,
            // so the guard vets them before anything is joined to a root.
            if (!parseHomebrewBoxPath(rel, device, stem, item) || homebrewItemPath(device, stem, item) != rel
                || !PathGuard::isSafeRelativePath(rel))
                continue;
            if (drawn.contains(rel) || (recordedItems.contains(rel) && !hasRecord(p, k)))
                continue;
            const HeldArtFolder held = heldArtFolder(roots, device, rel, QStringLiteral("mask.tgz"));
            // A linked item folder is neither read nor written, and said.
            artState.notes << held.linked;
            // A fitted bar's item whose pictures are not of its size is
            // rebuilt like a missing one.
            const bool misfit = item.startsWith(QLatin1String("fit_")) && held.held()
                && fittedBarItemStale(*this, p, k, held.holding);
            if ((!held.held() && held.lacking.isEmpty()) || (held.lacking.isEmpty() && !force && !misfit))
                continue;
            const int w = paramInt(node, "WIDTH");
            const int h = paramInt(node, "HEIGHT");
            // Sizes come from the XML: nothing is allocated for what the
            // device format cannot hold.
            if (!BoxStyleRenderer::isRenderableSize(w, h))
                continue;

            // What an install holds is what the saved files show: the
            // installs that lack it get a copy, and nothing is drawn.
            if (!force && held.held() && !misfit) {
                MadeArtFolders made;
                QString error;
                if (!copyHeldArtFolder(held, made, copies, &error)) {
                    made.removeAll();
                    qInfo() << "repairMissingHomebrewArt: could not copy" << rel << "-" << error;
                    artState.notes << error;
                    continue;
                }
                drawn.insert(rel);
                ++count;
                qInfo() << "repairMissingHomebrewArt: copied" << rel << "from" << held.holding.first();
                continue;
            }

            if (item.startsWith(QLatin1String("fit_"))) {
                const QString origin = QString::fromUtf8(paramValue(node, "DE_FIT_SRC"));
                if (origin.isEmpty() || !refitHomebrewItem(p, k, origin, w, h, stem, item))
                    continue;
                drawn.insert(rel);
                ++count;
                qInfo() << "repairMissingHomebrewArt: re-fitted" << rel << "from" << origin << "at" << w << "x" << h;
                continue;
            }
            if (item.startsWith(QLatin1String("art_")))
                continue;
            // Without its record a box can only be drawn in a style of our
            // choosing, over the item a saved file (this configuration's
            // original, say, of which this is a copy) shows as it was made.
            if (!hasRecord(p, k)) {
                if (left)
                    left->append(elementLabel(p, k));
                continue;
            }

            // Records under the keys the writers use; a count the renderer
            // cannot draw is no record.
            const auto mb = multiBoxes.constFind(sidecarKey(p, k, SidecarStore::MultiBoxes));
            const bool multiRecord = mb != multiBoxes.constEnd() && BoxStyleRenderer::isUsableGrid(mb->rows, mb->cols);
            const Grid grid = multiRecord ? Grid{mb->rows, mb->cols} : inferGrid(node, w, h);
            const auto rec = styles.constFind(boxStyleKey(p, k));
            const BoxStyleRecord style = rec != styles.constEnd() ? *rec : BoxStyleRecord();
            const QString styleId = style.styleId.isEmpty() ? QStringLiteral("panel_dark") : style.styleId;
            const QColor accent = colourFromArgb(style.accentArgb);
            const QColor captionColour = colourFromArgb(style.captionArgb);

            const bool single = qint64(grid.rows) * grid.cols < 2;
            const QImage image =
                single
                    ? BoxStyleRenderer::render(QSize(w, h), styleId, accent, style.borderPx, style.caption,
                                               captionColour)
                    : BoxStyleRenderer::renderMultiBox(QSize(w, h), styleId, accent, grid.rows, grid.cols,
                                                       style.showDividers, style.borderPx, style.caption,
                                                       captionColour);
            if (image.isNull())
                continue;
            // A styled box's item began as a copy of the RaceStudio 3 item its
            // record names, as the style wrote it.
            const QString source = single ? style.originalPathRel : QString();
            const QString origin = single && PathGuard::isSafeRelativePath(style.originalPathRel)
                ? resolveOverlayDir(style.originalPathRel)
                : QString();
            const DrawnBox box = drawRecordedBox(p, k, image, held, source, origin, force);
            if (box == DrawnBox::Left) {
                if (mismatched)
                    mismatched->append(elementLabel(p, k));
                continue;
            }
            if (box == DrawnBox::Failed)
                continue;
            if (box == DrawnBox::InPlace)
                drawn.insert(rel);
            ++count;
            qInfo() << "repairMissingHomebrewArt:" << (box == DrawnBox::InPlace ? "rebuilt" : "drawn into its own item")
                    << rel << "(" << grid.rows << "x" << grid.cols << "," << styleId << ")";
        }
    }
    if (!outer)
        noteArtCopies(copies);
    return count;
}

void DashConfig::noteArtCopies(FolderCopy& copies)
{
    if (!copies.flush())
        artState.notes << copies.error();
    artState.notes << copies.notes();
    artState.notes.removeAll(QString());
    artState.notes.removeDuplicates();
}

DashConfig::DrawnBox DashConfig::drawRecordedBox(int page, int mask, const QImage& image, const HeldArtFolder& held,
                                                 const QString& source, const QString& copySource, bool force)
{
    const pugi::xml_node node = pages[size_t(page)].masks[size_t(mask)].node;
    const QString rel = QString::fromUtf8(paramValue(node, "PATH_REL_AiM_MASK"));
    QString device, stem, item;
    if (!parseHomebrewBoxPath(rel, device, stem, item))
        return DrawnBox::Failed;
    // A record describes the item when its picture is what an install holds
    // there, or, held nowhere, the picture the item's name was given to. A
    // namesake's record, or one changed since, describes other art.
    const bool describes = held.held() ? holdsPicture(held, image) : artItemNameConfirms(item, image, source);
    if (describes)
        return writeMaskPanel(page, mask, image, copySource, device, stem, item, false) ? DrawnBox::InPlace
                                                                                         : DrawnBox::Failed;
    // A refresh draws the record into an item of its own, which the mask
    // then points at, as a restyle does; the open leaves it to the user.
    const QString base = item.startsWith(QLatin1String("mbox_"))
        ? QStringLiteral("mbox_") + sanitizeFileStem(sidecarKey(page, mask, SidecarStore::MultiBoxes))
        : QStringLiteral("box_") + sanitizeFileStem(boxStyleKey(page, mask));
    const QString own = artItemName(base, image, source);
    if (!force || own == item
        || !writeMaskPanel(page, mask, image, copySource, device, homebrewSetStem(), own, false))
        return DrawnBox::Left;
    pages[size_t(page)].masks[size_t(mask)] = parseMask(node);
    markPageDirty(page);
    return DrawnBox::OwnItem;
}
