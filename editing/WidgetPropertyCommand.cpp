#include "editing/WidgetPropertyCommand.h"

#include "model/DashConfig.h"

WidgetPropertyCommand::WidgetPropertyCommand(DashConfig* config, int page, int mask, int widget,
                                             const QString& oldValue, const QString& newValue)
    : m_config(config)
    , m_page(page)
    , m_mask(mask)
    , m_widget(widget)
    , m_old(oldValue)
    , m_new(newValue)
{
}

void WidgetPropertyCommand::redo()
{
    const bool first = m_firstRedo;
    m_firstRedo = false;
    m_done = m_config && apply(*m_config, m_page, m_mask, m_widget, m_new);
    if (first && !m_done)
        setObsolete(true);
}

void WidgetPropertyCommand::undo()
{
    if (!m_config || !m_done)
        return;
    m_done = false;
    restore(*m_config, m_page, m_mask, m_widget, m_old.isEmpty() ? defaultValue() : m_old);
}
