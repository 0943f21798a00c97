#pragma once

#include <QString>

class QUndoStack;

// Opens an undo macro for one gesture and closes it when it goes out of
// scope, so an early return never leaves a macro open. A gesture that
// failed part-way calls discard(): the steps done so far are undone and the
// macro leaves the history, which then looks as it did before the gesture.
class UndoMacroGuard {
public:
    UndoMacroGuard(QUndoStack* stack, const QString& text);
    ~UndoMacroGuard();
    UndoMacroGuard(const UndoMacroGuard&) = delete;
    UndoMacroGuard& operator=(const UndoMacroGuard&) = delete;

    void discard() { m_discard = true; }

private:
    QUndoStack* m_stack;
    bool m_discard = false;
};
