#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUuid>

#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>

namespace TestEnvironment {
namespace {

QTemporaryDir*& home()
{
    static QTemporaryDir* dir = nullptr;
    return dir;
}

void removeHome()
{
    delete home();
    home() = nullptr;
}

void setEnv(const char* name, const QString& value)
{
    qputenv(name, QFile::encodeName(value));
}

} // namespace

void isolate()
{
    if (home())
        return;
    home() = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/korvelanto-test-XXXXXX"));
    std::atexit(removeHome);
    const QString root = home()->path();
    for (const char* sub : {"home", "config", "data", "cache", "runtime", "appdata", "wine"})
        QDir(root).mkpath(QString::fromLatin1(sub));
    setEnv("HOME", root + QStringLiteral("/home"));
    // The default install roots live inside the Wine prefix: an empty one of
    // our own, so the machine's RS3 under Wine is never seen.
    setEnv("WINEPREFIX", root + QStringLiteral("/wine"));
    setEnv("XDG_CONFIG_HOME", root + QStringLiteral("/config"));
    setEnv("XDG_DATA_HOME", root + QStringLiteral("/data"));
    setEnv("XDG_CACHE_HOME", root + QStringLiteral("/cache"));
    setEnv("XDG_RUNTIME_DIR", root + QStringLiteral("/runtime"));
    setEnv("APPDATA", root + QStringLiteral("/appdata"));
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A window's start-up update check goes to a local port nobody serves,
    // never to the real update service.
    qputenv("KORVELANTO_UPDATE_URL", "http://127.0.0.1:1");

    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Tindrel AS"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvelanto"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, root + QStringLiteral("/config"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, root + QStringLiteral("/config"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, root + QStringLiteral("/config/system"));
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, root + QStringLiteral("/config/system"));
}

QString homeDir()
{
    isolate();
    return home()->path();
}

QString makeTempDir(const QString& hint)
{
    const QString path = homeDir() + QStringLiteral("/tmp/") + hint + QLatin1Char('-')
        + QUuid::createUuid().toString(QUuid::Id128).left(12);
    QDir().mkpath(path);
    return path;
}

QProcessEnvironment childEnvironment()
{
    const QString root = makeTempDir(QStringLiteral("child"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QList<QPair<const char*, const char*>> folders = {
        {"HOME", "home"}, {"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"},
        {"XDG_CACHE_HOME", "cache"}, {"XDG_RUNTIME_DIR", "runtime"}, {"APPDATA", "appdata"},
        {"WINEPREFIX", "wine"},
    };
    for (const auto& [name, sub] : folders) {
        const QString path = root + QLatin1Char('/') + QLatin1String(sub);
        QDir().mkpath(path);
        env.insert(QLatin1String(name), path);
    }
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "WAYLAND_DISPLAY", "QT_QPA_PLATFORMTHEME"})
        env.remove(QLatin1String(name));
    return env;
}

} // namespace TestEnvironment

qint64 TestEnvironment::peakResidentBytes(bool children)
{
    struct rusage usage {};
    if (getrusage(children ? RUSAGE_CHILDREN : RUSAGE_SELF, &usage) != 0)
        return -1;
    return qint64(usage.ru_maxrss) * 1024; // kilobytes on Linux
}

qint64 TestEnvironment::residentBytes(bool peak)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = peak ? "VmHWM:" : "VmRSS:";
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return -1;
}

qint64 TestEnvironment::cpuMilliseconds()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The command name in parentheses may hold blanks: fields count from
    // after it (state is field 3, utime 14, stime 15).
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const long ticks = sysconf(_SC_CLK_TCK);
    if (fields.size() < 13 || ticks <= 0)
        return -1;
    return (fields.at(11).toLongLong() + fields.at(12).toLongLong()) * 1000 / ticks;
}

bool TestEnvironment::resetResidentPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

bool TestEnvironment::waitWithinMemory(const std::function<bool()>& done, int timeoutMs, qint64 bound,
                                       qint64* grown)
{
    const qint64 base = residentBytes();
    const bool peakKept = resetResidentPeak();
    QElapsedTimer clock;
    clock.start();
    qint64 growth = 0;
    bool finished = false;
    while (!(finished = done()) && growth <= bound && !clock.hasExpired(timeoutMs)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        growth = qMax(growth, residentBytes(peakKept) - base);
    }
    growth = qMax(growth, residentBytes(peakKept) - base);
    if (grown)
        *grown = growth;
    return finished && growth <= bound;
}
