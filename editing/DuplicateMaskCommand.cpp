#include "editing/DuplicateMaskCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

DuplicateMaskCommand::DuplicateMaskCommand(DashConfig* config, int page, int source, int dx, int dy,
                                           const QString& text, int* createdMask, QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_config(config)
    , m_page(page)
    , m_source(source)
    , m_dx(dx)
    , m_dy(dy)
    , m_createdTarget(createdMask)
{
    setText(text.isEmpty() ? QCoreApplication::translate("DuplicateMaskCommand", "Duplicate mask") : text);
}

DuplicateMaskCommand::~DuplicateMaskCommand() = default;

void DuplicateMaskCommand::redo()
{
    const bool first = m_firstRedo;
    m_firstRedo = false;
    if (first) {
        MaskElement out;
        m_created = m_config ? m_config->duplicateMask(m_page, m_source, m_dx, m_dy, out) : -1;
        m_done = m_created >= 0;
        if (m_done) {
            // The live record, read after the operation: the copy must hold
            // the element exactly as the page now has it.
            m_saved = MaskSnapshot::of(m_config->page(m_page)->masks[static_cast<size_t>(m_created)]);
            m_taken = !m_saved.isEmpty();
        }
        if (m_createdTarget)
            *m_createdTarget = m_created;
        m_createdTarget = nullptr;
        if (!m_done)
            setObsolete(true);
        return;
    }
    if (!m_config || !m_taken || m_done)
        return;
    pugi::xml_node out;
    m_done = m_config->insertMaskNodeCopy(m_page, m_created, m_saved.record, m_saved.node(),
                                          m_config->maskInsertAnchor(m_page, m_created), out);
}

void DuplicateMaskCommand::undo()
{
    if (!m_config || !m_done)
        return;
    m_done = false;
    m_config->removeMask(m_page, m_created);
}
