#include "model/SettingsFile.h"

#include "model/FileEntries.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/SafeRead.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

namespace SettingsFile {

namespace {

// The file QSettings keeps this program's settings in below folder.
QString fileBelow(const QString& folder)
{
    return folder + QLatin1Char('/') + QCoreApplication::organizationName() + QLatin1Char('/')
        + QCoreApplication::applicationName() + QStringLiteral(".conf");
}

// Why the settings kept below folder, in the data folder, cannot be used:
// a link on the way or at the file, or anything but a plain file there.
// Empty when they can.
QString whyNotUsable(const QString& folder)
{
    const QString file = fileBelow(folder);
    const QString link = FolderCopy::linkOnPath(appDataDir(), file);
    if (!link.isEmpty())
        return SafeRead::linkText(link);
    const FileEntries::Kind kind = FileEntries::kindOf(file);
    if (kind == FileEntries::Kind::Missing || kind == FileEntries::Kind::Regular)
        return {};
    return SafeRead::notRegularText(file);
}

// A folder of this run's own, for when no settings file can be used: made
// new, so nothing is in it, and removed when the program ends.
QString folderOfThisRun()
{
    static std::unique_ptr<QTemporaryDir> folder;
    if (!folder)
        folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/korvelanto-settings-XXXXXX"));
    return folder->isValid() ? folder->path() : QString();
}

} // namespace

QString path()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/')
        + QCoreApplication::organizationName() + QLatin1Char('/') + QCoreApplication::applicationName()
        + QStringLiteral(".conf");
#else
    return {};
#endif
}

QString fallbackFolder()
{
    return appDataDir() + QStringLiteral("/settings");
}

bool keepUsable(const QString& file, QString* notice)
{
    if (file.isEmpty())
        return true;
    // Written only as a plain file: a link there could lead to any file of
    // the user's, which a write of the settings would replace.
    const FileEntries::Kind kind = FileEntries::kindOf(file);
    if (kind == FileEntries::Kind::Missing || kind == FileEntries::Kind::Regular)
        return true;
    const QString what = kind == FileEntries::Kind::Link ? QStringLiteral("it is a symbolic link")
                                                         : QStringLiteral("it is not a regular file");
    // The fallback is ours, in the data folder: used only as a plain file
    // there, as the first one would hold start-up just the same.
    const QString fallback = fallbackFolder();
    const QString why = whyNotUsable(fallback);
    if (why.isEmpty()) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, fallback);
        *notice = QStringLiteral("keepUsable: the settings file %1 is not used: %2; settings are kept in %3 for "
                                 "this run")
                      .arg(file, what, fallback);
        return false;
    }
    const QString own = folderOfThisRun();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, own);
    *notice = QStringLiteral("keepUsable: the settings file %1 is not used: %2; nor is %3: %4; settings are kept "
                             "in %5 for this run only and are lost when it ends")
                  .arg(file, what, fileBelow(fallback), why, own);
    return false;
}

bool keepUsable(QString* notice)
{
    return keepUsable(path(), notice);
}

} // namespace SettingsFile
