#include "reports/LogFile.h"

#include "model/FileEntries.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/LogText.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <atomic>
#include <utility>

namespace {

constexpr qint64 kRotateBytes = 5 * 1024 * 1024;

QMutex& logMutex()
{
    static QMutex mutex;
    return mutex;
}

// Guarded by logMutex.
QFile* g_logFile = nullptr;
bool g_installed = false;
QString g_logPath;
std::function<void()> g_writeHook;

// Read by the handler before it takes the lock, so that console output keeps
// working while another thread writes.
std::atomic<QtMessageHandler> g_previousHandler{nullptr};

// True while this thread is inside the handler's locked part. A file
// operation there may itself emit a Qt warning, which re-enters the handler
// on the same thread; taking the non-recursive lock again would hang, so such
// a nested message goes to the previous handler only.
thread_local bool t_inHandler = false;

class HandlerScope {
public:
    HandlerScope() { t_inHandler = true; }
    ~HandlerScope() { t_inHandler = false; }
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;
};

QString levelWord(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral("DEBUG");
    case QtWarningMsg:
        return QStringLiteral("WARN");
    case QtCriticalMsg:
        return QStringLiteral("CRITICAL");
    case QtFatalMsg:
        return QStringLiteral("FATAL");
    case QtInfoMsg:
        break;
    }
    return QStringLiteral("INFO");
}

// The log through the file gate: a regular file only, never through a link
// and never waiting on a pipe; null (with the reason) otherwise.
QFile* openLog(const QString& path, QString* why)
{
    return FolderCopy::openForAppend(path, why).release();
}

// Called with the lock held. A failed rename is not fatal: the file is
// reopened on the same path and the next message tries again. The older
// file's place may hold a link: the rename replaces the link, never what it
// leads to.
void rotateIfFull()
{
    if (g_logFile->size() < kRotateBytes)
        return;
    g_logFile->flush();
    delete std::exchange(g_logFile, nullptr);
    const QString folder = QFileInfo(g_logPath).path();
    FolderCopy::moveWithin(folder, g_logPath, g_logPath + QStringLiteral(".1"));
    QString why;
    g_logFile = openLog(g_logPath, &why);
}

// The log file, or, when something else is at its name (a link, a pipe, a
// folder), a file beside it that is one: the first line names what was in
// the way.
QFile* openLogOrFallback(const QString& folder, QString* notice)
{
    const QString path = folder + QStringLiteral("/korvelanto.log");
    QString why;
    if (QFile* file = openLog(path, &why)) {
        g_logPath = path;
        return file;
    }
    const QString fallback = folder + QStringLiteral("/korvelanto-fallback.log");
    QString fallbackWhy;
    QFile* file = openLog(fallback, &fallbackWhy);
    g_logPath = file ? fallback : path;
    *notice = file ? QStringLiteral("installFileLogger: %1; logging to %2 instead").arg(why, fallback)
                   : QStringLiteral("installFileLogger: %1; %2; no log file is written").arg(why, fallbackWhy);
    return file;
}

} // namespace

void installFileLogger()
{
    QMutexLocker lock(&logMutex());
    if (std::exchange(g_installed, true))
        return;
    const QString folder = appDataDir();
    FileEntries::makeKeptFolder(folder, nullptr);
    // Start-up goes on without a file; the previous handler still gets every
    // message.
    QString notice;
    g_logFile = openLogOrFallback(folder, &notice);
    g_previousHandler.store(qInstallMessageHandler(fileLogMessageHandler));
    if (!notice.isEmpty()) {
        lock.unlock();
        qWarning().noquote() << notice;
    }
}

void fileLogMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (const QtMessageHandler previous = g_previousHandler.load())
        previous(type, context, message);
    if (t_inHandler)
        return;
    HandlerScope scope;
    const QString level = levelWord(type);
    QMutexLocker lock(&logMutex());
    if (!g_logFile || !g_logFile->isOpen())
        return;
    rotateIfFull();
    if (!g_logFile || !g_logFile->isOpen())
        return;
    if (g_writeHook)
        g_writeHook();
    const QString stamp = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    // One message, one line, whatever text from a file or a server it holds.
    const QString line = QStringLiteral("%1 [%2] %3\n").arg(stamp, level, escapeForLog(message));
    g_logFile->write(line.toUtf8());
    g_logFile->flush();
}

void flushLogFile()
{
    QMutexLocker lock(&logMutex());
    if (g_logFile && g_logFile->isOpen())
        g_logFile->flush();
}

QString logFilePath()
{
    QMutexLocker lock(&logMutex());
    return g_logPath;
}

void setLogWriteHook(std::function<void()> hook)
{
    QMutexLocker lock(&logMutex());
    g_writeHook = std::move(hook);
}
