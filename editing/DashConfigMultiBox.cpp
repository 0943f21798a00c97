// Multi-value boxes: one mask showing a grid of values, each with an
// optional caption and a channel element of its own, on a panel drawn by the
// box renderer. The grid's shape lives in the ".multibox.json" sidecar, from
// which a resize lays the cells out again.
#include "model/DashConfig.h"

#include "artwork/BoxStyleRenderer.h"
#include "artwork/HomebrewItems.h"
#include "artwork/MadeArtFolders.h"
#include "editing/ChannelCategory.h"
#include "editing/ElementParams.h"
#include "editing/HotMouseLines.h"
#include "editing/MultiBoxCellRequest.h"
#include "editing/MultiBoxGeometry.h"
#include "editing/UniqueMaskName.h"
#include "model/DeviceTables.h"
#include "model/ElementIds.h"
#include "model/XmlParams.h"

#include <QDebug>

#include <algorithm>
#include <cstring>

namespace {

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

qint64 bottomOf(const QRect& r)
{
    return qint64(r.y()) + r.height();
}

pugi::xml_node appendChildElement(pugi::xml_node parent, const char* cls, const QString& id)
{
    pugi::xml_node e = parent.append_child("e");
    e.append_attribute("c").set_value(cls);
    e.append_attribute("i").set_value(id.toUtf8().constData());
    return e;
}

const ChannelInfo* channelNamed(const std::vector<ChannelInfo>& channels, const QString& longName)
{
    if (longName.isEmpty())
        return nullptr;
    const auto it = std::find_if(channels.begin(), channels.end(),
                                 [&](const ChannelInfo& c) { return c.longName == longName; });
    return it == channels.end() ? nullptr : &*it;
}

// The next element sibling that is a Label or a Digit.
pugi::xml_node nextTextSibling(pugi::xml_node e)
{
    for (pugi::xml_node n = e.next_sibling("e"); n; n = n.next_sibling("e")) {
        if (hasClass(n, "Label") || hasClass(n, "Digit"))
            return n;
    }
    return {};
}

} // namespace

int DashConfig::addMultiBox(int pageIndex, int rows, int cols, const QString& labelPlacement,
                            const std::vector<MultiBoxCellRequest>& requests, const QRect& rect)
{
    sidecarFailure.clear();
    PageModel* p = page(pageIndex);
    // A grid beyond what the renderer draws would be refused by every later
    // relayout and redraw: refuse it here too.
    if (!p || !BoxStyleRenderer::isUsableGrid(rows, cols) || rect.width() < 1 || rect.height() < 1
        || qint64(requests.size()) != qint64(rows) * cols)
        return -1;
    if (!sidecarsReadable({SidecarStore::MultiBoxes, SidecarStore::BoxStyles}))
        return -1;

    const QString name = uniqueMaskName(p->masks, QStringLiteral("mbox"));
    MaskElement created;
    const int index = addMaskSimple(pageIndex, name, created);
    if (index < 0)
        return -1;
    pugi::xml_node node = maskAt(pageIndex, index)->node;

    // The cells bring channel elements of their own.
    for (pugi::xml_node e = node.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "Axis") && std::strcmp(e.attribute("i").value(), "00") == 0) {
            node.remove_child(e);
            break;
        }
    }
    setParamInt(node, "XPOS", rect.x());
    setParamInt(node, "YPOS", rect.y());
    setParam(node, "WIDTH", number(rect.width()));
    setParam(node, "HEIGHT", number(rect.height()));

    const QImage panel = BoxStyleRenderer::renderMultiBox(rect.size(), QStringLiteral("panel_dark"), QColor(), rows,
                                                          cols, true, 0, QString(), QColor());
    const QString device = deviceFolderFromPath(p->relPagePath);
    // The grid's key names the page too: the item is this box's alone.
    const QString key = sidecarKey(pageIndex, index, SidecarStore::MultiBoxes);
    MadeArtFolders made;
    if (!panel.isNull() && !device.isEmpty()
        && !writeMaskPanel(pageIndex, index, panel, QString(), device, homebrewSetStem(),
                           artItemName(QStringLiteral("mbox_") + sanitizeFileStem(key), panel), true, &made))
        qWarning() << "addMultiBox: panel art for" << name << "could not be written";

    const QList<QRect> cells = multiBoxCells(rect.width(), rect.height(), rows, cols);
    const int laptimeFid = laptimeGpsResourceFid();
    const QString valueFont = labelFontFor(*p, QStringLiteral("Digit"));
    const QString captionFont = labelFontFor(*p, QStringLiteral("Label"));
    const QString typeCodeText = typeCode >= 1 ? QString::number(typeCode) : deviceTypeCodeForName(deviceName);
    const int count = std::min(int(requests.size()), int(cells.size()));
    for (int k = 0; k < count; ++k) {
        const MultiBoxCellRequest& request = requests[size_t(k)];
        // The cell's caption and value join the group its channel element
        // starts.
        const QString axisId = newElementId(node, QStringLiteral("%1").arg(k, 2, 10, QLatin1Char('0')));
        const pugi::xml_node axis = buildAxisElement(node, axisId);
        ChannelCategoryInfo category;
        if (const ChannelInfo* channel = channelNamed(channels, request.channelLongName)) {
            category = channelCategoryInfo(channel->longName, channel->shortName, channel->unit);
            bindAxisChannel(axis, *channel, deviceName, laptimeFid, typeCodeText);
        }

        const QRect& cell = cells.at(k);
        const MultiBoxCellParts parts = splitMultiBoxCell(cell, labelPlacement, request.showCaption);
        if (request.showCaption) {
            const pugi::xml_node label = appendChildElement(node, "Label", axisId + QStringLiteral("_L"));
            appendLabelParams(label, parts.caption.x(), parts.caption.y(), request.caption, captionFont);
            setParam(label, "WIDTH", number(parts.caption.width()));
            setParam(label, "HEIGHT", number(parts.caption.height()));
            setParam(label, "YPOS", number(bottomOf(parts.caption)));
            setParam(label, "YPOS_FW", number(bottomOf(parts.caption)));
        }
        const pugi::xml_node digit = appendChildElement(node, "Digit", axisId + QStringLiteral("_z"));
        appendDigitParams(digit, parts.value.x(), int(bottomOf(parts.value)), parts.value.width(),
                          parts.value.height(), axisId, cell, valueFont, category);
    }

    MaskElement record = parseMask(node);
    record.id = name;
    record.x = rect.x();
    record.y = rect.y();
    record.w = rect.width();
    record.h = rect.height();
    p->masks[size_t(index)] = std::move(record);

    // Without its grid record the box is no multi-value box (a resize would
    // scale it as a picture), and a stale style record would draw another
    // box's look: a store that cannot be written takes the box away again,
    // with the folders its panel was drawn into.
    const QMap<QString, MultiBoxRecord> gridsBefore = loadMultiBoxSidecar();
    QMap<QString, BoxStyleRecord> styles = loadBoxStyleSidecar();
    const bool staleStyle = styles.remove(key) > 0;
    if (!saveMultiBoxEntry(key, rows, cols, labelPlacement) || (staleStyle && !saveBoxStyleSidecar(styles))) {
        qWarning() << "addMultiBox: the grid of" << name << "could not be recorded:" << sidecarFailure;
        saveMultiBoxSidecar(gridsBefore);
        removeMask(pageIndex, index);
        made.removeAll();
        return -1;
    }

    markPageDirty(pageIndex);
    return index;
}

