#include "model/InstallRoots.h"

#include "model/FolderCopy.h"
#include "model/FolderNames.h"
#include "model/PathGuard.h"
#include "model/XmlFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

const QString& overlayPrefix()
{
    static const QString prefix = QStringLiteral("aim/resources/overlay/");
    return prefix;
}

const QString& overlaySubPath()
{
    static const QString sub = QStringLiteral("/aim/resources/overlay");
    return sub;
}

QString& localOverride()
{
    static QString value;
    return value;
}

QString normaliseRoot(QString root)
{
    root.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (root.endsWith(QLatin1Char('/')))
        root.chop(1);
    return root;
}

struct RootsOfPass {
    int depth = 0;
    QString stable;
    QString beta;
};

RootsOfPass& rootsOfPass()
{
    static RootsOfPass roots;
    return roots;
}

QString settingsRoot(const char* key, const QString& fallback)
{
    QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
    return normaliseRoot(settings.value(QLatin1String(key), fallback).toString());
}

QString defaultRoot(const QString& folderName)
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:/AIM_SPORT/") + folderName;
#else
    QString prefix = qEnvironmentVariable("WINEPREFIX");
    if (prefix.isEmpty())
        prefix = QDir::homePath() + QStringLiteral("/.wine");
    return normaliseRoot(prefix) + QStringLiteral("/drive_c/AIM_SPORT/") + folderName;
#endif
}

// Empty unless the folder is absolute and exists: see raceStudio3Root.
QString usableRoot(const QString& root)
{
    if (root.isEmpty() || !QDir::isAbsolutePath(root) || !QFileInfo(root).isDir())
        return {};
    return root;
}

QString stripTrailingSlashes(QString p)
{
    while (p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return p;
}

// rel without the "aim/resources/overlay/" prefix (case-sensitive), as the
// item look-ups take it.
QString overlayRest(const QString& rel)
{
    return rel.startsWith(overlayPrefix()) ? rel.mid(overlayPrefix().size()) : rel;
}

QString withSlash(const QString& p)
{
    return p.endsWith(QLatin1Char('/')) ? p : p + QLatin1Char('/');
}

// Text between the first "overlay/" and the first "/masks/" (case-sensitive).
QString deviceBetweenMarkers(const QString& rel)
{
    const int a = rel.indexOf(QLatin1String("overlay/"));
    const int b = rel.indexOf(QLatin1String("/masks/"));
    if (a < 0 || b <= a + 7)
        return {};
    return rel.mid(a + 8, b - (a + 8));
}

QStringList sortedSubFolders(const QString& folder)
{
    return sortedEntryNames(folder, QDir::Dirs | QDir::NoDotAndDotDot);
}

quint32 readLe32(const QByteArray& d, qint64 off)
{
    const auto* b = reinterpret_cast<const uchar*>(d.constData()) + off;
    return quint32(b[0]) | (quint32(b[1]) << 8) | (quint32(b[2]) << 16) | (quint32(b[3]) << 24);
}

quint16 readLe16(const QByteArray& d, qint64 off)
{
    const auto* b = reinterpret_cast<const uchar*>(d.constData()) + off;
    return quint16(b[0] | (b[1] << 8));
}

} // namespace

QString appDataDir()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (dir.isEmpty())
        dir = QDir::homePath() + QStringLiteral("/AppData/Roaming/Tindrel AS/Korvelanto");
    dir.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return dir;
}

QString defaultRaceStudio3Root()
{
    return defaultRoot(QStringLiteral("RaceStudio3"));
}

QString defaultRaceStudio3BetaRoot()
{
    return defaultRoot(QStringLiteral("RaceStudio3_beta"));
}

QString configuredRaceStudio3Root()
{
    return settingsRoot("paths/raceStudio3Root", defaultRaceStudio3Root());
}

QString configuredRaceStudio3BetaRoot()
{
    return settingsRoot("paths/raceStudio3BetaRoot", defaultRaceStudio3BetaRoot());
}

QString raceStudio3Root()
{
    if (rootsOfPass().depth > 0)
        return rootsOfPass().stable;
    return usableRoot(configuredRaceStudio3Root());
}

QString raceStudio3BetaRoot()
{
    if (rootsOfPass().depth > 0)
        return rootsOfPass().beta;
    return usableRoot(configuredRaceStudio3BetaRoot());
}

InstallRootsPass::InstallRootsPass()
{
    RootsOfPass& roots = rootsOfPass();
    if (roots.depth == 0) {
        roots.stable = raceStudio3Root();
        roots.beta = raceStudio3BetaRoot();
    }
    ++roots.depth;
}

