#include "editing/BarScaleCommand.h"

#include "model/DashConfig.h"
#include "model/ElementIds.h"
#include "model/InstallRoots.h"
#include "model/StringWriter.h"

#include <QCoreApplication>

namespace {

QByteArray written(const std::vector<pugi::xml_node>& nodes)
{
    StringWriter writer;
    for (const pugi::xml_node node : nodes)
        node.print(writer, "", pugi::format_raw);
    return writer.buffer;
}

} // namespace

BarScaleCommand::BarScaleCommand(DashConfig* config, int page, int mask, int widget, const Change& change,
                                 bool* applied)
    : m_config(config)
    , m_page(page)
    , m_mask(mask)
    , m_widget(widget)
    , m_change(change)
    , m_applied(applied)
{
    setText(change.kind == Change::ZeroMark ? QCoreApplication::translate("BarScaleCommand", "Bar zero mark")
                                            : QCoreApplication::translate("BarScaleCommand", "Bar scale range"));
}

BarScaleCommand::BarScaleCommand(DashConfig* config, int page, int mask, int widget, double min, double max,
                                 bool* applied)
    : BarScaleCommand(config, page, mask, widget, Change::range(min, max), applied)
{
}

bool BarScaleCommand::apply(pugi::xml_node maskNode, const Change& change, pugi::xml_node selected)
{
    switch (change.kind) {
    case Change::ZeroMark:
        return DashConfig::setBarZeroMark(maskNode, change.zeroMark, selected);
    case Change::End:
        return DashConfig::setBarScaleEnd(maskNode, change.end,
                                          change.end == DashConfig::BarScaleEnd::Min ? change.min : change.max,
                                          selected);
    case Change::Range:
        break;
    }
    return DashConfig::setBarScaleRange(maskNode, change.min, change.max, selected);
}

pugi::xml_node BarScaleCommand::maskNode() const
{
    const MaskElement* mask = m_config ? m_config->maskAt(m_page, m_mask) : nullptr;
    return mask ? mask->node : pugi::xml_node();
}

pugi::xml_node BarScaleCommand::selectedNode() const
{
    const MaskElement* mask = m_config ? m_config->maskAt(m_page, m_mask) : nullptr;
    if (!mask || m_widget < 0 || m_widget >= int(mask->widgets.size()))
        return {};
    return mask->widgets[size_t(m_widget)].node;
}

std::vector<pugi::xml_node> BarScaleCommand::scalesInScope() const
{
    std::vector<pugi::xml_node> scales;
    const pugi::xml_node selected = selectedNode();
    for (pugi::xml_node e = maskNode().child("e"); e; e = e.next_sibling("e")) {
        if (!isBarInScope(e, selected))
            continue;
        if (const pugi::xml_node scale = findScaleFsvNode(e))
            scales.push_back(scale);
    }
    return scales;
}

// What the setter reports is not asked: a range it refuses may still have
// renamed a scale, so the scales as written decide whether anything changed.
bool BarScaleCommand::write()
{
    const pugi::xml_node mask = maskNode();
    const pugi::xml_node selected = selectedNode();
    // A widget index that no longer names a widget would widen the edit to
    // every bar of the mask.
    if (!mask || (m_widget >= 0 && !selected))
        return false;
    const std::vector<pugi::xml_node> scales = scalesInScope();
    const QByteArray before = written(scales);
    // Taken at every redo: the undo puts back the scales as this redo found
    // them, not as they were before a rebind made between an undo and this
    // redo.
    m_before.reset();
    for (const pugi::xml_node scale : scales)
        m_before.append_copy(scale);
    apply(mask, m_change, selected);
    if (written(scalesInScope()) == before)
        return false;
    m_config->markPageDirty(m_page);
    return true;
}

void BarScaleCommand::redo()
{
    m_done = write();
    if (!m_firstRedo)
        return;
    m_firstRedo = false;
    if (m_applied)
        *m_applied = m_done;
    m_applied = nullptr;
    if (!m_done)
        setObsolete(true);
}

void BarScaleCommand::undo()
{
    if (!m_done)
        return;
    m_done = false;
    const std::vector<pugi::xml_node> scales = scalesInScope();
    pugi::xml_node kept = m_before.first_child();
    for (const pugi::xml_node scale : scales) {
        if (!kept)
            break;
        pugi::xml_node parent = scale.parent();
        parent.insert_copy_before(kept, scale);
        parent.remove_child(scale);
        kept = kept.next_sibling();
    }
    m_config->markPageDirty(m_page);
}
