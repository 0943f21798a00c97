#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

// Runs a writer in a child process whose files may not grow beyond `limit`
// bytes (RLIMIT_FSIZE, SIGXFSZ ignored): every write past it fails with
// EFBIG, as on a full disk, without root or a special file system. The
// child ends at once after the writer; its files stay for the test to read.
namespace FileSizeLimit {

enum class Outcome { ReportedSuccess, ReportedFailure, Crashed };

Outcome run(qint64 limit, const std::function<bool()>& writer);

// The same for a writer that explains itself: the text it leaves in its
// argument (its error message) comes back in *text, through a pipe, which
// the limit does not touch.
Outcome run(qint64 limit, const std::function<bool(QString*)>& writer, QString* text);

// Applies the limit to the calling process (for QProcess's child modifier).
void applyInChild(qint64 limit);

// Inside a writer: lowers (or raises again, up to the limit run() set) the
// limit from now on, so that a disk can fill part way through.
void setSoftLimit(qint64 limit);

// The limit on the test's own process while in scope, for a write a window
// the test drives must see fail. Only the soft limit is lowered, so the
// previous one (and SIGXFSZ's handling) comes back at the end of the scope.
class Scope {
public:
    explicit Scope(qint64 limit);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    quint64 m_previous = 0;
    void (*m_handler)(int) = nullptr;
};

} // namespace FileSizeLimit
