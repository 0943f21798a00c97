#include "gallery/ThemeExport.h"

#include "artwork/ArtworkFiles.h"
#include "artwork/TgzImage.h"
#include "gallery/ReplacingZipFile.h"
#include "model/DeviceRegistry.h"
#include "model/ErrorText.h"
#include "model/PathGuard.h"
#include "model/SafeRead.h"
#include "model/ZipWriter.h"
#include "templates/PageTemplateLibrary.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSize>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ThemeExport", text);
}

QStringList subFolders(const QString& folder)
{
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

// A plain file of the theme folder (never through a link, within an art
// file's bound); empty when there is none to read.
QByteArray readWhole(const QString& path)
{
    QByteArray bytes;
    return SafeRead::readFile(path, kArtFileReadBound, &bytes) ? bytes : QByteArray();
}

bool holdsBackground(const QString& folder)
{
    return !folder.isEmpty() && QFileInfo(folder + QStringLiteral("/bkg.png")).isFile();
}

// The label of the theme folder's AiM_folder.xml as the text it stands for
// (the file escapes "&" and "<"), read as every other folder label is.
QString folderLabel(const QString& folder)
{
    QString label;
    PageTemplateLibrary::readFolderMeta(folder + QStringLiteral("/AiM_folder.xml"), &label, nullptr);
    return label.trimmed();
}

bool isRegistryFamily(const QString& family)
{
    for (const DeviceRow& row : DeviceRegistry::devices()) {
        if (row.family == family)
            return true;
    }
    return false;
}

QSize canvasSizeOf(const QString& family)
{
    for (const DeviceRow& row : DeviceRegistry::devices()) {
        if (row.family == family)
            return QSize(row.width, row.height);
    }
    return QSize(800, 480);
}

QByteArray manifestBytes(const QString& themeFolder, const QString& displayName, const QString& author,
                         const QString& description, const QStringList& devices)
{
    QJsonObject manifest;
    manifest.insert(QStringLiteral("id"), themeFolder);
    manifest.insert(QStringLiteral("name"), displayName.isEmpty() ? themeFolder : displayName);
    manifest.insert(QStringLiteral("author"), author);
    manifest.insert(QStringLiteral("description"), description);
    manifest.insert(QStringLiteral("version"), QStringLiteral("1"));
    manifest.insert(QStringLiteral("generator"),
                    QStringLiteral("Korvelanto/%1").arg(QCoreApplication::applicationVersion()));
    manifest.insert(QStringLiteral("created_utc"),
                    QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    manifest.insert(QStringLiteral("devices"), QJsonArray::fromStringList(devices));
    return QJsonDocument(manifest).toJson(QJsonDocument::Indented);
}

enum class FamilyAssets { Added, Unreadable, WriteFailed };

// Adds one family's pictures. A family whose bkg.png cannot be read is left
// out; an entry that cannot be written fails the whole package.
FamilyAssets addFamilyAssets(zipFile zip, const QString& family, const QString& themeFolder, QString* failedEntry)
{
    const QString folder = PathGuard::join(homebrewTemplatesDir(), family + QLatin1Char('/') + themeFolder);
    if (folder.isEmpty())
        return FamilyAssets::Unreadable;
    const QByteArray png = readWhole(folder + QStringLiteral("/bkg.png"));
    if (png.isEmpty())
        return FamilyAssets::Unreadable;
    QByteArray tgz = readWhole(folder + QStringLiteral("/bkg.tgz"));
    if (tgz.isEmpty()) {
        const QSize size = canvasSizeOf(family);
        tgz = encodeBkgTgzFromPng(png, size.width(), size.height());
    }
    const QByteArray preview = readWhole(folder + QStringLiteral("/prw.png"));
    const QList<QPair<QString, QByteArray>> entries{
        {QStringLiteral("/bkg.png"), png}, {QStringLiteral("/prw.png"), preview}, {QStringLiteral("/bkg.tgz"), tgz}};
    for (const auto& [name, bytes] : entries) {
        if (bytes.isEmpty())
            continue;
        if (!writeZipEntry(zip, family + name, bytes)) {
            *failedEntry = family + name;
            return FamilyAssets::WriteFailed;
        }
    }
    return FamilyAssets::Added;
}

} // namespace

QStringList listHomebrewThemes()
{
    const QString store = homebrewTemplatesDir();
    QSet<QString> names;
    for (const QString& family : subFolders(store)) {
        const QString familyFolder = store + QLatin1Char('/') + family;
        for (const QString& theme : subFolders(familyFolder)) {
            if (holdsBackground(familyFolder + QLatin1Char('/') + theme))
                names.insert(theme);
        }
    }
    QStringList sorted(names.cbegin(), names.cend());
    sorted.sort(Qt::CaseSensitive);
    return sorted;
}

ThemeVariants collectThemeDeviceVariants(const QString& themeFolder)
{
    ThemeVariants variants;
    variants.displayName = themeFolder;
    const QString store = homebrewTemplatesDir();
    if (!QFileInfo(store).isDir() || !PathGuard::isSafeName(themeFolder))
        return variants;
    QSet<QString> candidates;
    for (const QString& family : subFolders(store)) {
        const QString familyFolder = store + QLatin1Char('/') + family;
        if (family == QLatin1String("pdm") || family == QLatin1String("pdm08")) {
            for (const QString& sub : subFolders(familyFolder)) {
                if (holdsBackground(PathGuard::join(familyFolder, sub + QLatin1Char('/') + themeFolder)))
                    candidates.insert(family + QLatin1Char('/') + sub);
            }
        } else if (holdsBackground(PathGuard::join(familyFolder, themeFolder))) {
            candidates.insert(family);
        }
        const QString themeDir = PathGuard::join(familyFolder, themeFolder);
        if (holdsBackground(themeDir) && variants.displayName == themeFolder) {
            const QString label = folderLabel(themeDir);
            if (!label.isEmpty())
                variants.displayName = label;
        }
    }
    for (const QString& family : candidates) {
        if (isRegistryFamily(family))
            variants.devices.append(family);
    }
    variants.devices.sort(Qt::CaseSensitive);
    return variants;
}

bool exportThemeBundle(const QString& themeFolder, const QString& displayName, const QString& author,
                       const QString& description, const QString& outputPath, QString* error)
{
    const ThemeVariants variants = collectThemeDeviceVariants(themeFolder);
    if (variants.devices.isEmpty())
        return failWith(error, tr("no device assets found for '%1'").arg(themeFolder));
    ReplacingZipFile zip(outputPath);
    if (!zip.open())
        return failWith(error, tr("could not create %1").arg(outputPath));
    const QByteArray manifest = manifestBytes(themeFolder, displayName, author, description, variants.devices);
    if (!writeZipEntry(zip.handle(), QStringLiteral("theme-manifest.json"), manifest))
        return failWith(error, tr("failed to write theme-manifest.json"));
    int written = 0;
    for (const QString& family : variants.devices) {
        QString failedEntry;
        const FamilyAssets added = addFamilyAssets(zip.handle(), family, themeFolder, &failedEntry);
        if (added == FamilyAssets::WriteFailed)
            return failWith(error, tr("failed to write %1").arg(failedEntry));
        if (added == FamilyAssets::Added)
            ++written;
    }
    if (written == 0)
        return failWith(error, tr("no device assets could be read"));
    if (!zip.commit())
        return failWith(error, tr("could not replace %1").arg(outputPath));
    return true;
}
