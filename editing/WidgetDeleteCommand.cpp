#include "editing/WidgetDeleteCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

WidgetDeleteCommand::WidgetDeleteCommand(DashConfig* config, int page, int mask, int widget, QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_config(config)
    , m_page(page)
    , m_mask(mask)
    , m_widget(widget)
{
    if (config && config->copyWidgetXml(page, mask, widget, m_saved)) {
        const QString id = config->pages[static_cast<size_t>(page)].masks[static_cast<size_t>(mask)]
                               .widgets[static_cast<size_t>(widget)].id;
        setText(QCoreApplication::translate("WidgetDeleteCommand", "Delete widget %1").arg(id));
    } else {
        setText(QCoreApplication::translate("WidgetDeleteCommand", "Delete widget"));
    }
}

WidgetDeleteCommand::~WidgetDeleteCommand() = default;

void WidgetDeleteCommand::redo()
{
    const bool first = m_firstRedo;
    m_firstRedo = false;
    // Without a copy there would be nothing to put back: such a delete never
    // stays on the stack.
    m_done = m_config && m_saved.first_child() && m_config->removeWidget(m_page, m_mask, m_widget);
    if (first && !m_done)
        setObsolete(true);
}

void WidgetDeleteCommand::undo()
{
    if (!m_config || !m_done)
        return;
    m_done = false;
    m_config->insertWidget(m_page, m_mask, m_saved.first_child(), 0, 0, m_widget);
}
