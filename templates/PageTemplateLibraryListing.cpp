// Listing the templates of a family (RS3 sets and the homebrew store),
// finding the RS3 configurations that use a homebrew template, and deleting
// one.
#include "templates/PageTemplateLibrary.h"

#include "artwork/HomebrewItems.h"
#include "model/DashConfig.h"
#include "model/DeviceFile.h"
#include "model/FileStamp.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/SafeRead.h"
#include "templates/ConfigsFootprint.h"
#include "templates/PageTemplate.h"
#include "templates/PageTemplateGroup.h"
#include "templates/SavedConfigsSearch.h"
#include "templates/TemplateReference.h"
#include "templates/TemplateReferenceCount.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QRecursiveMutex>
#include <QSet>

#include <algorithm>
#include <utility>

namespace {

QStringList subFolders(const QString& folder)
{
    // A linked folder is someone else's: never listed, never read.
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
}

bool hasPage(const QString& folder)
{
    return QFileInfo::exists(folder + QStringLiteral("/pMain.P2.xml"));
}

// Pictures are offered only as plain files: a link or a pipe in their place
// is never opened to show it.
QString existingFile(const QString& path)
{
    return FolderCopy::isRegularFile(path) ? path : QString();
}

PageTemplate templateFrom(const QString& folder, const QString& folderName, bool homebrew, QStringList* notRead)
{
    PageTemplate t;
    t.folderPath = folder;
    t.pMainPath = folder + QStringLiteral("/pMain.P2.xml");
    t.prwPath = existingFile(folder + QStringLiteral("/prw.png"));
    t.bkgPath = existingFile(folder + QStringLiteral("/bkg.png"));
    PageTemplateLibrary::readFolderMeta(folder + QStringLiteral("/AiM_folder.xml"), &t.displayName, &t.sort,
                                        notRead);
    if (t.displayName.isEmpty())
        t.displayName = folderName;
    t.folderName = folderName;
    t.homebrew = homebrew;
    return t;
}

// The overlay root that has the family: the first of the installs, else the
// stable one.
QString overlayRootWith(const QString& family)
{
    const QStringList roots = allOverlayRoots();
    for (const QString& root : roots) {
        if (QFileInfo::exists(root + QLatin1Char('/') + family))
            return root;
    }
    return roots.value(0);
}

PageTemplateGroup rs3Group(const QString& setPath, const QString& setName)
{
    PageTemplateGroup group;
    group.setFolder = setName;
    PageTemplateLibrary::readFolderMeta(setPath + QStringLiteral("/AiM_folder.xml"), &group.setLabel, &group.sort,
                                        &group.notRead);
    if (group.setLabel.isEmpty())
        group.setLabel = setName;
    for (const QString& name : subFolders(setPath)) {
        const QString folder = setPath + QLatin1Char('/') + name;
        if (name.compare(QLatin1String("Icon"), Qt::CaseInsensitive) == 0 || !hasPage(folder))
            continue;
        group.templates.push_back(templateFrom(folder, name, false, &group.notRead));
    }
    std::sort(group.templates.begin(), group.templates.end(), [](const PageTemplate& a, const PageTemplate& b) {
        return a.sort != b.sort ? a.sort < b.sort : a.folderName < b.folderName;
    });
    return group;
}

// Largest device file read, deepest folder searched and most folders
// walked in a configuration folder: one kept through a link may lead
// anywhere, even to the top of the disk. Files that are not device files
// are only looked at, never counted: a configuration keeps any number of
// logged-data files beside its dash folders.
constexpr qint64 kDeviceFileBound = qint64(128) * 1024 * 1024;
constexpr int kConfigDepth = 16;
constexpr int kConfigFolders = 20000;

bool isDeviceFile(const QString& name)
{
    return name.compare(QLatin1String("overlay.ov3.xml"), Qt::CaseInsensitive) == 0;
}

// What a device file was found to hold, by the file: the references of each
// name asked so far, while the file is as it was then. Reading RaceStudio
// 3's configurations is what "who uses these folders" costs; a file not
// written since is not read again. Holds the device files that are still
// there, each with the names asked of it (started anew past a bound).
struct DeviceCounts {
    FileStamp stamp;
    QHash<QString, int> counts;
};
constexpr int kNamesKept = 512;
constexpr qsizetype kFilesKept = 20000;
constexpr qsizetype kWalksKept = 8;

QHash<QString, DeviceCounts>& deviceCounts()
{
    static QHash<QString, DeviceCounts> known;
    return known;
}

// A device file a walk met: its path below the configuration folder, the
// real file its counts are kept by, and its stamp then.
struct DeviceAt {
    QString rel;
    QString file;
    FileStamp stamp;
};

// The references of each name in one device file as it is now (`stamp`),
// read by `read` only for names not yet counted in it so.
bool countDevice(const DeviceAt& device, const FileStamp& stamp, const QStringList& names, QList<int>& counts,
                 const std::function<bool(QByteArray*, QString*)>& read, QString* why)
{
    DeviceCounts& known = deviceCounts()[device.file];
    if (!stamp.isValid() || known.stamp != stamp || known.counts.size() > kNamesKept)
        known = DeviceCounts{stamp, {}};
    QStringList missing;
    for (const QString& name : names) {
        if (!known.counts.contains(name))
            missing << name;
    }
    if (!missing.isEmpty()) {
        QByteArray bytes;
        if (!read(&bytes, why))
            return false;
        const QList<int> found = TemplateReferenceCount::inDeviceBytes(bytes, missing);
        for (qsizetype i = 0; i < missing.size(); ++i)
            known.counts.insert(missing[i], found[i]);
    }
    for (qsizetype i = 0; i < names.size(); ++i)
        counts[i] += known.counts.value(names[i]);
    return true;
}

// One configuration folder (followed when kept through a link): its
// references, the first *.aimcfg name and the device files met. Every
// device file below it is read as a plain file; a link below it, a special
// file, a device file too large, and what lies beyond the bounds are named
// in *notSearched instead.
// Every folder walked and device file met is stamped in *footprint before
// it is read: a save meanwhile tells at the next look.
QList<int> referencesIn(const QString& cfgFolder, const QString& real, const QStringList& names, QString* aimcfg,
                        QStringList* notSearched, QList<DeviceAt>* devices, ConfigsFootprint* footprint)
{
    QList<int> counts(names.size(), 0);
    const QString shown = QDir::cleanPath(cfgFolder);
    int folders = 0;
    const auto visit = [&](const SafeRead::Entry& entry) {
        using Kind = FileEntries::Kind;
        if (folders > kConfigFolders)
            return false;
        if (entry.kind == Kind::Folder) {
            if (++folders > kConfigFolders) {
                notSearched->append(QCoreApplication::translate("PageTemplateLibrary",
                                                                "%1 holds more than %2 folders: the rest was not "
                                                                "searched")
                                        .arg(cfgFolder)
                                        .arg(kConfigFolders));
                return false;
            }
            if (entry.depth < kConfigDepth) {
                footprint->addFolder(real + entry.path.mid(shown.size()));
                return true;
            }
            notSearched->append(QCoreApplication::translate("PageTemplateLibrary", "%1 lies too deep")
                                    .arg(entry.path));
            return false;
        }
        if (entry.depth == 0 && entry.kind == Kind::Regular && aimcfg->isEmpty()
            && entry.name.endsWith(QLatin1String(".aimcfg"), Qt::CaseInsensitive))
            *aimcfg = QFileInfo(entry.name).completeBaseName();
        // What a link leads to, or what a special file would give, is not
        // read: any of them may hold, or be, a device file.
        if (entry.kind == Kind::Link)
            notSearched->append(SafeRead::linkText(entry.path));
        else if (entry.kind == Kind::Other && !isDeviceFile(entry.name))
            notSearched->append(SafeRead::notRegularText(entry.path));
        if (!isDeviceFile(entry.name) || entry.kind == Kind::Link)
            return false;
        // By the file itself: the configurations folder may be reached
        // through another link, or another install root, next time.
        const FileStamp stamp = FileStamp::of(entry.path);
        const QString rel = entry.path.mid(shown.size());
        const DeviceAt device{rel, real + rel, stamp};
        devices->append(device);
        footprint->addFile(device.file, stamp);
        QString why;
        const auto read = [&entry](QByteArray* bytes, QString* reason) {
            return SafeRead::readEntry(entry, kDeviceFileBound, bytes, reason);
        };
        if (!countDevice(device, stamp, names, counts, read, &why))
            notSearched->append(why);
        return false;
    };
    footprint->addFolder(real);
    QString why;
    if (!SafeRead::walk(cfgFolder, visit, &why))
        notSearched->append(why);
    return counts;
}

// The device files of a saved configuration; a file that cannot be read
// counts nothing (its pages in the window still do).
QList<int> referencesInArchive(const QString& zconf2, const QStringList& names)
{
    QList<int> counts;
    SavedConfigsSearch::inArchive(zconf2, names, &counts);
    return counts;
}

int referencesInWindow(const DashConfig& config, const QString& name)
{
    int count = 0;
    for (const DeviceFile* device : config.devices)
        count += TemplateReferenceCount::inNode(device->doc, name);
    return count;
}

// The configuration folders of an install ("cfg_*"), each followed when
// kept through a link; a link of that name to anything but a folder is
// named as not searched.
QStringList configFolders(const QString& cfgs, QStringList* notSearched)
{
    QStringList folders;
    QString unread;
    const bool read = SafeRead::walk(cfgs, [&](const SafeRead::Entry& entry) {
        using Kind = FileEntries::Kind;
        if (!entry.name.startsWith(QLatin1String("cfg_"), Qt::CaseInsensitive)
            || (entry.kind != Kind::Folder && entry.kind != Kind::Link))
            return false;
        QString why;
        if (FileEntries::keptFolder(entry.path, &why) == FileEntries::Kept::Folder)
            folders << entry.name;
        else
            notSearched->append(why);
        return false;
    }, &unread);
    if (!read)
        notSearched->append(unread);
    return folders;
}


// A configuration folder as the last walk found it.
struct WalkedConfig {
    QString name;
    QString real; // with the links to it followed
    QString aimcfg;
    QList<DeviceAt> devices;
};

// Whether `inner` is `outer` or lies below it (both cleaned).
bool liesIn(const QString& inner, const QString& outer)
{
    const QString above = outer.endsWith(QLatin1Char('/')) ? outer : outer + QLatin1Char('/');
    return inner == outer || inner.startsWith(above);
}

// The last walk over a configurations folder that read everything there,
// by the real folder (an install root linked to another, or reached anew,
// finds it), with its footprint: while that holds, nothing was added,
// removed or written there, so a count needs no walk, only the device
// files it met.
struct CfgsWalk {
    ConfigsFootprint footprint;
    QList<WalkedConfig> configs;
    QHash<QString, QList<int>> counts; // by name: its references in each configuration, in their order
};

QHash<QString, CfgsWalk>& lastWalks()
{
    static QHash<QString, CfgsWalk> walks;
    return walks;
}

// The configurations of one configurations folder `cfgs` (`real` once its
// links are followed): walked anew unless its last walk still holds.
CfgsWalk configsOf(const QString& cfgs, const QString& real, QStringList* skipped, bool* walking)
{
    *walking = false;
    if (const auto it = lastWalks().constFind(real); it != lastWalks().constEnd() && it->footprint.isCurrent())
        return *it;
    *walking = true;
    CfgsWalk walk;
    // Stamped before it is listed: a configuration added meanwhile tells.
    walk.footprint.addFolder(real);
    const qsizetype before = skipped->size();
    for (const QString& folder : configFolders(cfgs, skipped)) {
        const QString path = QDir::cleanPath(cfgs + QLatin1Char('/') + folder);
        const bool linked = FileEntries::kindOf(path) == FileEntries::Kind::Link || real == cfgs;
        const QString at = linked ? QFileInfo(path).canonicalFilePath() : real + QLatin1Char('/') + folder;
        // A link back to a folder the configurations lie in (the top of the
        // disk, the install) holds the whole install and more, itself again
        // included: no configuration is that.
        if (!at.isEmpty() && liesIn(real, at)) {
            skipped->append(QCoreApplication::translate("PageTemplateLibrary",
                                                        "%1 leads to %2, which holds the configurations folder "
                                                        "itself: not searched")
                                .arg(path, at));
            continue;
        }
        walk.configs.append({folder, at.isEmpty() ? path : at, {}, {}});
    }
    if (skipped->size() != before)
        walk.footprint.setIncomplete();
    return walk;
}

} // namespace

