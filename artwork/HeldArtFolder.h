#pragma once

#include <QString>
#include <QStringList>

class FolderCopy;
class MadeArtFolders;
class QImage;
class SavedArtFolders;

// Where an editor-made art folder (a box item, a coloured bar's item) is
// among the RaceStudio 3 installs that have its device. A folder an install
// holds is art some saved file may show: repairs copy it to the installs
// that lack it and never draw into it.
struct HeldArtFolder {
    QStringList holding; // absolute folders that hold the probe file
    QStringList lacking; // absolute folders, in installs with the device, that do not
    // Folders neither read nor written: the folder, or a folder on its path
    // inside its install, is a symbolic link. One line each, naming it.
    QStringList linked;
    QStringList lackingInstalls; // the install root of each lacking folder

    bool held() const { return !holding.isEmpty(); }
};

// rel: the install-relative folder ("aim/resources/overlay/<device>/..."),
// probe: the file whose presence makes the folder held (its picture).
HeldArtFolder heldArtFolder(const QStringList& overlayRoots, const QString& device, const QString& rel,
                            const QString& probe);

// True when every holding folder's "mask.tgz" holds the picture, as the
// device format keeps it (the picture of a box item).
bool holdsPicture(const HeldArtFolder& folder, const QImage& picture);

// Copies the first holding folder, byte for byte, into every lacking one
// that is not there at all, with its set's "AiM_folder.xml" where the set
// has none. A lacking folder that is there partly (its picture missing, the
// user's own files in it) is left as it is; links are neither followed nor
// copied (see FolderCopy). What it creates is noted in `made`. True when
// every lacking folder got its whole copy; otherwise *error says which was
// not, and why. What was skipped or left is in copies.notes(); the copies
// are flushed with `copies` (or, without it, before the return).
// `saved` is not written to: a folder an install has is never written.
bool copyHeldArtFolder(const HeldArtFolder& folder, MadeArtFolders& made, SavedArtFolders* saved,
                       QString* error = nullptr);
bool copyHeldArtFolder(const HeldArtFolder& folder, MadeArtFolders& made, FolderCopy& copies,
                       QString* error = nullptr);
