#include "editing/InsertElementCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

InsertElementCommand::InsertElementCommand(DashConfig* config, int page, const ChannelInfo& channel, int x, int y,
                                           int width, int height, pugi::xml_node donor,
                                           const QString& sourceFolder, QString* errorTarget, int* createdMask)
    : QUndoCommand()
    , m_config(config)
    , m_page(page)
    , m_channel(channel)
    , m_x(x)
    , m_y(y)
    , m_width(width)
    , m_height(height)
    , m_errorTarget(errorTarget)
    , m_sourceFolder(sourceFolder)
    , m_createdTarget(createdMask)
{
    if (donor)
        m_donor.append_copy(donor);
    setText(QCoreApplication::translate("InsertElementCommand", "Insert %1").arg(channel.longName));
}

InsertElementCommand::~InsertElementCommand() = default;

void InsertElementCommand::redo()
{
    const bool first = m_firstRedo;
    m_firstRedo = false;
    if (first) {
        MaskElement out;
        m_created = m_config && m_donor.first_child()
            ? m_config->insertElement(m_page, m_donor.first_child(), m_channel, m_x, m_y, m_width, m_height, out,
                                      m_sourceFolder, &m_error)
            : -1;
        m_done = m_created >= 0;
        if (m_done) {
            m_saved = MaskSnapshot::of(m_config->page(m_page)->masks[static_cast<size_t>(m_created)]);
            m_taken = !m_saved.isEmpty();
            m_error.clear();
        }
        if (m_errorTarget)
            *m_errorTarget = m_error;
        if (m_createdTarget)
            *m_createdTarget = m_created;
        m_errorTarget = nullptr;
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

void InsertElementCommand::undo()
{
    if (!m_config || !m_done)
        return;
    m_done = false;
    m_config->removeMask(m_page, m_created);
}