InstallRootsPass::~InstallRootsPass()
{
    --rootsOfPass().depth;
}

QStringList rs3OverlayRoots()
{
    QStringList roots;
    for (const QString& root : {raceStudio3Root(), raceStudio3BetaRoot()}) {
        if (!root.isEmpty())
            roots.append(root + overlaySubPath());
    }
    return roots;
}

void setLocalOverlayRootOverride(const QString& overlayRoot)
{
    localOverride() = normaliseRoot(overlayRoot);
}

QString localOverlayRoot()
{
    if (!localOverride().isEmpty())
        return localOverride();
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (exeDir.isEmpty())
        return {};
    return normaliseRoot(exeDir) + overlaySubPath();
}

QStringList allOverlayRoots()
{
    QStringList roots = rs3OverlayRoots();
    const QString local = localOverlayRoot();
    if (!local.isEmpty() && !roots.contains(local))
        roots.append(local);
    return roots;
}

QString resolveAssetPath(const QString& path)
{
    if (path.isEmpty())
        return {};
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList installRoots = {raceStudio3Root(), raceStudio3BetaRoot()};
    if (QDir::isAbsolutePath(p)) {
        // Absolute names are honoured only inside an install or the local
        // tree (the icon preview stores those); anything else is refused.
        if (!QFileInfo::exists(p))
            return {};
        QStringList allowed = installRoots;
        allowed.append(localOverlayRoot());
        for (const QString& root : allowed) {
            if (!root.isEmpty() && PathGuard::isInside(root, p))
                return QDir::cleanPath(p);
        }
        return {};
    }
    for (const QString& root : installRoots) {
        const QString candidate = PathGuard::join(root, p);
        if (!candidate.isEmpty() && QFileInfo::exists(candidate))
            return candidate;
    }
    return {};
}

QString itemsParentFolder(const QString& path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    p = withSlash(p);
    int i = p.lastIndexOf(QLatin1String("/items/"));
    if (i < 0)
        i = p.lastIndexOf(QLatin1String("/Items/"));
    if (i < 0)
        return p;
    return p.left(i + 1);
}

QString locateItemMaskPng(const QString& rel)
{
    if (rel.isEmpty())
        return {};
    const QString device = deviceBetweenMarkers(rel);
    const QStringList roots = rs3OverlayRoots();

    // An item of the element itself comes first: its art matches the layout.
    const QString rest = stripTrailingSlashes(overlayRest(rel));
    const QString itemsRel = rest.isEmpty() ? QStringLiteral("Items") : rest + QStringLiteral("/Items");
    for (const QString& root : roots) {
        const QString folder = PathGuard::join(root, itemsRel);
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            continue;
        for (const QString& sub : sortedSubFolders(folder)) {
            if (QFileInfo::exists(folder + QLatin1Char('/') + sub + QStringLiteral("/mask.png")))
                return withSlash(rel) + QStringLiteral("Items/") + sub + QLatin1Char('/');
        }
    }

    if (device.isEmpty())
        return {};
    for (const QString& root : roots) {
        const QString folder = PathGuard::join(root, device + QStringLiteral("/masks/set/standard"));
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            continue;
        QString best;
        qint64 bestSize = -1;
        QStringList found;
        QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            if (sameFileName(it.fileName(), QLatin1StringView("mask.png")))
                found.append(file);
        }
        // Sorted so that a tie in size is decided the same way on every machine.
        std::sort(found.begin(), found.end());
        for (const QString& file : found) {
            const qint64 size = QFileInfo(file).size();
            if (bestSize < 0 || size < bestSize) {
                best = file;
                bestSize = size;
            }
        }
        if (best.isEmpty())
            continue;
        QString relative = best;
        relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QString cleanRoot = QDir::cleanPath(root) + QLatin1Char('/');
        if (!relative.startsWith(cleanRoot))
            continue;
        relative = relative.mid(cleanRoot.size());
        relative.chop(8); // "mask.png", keeping the '/'
        return overlayPrefix() + relative;
    }
    return {};
}

