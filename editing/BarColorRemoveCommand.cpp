#include "editing/BarColorRemoveCommand.h"

#include "artwork/BoxArtProps.h"
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
        const ColouredBar bar = m_config->colouredBar(m_page, m_mask);
        // Pasted pictures would be lost with the coloured art that holds them.
        if (bar.coloured && !bar.pasted)
            m_origin = bar.origin.toStdString();
        m_taken = true;
    }
    // The window steps back over an undo that left the bar stock.
    if (std::exchange(m_undoRefused, false))
        return;
    m_result = false;
    if (!m_origin.empty()) {
        BarColorSnapshot stock;
        stock.pathRel = m_origin;
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
    // The stock art at the size the bar has now, as a resize fits it.
    m_fitted = false;
    if (m_result) {
        if (const MaskElement* m = m_config->maskAt(m_page, m_mask))
            m_beforeFit = BoxStyleSnapshot::readFromMask(m->node);
        m_fitted = m_config->fitMaskArtToGeometry(m_page, m_mask) == 1;
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
    const MaskElement* m = m_config->maskAt(m_page, m_mask);
    const BoxStyleSnapshot fitted = m ? BoxStyleSnapshot::readFromMask(m->node) : BoxStyleSnapshot();
    if (m_fitted && m)
        writeBoxArtProps(m->node, m_beforeFit);
    m_undoRefused = !m_config->restoreBarArtwork(m_page, m_mask, m_snapshot);
    if (m_undoRefused) {
        // The bar stays as the step left it, fitted art and all.
        if (m_fitted && (m = m_config->maskAt(m_page, m_mask)))
            writeBoxArtProps(m->node, fitted);
        m_config->refusedStep = m_config->sidecarFailure;
    }
}
