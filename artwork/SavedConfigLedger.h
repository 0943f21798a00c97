#pragma once

#include <QString>
#include <QStringList>

#include <vector>

struct DeviceFile;

// The program's own list, in its data folder, of the configuration files
// its windows saved pointing at homebrew art, wherever they lie (a folder
// of the user's, another disk): the search for who uses a template reads
// them too, so a delete or a replace never takes away what a file this
// editor saved still shows. A save of a file that points at no homebrew
// art takes it off; a file that is gone drops out at the next write. So
// the list is as long as the files it describes. Every window of every
// running editor adds to it, one writer at a time; it is only ever
// replaced whole, as a plain file of its own.
class SavedConfigLedger {
public:
    // The list file.
    static QString path();
    // Notes that `file` was just saved: listed while it points at homebrew
    // art, taken off when it does not. False (with *error) when the list
    // cannot be written.
    static bool note(const QString& file, bool pointsAtArt, QString* error = nullptr);
    // The same for a configuration just saved with these device files: it
    // points at homebrew art when any of their texts or values names the
    // homebrew set. A list that cannot be written is only logged.
    static void noteSaved(const QString& file, const std::vector<DeviceFile*>& devices);
    // The files listed, absolute and cleaned. False, with why, when
    // something is there that cannot be read whole as a plain file of this
    // kind: then a file this editor saved may go unseen.
    static bool read(QStringList& files, QString* why = nullptr);
};