std::vector<PageTemplateGroup> PageTemplateLibrary::listRs3Templates(const QString& family)
{
    std::vector<PageTemplateGroup> groups;
    if (family.isEmpty() || !PathGuard::isSafeFamily(family))
        return groups;
    const QString overlayRoot = overlayRootWith(family);
    if (overlayRoot.isEmpty())
        return groups;
    const QString standard = overlayRoot + QLatin1Char('/') + family + QStringLiteral("/masks/set/standard");
    if (!QFileInfo(standard).isDir())
        return groups;
    for (const QString& set : subFolders(standard)) {
        if (set.compare(QLatin1String("s01"), Qt::CaseInsensitive) == 0
            || set.compare(QLatin1String("s04_homebrew"), Qt::CaseInsensitive) == 0)
            continue;
        PageTemplateGroup group = rs3Group(standard + QLatin1Char('/') + set, set);
        if (!group.templates.empty())
            groups.push_back(std::move(group));
    }
    std::sort(groups.begin(), groups.end(), [](const PageTemplateGroup& a, const PageTemplateGroup& b) {
        return a.sort != b.sort ? a.sort < b.sort : a.setFolder < b.setFolder;
    });
    return groups;
}

PageTemplateGroup PageTemplateLibrary::listHomebrewTemplates(const QString& family, const QString& rs3Family)
{
    PageTemplateGroup group;
    group.setFolder = QStringLiteral("homebrew");
    group.setLabel = QCoreApplication::translate("PageTemplateLibrary", "Homebrew");
    group.sort = 1000;
    group.homebrew = true;
    if (family.isEmpty() || !PathGuard::isSafeFamily(family))
        return group;
    const QString store = homebrewTemplatesDir() + QLatin1Char('/') + canonicalFamily(family);
    if (!QFileInfo(store).isDir())
        return group;
    const QString root = raceStudio3Root();
    const QString target = rs3Family.isEmpty() ? family : rs3Family;
    const bool otherTarget = target.compare(family, Qt::CaseInsensitive) != 0;
    bool setsLabelled = false;
    for (const QString& name : subFolders(store)) {
        const QString source = store + QLatin1Char('/') + name;
        if (!hasPage(source))
            continue;
        // The copies go into the install's homebrew sets: a link or a file
        // in the way of a set's label is named once.
        if (!root.isEmpty() && !std::exchange(setsLabelled, true)) {
            for (const QString& f : otherTarget ? QStringList{family, target} : QStringList{family}) {
                const QString why = setFolderMetaRefusal(root + QStringLiteral("/aim/resources/overlay/") + f
                                                         + QStringLiteral("/masks/set/standard/s04_homebrew"));
                if (!why.isEmpty())
                    group.notRead << why;
            }
        }
        // Without an install the store's own folder is offered: nothing is
        // copied anywhere.
        const QString primary = root.isEmpty() ? QString() : mirrorTemplateToRs3(source, root, family, name);
        const QString secondary =
            otherTarget && !root.isEmpty() ? mirrorTemplateToRs3(source, root, target, name) : QString();
        const QString chosen = !secondary.isEmpty() ? secondary : (!primary.isEmpty() ? primary : source);
        group.templates.push_back(templateFrom(chosen, name, true, &group.notRead));
    }
    std::sort(group.templates.begin(), group.templates.end(), [](const PageTemplate& a, const PageTemplate& b) {
        if (a.sort != b.sort)
            return a.sort < b.sort;
        return a.displayName.compare(b.displayName, Qt::CaseInsensitive) < 0;
    });
    return group;
}

