#pragma once

#include "model/FileEntries.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

// Keeps one folder whole in a backup: every entry as it is on the disk,
// hidden ones too, a link as a link (never followed, never what it leads
// to). On the same disk the folder is renamed into the backup, which costs
// nothing however large it is; across disks it is copied, and only what the
// copy kept may then be removed from where it was. What cannot be kept (a
// pipe, a device, a file or folder that cannot be read) stays where it was,
// and notKept() names it.
class FolderKeep {
public:
    enum class How { None, Moved, Copied };

    // Puts source (a folder, or a link in a folder's place) at target, which
    // must not exist (its folder must): renamed, or copied whole when it
    // cannot be. A copy cut short (a full disk) removes what it made of
    // target; false with error().
    bool keep(const QString& source, const QString& target);
    // Copies source whole to target (which must not exist), leaving source
    // as it is. False with error(), nothing of target left, when cut short.
    bool copy(const QString& source, const QString& target);

    // After keep(): takes the folder back to where it was (a rename back, or
    // the copy removed). False with error() when that cannot be done.
    bool undo();
    // After keep() copied: removes from the source what the copy kept;
    // whatever it did not keep, or was added since, stays with the folders
    // on its way. True when nothing is left of the source.
    bool removeKept();

    How how() const { return m_how; }
    const QString& source() const { return m_source; }
    const QString& target() const { return m_target; }
    // What the copy left out, one line each with its reason.
    const QStringList& notKept() const { return m_notKept; }
    // The reason of the latest failure; never empty after one.
    const QString& error() const { return m_error; }

    // For tests: called before a rename into the backup; returning false
    // makes it fail as across disks, so that the copy is taken.
    static void setRenameHookForTesting(std::function<bool(const QString& from, const QString& to)> hook);

private:
    bool fail(const QString& text);
    bool copyWhole(const QString& source, const QString& target);
#ifdef Q_OS_UNIX
    bool copyEntryAt(int fromDir, int toDir, const QByteArray& name, const QString& from, const QString& to,
                     const QByteArray& rel);
    bool copyFolderAt(int fromDir, int toDir, const QString& from, const QString& to, const QByteArray& rel);
    bool copyRegularAt(int fromDir, int toDir, const QByteArray& name, const QString& from, const QString& to,
                       const QByteArray& rel);
    bool removeKeptAt(int parent, const QByteArray& name, const QString& shown, const QByteArray& rel);
#endif
    void leftOut(const QString& text);

    QString m_source;
    QString m_target;
    How m_how = How::None;
    // What the copy kept, as it was, by path relative to the source ("" is
    // the source itself).
    QHash<QByteArray, FileEntries::Kind> m_kept;
    QStringList m_notKept;
    QString m_error;
};
