#include "editing/DeleteCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

#include <utility>

DeleteCommand::DeleteCommand(DashConfig* config, int page, int mask, QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_config(config)
    , m_page(page)
    , m_mask(mask)
{
    const PageModel* p = config ? config->page(page) : nullptr;
    if (p && mask >= 0 && mask < static_cast<int>(p->masks.size())) {
        const MaskElement& m = p->masks[static_cast<size_t>(mask)];
        m_saved = MaskSnapshot::of(m);
        m_exists = true;
        setText(QCoreApplication::translate("DeleteCommand", "Delete %1")
                    .arg(m.channel.isEmpty() ? m.id : m.channel));
    } else {
        setText(QCoreApplication::translate("DeleteCommand", "Delete element"));
    }
}

DeleteCommand::~DeleteCommand() = default;

void DeleteCommand::redo()
{
    const bool first = m_firstRedo;
    m_firstRedo = false;
    if (first && m_config && m_exists)
        m_records = m_config->maskRecords(m_page, m_mask);
    // The window steps back over an undo that left the mask deleted.
    if (std::exchange(m_undoRefused, false))
        return;
    // The copy the undo puts back is the mask as this redo takes it away:
    // edits made to it since (a rebind, a font change) are not this step's
    // to take back.
    if (m_config && m_exists) {
        if (const MaskElement* now = m_config->maskAt(m_page, m_mask); now && now->node) {
            MaskSnapshot taken = MaskSnapshot::of(*now);
            if (!taken.isEmpty())
                m_saved = std::move(taken);
        }
    }
    // Without a configuration or a mask there is nothing the undo could put
    // back: such a command never stays on the stack.
    m_done = m_config && m_exists && m_config->removeMask(m_page, m_mask);
    if (first && !m_done)
        setObsolete(true);
}

void DeleteCommand::undo()
{
    if (!m_config || !m_done)
        return;
    if (m_saved.isEmpty()) {
        m_done = false;
        return;
    }
    // The records first (a save in between dropped them): a mask back
    // without them could neither have its style or colour taken off nor be
    // drawn again, so a store that cannot be written leaves it deleted.
    if (!m_config->restoreRecordsForStep({m_records})) {
        m_undoRefused = true;
        return;
    }
    m_done = false;
    pugi::xml_node out;
    m_config->insertMaskNodeCopy(m_page, m_mask, m_saved.record, m_saved.node(),
                                 m_config->maskInsertAnchor(m_page, m_mask), out);
}

void DeleteCommand::visitHeldXml(const HeldXmlVisitor& visit) const
{
    if (m_done && !m_saved.isEmpty())
        visit(m_saved.node());
}
