#include "model/SettingsFile.h"

#include "model/FileEntries.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/SafeRead.h"
#include "model/SafeWrite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace SettingsFile {

namespace {

// A file QSettings keeps for this program in a settings folder.
struct Store {
    QSettings::Format format;
    QString name;      // the file's name without its extension
    QString extension; // with its dot
    bool followsLink;  // the user's own: a link to a plain file is followed
};

QList<Store> stores()
{
    return {{QSettings::NativeFormat, QCoreApplication::applicationName(), QStringLiteral(".conf"), true},
            {QSettings::IniFormat, registrationName(), QStringLiteral(".ini"), false}};
}

// The file QSettings keeps store in below folder.
QString fileOf(const QString& folder, const Store& store)
{
    return folder + QLatin1Char('/') + QCoreApplication::organizationName() + QLatin1Char('/') + store.name
        + store.extension;
}

QString tr(const char* text)
{
    return QCoreApplication::translate("SettingsFile", text);
}

// Where a write through the link at file lands: the end of its chain of
// links, followed as QSaveFile follows it, whether or not anything is there
// yet; empty for a chain that does not end.
QString endOfLinks(const QString& file)
{
    QFileInfo at(file);
    for (int depth = 1; depth < 128 && at.isSymLink(); ++depth)
        at.setFile(at.symLinkTarget());
    return at.isSymLink() ? QString() : at.absoluteFilePath();
}

bool isUsers(const QFileInfo& folder)
{
#ifdef Q_OS_UNIX
    return folder.ownerId() == ::geteuid();
#else
    Q_UNUSED(folder);
    return true;
#endif
}

// Why the link at file cannot be followed; empty when it leads to a plain
// file, or to none yet in a folder of the user's, where the first write
// makes it.
QString whyNotFollowed(const QString& file)
{
    const QString target = endOfLinks(file);
    if (target.isEmpty())
        return QStringLiteral("%1 is a symbolic link that leads to nothing").arg(file);
    switch (FileEntries::kindOf(target)) {
    case FileEntries::Kind::Regular:
        return {};
    case FileEntries::Kind::Missing: {
        const QFileInfo folder(QFileInfo(target).absolutePath());
        if (!folder.isDir())
            return QStringLiteral("%1 is a symbolic link to %2, whose folder is not there").arg(file, target);
        if (!isUsers(folder))
            return QStringLiteral("%1 is a symbolic link to %2, in a folder that is not the user's").arg(file, target);
        return {};
    }
    default:
        return QStringLiteral("%1 is a symbolic link to %2, which is not a regular file").arg(file, target);
    }
}

// Why the settings file cannot be written, or empty when it can: something
// other than a plain file in its place, or a folder that takes no file of
// its size and some room to spare (a probe written there, where the write
// lands).
QString whyNotWritable(const QString& file)
{
    const FileEntries::Kind kind = FileEntries::kindOf(file);
    if (kind != FileEntries::Kind::Missing && kind != FileEntries::Kind::Regular)
        return SafeRead::notRegularText(QDir::toNativeSeparators(file));
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder))
        return tr("the folder %1 cannot be created").arg(QDir::toNativeSeparators(folder));
    QTemporaryFile probe(folder + QStringLiteral("/.korvelanto-probe-XXXXXX"));
    const QByteArray bytes(QFileInfo(file).size() + 64 * 1024, '\n');
    if (!probe.open() || !writeWhole(probe, bytes.constData(), bytes.size()) || !probe.flush())
        return probe.errorString();
    return {};
}

// Why file cannot be read and replaced as it is; empty when it can.
QString whyNotPlain(const QString& file, bool followsLink)
{
    switch (FileEntries::kindOf(file)) {
    case FileEntries::Kind::Missing:
    case FileEntries::Kind::Regular:
        return {};
    case FileEntries::Kind::Link:
        return followsLink ? whyNotFollowed(file) : SafeRead::linkText(file);
    default:
        return SafeRead::notRegularText(file);
    }
}

// Why store below folder cannot be used: its own file, the organisation's
// file beside the folder that QSettings reads too, or the lock file QSettings
// takes beside the first before it writes it. Empty when it can.
QString whyNotUsable(const QString& folder, const Store& store, bool followsLink)
{
    const QString file = fileOf(folder, store);
    QString why = whyNotPlain(file, followsLink);
    if (why.isEmpty())
        why = whyNotPlain(folder + QLatin1Char('/') + QCoreApplication::organizationName() + store.extension,
                          followsLink);
    if (why.isEmpty())
        why = whyNotPlain(file + QStringLiteral(".lock"), false);
    return why;
}

// The same for the fallback, ours in the data folder: used only as plain
// files, with no link on the way either.
QString whyFallbackNotUsable(const QString& folder, const Store& store)
{
    const QString link = FolderCopy::linkOnPath(appDataDir(), fileOf(folder, store));
    return link.isEmpty() ? whyNotUsable(folder, store, false) : SafeRead::linkText(link);
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

// Points store at the fallback for this run (the first one would hold
// start-up just the same) and says why, naming file.
QString useFallback(const QString& file, const Store& store, const QString& why)
{
    const QString fallback = fallbackFolder();
    const QString fallbackWhy = whyFallbackNotUsable(fallback, store);
    if (fallbackWhy.isEmpty()) {
        QSettings::setPath(store.format, QSettings::UserScope, fallback);
        return QStringLiteral("keepUsable: the settings file %1 is not used: %2; settings are kept in %3 for "
                              "this run")
            .arg(file, why, fallback);
    }
    const QString own = folderOfThisRun();
    QSettings::setPath(store.format, QSettings::UserScope, own);
    return QStringLiteral("keepUsable: the settings file %1 is not used: %2; nor is %3: %4; settings are kept "
                          "in %5 for this run only and are lost when it ends")
        .arg(file, why, fileOf(fallback, store), fallbackWhy, own);
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

QString registrationName()
{
    return QStringLiteral("dashtheme");
}

QString fallbackFolder()
{
    return appDataDir() + QStringLiteral("/settings");
}

QString writtenFile(const QString& file)
{
    if (FileEntries::kindOf(file) != FileEntries::Kind::Link)
        return file;
    const QString target = endOfLinks(file);
    return target.isEmpty() ? file : target;
}

QString store(QSettings& settings, const std::function<void()>& change, bool* held)
{
    *held = false;
    // Where the settings are not a file (the Windows registry) there is no
    // folder to try first.
    const bool inFile = settings.format() != QSettings::NativeFormat || !path().isEmpty();
    const QString why = inFile ? whyNotWritable(writtenFile(settings.fileName())) : QString();
    if (!why.isEmpty())
        return why;
    change();
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return {};
    *held = true;
    return tr("%1 could not be written").arg(QDir::toNativeSeparators(settings.fileName()));
}

bool keepUsable(const QString& file, QString* notice)
{
    if (file.isEmpty())
        return true;
    // file is <folder>/<organisation>/<application>.conf.
    const QString folder = QFileInfo(QFileInfo(file).absolutePath()).absolutePath();
    QStringList notices;
    for (const Store& store : stores()) {
        const QString why = whyNotUsable(folder, store, store.followsLink);
        if (!why.isEmpty())
            notices << useFallback(fileOf(folder, store), store, why);
    }
    *notice = notices.join(QLatin1Char('\n'));
    return notices.isEmpty();
}

bool keepUsable(QString* notice)
{
    return keepUsable(path(), notice);
}

} // namespace SettingsFile
