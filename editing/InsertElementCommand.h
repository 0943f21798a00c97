#pragma once

#include "editing/MaskSnapshot.h"
#include "model/ChannelInfo.h"

#include <QString>
#include <QUndoCommand>

class DashConfig;

// Places a stock library element on a page ("Insert Element"). The first
// redo copies the element, re-homes its art and binds it, then keeps the new
// mask; later redos put that copy back without touching the library or the
// art again. A failed first redo hands its reason to the creator and leaves
// no undo step.
class InsertElementCommand : public QUndoCommand {
public:
    // The donor is copied at once. createdMask and errorTarget (when given)
    // are written at the first redo, inside the push: the stack deletes a
    // failed command there, so the creator reads its own variables.
    InsertElementCommand(DashConfig* config, int page, const ChannelInfo& channel, int x, int y, int width,
                         int height, pugi::xml_node donor, const QString& sourceFolder,
                         QString* errorTarget = nullptr, int* createdMask = nullptr);
    ~InsertElementCommand() override;

    void undo() override;
    void redo() override;

private:
    DashConfig* m_config;
    int m_page;
    ChannelInfo m_channel;
    int m_x;
    int m_y;
    int m_width;
    int m_height;
    pugi::xml_document m_donor;
    MaskSnapshot m_saved; // the new mask as first built
    QString m_error;
    QString* m_errorTarget;
    int m_created = -1;
    bool m_taken = false;
    QString m_sourceFolder;
    int* m_createdTarget;
    bool m_firstRedo = true;
    bool m_done = false;
};