bool DashConfig::relayoutMultiBox(int pageIndex, int maskIndex)
{
    MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m || !m->node)
        return false;
    const QMap<QString, MultiBoxRecord> records = loadMultiBoxSidecar();
    const auto record = records.constFind(sidecarKey(pageIndex, maskIndex, SidecarStore::MultiBoxes));
    // A damaged count (0, or beyond what is drawn) is no record: never divide by it.
    if (record == records.constEnd() || !BoxStyleRenderer::isUsableGrid(record->rows, record->cols))
        return false;
    const pugi::xml_node node = m->node;
    const int w = paramInt(node, "WIDTH");
    const int h = paramInt(node, "HEIGHT");
    if (w < 1 || h < 1 || !rerenderMultiBoxPanel(pageIndex, maskIndex))
        return false;

    const QList<QRect> cells = multiBoxCells(w, h, record->rows, record->cols);
    int k = 0;
    for (pugi::xml_node e = node.child("e"); e && k < cells.size(); e = e.next_sibling("e")) {
        const QRect& cell = cells.at(k);
        if (hasClass(e, "Label")) {
            if (!hasClass(nextTextSibling(e), "Digit"))
                continue; // a caption without a value of its own stays where it is
            const QRect caption = splitMultiBoxCell(cell, record->labelPlacement, true).caption;
            setRectParams(e, caption);
            setParam(e, "YPOS", number(bottomOf(caption)));
        } else if (hasClass(e, "Digit")) {
            const bool captioned = hasClass(e.previous_sibling("e"), "Label");
            const QRect value = splitMultiBoxCell(cell, record->labelPlacement, captioned).value;
            setRectParams(e, value);
            setParam(e, "YPOS", number(bottomOf(value)));
            setParam(e, "LINES_X_HOT_MOUSE",
                     QByteArray::fromStdString(hotMouseLines(cell.x(), cell.y(), cell.width(), cell.height())));
            ++k;
        }
    }

    MaskElement fresh = parseMask(node);
    fresh.id = m->id;
    fresh.x = m->x;
    fresh.y = m->y;
    fresh.w = w;
    fresh.h = h;
    *m = std::move(fresh);
    markPageDirty(pageIndex);
    return true;
}
