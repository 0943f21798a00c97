#pragma once

#include <QHash>
#include <QString>
#include <QUndoCommand>
#include <pugixml.hpp>

class DashConfig;

// Adds a copy of one widget element to a mask (paste, duplicate widget),
// shifted by (dx, dy); undo removes it again. Undo keeps the copy as it then
// stands (a rebind changes it outside the history), and redo puts that back;
// the element first made comes back only when the kept one names a channel
// element the mask no longer holds. A failed first redo leaves no undo step.
class WidgetAddCommand : public QUndoCommand {
public:
    // The widget is copied at once; the caller's node is never touched. The
    // text is "Add widget" when none is given. createdWidget (when given)
    // receives the new widget's index, or -1, at the first redo, which runs
    // inside the push: the stack deletes a failed command there, so the
    // creator reads its own int, never the command.
    WidgetAddCommand(DashConfig* config, int page, int mask, int dx, int dy, pugi::xml_node widget,
                     const QString& text = QString(), int* createdWidget = nullptr, QUndoCommand* parent = nullptr);
    ~WidgetAddCommand() override;

    void undo() override;
    void redo() override;

    // Points the kept copy's channel reference (its first AXIS_REF) at the id
    // the paste merge gave that channel element in the target mask. Only the
    // copy changes: the clipboard keeps its own ids for the next paste.
    void remapAxisRef(const QHash<QString, QString>& idMap);

private:
    bool undoneCopyFits() const;

    DashConfig* m_config;
    int m_page;
    int m_mask;
    int m_dx;
    int m_dy;
    pugi::xml_document m_widget;
    pugi::xml_document m_undone; // the copy as it stood when last undone
    int m_created = -1;
    int* m_createdTarget;
    bool m_firstRedo = true;
};
