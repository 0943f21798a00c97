#pragma once

#include <QUndoCommand>
#include <pugixml.hpp>

#include <vector>

class DashConfig;

// Sets the scale range, or shows or hides the zero mark, of the selected
// bar and the bars of its group (DashConfig::setBarScaleRange,
// setBarZeroMark); with no widget selected, of every bar of the mask. The
// first redo keeps copies of the scales it may change; undo puts them back
// as they were written. A first redo that changes nothing marks the command
// obsolete, so the stack drops it; the creator learns the outcome through
// `applied`, which must outlive the push.
class BarScaleCommand : public QUndoCommand {
public:
    // The range min..max.
    BarScaleCommand(DashConfig* config, int page, int mask, int widget, double min, double max,
                    bool* applied = nullptr);
    // The zero mark on or off.
    BarScaleCommand(DashConfig* config, int page, int mask, int widget, bool zeroMark, bool* applied = nullptr);

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
    bool m_zeroMarkEdit;
    double m_min = 0.0;
    double m_max = 0.0;
    bool m_zeroMark = false;
    bool* m_applied;
    bool m_firstRedo = true;
    bool m_done = false;
    pugi::xml_document m_before; // the scales in scope, in document order
};
