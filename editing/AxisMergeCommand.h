#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QUndoCommand>
#include <pugixml.hpp>

#include <vector>

class DashConfig;

// Brings the channel elements that pasted widgets refer to into the target
// mask (DashConfig::mergeAxisElements). Undo takes out exactly the elements
// the merge added, as they then stand, and puts back the ones it replaced;
// redo brings back those same elements (same ids, same channel) in their
// places. Everything else in the mask stays as later edits left it: a
// rebind or a font change made after the paste is not the paste's to undo.
// idMap (when given) receives the merge's id renames at the first redo,
// which runs inside the push.
class AxisMergeCommand : public QUndoCommand {
public:
    AxisMergeCommand(DashConfig* config, int page, int mask, const std::vector<pugi::xml_node>& axes,
                     QHash<QString, QString>* idMap = nullptr, QUndoCommand* parent = nullptr);

    void undo() override;
    void redo() override;

private:
    // Elements of one side of the swap, each with its place among the
    // mask's elements as it was when taken out.
    struct Kept {
        pugi::xml_document elements;
        std::vector<int> places;
    };

    void firstMerge();
    // Takes the channel elements named `ids` out of the mask into `into`,
    // as they stand now; puts `back` in where its elements were.
    bool swap(const QStringList& ids, Kept& into, Kept& back);

    DashConfig* m_config;
    int m_page;
    int m_mask;
    pugi::xml_document m_axes;
    QHash<QString, QString>* m_idMapTarget;
    QStringList m_addedIds;    // the merge's own elements (new or in place of an unbound one)
    QStringList m_replacedIds; // the unbound elements it replaced
    Kept m_added;              // the merge's elements while undone
    Kept m_replaced;           // the replaced elements while merged
    bool m_firstRedo = true;
    bool m_merged = false;
};
