// Undo side of the artwork operations: a mask is pointed back at the art it
// used before a bar colour, a box style or a multi-value box resize, and its
// sidecar records are put back. Art files already written stay on disk; only
// the parameters and records change, so redo finds its art again.
#include "model/DashConfig.h"

#include "artwork/BarColorSnapshot.h"
#include "artwork/BoxArtProps.h"
#include "artwork/HomebrewItems.h"
#include "artwork/MadeArtFolders.h"
#include "editing/ChildGeometrySnapshot.h"
#include "model/XmlParams.h"

#include <QSet>

namespace {

// Puts one art parameter back: a parameter without text and not marked
// present was missing. A parameter that exists keeps its place among the
// others, so undo gives back the element exactly as it was; extra copies are
// dropped.
void restoreParam(pugi::xml_node node, const char* name, const std::string& value, bool present)
{
    if (value.empty() && !present) {
        removeParams(node, name);
        return;
    }
    setSoleParam(node, name, QByteArray::fromStdString(value));
}

} // namespace

bool DashConfig::restoreBarRecord(const QString& key, const BarColorSnapshot& r)
{
    QMap<QString, BarColorRecord> records = loadBarColorSidecar();
    const QMap<QString, BarColorRecord> before = records;
    if (r.hasRecord)
        records.insert(key, BarColorRecord{r.colored, r.redline, QString::fromStdString(r.originalPathRel),
                                           QString::fromStdString(r.originalCoords)});
    else
        records.remove(key);
    // A store that already holds it is not touched: nothing can fail then.
    // Otherwise the record waits for the save, like the art it describes.
    return records == before || stageBarColorSidecar(records);
}

bool DashConfig::restoreBarArtwork(int pageIndex, int maskIndex, const BarColorSnapshot& r)
{
    sidecarFailure.clear();
    MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m || !m->node)
        return false;
    // The record first: when its store cannot be written the bar is left as
    // it is, so the bar and its record never tell two stories.
    if (!restoreBarRecord(sidecarKey(pageIndex, maskIndex, SidecarStore::BarColors), r))
        return false;
    const pugi::xml_node node = m->node;
    restoreParam(node, "PATH_REL_AiM_MASK", r.pathRel, r.pathRelPresent);
    restoreParam(node, "PATH_IMAGE", r.pathImage, r.pathImagePresent);
    restoreParam(node, "PATH_IMG_ON", r.pathImgOn, r.pathImgOnPresent);
    restoreParam(node, "DE_BARCOLOR_SRC", r.barColorSrc, r.barColorSrcPresent);
    restoreParam(node, "DE_FIT_SRC", r.fitSrc, r.fitSrcPresent);

    const pugi::xml_node bar = findBargraphChild(node);
    if (bar && !r.barGeometry.empty()) {
        QSet<QByteArray> named;
        const QStringList parts = QString::fromStdString(r.barGeometry).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (const QString& part : parts) {
            const int eq = part.indexOf(QLatin1Char('='));
            if (eq <= 0)
                continue;
            const QByteArray name = part.left(eq).toUtf8();
            setParam(bar, name.constData(), part.mid(eq + 1).toUtf8());
            named.insert(name);
        }
        // The text names every geometry parameter the bar had. The colouring
        // adds the end points and the outline where a stock bar lacks them;
        // they go again, so a later colouring records the true stock
        // geometry. A bar's own size is never taken away.
        for (const char* name : {"XEnd1", "XEnd2", "LINES_X_HOT_MOUSE"}) {
            if (!named.contains(QByteArray(name)))
                removeParams(bar, name);
        }
    }

    pages[size_t(pageIndex)].masks[size_t(maskIndex)] = parseMask(node);
    markPageDirty(pageIndex);
    return true;
}

bool DashConfig::restoreBoxRecord(const QString& key, const BoxStyleSnapshot& s)
{
    QMap<QString, BoxStyleRecord> styles = loadBoxStyleSidecar();
    const QMap<QString, BoxStyleRecord> before = styles;
    if (s.recordPresent)
        styles.insert(key, BoxStyleRecord{s.styleId, s.originalPathRel, quint32(s.accentArgb), s.showDividers != 0,
                                          s.caption, s.borderPx, quint32(s.captionArgb)});
    else
        styles.remove(key);
    return styles == before || saveBoxStyleSidecar(styles);
}

