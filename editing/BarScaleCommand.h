#pragma once

#include "model/DashConfig.h"

#include <QUndoCommand>
#include <pugixml.hpp>

#include <vector>

// Sets the scale range or one end of it, or shows or hides the zero mark,
// of the selected bar and the bars of its group (DashConfig::setBarScaleRange,
// setBarScaleEnd, setBarZeroMark); with no widget selected, of every bar of
// the mask. Each redo keeps copies of the scales it may change; undo
// puts them back as that redo found them. A first redo that changes nothing
// marks the command obsolete, so the stack drops it; the creator learns the
// outcome through `applied`, which must outlive the push.
class BarScaleCommand : public QUndoCommand {
public:
    // What one edit writes.
    struct Change {
        enum Kind { Range, End, ZeroMark };
        Kind kind = Range;
        double min = 0.0;
        double max = 0.0;
        DashConfig::BarScaleEnd end = DashConfig::BarScaleEnd::Max; // End: the value is min or max
        bool zeroMark = false;

        static Change range(double min, double max) { return {Range, min, max}; }
        static Change oneEnd(DashConfig::BarScaleEnd end, double value) { return {End, value, value, end}; }
        static Change mark(bool on) { return {ZeroMark, 0.0, 0.0, DashConfig::BarScaleEnd::Max, on}; }
    };
    // The change written to the mask's bars in scope, without undo; what the
    // setter reports.
    static bool apply(pugi::xml_node maskNode, const Change& change, pugi::xml_node selected);

    BarScaleCommand(DashConfig* config, int page, int mask, int widget, const Change& change,
                    bool* applied = nullptr);
    // The range min..max.
    BarScaleCommand(DashConfig* config, int page, int mask, int widget, double min, double max,
                    bool* applied = nullptr);

    void undo() override;
    void redo() override;

private:
    pugi::xml_node maskNode() const;
    pugi::xml_node selectedNode() const;
    std::vector<pugi::xml_node> scalesInScope() const;
    bool write();

    DashConfig* m_config;
    int m_page;
    int m_mask;
    int m_widget;
    Change m_change;
    bool* m_applied;
    bool m_firstRedo = true;
    bool m_done = false;
    pugi::xml_document m_before; // the scales in scope, in document order
};
