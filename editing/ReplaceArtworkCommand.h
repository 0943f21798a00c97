#pragma once

#include "artwork/ArtworkBackup.h"
#include "artwork/ArtworkParams.h"

#include <QList>
#include <QString>
#include <QUndoCommand>

class DashConfig;

// Writes a replacement artwork into every RS3 install that holds the mask's
// item ("Replace artwork"), after a dated backup of each folder (a recoloured
// bar's art goes to a folder of its own instead). Undo copies
// the backups back and puts the mask's art parameters back as they were
// before the first replacement; a later redo writes the files the first one
// wrote (kept beside the backups), never the source folder again. A failed
// first redo hands its reason to the creator and leaves no undo step.
class ReplaceArtworkCommand : public QUndoCommand {
public:
    // scaleToSize: the user accepted scaling an image of the wrong size.
    // errorTarget receives the reason of a failed first redo; both creator
    // strings are cleared on success, and backupsTarget receives the backups
    // the successful first redo took (where the user finds the old art).
    // They are written only at the first redo, inside the push.
    ReplaceArtworkCommand(DashConfig* config, int page, int mask, const QString& sourcePath, bool scaleToSize,
                          QString* errorTarget = nullptr, QString* noticeTarget = nullptr,
                          QList<ArtworkBackup>* backupsTarget = nullptr);
    ~ReplaceArtworkCommand() override;

    void undo() override;
    void redo() override;

private:
    DashConfig* m_config;
    int m_page;
    int m_mask;
    QString m_sourcePath;
    bool m_scaleToSize;
    QString* m_errorTarget;
    QString* m_noticeTarget;
    QList<ArtworkBackup>* m_backupsTarget;
    bool m_done = false; // the first replacement succeeded
    ArtworkParams m_params; // as before the first replacement
    QList<ArtworkBackup> m_backups; // of the first replacement
    QString m_relPath; // the folder it wrote
};
