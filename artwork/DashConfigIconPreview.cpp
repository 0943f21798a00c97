// Icon elements (the feature key that ties an icon mask to its triggered-icon
// alarm, the editor-only preview graphic), the stored shape of multi-value
// boxes, a bar's geometry as one line, and item descriptor look-up.
#include "model/DashConfig.h"

#include "artwork/BoxStyleRenderer.h"
#include "artwork/HomebrewItems.h"
#include "model/FolderNames.h"
#include "model/XmlParams.h"

#include <QDir>
#include <QStringList>
#include <cstring>

QString DashConfig::iconFeatureKey(int pageIndex, int maskIndex) const
{
    if (pageIndex < 0 || pageIndex >= pageCount())
        return {};
    const PageModel& pg = pages[size_t(pageIndex)];
    if (maskIndex < 0 || maskIndex >= int(pg.masks.size()))
        return {};
    const pugi::xml_node node = pg.masks[size_t(maskIndex)].node;
    if (!node)
        return {};
    const pugi::xml_node icon = node.find_child_by_attribute("e", "c", "AiM_Icona");
    if (!icon)
        return {};
    const pugi::xml_node p = icon.find_child_by_attribute("p", "n", "OVERLAY2_ICONA_FEATUREKEY");
    if (!p)
        return {};
    return QString::fromUtf8(p.text().get()).trimmed();
}

namespace {

} // namespace

QString DashConfig::barGeometryText(pugi::xml_node element)
{
    if (!element)
        return {};
    // The start and end points too: a colouring maps those of a bar that
    // does not fill from the left, and removing it puts them back.
    static const char* const names[] = {"XStart1", "YStart1", "XStart2", "YStart2", "XEnd1", "YEnd1",
                                        "XEnd2",   "YEnd2",   "WIDTH",   "HEIGHT",  "LINES_X_HOT_MOUSE"};
    QStringList parts;
    for (pugi::xml_node p = element.child("p"); p; p = p.next_sibling("p")) {
        const char* n = p.attribute("n").value();
        for (const char* name : names) {
            if (std::strcmp(n, name) == 0) {
                parts << QStringLiteral("%1=%2").arg(QString::fromUtf8(n), QString::fromUtf8(p.text().get()));
                break;
            }
        }
    }
    return parts.join(QLatin1Char(';'));
}

QString DashConfig::iconPreviewGraphic(int pageIndex, int maskIndex) const
{
    const MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m)
        return {};
    // Read from disk at every call: the user may edit the file by hand.
    return loadIconPreviewSidecar().value(sidecarKey(pageIndex, maskIndex, SidecarStore::IconPreviews)).graphic;
}

IconPreviewInfo DashConfig::resolveIconPreview(int pageIndex, int maskIndex) const
{
    IconPreviewInfo info;
    const QString key = iconFeatureKey(pageIndex, maskIndex);
    if (!key.isEmpty()) {
        info.featureKey = key;
        info.graphicFile = resolveResourcePath(key);
    }
    const auto it = triggeredIcons.constFind(key);
    if (it != triggeredIcons.constEnd()) {
        info.description = it->description;
        info.fid = it->fid;
        info.idf = it->idf;
    } else {
        info.description = key;
    }
    return info;
}

MultiBoxInfo DashConfig::multiBoxRecord(int pageIndex, int maskIndex) const
{
    MultiBoxInfo info;
    const MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m)
        return info;
    // The same key the writers use.
    const QMap<QString, MultiBoxRecord> records = loadMultiBoxSidecar();
    const auto it = records.constFind(sidecarKey(pageIndex, maskIndex, SidecarStore::MultiBoxes));
    if (it == records.constEnd())
        return info;
    // A damaged or hand-edited record with counts the grid cannot take is
    // no record at all: it must never reach the layout or the renderer.
    if (!BoxStyleRenderer::isUsableGrid(it->rows, it->cols))
        return info;
    info.found = true;
    info.rows = it->rows;
    info.cols = it->cols;
    info.labelPlacement = it->labelPlacement;
    for (pugi::xml_node e = m->node.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "Digit"))
            ++info.digitCount;
    }
    return info;
}

bool DashConfig::hasMultiBoxRecord(int pageIndex, int maskIndex) const
{
    const QString key = sidecarKey(pageIndex, maskIndex, SidecarStore::MultiBoxes);
    return !key.isEmpty() && loadMultiBoxSidecar().contains(key);
}

bool DashConfig::takeEditorPngWriteFailed()
{
    const bool failed = editorPngWriteFailed;
    editorPngWriteFailed = false;
    return failed;
}

QString firstM2File(const QString& folder)
{
    // Sorted, so the same folder gives the same descriptor on every machine.
    const QStringList names
        = entriesEndingWith(folder, QLatin1StringView(".M2.xml"), QDir::Files | QDir::Hidden, QDir::Name);
    if (names.isEmpty())
        return {};
    return folder + QLatin1Char('/') + names.first();
}
