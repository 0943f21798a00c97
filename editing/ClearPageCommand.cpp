#include "editing/ClearPageCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

#include <utility>

ClearPageCommand::ClearPageCommand(DashConfig* config, int page, QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_config(config)
    , m_page(page)
{
    const PageModel* p = config ? config->page(page) : nullptr;
    if (!p) {
        setText(QCoreApplication::translate("ClearPageCommand", "Clear page"));
        return;
    }
    for (const MaskElement& mask : p->masks)
        m_masks.push_back(MaskSnapshot::of(mask));
    setText(QCoreApplication::translate("ClearPageCommand", "Clear page (%1 elements)")
                .arg(static_cast<int>(p->masks.size())));
}

ClearPageCommand::~ClearPageCommand() = default;

void ClearPageCommand::redo()
{
    // The window steps back over an undo that left the page cleared.
    if (std::exchange(m_undoRefused, false))
        return;
    const bool first = m_firstRedo;
    m_firstRedo = false;
    m_done = false;
    PageModel* p = m_config ? m_config->page(m_page) : nullptr;
    if (first && p) {
        for (int k = 0; k < static_cast<int>(p->masks.size()); ++k)
            m_records.push_back(m_config->maskRecords(m_page, k));
    }
    if (p) {
        // The copies the undo puts back are the masks as this redo takes
        // them away: later edits to them are not this step's to take back.
        m_masks.clear();
        for (const MaskElement& mask : p->masks)
            m_masks.push_back(MaskSnapshot::of(mask));
        // From the back, so the indices of the masks still to go stay valid.
        while (!p->masks.empty() && m_config->removeMask(m_page, static_cast<int>(p->masks.size()) - 1))
            m_done = true;
    }
    if (first && !m_done)
        setObsolete(true);
}

void ClearPageCommand::undo()
{
    if (!m_config || !m_done)
        return;
    // The records first (a save in between dropped them), as for a deleted
    // mask: a store that cannot be written leaves the page cleared.
    if (!m_config->restoreRecordsForStep(m_records)) {
        m_undoRefused = true;
        return;
    }
    m_done = false;
    // Front to back, each after the one restored before it. A mask that had
    // no element cannot come back; the ones after it close up behind the
    // last one restored instead of failing on an index past the end.
    int at = 0;
    for (size_t i = 0; i < m_masks.size(); ++i) {
        const MaskSnapshot& saved = m_masks[i];
        if (saved.isEmpty())
            continue;
        pugi::xml_node out;
        if (m_config->insertMaskNodeCopy(m_page, at, saved.record, saved.node(),
                                         m_config->maskInsertAnchor(m_page, at), out))
            ++at;
    }
}

void ClearPageCommand::visitHeldXml(const HeldXmlVisitor& visit) const
{
    if (!m_done)
        return;
    for (const MaskSnapshot& mask : m_masks) {
        if (!mask.isEmpty())
            visit(mask.node());
    }
}
