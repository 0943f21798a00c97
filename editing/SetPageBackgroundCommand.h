#pragma once

#include <QString>
#include <QUndoCommand>

class DashConfig;

// Gives a page a background picture (written into the stable RS3 install).
// The first redo writes the files; a failure hands its text to the creator's
// string and leaves no undo step. Later redos and undos only swap the page's
// three image paths.
class SetPageBackgroundCommand : public QUndoCommand {
public:
    SetPageBackgroundCommand(DashConfig* config, int page, const QString& imagePath, QString* errorTarget = nullptr);
    ~SetPageBackgroundCommand() override;

    void undo() override;
    void redo() override;

private:
    DashConfig* m_config;
    int m_page;
    QString m_imagePath;
    QString m_error;
    QString* m_errorTarget;
    bool m_done = false;
    QString m_oldImage;
    QString m_oldPreview;
    QString m_oldSfondo;
    QString m_newImage;
    QString m_newPreview;
    QString m_newSfondo;
};
