#pragma once

#include "editing/ReplayedMaskCommand.h"

#include <pugixml.hpp>

#include <vector>

class DashConfig;

// Adds a new full-screen mask (paste with no mask selected), empty or built
// on the copied widgets' artwork and channel elements. The first redo builds
// it and keeps it; later redos put that copy back. A failed first redo leaves
// no undo step.
class MaskAddCommand : public ReplayedMaskCommand {
public:
    // Builds on the artwork fields and Axis elements when fromLibraryItem is
    // set; the elements are copied at once. createdMask (when given)
    // receives the new mask's index, or -1, at the first redo.
    MaskAddCommand(DashConfig* config, int page, const QString& name, bool fromLibraryItem = false,
                   const QString& artFolder = QString(), const QString& image = QString(),
                   const QString& previewImage = QString(), const QString& firmwarePath = QString(),
                   const std::vector<pugi::xml_node>& elements = {}, int* createdMask = nullptr);
    ~MaskAddCommand() override;

private:
    int build(QString* error) override;

    QString m_name;
    bool m_fromLibraryItem;
    QString m_artFolder;
    QString m_image;
    QString m_previewImage;
    QString m_firmwarePath;
    pugi::xml_document m_elements; // copies of the Axis elements, in order
};