QList<TemplateReference> PageTemplateLibrary::configsReferencingTemplate(const PageTemplate& tpl,
                                                                         QStringList* notSearched)
{
    const QString name = tpl.folderName.trimmed();
    if (!tpl.homebrew || name.isEmpty())
        return {};
    return configsReferencingFolderNames({name}, notSearched).value(name);
}

QHash<QString, QList<TemplateReference>>
PageTemplateLibrary::configsReferencingFolderNames(const QStringList& folderNames, QStringList* notSearched,
                                                   const std::function<void(int, int)>& progress,
                                                   ConfigsFootprint* footprint)
{
    QHash<QString, QList<TemplateReference>> refs;
    QStringList names;
    for (const QString& given : folderNames) {
        refs.insert(given, {});
        if (!given.trimmed().isEmpty() && !names.contains(given.trimmed()))
            names << given.trimmed();
    }
    if (names.isEmpty())
        return refs;
    // The counts a search keeps are the device files' it met, and its last
    // walk (one caller at a time: a thread that asks meanwhile waits).
    static QRecursiveMutex counting;
    const QMutexLocker locked(&counting);
    QStringList skipped;
    const QStringList roots{raceStudio3Root(), raceStudio3BetaRoot()};
    ConfigsFootprint all;
    all.setRoots(roots);
    struct Folder {
        QString cfgs;
        QString real;
        CfgsWalk walk;
        bool walking;
    };
    QList<Folder> folders;
    for (const QString& root : roots) {
        if (root.isEmpty())
            continue;
        // The user folder, the configurations folder in it and each
        // configuration may be kept elsewhere through a link (a sync
        // folder, another disk): followed as the folder it is.
        const QString cfgs = root + QStringLiteral("/user/cfgs");
        QString why;
        const FileEntries::Kept kept =
            FileEntries::keptFolderBelow(root, {QStringLiteral("user"), QStringLiteral("cfgs")}, &why);
        if (kept == FileEntries::Kept::Refused)
            skipped << why;
        if (kept == FileEntries::Kept::Missing)
            all.addMissing(cfgs);
        if (kept != FileEntries::Kept::Folder)
            continue;
        // As reached from the root: a link on the way led elsewhere.
        all.addFolder(cfgs);
        const QString canonical = QFileInfo(cfgs).canonicalFilePath();
        const QString real = canonical.isEmpty() ? cfgs : canonical;
        bool walking = true;
        CfgsWalk walk = configsOf(cfgs, real, &skipped, &walking);
        folders.append({cfgs, real, std::move(walk), walking});
    }
    qsizetype total = 0;
    for (const Folder& f : std::as_const(folders))
        total += f.walk.configs.size();
    QSet<QString> seen;
    QHash<QString, QList<TemplateReference>> found;
    qsizetype done = 0;
    for (Folder& f : folders) {
        const qsizetype before = skipped.size();
        // Names counted in this walk before are answered from it: nothing
        // it read has changed.
        QStringList missing;
        for (const QString& name : std::as_const(names)) {
            if (!f.walk.counts.contains(name))
                missing << name;
        }
        if (f.walk.counts.size() + missing.size() > kNamesKept) {
            f.walk.counts.clear();
            missing = names;
        }
        for (WalkedConfig& cfg : f.walk.configs) {
            if (progress)
                progress(int(done++), int(total));
            const QString path = f.cfgs + QLatin1Char('/') + cfg.name;
            QList<int> counts(missing.size(), 0);
            if (f.walking) {
                counts = referencesIn(path, cfg.real, missing, &cfg.aimcfg, &skipped, &cfg.devices, &f.walk.footprint);
            } else if (!missing.isEmpty()) {
                for (const DeviceAt& device : std::as_const(cfg.devices)) {
                    const auto read = [&device, &path](QByteArray* bytes, QString* reason) {
                        return SafeRead::readFile(path + device.rel, kDeviceFileBound, bytes, reason, path);
                    };
                    // Its stamp was just told to be the same.
                    QString why;
                    if (!countDevice(device, device.stamp, missing, counts, read, &why))
                        skipped << why;
                }
            }
            for (qsizetype i = 0; i < missing.size(); ++i)
                f.walk.counts[missing[i]].append(counts[i]);
            for (const DeviceAt& device : std::as_const(cfg.devices))
                seen.insert(device.file);
        }
        for (const QString& name : std::as_const(names)) {
            const QList<int> counts = f.walk.counts.value(name);
            for (qsizetype c = 0; c < counts.size() && c < f.walk.configs.size(); ++c) {
                const WalkedConfig& cfg = f.walk.configs[c];
                if (counts[c] > 0)
                    found[name].append({cfg.name, cfg.aimcfg.isEmpty() ? cfg.name : cfg.aimcfg,
                                        f.cfgs + QLatin1Char('/') + cfg.name, counts[c]});
            }
        }
        // What was not read may change unseen: the next count walks again.
        if (skipped.size() != before)
            f.walk.footprint.setIncomplete();
        all.append(f.walk.footprint);
    }
    if (progress)
        progress(int(total), int(total));
    // What no longer is goes; a configuration out of reach for a while (a
    // sync folder not mounted) is read again when it is back.
    deviceCounts().removeIf([&seen](const auto& it) {
        return !seen.contains(it.key()) && FileEntries::kindOf(it.key()) != FileEntries::Kind::Regular;
    });
    if (deviceCounts().size() > kFilesKept)
        deviceCounts().clear();
    // Kept while the configurations folder is there (an install's may be
    // out of reach for a while), a few at most.
    lastWalks().removeIf([](const auto& it) { return FileEntries::kindOf(it.key()) != FileEntries::Kind::Folder; });
    if (lastWalks().size() > kWalksKept)
        lastWalks().clear();
    for (const Folder& f : std::as_const(folders))
        lastWalks().insert(f.real, f.walk);
    if (!skipped.isEmpty())
        all.setIncomplete();
    if (footprint)
        *footprint = all;
    for (auto it = refs.begin(); it != refs.end(); ++it)
        *it = found.value(it.key().trimmed());
    for (const QString& line : std::as_const(skipped))
        qWarning().noquote() << "configsReferencingTemplate: not searched:" << line;
    if (notSearched)
        *notSearched += skipped;
    return refs;
}

