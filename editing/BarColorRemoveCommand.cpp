#include "editing/BarColorRemoveCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

BarColorRemoveCommand::BarColorRemoveCommand(DashConfig* config, int page, int mask)
    : QUndoCommand()
    , m_config(config)
    , m_page(page)
    , m_mask(mask)
{
    setText(QCoreApplication::translate("BarColorRemoveCommand", "Remove bar color"));
}

BarColorRemoveCommand::~BarColorRemoveCommand() = default;

void BarColorRemoveCommand::redo()
{
    if (!m_config)
        return;
    if (!m_taken) {
        m_snapshot = m_config->barColorSnapshot(m_page, m_mask);
        m_taken = true;
    }
    if (m_snapshot.originalPathRel.empty()) {
        m_result = false;
        return;
    }
    BarColorSnapshot stock;
    stock.pathRel = m_snapshot.originalPathRel;
    stock.pathImage = m_snapshot.pathImage;
    stock.pathImgOn = m_snapshot.pathImgOn;
    stock.barGeometry = m_snapshot.originalCoords;
    m_result = m_config->restoreBarArtwork(m_page, m_mask, stock);
}

void BarColorRemoveCommand::undo()
{
    if (!m_config || !m_taken || !m_result)
        return;
    m_config->restoreBarArtwork(m_page, m_mask, m_snapshot);
}
