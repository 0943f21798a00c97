#pragma once

#include <QHash>
#include <QString>
#include <QUndoCommand>
#include <pugixml.hpp>

class DashConfig;

// Adds a copy of one widget element to a mask (paste, duplicate widget),
// shifted by (dx, dy); undo removes it again. Every redo inserts a fresh copy
// of the element the command keeps.
class WidgetAddCommand : public QUndoCommand {
public:
    // The widget is copied at once; the caller's node is never touched. The
    // text is "Add widget" when none is given.
    WidgetAddCommand(DashConfig* config, int page, int mask, int dx, int dy, pugi::xml_node widget,
                     const QString& text = QString(), QUndoCommand* parent = nullptr);
    ~WidgetAddCommand() override;

    void undo() override;
    void redo() override;

    // Points the kept copy's channel reference (its first AXIS_REF) at the id
    // the paste merge gave that channel element in the target mask. Only the
    // copy changes: the clipboard keeps its own ids for the next paste.
    void remapAxisRef(const QHash<QString, QString>& idMap);

    // The index the last redo gave the widget; -1 before the first redo, when
    // it failed, and after an undo.
    int createdIndex() const { return m_created; }

private:
    DashConfig* m_config;
    int m_page;
    int m_mask;
    int m_dx;
    int m_dy;
    pugi::xml_document m_widget;
    int m_created = -1;
};
