#pragma once

#include <QString>

#include <memory>

class QLockFile;

// One writer of a list in the data folder (the saved configurations') at a
// time, across editors: a merge must not drop a line another editor wrote
// meanwhile. Held on a plain file beside the list, never through a link and
// never waiting on a pipe, and without waiting for the disk; let go when
// destroyed.
class ArtClaimLock {
public:
    // Waits up to ten seconds for another editor's write.
    explicit ArtClaimLock(const QString& file);
    ~ArtClaimLock();
    ArtClaimLock(const ArtClaimLock&) = delete;
    ArtClaimLock& operator=(const ArtClaimLock&) = delete;
    bool held() const { return m_held; }

private:
    bool m_held = false;
    int m_fd = -1;
    std::unique_ptr<QLockFile> m_lock; // where there is no flock
};
