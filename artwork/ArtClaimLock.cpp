#include "artwork/ArtClaimLock.h"

#include "model/FileEntries.h"

#include <QElapsedTimer>
#include <QLockFile>
#include <QThread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr int kWaitMs = 10000;

} // namespace

ArtClaimLock::ArtClaimLock(const QString& file)
{
#ifdef Q_OS_UNIX
    m_fd = ::open(FileEntries::encoded(file).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                  0644);
    struct stat st {};
    if (m_fd >= 0 && (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(m_fd);
        m_fd = -1;
    }
    QElapsedTimer waited;
    waited.start();
    while (m_fd >= 0 && !(m_held = ::flock(m_fd, LOCK_EX | LOCK_NB) == 0) && waited.elapsed() < kWaitMs)
        QThread::msleep(5);
#else
    // QLockFile waits for the disk when it takes the lock, once per write.
    m_lock = std::make_unique<QLockFile>(file);
    m_held = m_lock->tryLock(kWaitMs);
#endif
}

ArtClaimLock::~ArtClaimLock()
{
#ifdef Q_OS_UNIX
    if (m_fd >= 0)
        ::close(m_fd); // lets go of the lock
#endif
}
