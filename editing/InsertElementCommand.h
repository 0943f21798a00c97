#pragma once

#include "editing/ReplayedMaskCommand.h"
#include "model/ChannelInfo.h"

#include <pugixml.hpp>

class DashConfig;

// Places a stock library element on a page ("Insert Element"). The first
// redo copies the element, re-homes its art and binds it, then keeps the new
// mask; later redos put that copy back without touching the library or the
// art again. A failed first redo hands its reason to the creator and leaves
// no undo step.
class InsertElementCommand : public ReplayedMaskCommand {
public:
    // The donor is copied at once. createdMask and errorTarget (when given)
    // are written at the first redo, inside the push: the stack deletes a
    // failed command there, so the creator reads its own variables.
    InsertElementCommand(DashConfig* config, int page, const ChannelInfo& channel, int x, int y, int width,
                         int height, pugi::xml_node donor, const QString& sourceFolder,
                         QString* errorTarget = nullptr, int* createdMask = nullptr);
    ~InsertElementCommand() override;

    // A bargraph scale template (by id) the first redo puts on the new
    // mask, so the templated bar is what undo takes away and redo brings
    // back. Set before the push; an unknown id is ignored.
    void setBarTemplate(const QString& templateId) { m_barTemplate = templateId; }

private:
    int build(QString* error) override;
    void applyBarTemplate(int maskIndex);

    ChannelInfo m_channel;
    int m_x;
    int m_y;
    int m_width;
    int m_height;
    pugi::xml_document m_donor;
    QString m_sourceFolder;
    QString m_barTemplate;
};