bool DashConfig::restoreBoxArtwork(int pageIndex, int maskIndex, const BoxStyleSnapshot& s)
{
    MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m || !m->node)
        return false;
    const pugi::xml_node node = m->node;
    const QMap<QString, MultiBoxRecord> multi = loadMultiBoxSidecar();
    const auto mb = multi.constFind(sidecarKey(pageIndex, maskIndex, SidecarStore::MultiBoxes));
    // The record first: a box shown without the record of its style could
    // neither be taken off again nor be drawn again, so a store that cannot
    // be written leaves the mask as it is.
    if (!restoreBoxRecord(boxStyleKey(pageIndex, maskIndex), s))
        return false;
    writeBoxArtProps(node, s);

    // Every generated item belongs to one state and is never drawn over, so
    // the captured item still holds the restored look; a panel is drawn
    // again only when that item has gone from the installs.
    const bool itemThere = s.params.relPathPresent && !resolveOverlayDir(s.params.relPath).isEmpty();
    if (mb != multi.constEnd() && !itemThere) {
        const QString styleId =
            s.recordPresent && !s.styleId.isEmpty() ? s.styleId : QStringLiteral("panel_dark");
        const QColor accent =
            s.recordPresent && s.accentArgb != 0 ? QColor::fromRgba(quint32(s.accentArgb)) : QColor();
        // renderMultiBoxPanel refuses a grid it cannot draw (a damaged record).
        MadeArtFolders made;
        renderMultiBoxPanel(pageIndex, maskIndex, mb->rows, mb->cols, styleId, accent, s.showDividers != 0,
                            s.recordPresent ? s.borderPx : 0, s.recordPresent ? s.caption : QString(),
                            s.recordPresent ? quint32(s.captionArgb) : 0u, &made);
        // An item named for its picture that the record does not draw again
        // (a same-named configuration's record, one changed since) is not
        // this record's: the box goes back to it as it was, and the drawing
        // goes. An item of an older name is drawn anew under its picture's.
        QString device, stem, item;
        if (parseHomebrewBoxPath(s.params.relPath, device, stem, item) && isNamedForItsPicture(item)
            && QString::fromUtf8(paramValue(node, "PATH_REL_AiM_MASK")) != s.params.relPath) {
            made.removeAll();
            writeBoxArtProps(node, s);
        }
    }

    pages[size_t(pageIndex)].masks[size_t(maskIndex)] = parseMask(node);
    markPageDirty(pageIndex);
    return true;
}

bool DashConfig::restoreMultiBoxGeometry(int pageIndex, int maskIndex, const std::vector<ChildGeometrySnapshot>& list)
{
    MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m || !m->node)
        return false;
    const pugi::xml_node node = m->node;
    for (const ChildGeometrySnapshot& entry : list) {
        const QByteArray id = entry.id.toUtf8();
        const pugi::xml_node child = node.find_child_by_attribute("e", "i", id.constData());
        if (!child)
            continue;
        setParam(child, "XPOS", entry.xpos.toUtf8());
        setParam(child, "YPOS", entry.ypos.toUtf8());
        setParam(child, "WIDTH", entry.width.toUtf8());
        setParam(child, "HEIGHT", entry.height.toUtf8());
        if (!entry.hotMouseLines.isEmpty())
            setParam(child, "LINES_X_HOT_MOUSE", entry.hotMouseLines.toUtf8());
    }
    // The mask points at the panel it had again (its art parameters are put
    // back first), and generated panels are never drawn over: only a panel
    // that has gone from the installs is drawn anew.
    if (resolveOverlayDir(QString::fromUtf8(paramValue(node, "PATH_REL_AiM_MASK"))).isEmpty())
        rerenderMultiBoxPanel(pageIndex, maskIndex);

    // The record keeps its place on the page; its size follows the XML.
    MaskElement fresh = parseMask(node);
    fresh.id = m->id;
    fresh.x = m->x;
    fresh.y = m->y;
    fresh.w = paramInt(node, "WIDTH");
    fresh.h = paramInt(node, "HEIGHT");
    *m = std::move(fresh);
    markPageDirty(pageIndex);
    return true;
}

bool DashConfig::rerenderMultiBoxPanel(int pageIndex, int maskIndex)
{
    const MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m || !m->node)
        return false;
    const QMap<QString, MultiBoxRecord> multi = loadMultiBoxSidecar();
    const auto mb = multi.constFind(sidecarKey(pageIndex, maskIndex, SidecarStore::MultiBoxes));
    if (mb == multi.constEnd() || mb->rows < 1 || mb->cols < 1)
        return false;
    if (paramInt(m->node, "WIDTH") < 1 || paramInt(m->node, "HEIGHT") < 1)
        return false;
    const BoxStyleRecord style = loadBoxStyleSidecar().value(boxStyleKey(pageIndex, maskIndex));
    return renderMultiBoxPanel(pageIndex, maskIndex, mb->rows, mb->cols,
                               style.styleId.isEmpty() ? QStringLiteral("panel_dark") : style.styleId,
                               colourFromArgb(style.accentArgb), style.showDividers, style.borderPx, style.caption,
                               style.captionArgb);
}
