#include "editing/ReorderMaskCommand.h"

#include "editing/MaskSnapshot.h"
#include "model/DashConfig.h"

#include <QCoreApplication>

ReorderMaskCommand::ReorderMaskCommand(DashConfig* config, int page, int from, int to, const QString& text,
                                       QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_config(config)
    , m_page(page)
    , m_from(from)
    , m_to(to)
{
    if (config)
        m_orders = config->maskOrders(page);
    setText(text.isEmpty() ? QCoreApplication::translate("ReorderMaskCommand", "Reorder mask") : text);
}

ReorderMaskCommand::~ReorderMaskCommand() = default;

bool ReorderMaskCommand::moveMask(int from, int to, bool renumber)
{
    PageModel* p = m_config ? m_config->page(m_page) : nullptr;
    if (!p)
        return false;
    const int count = static_cast<int>(p->masks.size());
    if (from < 0 || from >= count || to < 0 || to >= count || from == to)
        return false;
    // Without its element, or without the page element to put it back into,
    // the mask would be lost on the way: move nothing.
    if (!p->masks[static_cast<size_t>(from)].node || !m_config->pageParamNode(m_page))
        return false;

    MaskSnapshot moving = MaskSnapshot::of(p->masks[static_cast<size_t>(from)]);
    if (!m_config->removeMask(m_page, from))
        return false;
    pugi::xml_node out;
    if (!m_config->insertMaskNodeCopy(m_page, to, moving.record, moving.node(),
                                      m_config->maskInsertAnchor(m_page, to), out)) {
        // Put it back where it was rather than lose it.
        m_config->insertMaskNodeCopy(m_page, from, moving.record, moving.node(),
                                     m_config->maskInsertAnchor(m_page, from), out);
        return false;
    }
    if (renumber)
        m_config->normalizeOrdine(m_page);
    return true;
}

void ReorderMaskCommand::redo()
{
    const bool first = m_firstRedo;
    m_firstRedo = false;
    m_done = moveMask(m_from, m_to, true);
    if (first && !m_done)
        setObsolete(true);
}

void ReorderMaskCommand::undo()
{
    if (!m_config || !m_done)
        return;
    m_done = false;
    moveMask(m_to, m_from, false);
    m_config->setMaskOrders(m_page, m_orders);
}
