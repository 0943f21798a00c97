#include "model/SettingsFile.h"

#include "model/FileEntries.h"
#include "model/InstallRoots.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace SettingsFile {

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

bool keepUsable(const QString& file, QString* notice)
{
    if (file.isEmpty())
        return true;
    const FileEntries::Kind kind = FileEntries::kindOf(file);
    // A settings file linked from elsewhere (kept with the user's other
    // settings) is used as long as it leads to a plain file.
    const bool usable = kind == FileEntries::Kind::Missing || kind == FileEntries::Kind::Regular
        || (kind == FileEntries::Kind::Link && (QFileInfo(file).isFile() || !QFileInfo::exists(file)));
    if (usable)
        return true;
    const QString folder = appDataDir() + QStringLiteral("/settings");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    *notice = QStringLiteral("keepUsable: the settings file %1 is not used: it is not a regular file; settings "
                             "are kept in %2 for this run")
                  .arg(file, folder);
    return false;
}

bool keepUsable(QString* notice)
{
    return keepUsable(path(), notice);
}

} // namespace SettingsFile
