#include "editing/NormalizeOrdineCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

NormalizeOrdineCommand::NormalizeOrdineCommand(DashConfig* config, int page, const QString& text,
                                               QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_config(config)
    , m_page(page)
{
    if (config)
        m_orders = config->maskOrders(page);
    setText(text.isEmpty() ? QCoreApplication::translate("NormalizeOrdineCommand", "Reorder") : text);
}

NormalizeOrdineCommand::~NormalizeOrdineCommand() = default;

void NormalizeOrdineCommand::redo()
{
    const bool first = m_firstRedo;
    m_firstRedo = false;
    m_done = m_config && m_config->page(m_page);
    if (m_done)
        m_config->normalizeOrdine(m_page);
    // Numbers that were already 1..n leave nothing to undo.
    if (first && (!m_done || m_config->maskOrders(m_page) == m_orders))
        setObsolete(true);
}

void NormalizeOrdineCommand::undo()
{
    if (!m_config || !m_done)
        return;
    m_done = false;
    m_config->setMaskOrders(m_page, m_orders);
}
