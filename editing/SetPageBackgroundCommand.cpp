#include "editing/SetPageBackgroundCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>
#include <QStringList>

SetPageBackgroundCommand::SetPageBackgroundCommand(DashConfig* config, int page, const QString& imagePath,
                                                   QString* errorTarget)
    : QUndoCommand()
    , m_config(config)
    , m_page(page)
    , m_imagePath(imagePath)
    , m_errorTarget(errorTarget)
{
    setText(QCoreApplication::translate("SetPageBackgroundCommand", "Set page background"));
}

SetPageBackgroundCommand::~SetPageBackgroundCommand() = default;

void SetPageBackgroundCommand::redo()
{
    if (!m_config)
        return;
    if (m_done) {
        m_config->setPageImagePaths(m_page, {m_newImage, m_newPreview, m_newSfondo});
        return;
    }
    QStringList old;
    if (!m_config->setPageBackground(m_page, m_imagePath, &old, &m_error)) {
        if (m_errorTarget)
            *m_errorTarget = m_error;
        m_errorTarget = nullptr;
        setObsolete(true);
        return;
    }
    m_oldImage = old.value(0);
    m_oldPreview = old.value(1);
    m_oldSfondo = old.value(2);
    const QStringList fresh = m_config->pageImagePaths(m_page);
    m_newImage = fresh.value(0);
    m_newPreview = fresh.value(1);
    m_newSfondo = fresh.value(2);
    m_done = true;
    m_error.clear();
    if (m_errorTarget)
        m_errorTarget->clear();
    m_errorTarget = nullptr;
}

void SetPageBackgroundCommand::undo()
{
    if (!m_config || !m_done)
        return;
    m_config->setPageImagePaths(m_page, {m_oldImage, m_oldPreview, m_oldSfondo});
}
