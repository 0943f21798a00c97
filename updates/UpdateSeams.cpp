#include "updates/UpdateSeams.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#ifdef Q_OS_WIN
#include <iterator>
#include <windows.h>
#endif

namespace {
// Set when a swapped-in update could not be started: this process then runs
// from the ".bak" file, and a later update must still go to the program's
// own name.
QString& installedPathAfterSwap()
{
    static QString path;
    return path;
}
} // namespace

void rememberInstalledExecutable(const QString& path)
{
    installedPathAfterSwap() = path;
}

QString runningExecutablePath(const QString& fallback)
{
    if (!installedPathAfterSwap().isEmpty())
        return installedPathAfterSwap();
#if defined(Q_OS_WIN)
    wchar_t buffer[32768];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, DWORD(std::size(buffer)));
    if (length > 0 && length < std::size(buffer))
        return QDir::fromNativeSeparators(QString::fromWCharArray(buffer, int(length)));
#elif defined(Q_OS_LINUX)
    const QString target = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    if (!target.isEmpty())
        return target;
#endif
    return QFileInfo(fallback).absoluteFilePath();
}

UpdateSeams UpdateSeams::system()
{
    UpdateSeams seams;
    seams.executablePath = runningExecutablePath;
    seams.write = [](QFile& file, const QByteArray& data) { return file.write(data); };
    seams.rename = [](const QString& from, const QString& to) { return QFile::rename(from, to); };
    seams.relaunch = [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments, QString());
    };
    return seams;
}
