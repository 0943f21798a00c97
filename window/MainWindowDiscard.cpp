// Discard on close or on opening another file: the edits of the session are
// written into the installs and the sidecars as they are made, so dropping
// the document alone would leave them there. The window first takes the
// configuration back to its last save: the sidecars as they were kept then,
// and the install folders changed in place since (the configuration's
// savedArt).
#include "window/MainWindow.h"

#include "model/SafeWrite.h"

#include <QDebug>
#include <QFile>
#include <QUndoStack>

void MainWindow::keepSavedSidecars()
{
    config.savedArt.forget();
    savedSidecars.clear();
    for (const QString& path : config.sidecarPaths()) {
        if (path.isEmpty())
            continue;
        KeptFile kept;
        kept.path = path;
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            kept.existed = true;
            kept.bytes = file.readAll();
        }
        savedSidecars.append(kept);
    }
}

namespace {

// Puts one sidecar back as it was kept; a file that was not there goes.
void putBack(const QString& path, bool existed, const QByteArray& bytes)
{
    QFile current(path);
    if (!existed) {
        if (current.exists() && !current.remove())
            qWarning() << "discardToSavedState: could not remove" << path << current.errorString();
        return;
    }
    if (current.open(QIODevice::ReadOnly) && current.readAll() == bytes)
        return;
    current.close();
    // The write helper logs the system's reason when it fails.
    writeFileSafely(path, bytes);
}

} // namespace

// Every command puts back what it wrote (art parameters, replaced art,
// sidecar records), and art made from a record gets a folder per page, mask
// and state, never drawn over. Stepping the history back to the saved step
// therefore restores the installs; when it no longer reaches that step (undo
// past the save, then a new edit), the folders written in place since the
// save are put back from what the configuration kept of them. The sidecars
// then get their saved bytes, which also covers the few writes kept outside
// the history (the icon preview).
void MainWindow::discardToSavedState()
{
    if (undoStack->cleanIndex() >= 0 && undoStack->index() != undoStack->cleanIndex())
        undoStack->setIndex(undoStack->cleanIndex());
    QString error;
    if (!config.savedArt.putBack(&error))
        qWarning().noquote() << "discardToSavedState: an artwork folder is not as saved:" << error;
    for (const KeptFile& kept : savedSidecars)
        putBack(kept.path, kept.existed, kept.bytes);
}
