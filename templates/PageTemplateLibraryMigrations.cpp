// One-shot steps run at start-up that bring a template store and RS3
// installs written by earlier versions up to the current layout. Each only
// fills in what is missing, so running one again changes nothing; a flag in
// the settings keeps it from running at every start. Nothing here talks to
// the user: the steps run before any window exists and only log.
#include "templates/PageTemplateLibrary.h"

#include "artwork/ArtworkFiles.h"
#include "artwork/TgzImage.h"
#include "model/DeviceRegistry.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/SafeWrite.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const char* const kStradaFlag = "homebrew/stradaBackfillV024Done";
const char* const kTgzFlag = "homebrew/tgzBackfillV025Done";
const char* const kXmlFixFlag = "homebrew/xmlFixV026Done";
const char* const kSetMetaFlag = "homebrew/setMetaBackfillV0289Done";
const char* const kSolo2DLFlag = "solo2dl/bundledTemplatesV0321Done";

bool isDone(const char* flag)
{
    const QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
    return settings.value(QLatin1String(flag), false).toBool();
}

void markDone(const char* flag)
{
    QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
    settings.setValue(QLatin1String(flag), true);
    settings.sync();
}

QStringList subFolders(const QString& folder)
{
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

bool hasSubFolder(const QString& folder)
{
    return !subFolders(folder).isEmpty();
}

const QString& standardSet()
{
    static const QString path = QStringLiteral("/masks/set/standard");
    return path;
}

QByteArray homebrewMarker()
{
    return PageTemplateLibrary::folderMetaXml(QStringLiteral("Homebrew"), 99);
}

// Families that RS3 also keeps under older or "Strada" folder names, in name
// order, each with those other names.
QList<QPair<QString, QStringList>> familiesWithOtherFolders()
{
    QStringList families;
    for (const DeviceRow& row : DeviceRegistry::devices()) {
        if (PageTemplateLibrary::familyAliases(row.family).size() > 1 && !families.contains(row.family))
            families << row.family;
    }
    families.sort();
    QList<QPair<QString, QStringList>> grouped;
    for (const QString& family : families)
        grouped.append({family, PageTemplateLibrary::familyAliases(family).mid(1)});
    return grouped;
}

// True (and logged) when a folder on the way from root down to folder is a
// symbolic link: what it leads to may be the user's own, so it is left.
bool leftForALink(const QString& root, const QString& folder, const char* step)
{
    const QString link = FolderCopy::linkOnPath(root, folder);
    if (link.isEmpty())
        return false;
    qDebug().noquote() << step << "left" << folder << "as it is:" << link << "is a symbolic link";
    return true;
}

// A template folder below a set whose page or picture may be worked on:
// no link, and the file a plain one (a pipe would hold the start forever).
bool plainFileBelow(const QString& set, const QString& file)
{
    return FolderCopy::linkOnPath(set, file).isEmpty() && FolderCopy::isRegularFile(file);
}

// Runs fn on the store folder of every registered family, then on every
// existing RS3 homebrew set of the family and its other folder names; the
// sum of what fn returned. Each folder with work done is logged.
template <typename Fn>
int overStoreAndHomebrewSets(Fn fn, const char* logPrefix, const char* logWhat)
{
    int total = 0;
    auto visit = [&](const QString& folder, const DeviceRow& row) {
        const int n = fn(folder, row);
        if (n > 0)
            qDebug().noquote() << logPrefix << n << logWhat << folder;
        total += n;
    };
    const QString store = homebrewTemplatesDir();
    for (const DeviceRow& row : DeviceRegistry::devices())
        visit(store + QLatin1Char('/') + row.family, row);
    for (const DeviceRow& row : DeviceRegistry::devices()) {
        for (const QString& name : PageTemplateLibrary::familyAliases(row.family)) {
            for (const QString& root : rs3OverlayRoots()) {
                const QString set = root + QLatin1Char('/') + name + standardSet() + QStringLiteral("/s04_homebrew");
                if (QFileInfo::exists(set) && !leftForALink(root, set, "Backfill:"))
                    visit(set, row);
            }
        }
    }
    return total;
}

// Gives the folder the "Homebrew" label; true when it was written. Nothing
// is written where a link below `within` (the store, an overlay root)
// leads: that folder may be the user's own, and is left as it is.
bool writeMarker(const QString& folder, const char* kind, const QString& within)
{
    const QString path = folder + QStringLiteral("/AiM_folder.xml");
    if (leftForALink(within, path, "Set-meta backfill v0.2.8.9:"))
        return false;
    QString why;
    if (!writeFileNoLink(path, homebrewMarker(), within, &why)) {
        qDebug().noquote() << "Set-meta backfill v0.2.8.9: write failed at" << path << "-" << why;
        return false;
    }
    qDebug().noquote() << "Set-meta backfill v0.2.8.9 wrote" << kind << "marker:" << path;
    return true;
}

// A label that is a link, even one pointing nowhere, counts as there.
bool lacksMeta(const QString& folder)
{
    const QFileInfo label(folder + QStringLiteral("/AiM_folder.xml"));
    return !label.exists() && !label.isSymLink();
}

int labelStoreFamilies()
{
    const QString store = homebrewTemplatesDir();
    if (!QFileInfo::exists(store))
        return 0;
    int written = 0;
    for (const QString& name : subFolders(store)) {
        const QString folder = store + QLatin1Char('/') + name;
        if (lacksMeta(folder) && hasSubFolder(folder) && writeMarker(folder, "APPDATA", store))
            ++written;
    }
    return written;
}

int labelRs3HomebrewSets()
{
    static const QString homebrew = standardSet() + QStringLiteral("/s04_homebrew");
    int written = 0;
    for (const QString& root : rs3OverlayRoots()) {
        if (!QFileInfo::exists(root))
            continue;
        for (const QString& family : subFolders(root)) {
            const QString familyFolder = root + QLatin1Char('/') + family;
            QStringList candidates{familyFolder + homebrew};
            for (const QString& sub : subFolders(familyFolder))
                candidates << familyFolder + QLatin1Char('/') + sub + homebrew;
            for (const QString& set : candidates) {
                if (QFileInfo::exists(set) && lacksMeta(set) && writeMarker(set, "RS3", root))
                    ++written;
            }
        }
    }
    return written;
}

} // namespace

