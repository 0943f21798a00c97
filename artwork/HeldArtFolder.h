#pragma once

#include <QString>
#include <QStringList>

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

    bool held() const { return !holding.isEmpty(); }
};

// rel: the install-relative folder ("aim/resources/overlay/<device>/..."),
// probe: the file whose presence makes the folder held (its picture).
HeldArtFolder heldArtFolder(const QStringList& overlayRoots, const QString& device, const QString& rel,
                            const QString& probe);

// True when every holding folder's "mask.tgz" holds the picture, as the
// device format keeps it (the picture of a box item).
bool holdsPicture(const HeldArtFolder& folder, const QImage& picture);

// Copies the first holding folder, byte for byte, into every lacking one,
// with its set's "AiM_folder.xml" where the set has none. What it creates
// is noted in `made`, and a folder that was there already is noted in
// `saved` first. True when every lacking folder got its whole copy; a failed
// copy leaves that folder as it was.
bool copyHeldArtFolder(const HeldArtFolder& folder, MadeArtFolders& made, SavedArtFolders* saved,
                       QString* error = nullptr);
