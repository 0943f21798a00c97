// Load-time repair of the editor's own art: box, multi-value box and fitted
// items live in the RaceStudio 3 installs, not in the configuration, so a
// configuration opened on another computer or after a reinstall points at
// items that are missing there. They are rebuilt from what the configuration
// and its sidecars still know.
#include "model/DashConfig.h"

#include "artwork/BoxStyleRenderer.h"
#include "artwork/HomebrewItems.h"
#include "editing/MultiBoxGeometry.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <QDebug>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <optional>

namespace {

const QString& overlaySuffix()
{
    static const QString suffix = QStringLiteral("/aim/resources/overlay");
    return suffix;
}

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

enum class ItemState { Absent, Complete, Missing };

// Whether the item's mask.tgz is missing from an install that has the
// device folder; Absent when no install has it.
ItemState itemState(const QString& device, const QString& rel)
{
    ItemState state = ItemState::Absent;
    for (const QString& overlayRoot : rs3OverlayRoots()) {
        const QString deviceDir = PathGuard::join(overlayRoot, device);
        if (deviceDir.isEmpty() || !QFileInfo(deviceDir).isDir())
            continue;
        if (state == ItemState::Absent)
            state = ItemState::Complete;
        const QString root = overlayRoot.endsWith(overlaySuffix()) ? overlayRoot.chopped(overlaySuffix().size())
                                                                  : overlayRoot;
        const QString file = PathGuard::join(root, rel + QStringLiteral("mask.tgz"));
        if (!file.isEmpty() && !QFileInfo::exists(file))
            state = ItemState::Missing;
    }
    return state;
}

} // namespace

int DashConfig::repairMissingHomebrewArt(bool force, QStringList* left)
{
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
    int count = 0;
    for (int p = 0; p < int(pages.size()); ++p) {
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
            const ItemState state = itemState(device, rel);
            if (state == ItemState::Absent || (state == ItemState::Complete && !force))
                continue;
            const int w = paramInt(node, "WIDTH");
            const int h = paramInt(node, "HEIGHT");
            // Sizes come from the XML: nothing is allocated for what the
            // device format cannot hold.
            if (!BoxStyleRenderer::isRenderableSize(w, h))
                continue;

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
            // A styled box's item began as a copy of the RaceStudio 3 item its
            // record names, as the style wrote it.
            const QString origin = single && PathGuard::isSafeRelativePath(style.originalPathRel)
                ? resolveOverlayDir(style.originalPathRel)
                : QString();
            if (image.isNull() || !writeMaskPanel(p, k, image, origin, device, stem, item, false))
                continue;
            drawn.insert(rel);
            ++count;
            qInfo() << "repairMissingHomebrewArt: rebuilt" << rel << "(" << grid.rows << "x" << grid.cols << ","
                    << styleId << ")";
        }
    }
    return count;
}
