#pragma once

#include <QtGlobal>

#include <functional>

// Runs a writer in a child process whose files may not grow beyond `limit`
// bytes (RLIMIT_FSIZE, SIGXFSZ ignored): every write past it fails with
// EFBIG, as on a full disk, without root or a special file system. The
// child ends at once after the writer; its files stay for the test to read.
namespace FileSizeLimit {

enum class Outcome { ReportedSuccess, ReportedFailure, Crashed };

Outcome run(qint64 limit, const std::function<bool()>& writer);

// Applies the limit to the calling process (for QProcess's child modifier).
void applyInChild(qint64 limit);

} // namespace FileSizeLimit
