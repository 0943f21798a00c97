#include "editing/RemovePageCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

#include <utility>

RemovePageCommand::RemovePageCommand(DashConfig* config, int page, QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_config(config)
    , m_page(page)
{
    setText(QCoreApplication::translate("RemovePageCommand", "Delete page %1").arg(page + 1));
}

RemovePageCommand::~RemovePageCommand() = default;

void RemovePageCommand::redo()
{
    // The window steps back over an undo that left the page deleted.
    if (std::exchange(m_undoRefused, false))
        return;
    const bool first = m_firstRedo;
    m_firstRedo = false;
    m_done = false;
    // A page without its element could not be put back: leave it alone.
    // The copy the undo puts back is the page as this redo takes it away:
    // edits made to it since (a rebind, a font change) are not this step's
    // to take back.
    if (m_config) {
        PageSnapshot now;
        if (now.capture(*m_config, m_page)) {
            m_saved = std::move(now);
            const PageModel* page = m_config->page(m_page);
            for (int k = 0; !m_taken && page && k < static_cast<int>(page->masks.size()); ++k)
                m_records.push_back(m_config->maskRecords(m_page, k));
            m_taken = true;
        }
    }
    if (m_config && m_taken)
        m_done = m_config->removePage(m_page);
    if (first && !m_done)
        setObsolete(true);
}

void RemovePageCommand::undo()
{
    if (!m_config || !m_taken || !m_done)
        return;
    pugi::xml_node out;
    if (!m_config->insertPageNodeCopy(m_page, m_saved.record, m_saved.node(), out)) {
        m_done = false;
        return;
    }
    // The page first (putting it back moves the records of pages named by
    // their place), then its records, which a save in between dropped:
    // masks back without them could neither have a style or colour taken
    // off nor be drawn again, so when a store cannot be written the page
    // goes again.
    if (!m_config->restoreRecordsForStep(m_records)) {
        m_config->removePage(m_page);
        m_undoRefused = true;
        return;
    }
    m_done = false;
}

void RemovePageCommand::visitHeldXml(const HeldXmlVisitor& visit) const
{
    if (m_done && m_taken)
        visit(m_saved.node());
}
