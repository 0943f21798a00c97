#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// What FolderCopy's copies, removals and reads stand on: an entry of a
// folder as it is on the disk (a link is a link, never what it leads to),
// and, on Unix, the descriptor-relative look-ups the walks go by, so a
// folder swapped for a link after it was looked at is never walked into.
namespace FileEntries {

enum class Kind { Missing, Regular, Folder, Link, Other };

// What path is, without following a link at its end; `reason` gets the
// system's reason when it cannot be looked at.
Kind kindOf(const QString& path, QString* reason = nullptr);
// Creates one folder; false with the reason.
bool makeFolder(const QString& path, QString* reason);
// The most bytes one name may take on the disk, and what we add to a name
// the user gives at most (".incoming-xxxxxxxx", ".zconf2.tmp", a staging
// dot and the like).
constexpr int kMaxNameBytes = 255;
constexpr int kAddedNameBytes = 32;
// True when name, with `added` bytes more, fits one name on the disk.
bool nameFits(const QString& name, int added = kAddedNameBytes);
// A name beside target ("<target>.<tag>-xxxxxxxx", hidden: ".<name>.<tag>-
// xxxxxxxx") that nothing uses yet; empty, with the reason, when none can be
// had (a name too long for the file system, a folder that cannot be
// looked at): the search always ends.
QString besideName(const QString& target, const char* tag, QString* reason = nullptr, bool hidden = false);
// Removes a file or a link (never what it leads to, never a folder); true
// when nothing is left at path.
bool removeFile(const QString& path, QString* reason);
// Renames from to to; a link at to is replaced, never written through.
bool renameEntry(const QString& from, const QString& to, QString* reason);
// Removes an empty folder, never a link nor a folder with anything in it.
bool removeEmptyFolder(const QString& path, QString* reason);
// Creates path and the parents it lacks, each with the reason it could not
// be made.
bool makePath(const QString& path, QString* error);
// The one rule for a folder the user points the editor at, or keeps where
// the editor expects one: an install root, its user/cfgs and the cfg_*
// folders in it, the data folder, the templates store, a configuration's
// folder. A link there is how the user keeps that folder elsewhere (a sync
// folder, another disk), so it is followed as that folder. Below it nothing
// is: walks go to a fixed depth and never into a link to a folder, and files
// are read and written only as plain files, never through a link, never
// waiting on a pipe. A refusal names what it leaves.
enum class Kept {
    Folder,  // a folder, or a link to one: taken as that folder
    Missing, // nothing there: it may be made
    Refused, // something else (a file, a pipe, a link to one or to nothing)
};
Kept keptFolder(const QString& path, QString* refusal = nullptr);
// The same for a kept folder some steps below another (an install's
// user/cfgs): each step may be kept through a link, followed only when it
// leads to a folder. Missing when a step is missing; refused, naming it,
// when a step is something else.
Kept keptFolderBelow(const QString& base, const QStringList& steps, QString* refusal = nullptr);
// The kept folder path, made (with the parents it lacks) when missing.
bool makeKeptFolder(const QString& path, QString* error);
// Entries of a folder as they are on the disk: links (working or not),
// devices and hidden names too, so that nothing is copied unseen.
QStringList entriesOf(const QString& folder);
// Why a file of the program's own (a list, a ledger, their locks) cannot be
// at path: something other than a plain file is there, the user's or
// someone's, never written through nor waited on. Empty when nothing or a
// plain file is there.
QString notPlainFile(const QString& path);

// For tests: called with a folder a walk has looked at, before it opens it.
std::function<void(const QString&)>& walkHook();
void beforeWalkingInto(const QString& folder);

#ifdef Q_OS_UNIX
QByteArray encoded(const QString& path);
QString systemReason(int error);
// A regular file opened for reading, never through a link and never
// blocking on a pipe; -1 (with the reason) for anything else.
int openRegularAt(int dir, const QByteArray& name, qint64* size, QString* reason);
int openRegular(const QString& path, qint64* size, QString* reason);
// The same for a file the user named (an archive chosen in a dialog): a
// link there is followed, a pipe or a device still refused unopened.
int openChosenRegular(const QString& path, qint64* size, QString* reason);
// A regular file opened to be written anew (created when missing, emptied
// when there), never through a link and never blocking on a pipe; -1 (with
// the reason) for anything else.
int openForWrite(const QString& path, QString* reason);
// A regular file opened to append to (created when missing), never through
// a link and never blocking on a pipe; -1 (with the reason) for anything else.
int openForAppend(const QString& path, QString* reason);
// A folder opened from its parent's descriptor, never through a link.
int openFolderAt(int parent, const QByteArray& name);
Kind kindAt(int parent, const QByteArray& name, QString* reason = nullptr);
// The names in the folder open at dir (the descriptor stays the caller's),
// in byte order; false when it cannot be read.
bool namesAt(int dir, std::vector<QByteArray>* names);
bool readWhole(int fd, char* data, qint64 size);
#endif

} // namespace FileEntries
