#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

// Install folders the editor changes in place, each as it was the first time
// it was written after the last save. Artwork replacement writes into the
// item the configuration points at (its undo and redo write there again);
// every other art writer makes a folder of its own per state. So these
// folders are all Discard has to put back for the saved configuration to find
// its files as they were, also when the history no longer reaches the saved
// step.
class SavedArtFolders {
public:
    // Called before names are written into (or deleted from) folder: the
    // first call since forget() keeps the folder's files; every call notes
    // the names.
    void aboutToWrite(const QString& folder, const QStringList& names);
    // The installs as they are now are the saved state (a load or a save).
    void forget();
    // Every kept folder gets its kept files back, and the noted names it did
    // not have then are removed. Goes on after a failure; true when all is
    // back (and nothing is kept any more), else *error holds the last failure.
    // A noted name stays in a folder that `taken` says another writer took
    // since (its file may point at what is there now).
    bool putBack(QString* error = nullptr, const std::function<bool(const QString& folder)>& taken = {});
    // The folders kept since the last save.
    QStringList folders() const { return m_folders.keys(); }

private:
    struct Folder {
        QHash<QString, QByteArray> files; // name -> bytes as kept
        QSet<QString> written;            // names written since
    };
    QHash<QString, Folder> m_folders;
};
