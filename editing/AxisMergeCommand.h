#pragma once

#include "editing/MaskSnapshot.h"

#include <QHash>
#include <QString>
#include <QUndoCommand>
#include <pugixml.hpp>

#include <vector>

class DashConfig;

// Brings the channel elements that pasted widgets refer to into the target
// mask (DashConfig::mergeAxisElements); undo puts the mask back exactly as
// it was, so undoing a paste leaves nothing of it in the document. The
// elements are copied at once. idMap (when given) receives the merge's id
// renames at the first redo, which runs inside the push.
class AxisMergeCommand : public QUndoCommand {
public:
    AxisMergeCommand(DashConfig* config, int page, int mask, const std::vector<pugi::xml_node>& axes,
                     QHash<QString, QString>* idMap = nullptr, QUndoCommand* parent = nullptr);

    void undo() override;
    void redo() override;

private:
    DashConfig* m_config;
    int m_page;
    int m_mask;
    pugi::xml_document m_axes;
    MaskSnapshot m_before;
    QHash<QString, QString>* m_idMapTarget;
    bool m_merged = false;
};
