#pragma once

#include "editing/PageSnapshot.h"

#include "editing/HeldXml.h"

#include <QUndoCommand>

class DashConfig;

// A command that adds one page: the first redo runs the operation (build)
// and keeps a copy of the page it made, and each undo a copy of the page it
// takes away; later redos put that copy back, so a redo brings back the
// identical page without running the operation again.
// A failed first redo leaves no undo step. The created index goes to a
// variable the creator owns, written at the first redo, which runs inside
// the push: the stack deletes a failed command there.
class ReplayedPageCommand : public QUndoCommand, public HeldXml {
public:
    ~ReplayedPageCommand() override;

    void undo() override;
    void redo() override;
    // The page while its adding is undone.
    void visitHeldXml(const HeldXmlVisitor& visit) const override;

protected:
    ReplayedPageCommand(DashConfig* config, int* createdPage, QUndoCommand* parent);

    // Runs the operation; the new page's index, or -1.
    virtual int build() = 0;

    DashConfig* m_config;

private:
    PageSnapshot m_saved; // taken at the first redo and at each undo
    int m_created = -1;
    bool m_taken = false;
    int* m_createdTarget;
    bool m_firstRedo = true;
    bool m_done = false;
};
