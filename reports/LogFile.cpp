#include "reports/LogFile.h"

#include "model/InstallRoots.h"
#include "model/LogText.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <atomic>

namespace {

constexpr qint64 kRotateBytes = 5 * 1024 * 1024;
constexpr QIODevice::OpenMode kLogOpenMode = QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text;

QMutex& logMutex()
{
    static QMutex mutex;
    return mutex;
}

// Guarded by logMutex.
QFile* g_logFile = nullptr;
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

// Called with the lock held. A failed rename is not fatal: the file is
// reopened on the same path and the next message tries again.
void rotateIfFull()
{
    if (g_logFile->size() < kRotateBytes)
        return;
    g_logFile->flush();
    g_logFile->close();
    const QString older = g_logPath + QStringLiteral(".1");
    if (QFileInfo::exists(older))
        QFile::remove(older);
    QFile::rename(g_logPath, older);
    g_logFile->setFileName(g_logPath);
    g_logFile->open(kLogOpenMode);
}

} // namespace

void installFileLogger()
{
    QMutexLocker lock(&logMutex());
    if (g_logFile)
        return;
    const QString folder = appDataDir();
    QDir().mkpath(folder);
    g_logPath = folder + QStringLiteral("/korvelanto.log");
    g_logFile = new QFile(g_logPath);
    // Start-up goes on without a file; the previous handler still gets every
    // message.
    g_logFile->open(kLogOpenMode);
    g_previousHandler.store(qInstallMessageHandler(fileLogMessageHandler));
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
    if (!g_logFile->isOpen())
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
