#include "editing/MaskAddCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

MaskAddCommand::MaskAddCommand(DashConfig* config, int page, const QString& name, bool fromLibraryItem,
                               const QString& artFolder, const QString& image, const QString& previewImage,
                               const QString& firmwarePath, const std::vector<pugi::xml_node>& elements,
                               int* createdMask)
    : ReplayedMaskCommand(config, page, createdMask)
    , m_name(name)
    , m_fromLibraryItem(fromLibraryItem)
    , m_artFolder(artFolder)
    , m_image(image)
    , m_previewImage(previewImage)
    , m_firmwarePath(firmwarePath)
{
    // The clipboard may change before the push: keep copies, not handles.
    for (const pugi::xml_node e : elements) {
        if (e)
            m_elements.append_copy(e);
    }
    setText(QCoreApplication::translate("MaskAddCommand", "Add mask"));
}

MaskAddCommand::~MaskAddCommand() = default;

int MaskAddCommand::build(QString*)
{
    MaskElement out;
    if (!m_fromLibraryItem)
        return m_config->addMaskSimple(m_page, m_name, out);
    std::vector<pugi::xml_node> elements;
    for (pugi::xml_node e = m_elements.first_child(); e; e = e.next_sibling())
        elements.push_back(e);
    return m_config->addMaskFromLibraryItem(m_page, m_name, m_artFolder, m_image, m_previewImage, m_firmwarePath,
                                            elements, out);
}
