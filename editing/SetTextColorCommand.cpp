#include "editing/SetTextColorCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

SetTextColorCommand::SetTextColorCommand(DashConfig* config, int page, int mask, int widget, const QString& oldValue,
                                         const QString& newValue)
    : QUndoCommand()
    , m_config(config)
    , m_page(page)
    , m_mask(mask)
    , m_widget(widget)
    , m_old(oldValue)
    , m_new(newValue)
{
    setText(QCoreApplication::translate("SetTextColorCommand", "Text colour"));
}

SetTextColorCommand::~SetTextColorCommand() = default;

void SetTextColorCommand::redo()
{
    const bool first = m_firstRedo;
    m_firstRedo = false;
    m_done = m_config && m_config->setTextColour(m_page, m_mask, m_widget, m_new);
    // A refused edit (bad indices, wrong widget kind, empty value) leaves no
    // undo step behind.
    if (first && !m_done)
        setObsolete(true);
}

void SetTextColorCommand::undo()
{
    if (!m_config || !m_done)
        return;
    m_done = false;
    m_config->setTextColour(m_page, m_mask, m_widget, m_old.isEmpty() ? QStringLiteral("0xffffffff") : m_old);
}
