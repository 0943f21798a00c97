#include "support/FifoGuard.h"

#include <QFile>

#include <chrono>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FifoGuard::FifoGuard(const QString& path, int seconds)
    : m_path(path)
{
    m_made = ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    if (m_made)
        m_watcher = std::thread([this, seconds] { watch(seconds); });
}

FifoGuard::~FifoGuard()
{
    m_stop = true;
    if (m_watcher.joinable())
        m_watcher.join();
}

void FifoGuard::watch(int seconds)
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + std::chrono::seconds(seconds);
    while (!m_stop) {
        std::this_thread::sleep_for(milliseconds(50));
        if (steady_clock::now() < deadline)
            continue;
        // Opening for writing without blocking succeeds only while someone
        // has the pipe open for reading: that one is waiting, and the close
        // gives it the end of the file.
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            m_released = true;
            ::close(fd);
        }
    }
}
