// Save As: the archive under a new name, and the sidecar files carried to
// that name with it. The file left behind keeps its stores as its last save
// wrote them, as Discard would put them back: the edits since belong to the
// new name alone.
#include "model/DashConfig.h"

#include "model/ErrorText.h"
#include "model/SamePath.h"
#include "model/SidecarCarry.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("DashConfig", text);
}

bool isOwnFile(const DashConfig& config, const QString& path)
{
    return path.isEmpty() || isSamePath(path, config.zconf2Path);
}

} // namespace

void DashConfig::leaveStoresFor(const QString& path, QString* warning)
{
    // A store the new name shares (a ".zconfig" saved as the ".zconf2" of
    // its name beside it) is the new file's as well: it keeps the records
    // the new file was saved with.
    const QStringList kept = sidecarPathsOf(path);
    savedSidecars.erase(std::remove_if(savedSidecars.begin(), savedSidecars.end(),
                                       [&kept](const SavedStore& saved) {
                                           return std::any_of(kept.cbegin(), kept.cend(), [&saved](const QString& p) {
                                               return isSamePath(saved.path, p);
                                           });
                                       }),
                        savedSidecars.end());
    // The records staged for the save belong to the new name.
    std::optional<QMap<QString, BarColorRecord>> staged = std::exchange(stagedBarColors, std::nullopt);
    QMap<SidecarStore, QJsonObject> stagedOthers = std::exchange(stagedLists, {});
    QString why;
    if (!putBackSavedSidecars(&why)) {
        const QString left = tr("The records kept beside %1 could not all be put back as it was saved; they hold the "
                                "edits made since: %2")
                                 .arg(QDir::toNativeSeparators(zconf2Path), why);
        qWarning().noquote() << "leaveStoresFor:" << left;
        if (warning)
            *warning = warning->isEmpty() ? left : *warning + QStringLiteral("\n\n") + left;
    }
    zconf2Path = path;
    stagedBarColors = std::move(staged);
    stagedLists = std::move(stagedOthers);
    if (!writeStagedRecords()) {
        const QString left = tr("The records kept for the save could not be written beside %1; the next save tries "
                                "again: %2")
                                 .arg(QDir::toNativeSeparators(path), sidecarFailure);
        qWarning().noquote() << "leaveStoresFor:" << left;
        if (warning)
            *warning = warning->isEmpty() ? left : *warning + QStringLiteral("\n\n") + left;
    }
    keepSavedSidecars();
}

bool DashConfig::moveToPath(const QString& path, QString* error)
{
    if (isOwnFile(*this, path))
        return true;
    SidecarCarry carry(sidecarPaths(), sidecarPathsOf(path));
    if (!carry.stage(error) || !carry.commit(error)) {
        qWarning().noquote() << "moveToPath: the sidecars stay with" << zconf2Path << "-" << (error ? *error : QString());
        return false;
    }
    leaveStoresFor(path, nullptr);
    return true;
}

bool DashConfig::saveAs(const QString& targetPath, QString* error, QString* warning)
{
    if (isOwnFile(*this, targetPath))
        return save(targetPath, error, warning);
    // The records are copied before anything is written, so one that cannot
    // be costs nothing; once the archive is written they are put in place.
    SidecarCarry carry(sidecarPaths(), sidecarPathsOf(targetPath));
    QString reason;
    if (!carry.stage(&reason)) {
        return failWith(error, tr("The records kept beside the configuration could not be copied to the new name, "
                                  "so nothing was saved: %1")
                                   .arg(reason));
    }
    if (!save(targetPath, error, warning))
        return false;
    if (!carry.commit(&reason)) {
        qWarning().noquote() << "saveAs: the sidecars could not be put in place:" << reason;
        return failWith(error, tr("%1 was written, but the records kept beside it could not all be put in place: "
                                  "%2 The configuration stays %3.")
                                   .arg(QDir::toNativeSeparators(targetPath), reason,
                                        QDir::toNativeSeparators(zconf2Path)));
    }
    leaveStoresFor(targetPath, warning);
    // The new file's stores keep only what it shows, as a save to its own
    // name leaves them.
    const int dropped = dropStaleArtRecords();
    if (dropped < 0)
        qWarning() << "saveAs: records the saved file contradicts stay in the sidecars:" << sidecarFailure;
    else if (dropped > 0)
        keepSavedSidecars();
    return true;
}
