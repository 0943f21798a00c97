#include "support/FileSizeLimit.h"

#include <algorithm>
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

namespace {

// Sets the soft limit (never above the hard one) and returns the one before.
rlim_t exchangeSoftLimit(rlim_t limit)
{
    struct rlimit bound {};
    getrlimit(RLIMIT_FSIZE, &bound);
    const rlim_t previous = bound.rlim_cur;
    bound.rlim_cur = std::min(limit, bound.rlim_max);
    setrlimit(RLIMIT_FSIZE, &bound);
    return previous;
}

} // namespace

void setSoftLimit(qint64 limit)
{
    exchangeSoftLimit(rlim_t(limit));
}

Scope::Scope(qint64 limit)
{
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    m_previous = quint64(exchangeSoftLimit(rlim_t(limit)));
}

Scope::~Scope()
{
    exchangeSoftLimit(rlim_t(m_previous));
    std::signal(SIGXFSZ, m_handler);
}

Outcome run(qint64 limit, const std::function<bool(QString*)>& writer, QString* text)
{
    int channel[2];
    if (pipe(channel) != 0)
        return Outcome::Crashed;
    const Outcome outcome = run(limit, [&] {
        close(channel[0]);
        QString message;
        const bool ok = writer(&message);
        const QByteArray bytes = message.toUtf8();
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n = write(channel[1], bytes.constData() + done, size_t(bytes.size() - done));
            if (n <= 0)
                break;
            done += n;
        }
        close(channel[1]);
        return ok;
    });
    close(channel[1]);
    QByteArray received;
    char buffer[4096];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
        received.append(buffer, n);
    close(channel[0]);
    if (text)
        *text = QString::fromUtf8(received);
    return outcome;
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
