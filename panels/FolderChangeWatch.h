#pragma once

#include <QByteArray>

// Whether anything changed in a set of folders since they were watched,
// answered without looking at them: the kernel notes every entry created,
// removed, renamed, written or touched in a watched folder as it happens.
// Only where such notes are trustworthy: on Linux, for folders on a local
// file system (a network or user-space file system does not report what
// other machines or processes change). Elsewhere nothing can be watched and
// the caller looks for itself.
class FolderChangeWatch {
public:
    FolderChangeWatch();
    ~FolderChangeWatch();
    FolderChangeWatch(const FolderChangeWatch&) = delete;
    FolderChangeWatch& operator=(const FolderChangeWatch&) = delete;

    // Watches the folder at the native path, or the file a link there leads
    // to; false when it cannot be watched.
    bool add(const QByteArray& path);
    // Whether a change was reported since the last call, or since the
    // folders were added; forgets the reports. True when nothing is watched.
    bool takeChanges();

private:
    int fd = -1;
};