TemplateReference PageTemplateLibrary::openConfigReferencing(const PageTemplate& tpl, const DashConfig& config)
{
    const QString name = tpl.folderName.trimmed();
    if (!tpl.homebrew || name.isEmpty()) {
        TemplateReference ref;
        ref.cfgFolderPath = config.zconf2Path;
        ref.configName = QFileInfo(config.zconf2Path).fileName();
        return ref;
    }
    return openConfigReferencingFolderNames({name}, config).value(name);
}

QHash<QString, TemplateReference> PageTemplateLibrary::openConfigReferencingFolderNames(const QStringList& folderNames,
                                                                                        const DashConfig& config)
{
    QStringList names;
    for (const QString& given : folderNames)
        names << given.trimmed();
    // The pages in the window and the saved file may differ either way
    // until the next save; whichever holds more references decides.
    const QList<int> saved = referencesInArchive(config.zconf2Path, names);
    QHash<QString, TemplateReference> refs;
    for (qsizetype i = 0; i < names.size(); ++i) {
        TemplateReference ref;
        ref.cfgFolderPath = config.zconf2Path;
        ref.configName = QFileInfo(config.zconf2Path).fileName();
        if (!names[i].isEmpty())
            ref.referenceCount = std::max(referencesInWindow(config, names[i]), saved[i]);
        refs.insert(folderNames[i], ref);
    }
    return refs;
}
