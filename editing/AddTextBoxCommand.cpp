#include "editing/AddTextBoxCommand.h"

#include "editing/FirstRedoResult.h"
#include "model/DashConfig.h"

#include <QCoreApplication>

AddTextBoxCommand::AddTextBoxCommand()
    : QUndoCommand()
{
    setText(QCoreApplication::translate("AddTextBoxCommand", "Add Text Box"));
}

AddTextBoxCommand::~AddTextBoxCommand() = default;

void AddTextBoxCommand::addToMask(DashConfig* config, int page, int mask, int x, int y)
{
    m_config = config;
    m_page = page;
    m_intoMask = true;
    m_mask = mask;
    m_x = x;
    m_y = y;
    m_text = QStringLiteral("Label");
}

void AddTextBoxCommand::addAsNewMask(DashConfig* config, int page, int x, int y, const QString& text)
{
    m_config = config;
    m_page = page;
    m_intoMask = false;
    m_pageX = x;
    m_pageY = y;
    m_text = text;
}

void AddTextBoxCommand::redo()
{
    int created = -1;
    if (m_config && m_intoMask) {
        created = m_createdWidget = m_config->addTextBox(m_page, m_mask, m_x, m_y, m_text);
    } else if (m_config) {
        MaskElement out; // the page's own record is the one that counts
        created = m_createdMask = m_config->addTextBoxMask(m_page, m_pageX, m_pageY, m_text, out);
        // Records a removed mask of this name left are not the new one's.
        if (created >= 0) {
            m_stale = m_config->maskRecords(m_page, created);
            m_config->dropMaskRecords(m_stale);
        }
    }
    handFirstRedoResult(*this, m_firstRedo, m_createdTarget, created);
}

void AddTextBoxCommand::undo()
{
    if (!m_config)
        return;
    if (m_intoMask && m_createdWidget >= 0) {
        m_config->removeWidget(m_page, m_mask, m_createdWidget);
        m_createdWidget = -1;
    } else if (!m_intoMask && m_createdMask >= 0) {
        if (m_config->removeMask(m_page, m_createdMask))
            m_config->restoreMaskRecords(m_stale);
        m_createdMask = -1;
    }
}
