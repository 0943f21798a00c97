#pragma once

#include "editing/ReplayedPageCommand.h"

#include <QString>

class DashConfig;

// Adds a blank page ("New Page", "Duplicate Page"). The first redo builds the
// page and keeps a copy of it; later redos put that copy back, so a redo
// brings back the identical page. A failed first redo leaves no undo step.
class NewPageCommand : public ReplayedPageCommand {
public:
    // createdPage (when given) receives the new page's index, or -1, at the
    // first redo, which runs inside the push: the stack deletes a failed
    // command there, so the creator reads its own int, never the command.
    NewPageCommand(DashConfig* config, const QString& name, int* createdPage = nullptr,
                   QUndoCommand* parent = nullptr);
    ~NewPageCommand() override;

private:
    int build() override;

    QString m_name;
};