QString findItemForClass(const QString& rel, const QString& className)
{
    if (rel.isEmpty() || className.isEmpty())
        return {};
    const QByteArray cls = className.toUtf8();
    const QString rest = stripTrailingSlashes(overlayRest(rel));
    for (const QString& root : rs3OverlayRoots()) {
        for (const QString& itemsName : {QStringLiteral("Items"), QStringLiteral("items")}) {
            const QString folder = PathGuard::join(root, rest.isEmpty() ? itemsName : rest + QLatin1Char('/') + itemsName);
            if (folder.isEmpty() || !QFileInfo(folder).isDir())
                continue;
            for (const QString& sub : sortedSubFolders(folder)) {
                const QDir subDir(folder + QLatin1Char('/') + sub);
                const QStringList files
                    = entriesEndingWith(subDir.path(), QLatin1StringView(".M2.xml"), QDir::Files, QDir::Name);
                for (const QString& file : files) {
                    pugi::xml_document doc;
                    if (!loadXmlDocument(doc, subDir.filePath(file)))
                        continue;
                    for (pugi::xml_node e : doc.document_element().children("e")) {
                        bool match = cls == e.attribute("c").value();
                        for (pugi::xml_node inner : e.children("e")) {
                            if (match)
                                break;
                            match = cls == inner.attribute("c").value();
                        }
                        if (match)
                            return withSlash(rel) + itemsName + QLatin1Char('/') + sub + QLatin1Char('/');
                    }
                }
            }
        }
    }
    return {};
}

pugi::xml_node findScaleFsvNode(pugi::xml_node element)
{
    if (!element)
        return {};
    pugi::xml_node direct = element.find_child_by_attribute("e", "c", "ScaleFSV");
    if (direct)
        return direct;
    for (pugi::xml_node udm : element.children("e")) {
        if (std::strcmp(udm.attribute("c").value(), "UDM") != 0)
            continue;
        pugi::xml_node inner = udm.find_child_by_attribute("e", "c", "ScaleFSV");
        if (inner)
            return inner;
    }
    return {};
}

QImage readImageFile(const QString& path)
{
    // Far beyond any dash background; keeps a hostile file from filling memory.
    constexpr qint64 kMaxFileBytes = qint64(256) * 1024 * 1024;
    QByteArray data;
    if (!FolderCopy::readRegularFile(path, kMaxFileBytes, &data))
        return {};
    const qint64 size = data.size();
    if (size < 70)
        return {};
    if (data[0] != 'B' || data[1] != 'M')
        return {};
    if (readLe32(data, 14) < 40 || readLe16(data, 28) != 16 || readLe32(data, 30) != 3)
        return {};
    const qint64 width = qint32(readLe32(data, 18));
    const qint64 height = qint32(readLe32(data, 22));
    if (width <= 0 || height == 0 || height == qint64(INT_MIN))
        return {};
    if (readLe32(data, 54) != 0xF800 || readLe32(data, 58) != 0x07E0 || readLe32(data, 62) != 0x001F)
        return {};

    // All sizes in 64 bits, and each bound checked before it is multiplied.
    const qint64 offset = readLe32(data, 10);
    const qint64 rows = height < 0 ? -height : height;
    const qint64 stride = ((width * 16 + 31) / 32) * 4;
    if (offset > size)
        return {};
    const qint64 available = size - offset;
    if (stride > available || rows > available / stride)
        return {};

    QImage image(int(width), int(rows), QImage::Format_RGB888);
    if (image.isNull())
        return {};
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    for (qint64 y = 0; y < rows; ++y) {
        const qint64 sourceRow = height < 0 ? y : rows - 1 - y;
        const qint64 start = offset + sourceRow * stride;
        if (start < 0 || start + width * 2 > size)
            return {};
        const uchar* src = bytes + start;
        uchar* dst = image.scanLine(int(y));
        for (qint64 x = 0; x < width; ++x) {
            const quint16 v = quint16(src[2 * x] | (src[2 * x + 1] << 8));
            const int r5 = v >> 11;
            const int g6 = (v >> 5) & 63;
            const int b5 = v & 31;
            dst[3 * x] = uchar((r5 << 3) | (r5 >> 2));
            dst[3 * x + 1] = uchar((g6 << 2) | (g6 >> 4));
            dst[3 * x + 2] = uchar((b5 << 3) | (b5 >> 2));
        }
    }
    return image;
}

QString installOfOverlayRoot(const QString& overlayRoot)
{
    return overlayRoot.endsWith(overlaySubPath()) ? overlayRoot.chopped(overlaySubPath().size()) : overlayRoot;
}

QString installHolding(const QStringList& overlayRoots, const QString& folder)
{
    for (const QString& overlayRoot : overlayRoots) {
        const QString install = installOfOverlayRoot(overlayRoot);
        if (folder.startsWith(install + QLatin1Char('/')))
            return install;
    }
    return QFileInfo(folder).path();
}

QString linkFromInstall(const QString& path)
{
    for (const QString& overlay : rs3OverlayRoots()) {
        if (path.startsWith(overlay + QLatin1Char('/')))
            return FolderCopy::linkOnPath(installOfOverlayRoot(overlay), path);
    }
    return {};
}
