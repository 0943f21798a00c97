#include "model/DashConfig.h"

#include "model/DeviceTables.h"
#include "model/ExtractFolders.h"
#include "model/FolderCopy.h"
#include "model/XmlFile.h"
#include "model/XmlParams.h"
#include "model/ZipArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

// What a load takes out of the config before it starts, so that a failed
// load can put the previous configuration back untouched.
struct DashConfig::LoadGuard {
    QString zconf2Path;
    QString extractDir;
    QTemporaryDir* tempDir = nullptr;
    ArchiveIndex archiveIndex;
    QString aimcfgPath;
    QString deviceNote;
    std::vector<DeviceFile*> devices;
    std::vector<PageModel> pages;
    bool ok = false;
};

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("DashConfig", text);
}

bool loadXmlFile(pugi::xml_document& doc, const QString& path)
{
    return bool(loadXmlDocument(doc, path));
}

pugi::xml_node gconfOf(const pugi::xml_document& doc)
{
    const pugi::xml_node top = doc.child("overlay_cli").child("e");
    return top ? top.find_child_by_attribute("e", "c", "GConfParam") : pugi::xml_node();
}

// Paths under `dir` named like `pattern`, in a fixed order so that "the
// first" never depends on the file system. The relative path (with a
// leading '/') is what folder rules test, not the temporary folder's own.
QStringList sortedFilesUnder(const QString& dir, const QString& pattern)
{
    QStringList paths;
    QDirIterator it(dir, QStringList{pattern}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool relativePathContains(const QString& dir, const QString& path, const QString& folder)
{
    const QString rel = QLatin1Char('/') + QDir(dir).relativeFilePath(path);
    return rel.contains(folder, Qt::CaseInsensitive);
}

// No real device file or device description comes near this; a parsed node
// takes several times the bytes of its text, so a larger file is refused
// before parsing instead of growing to gigabytes of nodes.
constexpr qint64 kMaxXmlFileBytes = qint64(64) * 1024 * 1024;

// The first XML file that the load would parse and that is larger than the
// cap, relative to dir; empty when there is none.
QString oversizedXmlFile(const QString& dir, const QString& aimcfgPath)
{
    QStringList parsed;
    for (const QString& path : sortedFilesUnder(dir, QStringLiteral("overlay.ov3.xml"))) {
        if (!relativePathContains(dir, path, QStringLiteral("/expansions/")))
            parsed << path;
    }
    parsed << sortedFilesUnder(dir, QStringLiteral("triconsmng.to.xml"));
    if (!aimcfgPath.isEmpty())
        parsed << aimcfgPath;
    for (const QString& path : parsed) {
        if (QFileInfo(path).size() > kMaxXmlFileBytes)
            return QDir(dir).relativeFilePath(path);
    }
    return {};
}

// The device "Type" of a `.aimcfg`; empty when any step is missing.
QString deviceTypeOf(const QString& aimcfgPath)
{
    if (aimcfgPath.isEmpty())
        return {};
    pugi::xml_document doc;
    if (!loadXmlFile(doc, aimcfgPath))
        return {};
    const pugi::xml_node top = doc.child("CfgFileFormat").child("e");
    const pugi::xml_node device = top.find_child_by_attribute("e", "c", "Device");
    if (!device)
        return {};
    return findParamText(device, "Type");
}

} // namespace

bool DashConfig::load(const QString& path, QString* error)
{
    LoadGuard guard;
    guard.zconf2Path = std::exchange(zconf2Path, QString());
    guard.extractDir = std::exchange(extractDir, QString());
    guard.tempDir = std::exchange(tempDir, nullptr);
    guard.archiveIndex = std::exchange(archiveIndex, ArchiveIndex());
    guard.aimcfgPath = std::exchange(aimcfgPath, QString());
    guard.deviceNote = std::exchange(deviceNote, QString());
    guard.devices.swap(devices);
    guard.pages.swap(pages);
    // Records the previous configuration staged are not this one's.
    std::optional<QMap<QString, BarColorRecord>> staged = std::exchange(stagedBarColors, std::nullopt);
    QMap<SidecarStore, QJsonObject> stagedOthers = std::exchange(stagedLists, {});
    homebrewRepairCount = 0;
    homebrewRepairLeft.clear();
    homebrewRepairMismatched.clear();
    barRepairCount = 0;

    QString reason;
    auto run = [&]() -> bool {
        const QFileInfo info(path);
        if (info.isDir()) {
            reason = tr("%1 is a folder, not a configuration file.").arg(QDir::toNativeSeparators(path));
            return false;
        }
        if (!info.isFile()) {
            reason = tr("The file %1 does not exist.").arg(QDir::toNativeSeparators(path));
            return false;
        }
        zconf2Path = path;

        QTemporaryDir* dir = ExtractFolders::create();
        if (!dir->isValid()) {
            removeTempExtractDir(dir);
            reason = tr("Could not create a temporary folder to open the file.");
            return false;
        }
        extractDir = dir->path();
        tempDir = dir;

        QString extractError;
        if (!extractZip(path, extractDir, ExtractLimits(), &extractError)) {
            reason = extractError.isEmpty()
                ? tr("The archive could not be extracted; it is damaged or not a configuration.")
                : extractError;
            return false;
        }
        const QString oversized = oversizedXmlFile(extractDir, findAimcfg(extractDir));
        if (!oversized.isEmpty()) {
            reason = tr("The file %1 in the archive is larger than %2 MiB and cannot be opened.")
                         .arg(oversized, QString::number(kMaxXmlFileBytes / (1024 * 1024)));
            return false;
        }
        // Taken before anything could touch the extracted files; without it
        // a save simply packs every file anew.
        archiveIndex.build(path, extractDir);
        if (!loadDeviceFiles(extractDir)) {
            reason = tr("The archive holds no readable device file (overlay.ov3.xml).");
            return false;
        }
        // The walks that later search the device documents are recursive:
        // refuse a document nested deeper than any real configuration.
        for (const DeviceFile* device : devices) {
            if (!xmlNestingWithin(device->doc)) {
                reason = tr("The device file %1 is nested more than %2 levels deep and cannot be opened.")
                             .arg(QDir(extractDir).relativeFilePath(device->filePath),
                                  QString::number(kMaxXmlNesting));
                return false;
            }
        }

        aimcfgPath = findAimcfg(extractDir);
        noteUnsupportedDevice(deviceTypeOf(aimcfgPath));

        pages.clear();
        for (int i = 0; i < static_cast<int>(devices.size()); ++i) {
            if (devices[static_cast<size_t>(i)]->pageCount < 1)
                continue;
            const pugi::xml_node gconf = gconfNode(i);
            if (!gconf) {
                reason = tr("The device file %1 has pages but no GConfParam.")
                             .arg(QDir(extractDir).relativeFilePath(devices[static_cast<size_t>(i)]->filePath));
                return false;
            }
            for (pugi::xml_node e = gconf.child("e"); e; e = e.next_sibling("e")) {
                if (hasClass(e, "GPageParam"))
                    parsePage(e, i);
            }
        }

        // Nothing below can fail: from here on the new configuration stands,
        // so nothing of the previous one may leak into it.
        resetDeviceDescription();
        // Before the repairs, which read the records.
        adoptLegacySidecarRecords();

        runLoadTimeFixups();
        runLoadTimeRepairs();
        // The installs and the stores as the open leaves them are the saved
        // state.
        artState.savedArt.forget();
        keepSavedSidecars();

        QStringList folders;
        for (const DeviceFile* device : devices)
            folders << QFileInfo(device->filePath).absolutePath();
        installFontFolders(folders);

        readChannelsAndIcons();
        return true;
    };
    guard.ok = run();

    commitOrRestoreLoad(guard);
    if (!guard.ok) {
        stagedBarColors = std::move(staged);
        stagedLists = std::move(stagedOthers);
    }
    // After success the guard holds the previous configuration; after a
    // failure it holds nothing.
    guard.pages.clear();
    for (DeviceFile* device : guard.devices)
        delete device;
    guard.devices.clear();
    removeTempExtractDir(guard.tempDir);
    guard.tempDir = nullptr;

    if (!guard.ok && error)
        *error = reason;
    return guard.ok;
}

void DashConfig::commitOrRestoreLoad(LoadGuard& guard)
{
    if (guard.ok)
        return;
    zconf2Path = std::exchange(guard.zconf2Path, QString());
    extractDir = std::exchange(guard.extractDir, QString());
    QTemporaryDir* created = std::exchange(tempDir, std::exchange(guard.tempDir, nullptr));
    removeTempExtractDir(created);
    archiveIndex = std::exchange(guard.archiveIndex, ArchiveIndex());
    aimcfgPath = std::exchange(guard.aimcfgPath, QString());
    deviceNote = std::exchange(guard.deviceNote, QString());
    // Pages hold handles into the device documents: drop them together.
    pages.clear();
    deleteDevices();
    devices.swap(guard.devices);
    pages.swap(guard.pages);
    homebrewRepairCount = 0;
    homebrewRepairLeft.clear();
    homebrewRepairMismatched.clear();
    barRepairCount = 0;
}

bool DashConfig::loadDeviceFiles(const QString& dir)
{
    deleteDevices();

    QStringList paths;
    for (const QString& p : sortedFilesUnder(dir, QStringLiteral("overlay.ov3.xml"))) {
        // Expansion modules carry device files of their own that are not
        // part of the dash configuration.
        if (!relativePathContains(dir, p, QStringLiteral("/expansions/")))
            paths << p;
    }
    if (paths.isEmpty())
        return false;

    for (const QString& p : paths) {
        auto* device = new DeviceFile;
        device->filePath = p;
        device->onDisk = FileStamp::of(p);
        const pugi::xml_node gconf = loadXmlFile(device->doc, p) ? gconfOf(device->doc) : pugi::xml_node();
        if (!gconf) {
            delete device;
            continue;
        }
        for (pugi::xml_node param = gconf.child("p"); param; param = param.next_sibling("p")) {
            const char* n = param.attribute("n").value();
            const QByteArray value(param.text().get());
            if (std::strcmp(n, "DIMENSIONE_X") == 0) {
                device->dimX = leadingInt(value);
            } else if (std::strcmp(n, "DIMENSIONE_Y") == 0) {
                device->dimY = leadingInt(value);
            } else if (std::strcmp(n, "IndexFeatForType") == 0) {
                device->dashNumber = static_cast<unsigned int>(std::strtoul(value.constData(), nullptr, 10));
                device->hasDashNumber = true;
            }
        }
        for (pugi::xml_node e = gconf.child("e"); e; e = e.next_sibling("e")) {
            if (hasClass(e, "GPageParam"))
                ++device->pageCount;
        }

        device->overlayFolder = deviceFolderFromPagePaths(gconf);
        if (device->overlayFolder.isEmpty()) {
            const QString pdm = pdmFolderFromPagePaths(gconf);
            if (!pdm.isEmpty()) {
                if (device->hasDashNumber && device->dashNumber == 1)
                    device->overlayFolder = pdm + QLatin1String("/dash1");
                else if (device->hasDashNumber && device->dashNumber == 2)
                    device->overlayFolder = pdm + QLatin1String("/dash2");
                else if (device->dimX == 1280)
                    device->overlayFolder = pdm + QLatin1String("/dash1");
                else if (device->dimX == 800)
                    device->overlayFolder = pdm + QLatin1String("/dash2");
            }
        }
        devices.push_back(device);
    }

    // Files with pages first, then by dash number; ties keep path order.
    std::stable_sort(devices.begin(), devices.end(), [](const DeviceFile* a, const DeviceFile* b) {
        const bool aPages = a->pageCount > 0;
        const bool bPages = b->pageCount > 0;
        if (aPages != bPages)
            return aPages;
        return a->dashNumber < b->dashNumber;
    });
    return !devices.empty();
}

QString DashConfig::findAimcfg(const QString& dir)
{
    const QStringList candidates = sortedFilesUnder(dir, QStringLiteral("*.aimcfg"));
    for (const QString& p : candidates) {
        if (!relativePathContains(dir, p, QStringLiteral("/devices/")))
            return p;
    }
    return candidates.isEmpty() ? QString() : candidates.first();
}

QStringList DashConfig::firmwarePageFolders()
{
    QStringList folders;
    for (int i = 0; i < static_cast<int>(devices.size()); ++i) {
        const pugi::xml_node gconf = gconfNode(i);
        for (pugi::xml_node page = gconf.child("e"); page; page = page.next_sibling("e")) {
            if (!hasClass(page, "GPageParam"))
                continue;
            for (pugi::xml_node p = page.child("p"); p; p = p.next_sibling("p")) {
                if (std::strcmp(p.attribute("n").value(), "PATH_REL_AiM_PAGE") != 0)
                    continue;
                const QString folder = deviceFolderFromPath(QString::fromUtf8(p.text().get()));
                if (folder.isEmpty())
                    continue;
                if (!folders.contains(folder, Qt::CaseInsensitive))
                    folders << folder;
                break;
            }
        }
    }
    return folders;
}

void DashConfig::noteUnsupportedDevice(const QString& type)
{
    const QStringList firmwareFolders = firmwarePageFolders();
    const QString mapped = overlayFolderForDeviceName(type);
    QStringList canonical;
    for (const QString& folder : firmwareFolders) {
        const QString c = canonicalDeviceFolderFromPath(
            QLatin1String("aim/resources/overlay/") + folder + QLatin1String("/masks/"));
        if (!c.isEmpty() && !canonical.contains(c))
            canonical << c;
    }
    const bool unknownType = !type.isEmpty() && mapped.isEmpty();
    const bool unknownFolders = !firmwareFolders.isEmpty() && canonical.isEmpty();
    if (!unknownType && !unknownFolders)
        return;
    QString note = type.isEmpty() ? QStringLiteral("(unknown)") : type;
    if (!firmwareFolders.isEmpty())
        note += QLatin1String(" (firmware path: ") + firmwareFolders.first() + QLatin1Char(')');
    deviceNote = note;
}

void DashConfig::resetDeviceDescription()
{
    // Filled again from the new `.aimcfg` when it has one; a configuration
    // without one must not show the channels or name of the previous file.
    aimcfgDoc.reset();
    channels.clear();
    fidRanges.clear();
    deviceName.clear();
    typeCode = -1;
    loadedConfigName.clear();
    newConfigName.clear();
    renamePending = false;
    displayWidth = 800;
    displayHeight = 480;
    triggeredIcons.clear();
    triggeredIconImages.clear();
    digitFixCount = 0;
}

// normalizeAlignParams() and then digitFixCount = insertFwPositionParams();
// they rely on pages, devices and zconf2Path being final.
void DashConfig::runLoadTimeFixups()
{
    normalizeAlignParams();
    digitFixCount = insertFwPositionParams();
}

// homebrewRepairCount = repairMissingHomebrewArt (repair-only mode), then
// barRepairCount = repairMissingColoredBars(). Both write into the RS3
// installs, so they run only once the load can no longer fail.
void DashConfig::runLoadTimeRepairs()
{
    artState.notes.clear();
    homebrewRepairLeft.clear();
    homebrewRepairMismatched.clear();
    // Whatever the repairs copy or draw is waited for on the disk once, at
    // the end, not file by file: an open that draws a whole configuration's
    // art again would otherwise wait for the disk a thousand times.
    FolderCopy batch;
    artState.copies = &batch;
    // The boxes, then the bars, each go over every page: told as one run,
    // so the count the window shows never goes back.
    const std::function<void(int, int)> progress = artState.repairProgress;
    const auto passOf = [&progress](int pass) -> std::function<void(int, int)> {
        if (!progress)
            return {};
        return [progress, pass](int page, int pages) { progress(pass * pages + page, 2 * pages); };
    };
    {
        const auto stop = qScopeGuard([this, progress] {
            artState.copies = nullptr;
            artState.repairProgress = progress;
        });
        artState.repairProgress = passOf(0);
        homebrewRepairCount = repairMissingHomebrewArt(false, &homebrewRepairLeft, &homebrewRepairMismatched);
        artState.repairProgress = passOf(1);
        barRepairCount = repairMissingColoredBars();
    }
    noteArtCopies(batch);
}

// resetFontFolders() and then setFontFolders(folders): one folder per
// device file, whose "allfnt" holds the firmware fonts.
void DashConfig::installFontFolders(const QStringList& folders)
{
    resetFontFolders();
    setFontFolders(folders);
}

// With an aimcfgPath: parseChannelsList(aimcfgPath), then
// parseChannelRanges(aimcfgPath); then parseTriggeredIconsManager(extractDir).
// Results are not checked: missing channels or icons do not fail an open.
void DashConfig::readChannelsAndIcons()
{
    if (!aimcfgPath.isEmpty()) {
        parseChannelsList(aimcfgPath);
        parseChannelRanges(aimcfgPath);
    }
    parseTriggeredIconsManager(extractDir);
}
