#include "editing/MoveCommand.h"

#include "artwork/BoxArtProps.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cmath>
#include <cstring>

namespace {

const char* const kHorizontalParams[] = {"XPOS", "WIDTH", "XStart1", "XStart2", "XEnd1", "XEnd2", "XIMG"};
const char* const kVerticalParams[] = {"YPOS", "HEIGHT", "YStart1", "YStart2", "YEnd1", "YEnd2", "YIMG"};
const char* const kMaskParams[] = {"XPOS", "YPOS", "WIDTH", "HEIGHT"};

bool nameIn(const char* name, const char* const (&list)[7])
{
    for (const char* candidate : list) {
        if (std::strcmp(name, candidate) == 0)
            return true;
    }
    return false;
}

bool isRescaledChild(pugi::xml_node e)
{
    return hasClass(e, "Digit") || hasClass(e, "Label") || hasClass(e, "Bargraph")
        || hasClass(e, "BargraphTrapezio");
}

pugi::xml_node firstParamNamed(pugi::xml_node element, const char* name)
{
    for (pugi::xml_node p = element.child("p"); p; p = p.next_sibling("p")) {
        if (std::strcmp(p.attribute("n").value(), name) == 0)
            return p;
    }
    return {};
}

void setNodeText(pugi::xml_node param, const std::string& text)
{
    while (param.first_child())
        param.remove_child(param.first_child());
    if (!text.empty())
        param.append_child(pugi::node_pcdata).set_value(text.c_str());
}

// setParamInt on one given parameter: the number before a first ',' changes,
// the rest stays ("120,35" set to 98 gives "98,35").
void setParamNodeInt(pugi::xml_node param, int value)
{
    const QByteArray old(param.text().get());
    const int comma = old.indexOf(',');
    QByteArray text = QByteArray::number(value);
    if (comma >= 0)
        text += old.mid(comma);
    setNodeText(param, text.toStdString());
}

int scaled(int value, double factor)
{
    return static_cast<int>(std::lround(value * factor));
}

} // namespace

