#include "editing/ReplaceArtworkCommand.h"

#include "artwork/ArtworkApplyResult.h"
#include "model/DashConfig.h"

#include <QCoreApplication>
#include <QDebug>

ReplaceArtworkCommand::ReplaceArtworkCommand(DashConfig* config, int page, int mask, const QString& sourcePath,
                                             bool scaleToSize, QString* errorTarget, QString* noticeTarget,
                                             QList<ArtworkBackup>* backupsTarget)
    : QUndoCommand()
    , m_config(config)
    , m_page(page)
    , m_mask(mask)
    , m_sourcePath(sourcePath)
    , m_scaleToSize(scaleToSize)
    , m_errorTarget(errorTarget)
    , m_noticeTarget(noticeTarget)
    , m_backupsTarget(backupsTarget)
{
    setText(QCoreApplication::translate("ReplaceArtworkCommand", "Replace artwork"));
}

ReplaceArtworkCommand::~ReplaceArtworkCommand() = default;

void ReplaceArtworkCommand::redo()
{
    if (!m_config) {
        setObsolete(true);
        return;
    }
    // A redo writes what the first run wrote, kept beside its backups: the
    // source folder may have changed or gone since.
    if (m_done) {
        QString error;
        if (!m_config->reapplyArtwork(m_page, m_mask, m_backups, m_relPath, &error))
            qWarning().noquote() << "[ReplaceArtwork] could not re-apply the artwork:" << error;
        return;
    }
    const ArtworkParams params = m_config->captureArtworkParams(m_page, m_mask);
    ArtworkApplyResult result;
    QString error;
    if (m_config->applyArtwork(m_page, m_mask, m_sourcePath, m_scaleToSize, &result, &error)) {
        m_params = params;
        m_backups = result.backups;
        m_relPath = result.relPath;
        m_done = true;
        if (m_errorTarget)
            m_errorTarget->clear();
        if (m_noticeTarget)
            m_noticeTarget->clear();
        if (m_backupsTarget)
            *m_backupsTarget = m_backups;
        m_errorTarget = nullptr;
        m_noticeTarget = nullptr;
        m_backupsTarget = nullptr;
        return;
    }
    if (m_errorTarget)
        *m_errorTarget = error;
    m_errorTarget = nullptr;
    m_noticeTarget = nullptr;
    m_backupsTarget = nullptr;
    setObsolete(true);
}

void ReplaceArtworkCommand::undo()
{
    if (!m_config || !m_done)
        return;
    QString error;
    if (!m_config->restoreReplacedArtwork(m_backups, &error))
        qWarning().noquote() << "[ReplaceArtwork] could not fully restore the original artwork:" << error;
    m_config->restoreArtworkProps(m_page, m_mask, m_params);
}
