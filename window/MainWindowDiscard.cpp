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
#include <QFileInfo>
#include <QUndoStack>

namespace {

// Something at the name, also a link whose target is gone.
bool present(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool readWhole(const QString& path, QByteArray* bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

// Puts one sidecar the configuration wrote since the save back as it was
// kept; a file that was not there goes. One it did not write is someone
// else's since (records copied in, a hand edit) and stays. A store that could
// not be read, then or now, is left as it is: its records are unknown, so
// neither removing nor rewriting it can be right.
void putBack(const DashConfig& config, const QString& path, bool existed, bool unreadable, const QByteArray& bytes)
{
    if (unreadable || !config.sidecarsWritten.contains(path))
        return;
    const QString failure = config.sidecarReadFailureAt(path);
    if (!failure.isEmpty()) {
        qWarning().noquote() << "discardToSavedState: left" << failure;
        return;
    }
    QByteArray now;
    const bool there = present(path);
    if (there && !readWhole(path, &now)) {
        qWarning().noquote() << "discardToSavedState: left" << path << "that cannot be read";
        return;
    }
    if (!existed) {
        QFile current(path);
        if (there && !current.remove())
            qWarning() << "discardToSavedState: could not remove" << path << current.errorString();
        return;
    }
    if (there && now == bytes)
        return;
    // The write helper logs the system's reason when it fails.
    writeFileSafely(path, bytes);
}

} // namespace

void MainWindow::keepSavedSidecars()
{
    config.savedArt.forget();
    config.sidecarsWritten.clear();
    savedSidecars.clear();
    for (const QString& path : config.sidecarPaths()) {
        if (path.isEmpty())
            continue;
        KeptFile kept;
        kept.path = path;
        kept.existed = present(path);
        kept.unreadable = kept.existed && !readWhole(path, &kept.bytes);
        savedSidecars.append(kept);
    }
}

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
        putBack(config, kept.path, kept.existed, kept.unreadable, kept.bytes);
}
