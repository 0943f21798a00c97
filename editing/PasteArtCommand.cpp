#include "editing/PasteArtCommand.h"

#include "artwork/MadeArtFolders.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"

#include <QCoreApplication>

#include <utility>

PasteArtCommand::PasteArtCommand(DashConfig* config, int page, int mask, const PastedArt& art, bool* applied,
                                 QString* error, QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_config(config)
    , m_page(page)
    , m_mask(mask)
    , m_art(art)
    , m_applied(applied)
    , m_error(error)
{
    setText(QCoreApplication::translate("PasteArtCommand", "Paste widget pictures"));
}

bool PasteArtCommand::pointMask(const QString& rel, bool present)
{
    MaskElement* m = m_config->maskAt(m_page, m_mask);
    if (!m || !m->node)
        return false;
    if (present)
        setSoleParam(m->node, "PATH_REL_AiM_MASK", rel.toUtf8());
    else
        removeParams(m->node, "PATH_REL_AiM_MASK");
    m_config->reparseMaskKeepingGeometry(*m);
    m_config->markPageDirty(m_page);
    return true;
}

void PasteArtCommand::redo()
{
    const bool first = std::exchange(m_firstRedo, false);
    m_done = false;
    QString why;
    const MaskElement* m = m_config ? m_config->maskAt(m_page, m_mask) : nullptr;
    if (m && m->node) {
        if (first) {
            m_beforePresent = bool(m->node.find_child_by_attribute("p", "n", "PATH_REL_AiM_MASK"));
            m_before = QString::fromUtf8(paramValue(m->node, "PATH_REL_AiM_MASK"));
        }
        MadeArtFolders made;
        if (m_art.write(made, &m_config->artState.savedArt, &why)) {
            m_done = m_art.ownItem().isEmpty() || pointMask(m_art.ownItem(), true);
            // A step that fails takes what it just wrote with it.
            if (!m_done)
                made.removeAll();
        }
    }
    if (first) {
        // Only the first redo runs inside the creator's push.
        if (!m_done)
            setObsolete(true);
        if (m_applied)
            *m_applied = m_done;
        if (m_error)
            *m_error = why;
        m_applied = nullptr;
        m_error = nullptr;
    } else if (!m_done && m_config) {
        m_config->refusedStep = why.isEmpty()
            ? QCoreApplication::translate("PasteArtCommand", "the pasted widgets' element is gone")
            : why;
    }
}

void PasteArtCommand::undo()
{
    if (!m_config || !m_done)
        return;
    if (!m_art.ownItem().isEmpty())
        pointMask(m_before, m_beforePresent);
    m_done = false;
}
