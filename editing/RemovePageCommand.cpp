#include "editing/RemovePageCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

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
    const bool first = m_firstRedo;
    m_firstRedo = false;
    m_done = false;
    if (m_config && !m_taken) {
        const PageModel* p = m_config->page(m_page);
        const pugi::xml_node node = m_config->pageParamNode(m_page);
        // A page without its element could not be put back: leave it alone.
        if (p && node) {
            m_saved.record = *p;
            m_saved.document.append_copy(node);
            for (MaskElement& mask : m_saved.record.masks) {
                mask.node = pugi::xml_node();
                for (WidgetModel& w : mask.widgets)
                    w.node = pugi::xml_node();
            }
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
    m_done = false;
    pugi::xml_node out;
    m_config->insertPageNodeCopy(m_page, m_saved.record, m_saved.node(), out);
}
