#pragma once

#include <QString>
#include <QStringList>

// Folders and files an art writer creates in the installs, noted as it
// creates them, so that a write that fails part way, or a command refused
// after its art was written, takes them away again: the installs are left as
// they were, with no set nobody points at.
class MadeArtFolders {
public:
    // Creates the folder with its parents; the first of them that this call
    // created is noted. Only what it made itself is noted: a name something
    // already has (a link pointing nowhere too) is never taken for missing.
    // False when the folder cannot be made.
    bool make(const QString& folder);
    // Notes a file about to be written, unless something has its name
    // already (a link pointing nowhere too).
    void noteNewFile(const QString& file);
    // Notes a file or folder the caller has just created.
    void noteCreated(const QString& path);
    // Takes over what another writer made.
    void add(const MadeArtFolders& other);
    // Removes everything noted, the latest first, and forgets it.
    void removeAll();
    bool isEmpty() const { return m_made.isEmpty(); }

private:
    QStringList m_made;
};
