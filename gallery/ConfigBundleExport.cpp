#include "gallery/ConfigBundleExport.h"

#include "artwork/ArtworkFiles.h"
#include "gallery/ConfigBundleInstall.h"
#include "gallery/ReplacingZipFile.h"
#include "model/DashConfig.h"
#include "model/ErrorText.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/SafeRead.h"
#include "model/SafeWrite.h"
#include "model/XmlParams.h"
#include "model/ZipWriter.h"
#include "templates/PageTemplateLibrary.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>

namespace {

const QString kArtStageName = QStringLiteral("RS3_homebrew_folder");
const char* const kArtParams[] = {"PATH_IMAGE", "PATH_IMG_ON", "PATH_IMG_OFF", "PATH_IMAGE_PRW",
                                  "PATH_IMAGE_SFONDO_FW"};
const char* const kPageArtParams[] = {"PATH_IMAGE", "PATH_IMAGE_PRW", "PATH_IMAGE_SFONDO_FW"};

QString tr(const char* text)
{
    return QCoreApplication::translate("ConfigBundleExport", text);
}

QString normalized(const QString& path)
{
    QString p = path.trimmed();
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

bool isRs3Relative(const QString& path)
{
    return path.startsWith(QLatin1String("aim/"), Qt::CaseInsensitive);
}

// Empty and "." segments dropped (so trailing '/' go too); ".." segments are
// kept, so that PathGuard refuses such a reference wherever it is used.
QString cleaned(const QString& path)
{
    QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    parts.removeAll(QStringLiteral("."));
    return parts.join(QLatin1Char('/'));
}

QString chopSlashes(QString path)
{
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

// An RS3-relative path under an overlay or install root; empty when the path
// would leave the root.
QString resolveUnder(const QString& root, const QString& path)
{
    const QString installRoot = installRootOf(root);
    return installRoot.isEmpty() ? QString() : PathGuard::join(installRoot, chopSlashes(path));
}

bool isStock(const QString& path)
{
    const QString local = localOverlayRoot();
    if (local.isEmpty() || !QFileInfo(local).isDir())
        return false;
    const QString resolved = resolveUnder(local, path);
    return !resolved.isEmpty() && QFileInfo::exists(resolved);
}

QString firstRootFolder(const QString& path)
{
    for (const QString& root : allOverlayRoots()) {
        const QString resolved = resolveUnder(root, path);
        if (!resolved.isEmpty() && QFileInfo(resolved).isDir())
            return resolved;
    }
    return QString();
}

struct ArtSource {
    QString path;        // the file in the first overlay root that has it
    QString installRoot; // that root's install
};

ArtSource firstRootSource(const QString& path)
{
    for (const QString& root : allOverlayRoots()) {
        const QString resolved = resolveUnder(root, path);
        const QFileInfo info(resolved);
        if (!resolved.isEmpty() && (info.exists() || info.isSymLink()))
            return {resolved, installRootOf(root)};
    }
    return {};
}

// Every file below the folder, relative to it. A link (to a file, a folder,
// or nowhere) and a device or pipe count: each is an entry of the folder
// that is not bundled, and must show as not staged.
QStringList filesBelow(const QString& folder)
{
    return SafeRead::filesBelow(folder, true, true);
}

void record(QSet<QString>& refs, const QString& value, const QString& base)
{
    QString path = normalized(value);
    if (path.isEmpty())
        return;
    if (!isRs3Relative(path)) {
        const QString folder = normalized(base);
        if (folder.isEmpty())
            return;
        path = folder + (folder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + path;
    }
    path = cleaned(path);
    if (isRs3Relative(path))
        refs.insert(path);
}

void recordParams(QSet<QString>& refs, pugi::xml_node node, const QString& base)
{
    for (const char* name : kArtParams)
        record(refs, findParamText(node, name), base);
}

// The art folder's own files travel with a mask even when no parameter names
// them (a mask.tgz beside the mask.png the editor shows).
void recordMaskFolder(QSet<QString>& refs, const QString& maskFolder)
{
    const QString folder = chopSlashes(normalized(maskFolder));
    if (!isRs3Relative(folder))
        return;
    for (const TemplateFile& item : PageTemplateLibrary::maskImageItems(folder, QStringLiteral("md"), QSize()))
        record(refs, folder + QLatin1Char('/') + item.first.section(QLatin1Char('/'), -1), QString());
    const QString source = firstRootFolder(folder);
    if (source.isEmpty())
        return;
    for (const QString& name : QDir(source).entryList(QDir::Files | QDir::Hidden, QDir::Name))
        record(refs, folder + QLatin1Char('/') + name, QString());
}

void recordMask(QSet<QString>& refs, QSet<size_t>& handledPages, const MaskElement& mask)
{
    const pugi::xml_node page = mask.node.parent();
    if (hasClass(page, "GPageParam") && !handledPages.contains(page.hash_value())) {
        handledPages.insert(page.hash_value());
        for (const char* name : kPageArtParams)
            record(refs, findParamText(page, name), QString());
    }
    const QString maskFolder = findParamText(mask.node, "PATH_REL_AiM_MASK");
    recordParams(refs, mask.node, maskFolder);
    for (const WidgetModel& widget : mask.widgets)
        recordParams(refs, widget.node, maskFolder);
    recordMaskFolder(refs, maskFolder);
}

QStringList sortedList(const QSet<QString>& set)
{
    QStringList list(set.cbegin(), set.cend());
    list.sort(Qt::CaseSensitive);
    return list;
}

// The template folders of the references that travel whole: not stock and
// present in some install, in reference order.
QStringList bundledTemplateFolders(const QStringList& refs)
{
    QStringList folders;
    for (const QString& ref : refs) {
        const QString folder = templateFolderOf(ref);
        if (folder.isEmpty() || folders.contains(folder) || isStock(folder) || firstRootFolder(folder).isEmpty())
            continue;
        folders.append(folder);
    }
    return folders;
}

bool startsWithAny(const QString& path, const QStringList& prefixes)
{
    for (const QString& prefix : prefixes) {
        if (path.startsWith(prefix, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// Why an install file is not bundled: a link on the way down from the
// install root (what it points at may be the user's own), or no plain file.
QString whyNotBundled(const ArtSource& source)
{
    const QString link = FolderCopy::linkOnPath(source.installRoot, source.path);
    if (!link.isEmpty())
        return tr("%1 is a symbolic link").arg(link);
    if (!FolderCopy::isRegularFile(source.path))
        return tr("%1 is not a regular file").arg(source.path);
    return {};
}

// The art of the bundle, by its path below the art stage, with the install
// file it is read from when the archive is written: nothing is copied to
// the disk on the way.
struct ArtStage {
    QHash<QString, QString> sources;
    // Every folder holding staged art, by its path below the stage.
    QSet<QString> folders;

    // The path below the stage at which an RS3-relative path lands; empty
    // when it would leave the stage.
    static QString keyOf(const QString& path)
    {
        static const QString stage = QStringLiteral("/stage");
        const QString target = PathGuard::join(stage, chopSlashes(path));
        return target.isEmpty() ? QString() : target.mid(stage.size() + 1);
    }
    void add(const QString& key, const QString& source)
    {
        sources.insert(key, source);
        for (qsizetype at = key.lastIndexOf(QLatin1Char('/')); at > 0; at = key.lastIndexOf(QLatin1Char('/'), at - 1))
            folders.insert(key.left(at));
    }
    // As the staged tree on disk would answer: a file or a folder there.
    bool holds(const QString& key) const { return sources.contains(key) || folders.contains(key); }
    int filesBelow(const QString& folderKey) const
    {
        const QString prefix = folderKey + QLatin1Char('/');
        int count = 0;
        for (auto it = sources.cbegin(); it != sources.cend(); ++it)
            count += it.key().startsWith(prefix) ? 1 : 0;
        return count;
    }
};

// Stages the art that is there; *left gets, per file not bundled for a link
// or a special file, the reason naming it.
ArtStage stageArtFiles(const QStringList& artFiles, QHash<QString, QString>* left)
{
    ArtStage stage;
    for (const QString& path : artFiles) {
        const ArtSource source = firstRootSource(path);
        const QString key = ArtStage::keyOf(path);
        if (source.path.isEmpty() || key.isEmpty())
            continue;
        const QString why = whyNotBundled(source);
        if (!why.isEmpty()) {
            qWarning().noquote() << "exportConfigInstallBundle: left out" << path << "-" << why;
            left->insert(path, why);
            continue;
        }
        stage.add(key, source.path);
    }
    return stage;
}

QString leftLine(const QString& path, const QString& why)
{
    return tr("%1 (not bundled: %2)").arg(path, why);
}

QStringList missingReferences(const QStringList& refs, const ArtStage& stage, const QHash<QString, QString>& left)
{
    QStringList missing;
    for (const QString& ref : refs) {
        const QString staged = ArtStage::keyOf(ref);
        if ((staged.isEmpty() || !stage.holds(staged)) && !isStock(ref))
            missing.append(left.contains(ref) ? leftLine(ref, left.value(ref)) : ref);
    }
    // What a template folder holds beside its referenced files is named too.
    QStringList others;
    for (auto it = left.constBegin(); it != left.constEnd(); ++it) {
        if (!refs.contains(it.key()))
            others.append(leftLine(it.key(), it.value()));
    }
    others.sort(Qt::CaseSensitive);
    missing += others;
    const QStringList folders = bundledTemplateFolders(refs);
    for (const QString& folder : folders) {
        const int sourceCount = int(filesBelow(firstRootFolder(folder)).size());
        const int stagedCount = stage.filesBelow(ArtStage::keyOf(folder));
        if (stagedCount < sourceCount)
            missing.append(QStringLiteral("%1 (staged %2 of %3 files)").arg(folder, QString::number(stagedCount), QString::number(sourceCount)));
    }
    return missing;
}

// The sidecars that exist beside the configuration travel with it: one
// that cannot be copied fails the export, naming it.
bool stageSidecars(const QString& configFolder, const QString& name, const QString& staging, QString* error)
{
    for (const QString& file : DashConfig::sidecarFileNames(name)) {
        const QString source = configFolder + QLatin1Char('/') + file;
        const QFileInfo info(source);
        if (!info.exists() && !info.isSymLink())
            continue;
        // Only the plain file is the configuration's: a link or a pipe in
        // its place is named, never followed.
        QString why;
        if (info.isSymLink())
            why = tr("%1 is a symbolic link").arg(source);
        else if (!info.isDir() && !FolderCopy::isRegularFile(source))
            why = tr("%1 is not a regular file").arg(source);
        if (!why.isEmpty() || !copyFileOver(source, staging + QLatin1Char('/') + file, &why))
            return failWith(error, tr("could not stage %1: %2").arg(file, why));
    }
    return true;
}

// An entry of the bundle and the file it is read from.
struct BundleEntry {
    QString name;
    QString source;
};

// Folder by folder, each folder's names in order, a sub-folder's entries
// where its name comes: the order a walk of the staged tree gives.
bool walkOrder(const BundleEntry& a, const BundleEntry& b)
{
    const QStringList left = a.name.split(QLatin1Char('/'));
    const QStringList right = b.name.split(QLatin1Char('/'));
    return std::lexicographical_compare(left.cbegin(), left.cend(), right.cbegin(), right.cend(),
                                        [](const QString& x, const QString& y) { return x.compare(y) < 0; });
}

// The files of the staging folder (the configuration, its sidecars, the
// README) and the staged art, in walk order.
QList<BundleEntry> bundleEntries(const QString& staging, const ArtStage& stage)
{
    QList<BundleEntry> entries;
    for (const QString& name :
         QDir(staging).entryList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name))
        entries.append({name, staging + QLatin1Char('/') + name});
    for (auto it = stage.sources.cbegin(); it != stage.sources.cend(); ++it)
        entries.append({kArtStageName + QLatin1Char('/') + it.key(), it.value()});
    std::sort(entries.begin(), entries.end(), walkOrder);
    return entries;
}

// Writes the entries, each file read as it is written; one that cannot be
// read is left out and named in *unreadable. False with the system's reason
// when an entry cannot be written.
bool writeBundleEntries(zipFile zip, const QList<BundleEntry>& entries, BundleSteps& steps, QStringList* unreadable,
                        QString* reason)
{
    for (const BundleEntry& entry : entries) {
        steps.step();
        QByteArray data;
        if (!SafeRead::readFile(entry.source, kArtFileReadBound, &data)) {
            unreadable->append(entry.name);
            continue;
        }
        if (!writeZipEntry(zip, entry.name, data)) {
            *reason = qt_error_string(errno);
            return false;
        }
    }
    return true;
}

} // namespace

QString templateFolderOf(const QString& path)
{
    const QStringList parts = normalized(path).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() < 3)
        return QString();
    const auto is = [&parts](int at, const char* word) {
        return parts.at(at).compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    };
    int i = 0;
    while (i + 2 < parts.size() && !(is(i, "masks") && is(i + 1, "set") && is(i + 2, "standard")))
        ++i;
    if (i + 4 >= parts.size())
        return QString();
    const QString homebrew = QStringLiteral("s04_homebrew");
    int last = i + 4;
    if (parts.at(i + 3) != homebrew && parts.at(i + 4) == homebrew) {
        last = i + 5;
        if (last >= parts.size())
            return QString();
    }
    return parts.mid(0, last + 1).join(QLatin1Char('/')) + QLatin1Char('/');
}

QStringList collectConfigAssetReferences(const DashConfig& config)
{
    QSet<QString> refs;
    QSet<size_t> handledPages;
    for (const PageModel& page : config.pages) {
        for (const MaskElement& mask : page.masks) {
            if (mask.node)
                recordMask(refs, handledPages, mask);
        }
    }
    return sortedList(refs);
}

QStringList collectConfigArtFiles(const DashConfig& config)
{
    const QStringList refs = collectConfigAssetReferences(config);
    const QStringList folders = bundledTemplateFolders(refs);
    QSet<QString> files;
    for (const QString& folder : folders) {
        for (const QString& file : filesBelow(firstRootFolder(folder)))
            files.insert(folder + file);
    }
    for (const QString& ref : refs) {
        if (startsWithAny(ref, folders))
            continue;
        const QString folder = templateFolderOf(ref);
        if ((!folder.isEmpty() && isStock(folder)) || isStock(ref))
            continue;
        files.insert(ref);
    }
    return sortedList(files);
}

// A failed write leaves the system's reason (a full disk, a file too large)
// in *reason.
bool addFolderToZip(zipFile zip, const QString& folder, const QString& prefix, QStringList* unreadable,
                    QString* reason)
{
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString name = prefix.isEmpty() ? entry.fileName() : prefix + QLatin1Char('/') + entry.fileName();
        if (entry.isDir()) {
            if (!entry.isSymLink() && !addFolderToZip(zip, entry.absoluteFilePath(), name, unreadable, reason))
                return false;
            continue;
        }
        // An unreadable file stays out: an empty entry would later be
        // installed over good art. So does a link or a pipe: only plain
        // files are read, within an art file's bound.
        QByteArray data;
        if (!SafeRead::readFile(entry.absoluteFilePath(), kArtFileReadBound, &data)) {
            if (unreadable)
                unreadable->append(name);
            continue;
        }
        if (!writeZipEntry(zip, name, data)) {
            *reason = qt_error_string(errno);
            return false;
        }
    }
    return true;
}

QByteArray installBundleReadme(const QString& name)
{
    const QString dash = QString::fromUtf8("\xE2\x80\x94");
    const QStringList lines = {
        QStringLiteral("%1 %2 Korvelanto install bundle").arg(name, dash),
        QString(),
        QStringLiteral("This bundle contains the config plus every dashboard art file it"),
        QStringLiteral("references (base masks, bar frames, page backgrounds)."),
        QString(),
        QStringLiteral("TO INSTALL:"),
        QStringLiteral("  1. Close RaceStudio3."),
        QStringLiteral("  2. If you installed an older version of this config's art,"),
        QStringLiteral("     delete its matching folder(s) under"),
        QStringLiteral("     RaceStudio3\\aim\\resources\\overlay\\ first."),
        QStringLiteral("  3. Copy the 'aim' folder from RS3_homebrew_folder\\ into your"),
        QStringLiteral("     RaceStudio3 install root (the folder that already contains"),
        QStringLiteral("     'aim'). When Windows asks, choose \"Replace the files in the"),
        QStringLiteral("     destination\"."),
        QStringLiteral("  4. Start RaceStudio3, then import / open %1.zconf2.").arg(name),
        QString(),
        QStringLiteral("The config now opens with all art present %1 no \"internal error").arg(dash),
        QStringLiteral("while loading an image\"."),
    };
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

bool exportConfigInstallBundle(const DashConfig& config, const QString& zipPath, QString* error,
                               QStringList* missing, int* artCount, const BundleProgress& progress)
{
    BundleSteps steps{progress};
    steps.tell();
    const QFileInfo configFile(config.zconf2Path);
    if (config.zconf2Path.isEmpty() || !configFile.isFile())
        return failWith(error, tr("no saved config on disk to export (save the config first)"));
    const QString name = configFile.completeBaseName();
    QTemporaryDir staging;
    if (!staging.isValid())
        return failWith(error, tr("could not create a temporary staging dir"));
    const QStringList refs = collectConfigAssetReferences(config);
    QHash<QString, QString> left;
    const ArtStage stage = stageArtFiles(collectConfigArtFiles(config), &left);
    int staged = int(stage.sources.size());
    QStringList notBundled = missingReferences(refs, stage, left);
    if (missing)
        *missing = notBundled;
    if (artCount)
        *artCount = staged;

    QString why;
    if (!copyFileOver(configFile.absoluteFilePath(), staging.path() + QLatin1Char('/') + name + QStringLiteral(".zconf2"),
                      &why))
        return failWith(error, tr("could not stage the .zconf2: %1").arg(why));
    if (!stageSidecars(configFile.absolutePath(), name, staging.path(), error))
        return false;
    if (!writeFileBytes(staging.path() + QStringLiteral("/README_FIRST.txt"), installBundleReadme(name), &why))
        return failWith(error, tr("could not write README_FIRST.txt: %1").arg(why));

    // Missing art is listed; a configuration, sidecar or README that cannot
    // be read back is not a bundle at all.
    const QString artPrefix = kArtStageName + QLatin1Char('/');
    ReplacingZipFile zip(zipPath);
    if (!zip.open(&why))
        return failWith(error, tr("could not create %1: %2").arg(zipPath, why));
    QStringList unreadable;
    const QList<BundleEntry> entries = bundleEntries(staging.path(), stage);
    steps.total = int(entries.size());
    steps.tell();
    if (!writeBundleEntries(zip.handle(), entries, steps, &unreadable, &why))
        return failWith(error, tr("failed while writing the bundle zip: %1").arg(why));
    for (const QString& entry : unreadable) {
        if (!entry.startsWith(artPrefix))
            return failWith(error, tr("failed while writing the bundle zip: %1 could not be read").arg(entry));
    }
    if (!zip.commit(&why))
        return failWith(error, tr("failed while writing the bundle zip: %1").arg(why));
    for (const QString& entry : unreadable) {
        notBundled.append(entry.mid(artPrefix.size()));
        --staged;
    }
    if (missing)
        *missing = notBundled;
    if (artCount)
        *artCount = staged;
    return true;
}