MoveCommand::MoveCommand(const MaskElement* mask, int oldX, int oldY, int oldW, int oldH, int newX, int newY,
                         int newW, int newH, DashConfig* config, int page, int maskIndex, bool relayoutMultiBox,
                         bool rescaleChildren, QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_oldX(oldX)
    , m_oldY(oldY)
    , m_oldW(oldW)
    , m_oldH(oldH)
    , m_newX(newX)
    , m_newY(newY)
    , m_newW(newW)
    , m_newH(newH)
    , m_relayout(relayoutMultiBox)
    , m_rescale(rescaleChildren)
    , m_config(config)
    , m_page(page)
    , m_mask(maskIndex)
{
    if (mask)
        setText(QCoreApplication::translate("MoveCommand", "Move/Resize %1").arg(mask->id));
    else
        setText(QCoreApplication::translate("MoveCommand", "Move/Resize"));
}

MoveCommand::~MoveCommand() = default;

MaskElement* MoveCommand::targetMask() const
{
    if (!m_config || m_page < 0 || m_mask < 0)
        return nullptr;
    PageModel* p = m_config->page(m_page);
    if (!p || m_mask >= static_cast<int>(p->masks.size()))
        return nullptr;
    return &p->masks[static_cast<size_t>(m_mask)];
}

void MoveCommand::writeRect(MaskElement& mask, const Rect& rect)
{
    mask.x = rect.x;
    mask.y = rect.y;
    mask.w = rect.w;
    mask.h = rect.h;
    writeRectParams(mask.node, rect);
}

void MoveCommand::writeRectParams(pugi::xml_node node, const Rect& rect)
{
    if (!node)
        return;
    // Only parameters that exist change (setParamInt never appends).
    setParamInt(node, "XPOS", rect.x);
    setParamInt(node, "YPOS", rect.y);
    setParamInt(node, "WIDTH", rect.w);
    setParamInt(node, "HEIGHT", rect.h);
}

void MoveCommand::captureMaskParams(pugi::xml_node node)
{
    if (m_maskParamsCaptured || !node)
        return;
    m_maskParamsCaptured = true;
    for (const char* name : kMaskParams) {
        const pugi::xml_node p = firstParamNamed(node, name);
        if (!p)
            continue;
        CapturedParam c;
        c.param = ParamRef::of(node, p);
        c.present = true;
        c.text = p.text().get();
        m_maskParams.push_back(c);
    }
}

void MoveCommand::restoreMaskParams(pugi::xml_node node)
{
    if (!m_maskParamsCaptured) {
        writeRectParams(node, {m_oldX, m_oldY, m_oldW, m_oldH});
        return;
    }
    // The texts as they were, suffixes and all, not the numbers re-spelt.
    restoreCaptured(node, m_maskParams);
}

void MoveCommand::captureOutlines(pugi::xml_node node)
{
    if (m_outlinesCaptured || !node)
        return;
    m_outlinesCaptured = true;
    for (pugi::xml_node e = node.child("e"); e; e = e.next_sibling("e")) {
        const pugi::xml_node p = firstParamNamed(e, "LINES_X_HOT_MOUSE");
        if (!p)
            continue;
        CapturedParam c;
        c.param = ParamRef::of(node, p);
        c.present = true;
        c.text = p.text().get();
        m_outlines.push_back(c);
    }
}

void MoveCommand::restoreCaptured(pugi::xml_node node, const std::vector<CapturedParam>& params)
{
    for (const CapturedParam& c : params) {
        const pugi::xml_node p = c.param.resolve(node);
        if (p && std::strcmp(p.text().get(), c.text.c_str()) != 0)
            setNodeText(p, c.text);
    }
}

void MoveCommand::captureOriginal(MaskElement& mask)
{
    if (m_childrenCaptured)
        return;
    m_childrenCaptured = true;
    for (pugi::xml_node e = mask.node.child("e"); e; e = e.next_sibling("e")) {
        if (!isRescaledChild(e))
            continue;
        for (pugi::xml_node p = e.child("p"); p; p = p.next_sibling("p")) {
            const char* name = p.attribute("n").value();
            const bool horizontal = nameIn(name, kHorizontalParams);
            if (!horizontal && !nameIn(name, kVerticalParams))
                continue;
            CapturedParam c;
            c.param = ParamRef::of(mask.node, p);
            c.horizontal = horizontal;
            c.present = true;
            c.text = p.text().get();
            m_childParams.push_back(c);
        }
    }
    for (const WidgetModel& w : mask.widgets)
        m_widgetRects.push_back({w.x, w.y, w.w, w.h});
}

void MoveCommand::rescaleChildren(MaskElement& mask)
{
    if (m_oldW < 1 || m_oldH < 1)
        return;
    const double sx = double(m_newW) / m_oldW;
    const double sy = double(m_newH) / m_oldH;
    // Always from the captured values, so every redo gives the first result.
    for (const CapturedParam& c : m_childParams) {
        const pugi::xml_node p = c.param.resolve(mask.node);
        if (!p)
            continue;
        setParamNodeInt(p, scaled(leadingInt(QByteArray::fromStdString(c.text)), c.horizontal ? sx : sy));
    }
    const size_t n = std::min(m_widgetRects.size(), mask.widgets.size());
    for (size_t i = 0; i < n; ++i) {
        const Rect& r = m_widgetRects[i];
        WidgetModel& w = mask.widgets[i];
        w.w = r.w > 0 ? scaled(r.w, sx) : r.w;
        w.h = r.h > 0 ? scaled(r.h, sy) : r.h;
        w.x = scaled(r.x, sx);
        w.y = scaled(r.y, sy);
    }
}

void MoveCommand::redo()
{
    const bool first = m_firstRedo;
    m_firstRedo = false;
    m_done = false;
    MaskElement* target = targetMask();
    const bool moves = m_oldX != m_newX || m_oldY != m_newY || sizeChanged();
    if (!target || (first && !moves)) {
        if (first)
            setObsolete(true);
        return;
    }

    const pugi::xml_node node = target->node;
    captureMaskParams(node);
    // The cells as they are now, before the outlines and the children are
    // scaled: undo must give these texts back, not scaled ones.
    if (m_relayout && m_config && sizeChanged() && !m_multiBoxCaptured) {
        m_multiBox = m_config->textChildGeometry(m_page, m_mask);
        m_multiBoxCaptured = true;
    }
    writeRect(*target, {m_newX, m_newY, m_newW, m_newH});
    if (node && sizeChanged()) {
        captureOutlines(node);
        m_config->scaleHotMouseLines(node, m_oldW, m_oldH, m_newW, m_newH, false);
    }
    if (m_rescale && node && sizeChanged()) {
        captureOriginal(*target);
        rescaleChildren(*target);
    }
    // The art as it is before this size: the relayout below may point the
    // box at a panel drawn for the new size.
    if (node && sizeChanged() && !m_boxArtCaptured) {
        captureBoxArt(node);
        m_boxArtCaptured = true;
    }
    m_multiBoxLaidOut = m_relayout && m_config && sizeChanged() && relayoutMultiBox();
    if (node && sizeChanged()) {
        if (!refitAsBefore(node))
            fitMaskArtToGeometry();
        fitColoredBar();
    }
    // A coloured bar spans its element and its pictures were just drawn at
    // the element's new size: its edges follow on every resize (a drag's
    // too), or at part values the lit length would no longer match the
    // value. The fit left the edges as they were, so they are captured here.
    if (!m_rescale && m_barRedrawn && node && sizeChanged()) {
        if (MaskElement* bar = targetMask()) {
            captureOriginal(*bar);
            rescaleChildren(*bar);
        }
    }
    m_config->markPageDirty(m_page);
    m_done = true;
}

void MoveCommand::undo()
{
    if (!m_done)
        return;
    m_done = false;
    MaskElement* target = targetMask();
    if (!target)
        return;
    const pugi::xml_node node = target->node;
    target->x = m_oldX;
    target->y = m_oldY;
    target->w = m_oldW;
    target->h = m_oldH;
    if (node) {
        restoreMaskParams(node);
        // The outlines as they were: scaling them back could be off by one
        // after rounding.
        if (m_outlinesCaptured)
            restoreCaptured(node, m_outlines);
        else
            m_config->scaleHotMouseLines(node, m_newW, m_newH, m_oldW, m_oldH, false);
    }
    if (m_boxArtCaptured && node)
        restoreBoxArt(node);
    restoreColoredBar();
    if (m_childrenCaptured) {
        restoreCaptured(node, m_childParams);
        target = targetMask();
        if (target) {
            const size_t n = std::min(m_widgetRects.size(), target->widgets.size());
            for (size_t i = 0; i < n; ++i) {
                const Rect& r = m_widgetRects[i];
                WidgetModel& w = target->widgets[i];
                w.x = r.x;
                w.y = r.y;
                w.w = r.w;
                w.h = r.h;
            }
        }
    }
    // Only a box whose cells were laid out gets them back: for any other
    // mask the restore would add parameters it never had.
    if (m_multiBoxCaptured && m_multiBoxLaidOut)
        restoreMultiBoxGeometry();
    m_multiBoxLaidOut = false;
    m_config->markPageDirty(m_page);
}

// --- the size-dependent work owned by the multi-value box and art code ------

bool MoveCommand::relayoutMultiBox()
{
    return m_config->relayoutMultiBox(m_page, m_mask);
}

void MoveCommand::restoreMultiBoxGeometry()
{
    if (m_config)
        m_config->restoreMultiBoxGeometry(m_page, m_mask, m_multiBox);
}

void MoveCommand::captureBoxArt(pugi::xml_node node)
{
    m_boxArt = BoxStyleSnapshot::readFromMask(node);
}

void MoveCommand::restoreBoxArt(pugi::xml_node node)
{
    // Every size has an item of its own (styled boxes and fitted art alike),
    // so pointing back at the earlier item is enough; only a styled box whose
    // item has gone from the installs is drawn again.
    writeBoxArtProps(node, m_boxArt);
    const QString& item = m_boxArt.params.relPath;
    if (m_config && item.contains(QLatin1String("/Items/box_")) && DashConfig::resolveOverlayDir(item).isEmpty())
        m_config->fitMaskArtToGeometry(m_page, m_mask);
}

void MoveCommand::fitMaskArtToGeometry()
{
    if (!m_config || m_config->fitMaskArtToGeometry(m_page, m_mask) != 1)
        return;
    if (const MaskElement* target = targetMask()) {
        m_fitAfter = BoxStyleSnapshot::readFromMask(target->node);
        m_fitted = true;
    }
}

bool MoveCommand::refitAsBefore(pugi::xml_node node)
{
    // The art the first fit drew stays in the installs: a redo points the
    // mask at it again, and draws only when someone removed it since.
    if (!m_config || !m_fitted || DashConfig::resolveOverlayDir(m_fitAfter.params.relPath).isEmpty())
        return false;
    // The parameters as the fit left them, each where the fit put it: an
    // origin stamped anew goes where the fit's stamp goes.
    BoxStyleSnapshot params = m_fitAfter;
    const bool stamped = params.params.fitSrcPresent && !m_boxArt.params.fitSrcPresent;
    params.params.fitSrcPresent = params.params.fitSrcPresent && !stamped;
    writeBoxArtProps(node, params);
    if (stamped)
        setParam(node, "DE_FIT_SRC", m_fitAfter.params.fitSrc.toUtf8());
    return true;
}

void MoveCommand::fitColoredBar()
{
    if (!m_config)
        return;
    // A later redo points the bar at what the first one drew, unless that
    // drawing is gone from the installs: then it is drawn anew.
    if (m_barRedrawn && !DashConfig::resolveOverlayDir(QString::fromStdString(m_barAfter.pathRel)).isEmpty()) {
        m_config->restoreBarArtwork(m_page, m_mask, m_barAfter);
        return;
    }
    m_barRedrawn = false;
    // Only a bar in coloured art has a colour to draw again.
    if (!targetMask() || !m_config->colouredBar(m_page, m_mask).coloured)
        return;
    if (!m_barCaptured) {
        m_barBefore = m_config->barColorSnapshot(m_page, m_mask);
        // The bar's geometry is this command's own to put back.
        m_barBefore.barGeometry.clear();
        m_barCaptured = true;
    }
    // Edges scaled too: a redrawn bar's edges follow its element (redo).
    const QString coords = DashConfig::scaledBarGeometryText(QString::fromStdString(m_barBefore.originalCoords),
                                                             QSize(m_oldW, m_oldH), QSize(m_newW, m_newH), true);
    if (m_config->fitColoredBarToGeometry(m_page, m_mask, coords) != 1)
        return;
    m_barAfter = m_config->barColorSnapshot(m_page, m_mask);
    m_barAfter.barGeometry.clear();
    m_barRedrawn = true;
}

void MoveCommand::restoreColoredBar()
{
    if (!m_config || !m_barRedrawn)
        return;
    m_config->restoreBarArtwork(m_page, m_mask, m_barBefore);
}
