#include "panels/FolderChangeWatch.h"

#ifdef Q_OS_LINUX
#include <cerrno>
#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_LINUX
// Changes made by another machine or through a user-space file system are not
// reported, so folders there cannot be trusted to a watch.
bool onLocalFileSystem(const QByteArray& path)
{
    struct statfs info;
    if (::statfs(path.constData(), &info) != 0)
        return false;
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0x6969UL:     // NFS
    case 0x517bUL:     // SMB
    case 0xfe534d42UL: // SMB2
    case 0xff534d42UL: // CIFS
    case 0x65735546UL: // FUSE
    case 0x01021997UL: // 9P
    case 0x5346414fUL: // AFS
    case 0x00c36400UL: // Ceph
    case 0x73757245UL: // Coda
    case 0x564cUL:     // NCP
        return false;
    default:
        return true;
    }
}

// Everything that changes what a listing or a stat below the folder returns;
// reading (open, access, close without writing) is left out.
constexpr uint32_t kChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_ATTRIB |
                              IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;
#endif

} // namespace

FolderChangeWatch::FolderChangeWatch()
{
#ifdef Q_OS_LINUX
    fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
#endif
}

FolderChangeWatch::~FolderChangeWatch()
{
#ifdef Q_OS_LINUX
    if (fd >= 0)
        ::close(fd);
#endif
}

bool FolderChangeWatch::add(const QByteArray& path)
{
#ifdef Q_OS_LINUX
    return fd >= 0 && onLocalFileSystem(path) && ::inotify_add_watch(fd, path.constData(), kChanges) >= 0;
#else
    Q_UNUSED(path);
    return false;
#endif
}

bool FolderChangeWatch::takeChanges()
{
#ifdef Q_OS_LINUX
    if (fd < 0)
        return true;
    // Any report at all, an overflow of the queue included, is a change; a
    // failed read other than "nothing queued" is taken as one too.
    alignas(struct inotify_event) char buffer[4096];
    bool changed = false;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            changed = true;
            continue;
        }
        return changed || got == 0 || errno != EAGAIN;
    }
#else
    return true;
#endif
}
