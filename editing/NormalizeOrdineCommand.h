#pragma once

#include <QString>
#include <QUndoCommand>
#include <vector>

class DashConfig;

// Numbers a page's masks 1..n by ORDINE in their drawing order; undo puts the
// earlier values back.
class NormalizeOrdineCommand : public QUndoCommand {
public:
    NormalizeOrdineCommand(DashConfig* config, int page, const QString& text, QUndoCommand* parent = nullptr);
    ~NormalizeOrdineCommand() override;

    void undo() override;
    void redo() override;

private:
    DashConfig* m_config;
    int m_page;
    std::vector<int> m_orders; // every mask's ORDINE (-1: none), taken at construction
    bool m_firstRedo = true;
    bool m_done = false;
};
