#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class QFile;

// The few operations of an update that touch the running program's files or
// start a process. The program uses the real ones; tests replace single
// steps to make each of them fail, and point the executable at a copy.
struct UpdateSeams {
    // The running executable's absolute path; fallback when the system
    // cannot tell.
    std::function<QString(const QString& fallback)> executablePath;
    // Bytes of data written to file, or -1.
    std::function<qint64(QFile& file, const QByteArray& data)> write;
    std::function<bool(const QString& from, const QString& to)> rename;
    // Starts program detached, in the current folder; false when it did not
    // start.
    std::function<bool(const QString& program, const QStringList& arguments)> relaunch;

    static UpdateSeams system();
};

// After a swap whose relaunch failed: the program's own path, which
// runningExecutablePath() then answers instead of the ".bak" it runs from.
void rememberInstalledExecutable(const QString& path);

// The file the running process was started from, read from the system
// rather than argv[0], which may be a bare name found on PATH. fallback
// when the system cannot tell. Needs no application object.
QString runningExecutablePath(const QString& fallback);
