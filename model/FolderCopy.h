#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QFile;

// Folder copies into the RaceStudio 3 installs and the program's own
// folders, their one home. A copy only creates what its target lacks: it
// never removes, renames aside or writes over a file or folder the target
// holds, never follows a symbolic link out of the source or the target, and
// copies regular files only (a link, a device or a pipe is skipped and
// named). Files are not flushed one by one: flush(), or the destructor,
// waits for everything copied at once, so a copy of many folders does not
// hold up the window.
//
// Install art is shared by every configuration that points at it; a folder
// another install lacks may be a link to the user's own files, and a
// folder that is there partly may hold the user's own pictures and notes.
class FolderCopy {
public:
    enum class Outcome {
        Added,   // the target did not exist and now holds the copy
        Present, // the target exists (whole, partly or as a link): left as it is
        Failed,  // nothing was created; error() says why
    };

    FolderCopy() = default;
    ~FolderCopy();
    FolderCopy(const FolderCopy&) = delete;
    FolderCopy& operator=(const FolderCopy&) = delete;

    // Copies the folder source to target, which must not exist. The copy is
    // built beside target and renamed into place once complete, so a failed
    // copy leaves nothing behind. No part of target's path below `within`
    // (an install root; empty: target's own folder) may be a link. Links and
    // other non-regular entries in source are skipped and noted.
    Outcome addFolder(const QString& source, const QString& target, const QString& within = QString());

    // Copies what target (a folder, created when missing) lacks from source:
    // files and folders of names target does not hold. Held files stay as
    // they are, whatever they contain. False on the first failure.
    bool addMissing(const QString& source, const QString& target);

    // For a user's explicit overwrite only: replaces the folder target whole
    // with a copy of source. The copy is swapped in once complete; the old
    // folder (or a link in its place: the link, never what it points at) is
    // then removed.
    bool replaceFolder(const QString& source, const QString& target, const QString& within = QString());

    // Copies the regular file source to target, which must not exist (a
    // link there, even a broken one, counts as something): never over a
    // file, never through a link. False with error().
    bool addFile(const QString& source, const QString& target);

    // Keeps what the regular file source holds at target, which must not
    // exist, without writing its bytes again where the disk allows: a second
    // name of the same file (source must then only ever be replaced by a
    // rename, never written in place), else a copy. Never through a link.
    // False with error().
    bool keepFile(const QString& source, const QString& target);

    // Takes a file written elsewhere without waiting for the disk into the
    // next flush (see writeFileNoLink).
    void noteWritten(const QString& file);

    // Waits until everything copied so far is on the disk. False (with
    // error()) when the system reports a failure.
    bool flush();

    // What was skipped or left, one line each with its reason.
    const QStringList& notes() const { return m_notes; }
    // The reason of the latest failure; never empty after one.
    const QString& error() const { return m_error; }

    // Removes path: a file or link is unlinked, a folder emptied without
    // following any link in it and removed. The folders are walked by
    // descriptor: one swapped for a link while the removal runs is
    // unlinked, never walked into. True when nothing is left.
    static bool removeTree(const QString& path, QString* error = nullptr);
    // The first part of path below within that is a symbolic link (path
    // itself included); empty when there is none or path is not below it.
    static QString linkOnPath(const QString& within, const QString& path);
    // True when a folder on the way from root down to root + "/" + rel (rel
    // included) is a link: a copy must not be written through it.
    static bool linkOnTheWay(const QString& root, const QString& rel);
    // Why the folder path cannot be created, in the user's words: what is in
    // the way, or that the place cannot be written. Never empty.
    static QString whyNoFolder(const QString& path);
    // True when path is a regular file, not a link.
    static bool isRegularFile(const QString& path);
    // Reads a regular file (never through a link) of at most `bound` bytes.
    // False when it is anything else, larger, or cannot be read.
    static bool readRegularFile(const QString& path, qint64 bound, QByteArray* bytes);

    // The same, with the reason a read was refused, naming the file (as
    // SafeRead::readFile gives it, which does the read).
    static bool readRegularFile(const QString& path, qint64 bound, QByteArray* bytes, QString* error);

    // The gate's calls for one place below `within` (an install root, the
    // data folder, a configuration's folder): each is refused, with the
    // link named, when a folder on the way from within is a symbolic link.
    //
    // Creates path and the folders it lacks.
    static bool makeFolderWithin(const QString& within, const QString& path, QString* error = nullptr);
    // removeTree of path (a link there goes, never what it leads to).
    static bool removeTreeWithin(const QString& within, const QString& path, QString* error = nullptr);
    // Removes one file or link, never a folder nor what a link leads to.
    static bool removeFileWithin(const QString& within, const QString& path, QString* error = nullptr);
    // Removes a folder that is empty (anything in it keeps it), never a link.
    static bool removeEmptyFolderWithin(const QString& within, const QString& path, QString* error = nullptr);
    // Renames from to to. A folder goes only where nothing is; a file may
    // replace a file or a link at to (the link, never what it leads to).
    static bool moveWithin(const QString& within, const QString& from, const QString& to, QString* error = nullptr);
    // Opens a regular file (created when missing) to append to, never through
    // a link and never waiting on a pipe; null with the reason otherwise.
    static std::unique_ptr<QFile> openForAppend(const QString& path, QString* error = nullptr);

    // Why a name the user typed for a template, theme or configuration
    // cannot name a file or folder once the program's own suffixes are
    // added; empty when it fits.
    static QString whyNameDoesNotFit(const QString& name);

    // For tests: called with each folder a walk (a copy, a removal) has
    // looked at, before it opens it to walk in; empty: none.
    static void setWalkHookForTesting(std::function<void(const QString& folder)> hook);

private:
    bool copyTree(const QString& source, const QString& target, bool merge);
    bool copyFile(const QString& source, const QString& target);
    // The same, by the descriptors of the folders they are in (Unix).
    bool copyTreeAt(int fromDir, int toDir, const QString& source, const QString& target, bool merge);
    bool copyFileAt(int fromDir, const QByteArray& fromName, int toDir, const QByteArray& toName,
                    const QString& source, const QString& target);
    bool fail(const QString& text);
    void note(const QString& text);

    QStringList m_notes;
    QString m_error;
    QStringList m_unflushed; // folders the copies since the last flush went to
    int m_copiedFiles = 0;   // files copied since the last flush
};