void PageTemplateLibrary::runStradaBackfillV024Once()
{
    if (isDone(kStradaFlag))
        return;
    const QString store = homebrewTemplatesDir();
    if (!QFileInfo::exists(store)) {
        markDone(kStradaFlag);
        return;
    }
    int total = 0;
    for (const auto& family : familiesWithOtherFolders()) {
        const QString storeFamily = store + QLatin1Char('/') + family.first;
        if (!hasSubFolder(storeFamily))
            continue;
        for (const QString& name : family.second) {
            for (const QString& root : rs3OverlayRoots()) {
                const QString standard = root + QLatin1Char('/') + name + standardSet();
                if (!QFileInfo::exists(standard) || leftForALink(root, standard, "Backfill:"))
                    continue;
                const int n = backfillCopyIntoRs3Set(storeFamily, standard, name);
                if (n > 0)
                    qDebug().noquote() << "Backfill populated" << n << "themes into"
                                       << standard + QStringLiteral("/s04_homebrew");
                total += n;
            }
        }
    }
    qDebug().noquote() << "Strada backfill v0.2.4 complete, themes written:" << total;
    markDone(kStradaFlag);
}

void PageTemplateLibrary::runTgzBackfillV025Once()
{
    if (isDone(kTgzFlag))
        return;
    const int total = overStoreAndHomebrewSets(
        [](const QString& folder, const DeviceRow& row) {
            return backfillTgzInDir(folder, QSize(row.width, row.height));
        },
        "Backfill v0.2.5 wrote", "bkg.tgz in");
    qDebug().noquote() << "bkg.tgz backfill v0.2.5 complete, files written:" << total;
    markDone(kTgzFlag);
}

void PageTemplateLibrary::runXmlFixBackfillV026Once()
{
    if (isDone(kXmlFixFlag))
        return;
    const int total = overStoreAndHomebrewSets(
        [](const QString& folder, const DeviceRow&) { return patchPlaceholdersUnder(folder); },
        "Backfill v0.2.6 patched", "pMain.P2.xml in");
    qDebug().noquote() << "XML placeholder backfill v0.2.6 complete, files patched:" << total;
    markDone(kXmlFixFlag);
}

void PageTemplateLibrary::runSetMetaBackfillV0289Once()
{
    if (isDone(kSetMetaFlag))
        return;
    const int written = labelStoreFamilies() + labelRs3HomebrewSets();
    qDebug().noquote() << "Set-meta backfill v0.2.8.9 complete, files written:" << written;
    markDone(kSetMetaFlag);
}

