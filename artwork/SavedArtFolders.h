#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

// Install folders the editor changes in place, each file as it was the first
// time it was written after the last save. Artwork replacement writes into
// the item the configuration points at (its undo and redo write there again);
// every other art writer makes a folder of its own per state. So these files
// are all Discard has to put back for the saved configuration to find them as
// they were, also when the history no longer reaches the saved step. Nothing
// is ever removed: a name written since stays, as all art the editor wrote.
class SavedArtFolders {
public:
    // Called before names are written into (or deleted from) folder: each
    // of them that is there is kept as it is, the first time since forget().
    void aboutToWrite(const QString& folder, const QStringList& names);
    // The installs as they are now are the saved state (a load or a save).
    void forget();
    // Every kept file gets its kept bytes back. Goes on after a failure;
    // true when all is back (and nothing is kept any more), else *error
    // holds the last failure.
    bool putBack(QString* error = nullptr);
    // The folders kept since the last save.
    QStringList folders() const { return m_folders.keys(); }

private:
    // name -> bytes as kept, by folder
    QHash<QString, QHash<QString, QByteArray>> m_folders;
};
