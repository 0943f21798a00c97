// Discard on close or on opening another file: the edits of the session are
// written into the sidecars as they are made, so dropping the document alone
// would leave them there. The window first takes the configuration back to
// its last save: each record it wrote in the sidecars back to its saved
// value, and the files changed in place since (the configuration's artState).
// Art the edits wrote into folders of their own stays in the installs.
#include "window/MainWindow.h"

#include <QDebug>
#include <QUndoStack>

void MainWindow::keepSavedArt()
{
    config.artState.savedArt.forget();
}

// Every command puts back what it wrote (art parameters, replaced art,
// sidecar records), and art made from a record gets a folder per page, mask
// and state, never drawn over and never removed. Stepping the history back
// to the saved step therefore gives the saved file what it showed; when it
// no longer reaches that step (undo past the save, then a new edit), the
// files written in place since the save are put back from what the
// configuration kept of them. The records
// the configuration wrote then get their saved values, which also covers the
// few writes kept outside the history (the icon preview); records it did not
// write (copied in beside the file, added by hand) stay.
void MainWindow::discardToSavedState()
{
    if (undoStack->cleanIndex() >= 0 && undoStack->index() != undoStack->cleanIndex())
        undoStack->setIndex(undoStack->cleanIndex());
    QString error;
    if (!config.artState.savedArt.putBack(&error))
        qWarning().noquote() << "discardToSavedState: an artwork folder is not as saved:" << error;
    if (!config.putBackSavedSidecars(&error))
        qWarning().noquote() << "discardToSavedState: a record store is not as saved:" << error;
}