void PageTemplateLibrary::runStartupBundledSolo2DLTemplatesOnce()
{
    if (isDone(kSolo2DLFlag))
        return;
    const QString local = localOverlayRoot();
    const QString bundled = local + QStringLiteral("/solo2dl/masks/set/standard/s02_krastovelin");
    // Not flagged: a build without the set in its folder looks again at the
    // next start, so an install that adds it later still gets it copied.
    if (local.isEmpty() || !QFileInfo(bundled).isDir()) {
        qDebug().noquote() << "runStartupBundledSolo2DLTemplatesOnce: bundled set not found at" << bundled
                           << "-- skipping (dev build)";
        return;
    }
    int updated = 0;
    for (const QString& root : rs3OverlayRoots()) {
        const QString standard = root + QStringLiteral("/solo2dl") + standardSet();
        if (!QFileInfo::exists(standard))
            continue;
        const QString target = standard + QStringLiteral("/s02_krastovelin");
        if (QFileInfo::exists(target)) {
            qDebug().noquote() << "runStartupBundledSolo2DLTemplatesOnce: already present:" << target;
            ++updated;
        } else if (FolderCopy().addFolder(bundled, target) == FolderCopy::Outcome::Added) {
            qDebug().noquote() << "runStartupBundledSolo2DLTemplatesOnce: installed to" << target;
            ++updated;
        } else {
            qDebug().noquote() << "runStartupBundledSolo2DLTemplatesOnce: copy failed to" << target;
        }
    }
    qDebug().noquote() << "runStartupBundledSolo2DLTemplatesOnce complete, RS3 trees updated:" << updated;
    markDone(kSolo2DLFlag);
}

int PageTemplateLibrary::backfillTgzInDir(const QString& folder, const QSize& size)
{
    if (size.isEmpty() || !QFileInfo(folder).isDir())
        return 0;
    int written = 0;
    for (const QString& name : subFolders(folder)) {
        const QString sub = folder + QLatin1Char('/') + name;
        const QString png = sub + QStringLiteral("/bkg.png");
        const QString tgz = sub + QStringLiteral("/bkg.tgz");
        if (!plainFileBelow(folder, png) || QFileInfo::exists(tgz) || QFileInfo(tgz).isSymLink()) {
            if (!FolderCopy::linkOnPath(folder, png).isEmpty())
                qDebug().noquote() << "Backfill: left" << sub << "as it is: a symbolic link is in the way";
            continue;
        }
        if (generateBkgTgz(png, tgz, size.width(), size.height()))
            ++written;
        else
            qDebug().noquote() << "Backfill: generateBkgTgz failed for" << sub;
    }
    return written;
}

int PageTemplateLibrary::backfillCopyIntoRs3Set(const QString& storeFamilyFolder, const QString& standardFolder,
                                                const QString& familyLabel)
{
    if (!QFileInfo(storeFamilyFolder).isDir())
        return 0;
    const QString set = standardFolder + QStringLiteral("/s04_homebrew");
    // A linked set may be the user's own folder: nothing goes through it.
    const QString link = FolderCopy::linkOnPath(standardFolder, set);
    if (!link.isEmpty()) {
        qDebug().noquote() << "Backfill: left" << set << "as it is:" << link << "is a symbolic link";
        return 0;
    }
    QString why;
    FolderCopy::makeFolderWithin(standardFolder, set, &why);
    if (lacksMeta(set)
        && !writeFileNoLink(set + QStringLiteral("/AiM_folder.xml"), homebrewMarker(), standardFolder, &why))
        qDebug().noquote() << "Backfill: couldn't write set AiM_folder.xml for" << familyLabel << "-" << why;
    int copied = 0;
    FolderCopy copies;
    for (const QString& name : subFolders(storeFamilyFolder)) {
        const QString source = storeFamilyFolder + QLatin1Char('/') + name;
        const QString target = set + QLatin1Char('/') + name;
        if (!QFileInfo::exists(source + QStringLiteral("/pMain.P2.xml"))
            || QFileInfo::exists(target + QStringLiteral("/pMain.P2.xml")))
            continue;
        // A leftover without its page file is someone's and is left as it is
        // (the copy logs it); a failed copy leaves nothing half-written.
        if (copies.addFolder(source, target, standardFolder) == FolderCopy::Outcome::Added)
            ++copied;
        else
            qDebug().noquote() << "Backfill: copy failed" << source << "->" << target;
    }
    return copied;
}
