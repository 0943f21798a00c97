#pragma once

#include <QUndoCommand>
#include <pugixml.hpp>

class DashConfig;

// Deletes one widget of a mask; undo puts back a copy of it, taken as the
// last redo took the widget away, at the widget's old index.
class WidgetDeleteCommand : public QUndoCommand {
public:
    WidgetDeleteCommand(DashConfig* config, int page, int mask, int widget, QUndoCommand* parent = nullptr);
    ~WidgetDeleteCommand() override;

    void undo() override;
    void redo() override;

private:
    DashConfig* m_config;
    int m_page;
    int m_mask;
    int m_widget;
    pugi::xml_document m_saved; // empty when the widget did not exist
    int m_elementPosition = -1; // among all the mask's elements, channels included
    bool m_firstRedo = true;
    bool m_done = false;
};
