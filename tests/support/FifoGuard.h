#pragma once

#include <QString>

#include <atomic>
#include <thread>

// A named pipe that no test hangs on. Code under test that opens or reads
// it where it should not would wait forever for a writer; after `seconds`
// the guard becomes that writer (it opens the pipe and closes it again), so
// the read ends with nothing and the test goes on to fail: released() then
// says the guard had to step in.
class FifoGuard {
public:
    explicit FifoGuard(const QString& path, int seconds = 5);
    ~FifoGuard();
    FifoGuard(const FifoGuard&) = delete;
    FifoGuard& operator=(const FifoGuard&) = delete;

    // The pipe exists at the path.
    bool made() const { return m_made; }
    // A reader was left waiting on the pipe and had to be released.
    bool released() const { return m_released; }

private:
    void watch(int seconds);

    QString m_path;
    bool m_made = false;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_released{false};
    std::thread m_watcher;
};
