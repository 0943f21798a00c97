#include "support/FileSizeLimit.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace FileSizeLimit {

void applyInChild(qint64 limit)
{
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit bound {rlim_t(limit), rlim_t(limit)};
    setrlimit(RLIMIT_FSIZE, &bound);
}

Outcome run(qint64 limit, const std::function<bool()>& writer)
{
    const pid_t pid = fork();
    if (pid < 0)
        return Outcome::Crashed;
    if (pid == 0) {
        applyInChild(limit);
        _exit(writer() ? 0 : 1);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return Outcome::Crashed;
    return WEXITSTATUS(status) == 0 ? Outcome::ReportedSuccess : Outcome::ReportedFailure;
}

} // namespace FileSizeLimit
