#pragma once

#include "editing/ReplayedPageCommand.h"

#include <QString>

class DashConfig;

// Adds a page built from a page template folder (the add-page dialog). The
// first redo reads the template and keeps a copy of the page it built; later
// redos put that copy back without reading the template again. A failed
// first redo leaves no undo step.
class InsertPageCommand : public ReplayedPageCommand {
public:
    // relFolder: the template's folder relative to the RS3 root (empty or
    // ending in '/'). createdPage (when given) receives the new page's
    // position, or -1, at the first redo, which runs inside the push: the
    // stack deletes a failed command there, so the creator reads its own
    // int, never the command.
    InsertPageCommand(DashConfig* config, const QString& folder, const QString& name, const QString& relFolder,
                      int* createdPage = nullptr, QUndoCommand* parent = nullptr);
    ~InsertPageCommand() override;

private:
    int build() override;

    QString m_folder;
    QString m_name;
    QString m_relFolder;
};
