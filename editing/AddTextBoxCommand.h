#pragma once

#include "model/MaskRecords.h"

#include <QString>
#include <QUndoCommand>

class DashConfig;

// Adds a text: a Label in an existing mask, or a new small mask holding one
// Label ("Add Text Box"). The creator fills the command with one of the two
// setters before pushing it. Every redo adds afresh; undo removes what the
// last redo added. A failed first redo leaves no undo step.
class AddTextBoxCommand : public QUndoCommand {
public:
    AddTextBoxCommand();
    ~AddTextBoxCommand() override;

    // A Label with the text "Label" at (x, y) in the mask.
    void addToMask(DashConfig* config, int page, int mask, int x, int y);
    // A new mask at (x, y) on the page holding one Label with the text.
    void addAsNewMask(DashConfig* config, int page, int x, int y, const QString& text);
    // Receives the created widget's (into a mask) or mask's index, or -1, at
    // the first redo, which runs inside the push.
    void setResultTarget(int* created) { m_createdTarget = created; }

    void undo() override;
    void redo() override;

private:
    DashConfig* m_config = nullptr;
    int m_page = -1;
    bool m_intoMask = false;
    int m_mask = -1;
    int m_x = 0;
    int m_y = 0;
    int m_createdWidget = -1;
    int m_pageX = 0;
    int m_pageY = 0;
    int m_createdMask = -1;
    MaskRecords m_stale; // what the stores held under the new mask's keys
    QString m_text;
    int* m_createdTarget = nullptr;
    bool m_firstRedo = true;
};
