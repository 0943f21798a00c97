#pragma once

#include "artwork/SavedArtFolders.h"

#include <QString>
#include <QStringList>

#include <functional>

class FolderCopy;

// What a window's configuration did to the installs' art while it is open:
// what its copies and drawings left (notes), the copies of a repair run in
// progress, and the folders it changed in place since the last save.
//
// Art an edit writes stays in the installs: undo and redo only point the
// element at the art of the other state, and nothing the editor does when a
// step is undone, a file is discarded or closed removes it. So no reader of
// it (another window, the widget clipboard, a copy of the file, another
// account) is ever left pointing at nothing. Folder names follow what they
// hold, so a folder's files never change once written under its name.
class ArtState {
public:
    // What the art copies and drawings between the installs skipped or could
    // not write (a link, a folder that is there partly, a failed write), one
    // line each with its reason; said once by the open or the refresh.
    QStringList notes;
    // The copies of a repair run while it runs, so that the box art written
    // along the way is flushed with them, once.
    FolderCopy* copies = nullptr;
    // Install folders changed in place since the last save (artwork
    // replacement, pictures added beside an item), as they were then.
    SavedArtFolders savedArt;
    // Told, page by page, how far the open-time repair of the art has come
    // (steps done, steps), so a window can say what a long open does.
    std::function<void(int, int)> repairProgress;
};
