#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Folders and files an art writer creates in the installs, noted as it
// creates them, so that a write that fails part way, or a step refused right
// after it wrote, removes them again; art a step wrote stays otherwise. Each
// file is noted with what it held when its writer was done (size and hash):
// only a file that still holds exactly that is removed, and only a folder
// this writer created that is then empty.
class MadeArtFolders {
public:
    // Creates the folder with its parents; each of them that this call
    // created is noted. Only what it made itself is noted: a name something
    // already has (a link pointing nowhere too) is never taken for missing.
    // False when the folder cannot be made.
    bool make(const QString& folder);
    // Notes a file about to be written, unless something has its name
    // already (a link pointing nowhere too). What it holds is noted by seal().
    void noteNewFile(const QString& file);
    // Notes a file or folder the caller has just created: a file with what
    // it holds now, a folder with everything in it.
    void noteCreated(const QString& path);
    // Takes over what another writer made.
    void add(const MadeArtFolders& other);
    // The writer is done: what the folders it made hold now, and the files
    // it noted as about to be written, are noted with their content.
    void seal();
    // Removes, the latest first, each noted file that still holds what was
    // noted, then each noted folder that is then empty, the deepest first;
    // forgets everything. Never follows a link.
    void takeBack();
    // Right after a failed write: seal(), then takeBack().
    void removeAll();
    // Nothing made is noted.
    bool isEmpty() const { return m_made.isEmpty(); }

private:
    enum class Kind { Folder, File, Pending };
    struct Made {
        QString path;
        Kind kind = Kind::Pending;
        qint64 size = -1;
        QByteArray hash;
    };
    bool notes(const QString& path) const;
    void noteFile(const QString& path);
    void noteTree(const QString& folder);

    QList<Made> m_made;
};
