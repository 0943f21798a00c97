#include "editing/BarColorRemoveCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

#include <utility>

BarColorRemoveCommand::BarColorRemoveCommand(DashConfig* config, int page, int mask, bool* removed)
    : QUndoCommand()
    , m_config(config)
    , m_page(page)
    , m_mask(mask)
    , m_removed(removed)
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
    // The window steps back over an undo that left the bar stock.
    if (std::exchange(m_undoRefused, false))
        return;
    m_result = false;
    if (!m_snapshot.originalPathRel.empty()) {
        BarColorSnapshot stock;
        stock.pathRel = m_snapshot.originalPathRel;
        stock.pathImage = m_snapshot.pathImage;
        stock.pathImgOn = m_snapshot.pathImgOn;
        stock.pathImagePresent = m_snapshot.pathImagePresent;
        stock.pathImgOnPresent = m_snapshot.pathImgOnPresent;
        stock.barGeometry = m_snapshot.originalCoords;
        // The record stays until the save: the saved file still shows the
        // colour, and an editor that ends before the save must leave that
        // file its record. On the stock art the bar no longer fits it, so
        // nothing is drawn from it, and the save removes it.
        stock.hasRecord = m_snapshot.hasRecord;
        stock.colored = m_snapshot.colored;
        stock.redline = m_snapshot.redline;
        stock.originalPathRel = m_snapshot.originalPathRel;
        stock.originalCoords = m_snapshot.originalCoords;
        m_result = m_config->restoreBarArtwork(m_page, m_mask, stock);
    }
    if (!m_result && !m_redone)
        setObsolete(true);
    else if (!m_result)
        m_config->refusedStep = m_config->sidecarFailure;
    if (!m_redone && m_removed)
        *m_removed = m_result;
    m_redone = true;
}

void BarColorRemoveCommand::undo()
{
    if (!m_config || !m_taken || !m_result)
        return;
    m_undoRefused = !m_config->restoreBarArtwork(m_page, m_mask, m_snapshot);
    if (m_undoRefused)
        m_config->refusedStep = m_config->sidecarFailure;
}
