#include "editing/MaskAddCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

MaskAddCommand::MaskAddCommand(DashConfig* config, int page, const QString& name, bool fromLibraryItem,
                               const QString& artFolder, const QString& image, const QString& previewImage,
                               const QString& firmwarePath, const std::vector<pugi::xml_node>& elements,
                               int* createdMask)
    : QUndoCommand()
    , m_config(config)
    , m_page(page)
    , m_name(name)
    , m_fromLibraryItem(fromLibraryItem)
    , m_artFolder(artFolder)
    , m_image(image)
    , m_previewImage(previewImage)
    , m_firmwarePath(firmwarePath)
    , m_createdTarget(createdMask)
{
    // The clipboard may change before the push: keep copies, not handles.
    for (const pugi::xml_node e : elements) {
        if (e)
            m_elements.append_copy(e);
    }
    setText(QCoreApplication::translate("MaskAddCommand", "Add mask"));
}

MaskAddCommand::~MaskAddCommand() = default;

int MaskAddCommand::build(MaskElement& out)
{
    if (!m_fromLibraryItem)
        return m_config->addMaskSimple(m_page, m_name, out);
    std::vector<pugi::xml_node> elements;
    for (pugi::xml_node e = m_elements.first_child(); e; e = e.next_sibling())
        elements.push_back(e);
    return m_config->addMaskFromLibraryItem(m_page, m_name, m_artFolder, m_image, m_previewImage, m_firmwarePath,
                                            elements, out);
}

void MaskAddCommand::redo()
{
    const bool first = m_firstRedo;
    m_firstRedo = false;
    if (first) {
        MaskElement out;
        m_created = m_config ? build(out) : -1;
        m_done = m_created >= 0;
        if (m_done) {
            m_saved = MaskSnapshot::of(m_config->page(m_page)->masks[static_cast<size_t>(m_created)]);
            m_taken = !m_saved.isEmpty();
        }
        if (m_createdTarget)
            *m_createdTarget = m_created;
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

void MaskAddCommand::undo()
{
    if (!m_config || !m_done)
        return;
    m_done = false;
    m_config->removeMask(m_page, m_created);
}
