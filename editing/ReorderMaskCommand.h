#pragma once

#include <QString>
#include <QUndoCommand>
#include <vector>

class DashConfig;

// Moves one mask to another place in its page's drawing order and numbers
// ORDINE anew; undo moves it back and restores the exact earlier ORDINE
// values.
class ReorderMaskCommand : public QUndoCommand {
public:
    ReorderMaskCommand(DashConfig* config, int page, int from, int to, const QString& text,
                       QUndoCommand* parent = nullptr);
    ~ReorderMaskCommand() override;

    void undo() override;
    void redo() override;

    // Moves the mask at `from` to `to` in the list and in the XML; with
    // `renumber`, ORDINE follows the new order. False when nothing moved.
    bool moveMask(int from, int to, bool renumber);

private:
    DashConfig* m_config;
    int m_page;
    int m_from;
    int m_to;
    std::vector<int> m_orders; // every mask's ORDINE (-1: none), taken at construction
    bool m_firstRedo = true;
    bool m_done = false;
};
