#include "editing/AxisMergeCommand.h"

#include "model/DashConfig.h"
AxisMergeCommand::AxisMergeCommand(DashConfig* config, int page, int mask, const std::vector<pugi::xml_node>& axes,
                                   QHash<QString, QString>* idMap, QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_config(config)
    , m_page(page)
    , m_mask(mask)
    , m_idMapTarget(idMap)
{
    for (const pugi::xml_node axis : axes) {
        if (axis)
            m_axes.append_copy(axis);
    }
}

void AxisMergeCommand::redo()
{
    m_merged = false;
    const MaskElement* mask = m_config ? m_config->maskAt(m_page, m_mask) : nullptr;
    if (!mask || !mask->node)
        return;
    m_before = MaskSnapshot::of(*mask);
    std::vector<pugi::xml_node> sources;
    for (pugi::xml_node axis = m_axes.first_child(); axis; axis = axis.next_sibling())
        sources.push_back(axis);
    QHash<QString, QString> idMap;
    m_merged = m_config->mergeAxisElements(m_page, m_mask, sources, &idMap) > 0;
    if (m_idMapTarget)
        *m_idMapTarget = idMap;
    m_idMapTarget = nullptr;
}

void AxisMergeCommand::undo()
{
    if (!m_merged)
        return;
    m_merged = false;
    PageModel* page = m_config->page(m_page);
    if (!page || m_mask < 0 || m_mask >= int(page->masks.size()) || m_before.isEmpty())
        return;
    MaskElement& record = page->masks[size_t(m_mask)];
    const pugi::xml_node current = record.node;
    pugi::xml_node parent = current.parent();
    if (!current || !parent)
        return;
    const pugi::xml_node restored = parent.insert_copy_before(m_before.node(), current);
    parent.remove_child(current);
    record.node = restored;
    m_config->reparseMaskKeepingGeometry(record);
    m_config->markPageDirty(m_page);
}
