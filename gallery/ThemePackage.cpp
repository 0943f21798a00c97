#include "gallery/ThemePackage.h"

#include "gallery/ReplacingZipFile.h"
#include "model/ErrorText.h"
#include "model/PathGuard.h"
#include "model/ZipArchive.h"
#include "model/ZipWriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

namespace {

const QString kManifestName = QStringLiteral("theme-manifest.json");

QByteArray readWhole(const QString& path, bool* ok = nullptr)
{
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly);
    const QByteArray bytes = opened ? file.readAll() : QByteArray();
    if (ok)
        *ok = opened && file.error() == QFileDevice::NoError;
    return bytes;
}

QJsonObject manifestToWrite(const ThemePackage& package)
{
    QJsonObject manifest = package.manifest;
    manifest.insert(QStringLiteral("id"), package.id);
    manifest.insert(QStringLiteral("name"), package.name);
    manifest.insert(QStringLiteral("author"), package.author);
    manifest.insert(QStringLiteral("description"), package.description);
    manifest.insert(QStringLiteral("license"), package.license);
    manifest.insert(QStringLiteral("devices"), QJsonArray::fromStringList(package.devices));
    return manifest;
}

// Every file below the folder as a '/'-separated relative name, in a stable
// order so that the same folder always gives the same archive. A dangling
// link is kept so that the save reports it instead of dropping it quietly;
// pipes and devices are no package content.
QStringList packageFiles(const QString& folder)
{
    QStringList names;
    const QDir root(folder);
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        if (info.isFile() || info.isSymLink())
            names.append(QDir::fromNativeSeparators(root.relativeFilePath(info.filePath())));
    }
    names.sort();
    return names;
}

} // namespace

ThemePackage::ThemePackage() = default;
ThemePackage::~ThemePackage() = default;

QString ThemePackage::folderPath() const
{
    return tempDir ? tempDir->path() : QString();
}

bool ThemePackage::hasAssetsFor(const QString& device) const
{
    if (!tempDir || !devices.contains(device))
        return false;
    // The device names a folder inside the package, never one beside it.
    const QString folder = PathGuard::join(tempDir->path(), device);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    return it.hasNext();
}

bool extractZipToDir(const QString& zipPath, const QString& destDir, QString* error)
{
    ZipFailure failure;
    if (extractZipEntries(zipPath, destDir, packageExtractLimits(), &failure))
        return true;
    return failWith(error,
                    failure.kind == ZipFailure::OpenArchive ? QStringLiteral("could not open zip") : failure.text());
}

QString parseThemeManifest(ThemePackage& package, const QByteArray& json)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject())
        return QStringLiteral("theme-manifest.json is not valid JSON: %1").arg(parseError.errorString());
    package.manifest = doc.object();
    const auto text = [&](const char* key) { return package.manifest.value(QLatin1String(key)).toString(); };
    package.id = text("id");
    package.name = text("name");
    package.author = text("author");
    package.description = text("description");
    package.license = text("license");
    package.devices.clear();
    for (const QJsonValue& value : package.manifest.value(QStringLiteral("devices")).toArray()) {
        const QString device = value.toString();
        if (!device.isEmpty())
            package.devices.append(device);
    }
    if (package.id.isEmpty())
        return QStringLiteral("theme-manifest.json is missing 'id'");
    return QString();
}

bool openThemePackage(ThemePackage& package, const QString& path, QString* error)
{
    if (!QFileInfo::exists(path))
        return failWith(error, QStringLiteral("file not found: %1").arg(path));
    package.tempDir = std::make_unique<QTemporaryDir>();
    if (!package.tempDir->isValid())
        return failWith(error, QStringLiteral("could not allocate temp dir"));
    QString extractError;
    if (!extractZipToDir(path, package.tempDir->path(), &extractError))
        return failWith(error, extractError.isEmpty() ? QStringLiteral("zip extract failed") : extractError);
    const QString manifestPath = package.tempDir->path() + QLatin1Char('/') + kManifestName;
    if (!QFileInfo(manifestPath).isFile())
        return failWith(error, QStringLiteral("theme-manifest.json missing"));
    const QString parseError = parseThemeManifest(package, readWhole(manifestPath));
    if (!parseError.isEmpty())
        return failWith(error, parseError);
    return true;
}

bool writeThemePackage(const ThemePackage& package, const QString& outputPath, QString* error)
{
    if (!package.tempDir)
        return failWith(error, QStringLiteral("bundle not open"));
    ReplacingZipFile zip(outputPath);
    if (!zip.open())
        return failWith(error, QStringLiteral("could not create %1").arg(outputPath));
    const QByteArray manifest = QJsonDocument(manifestToWrite(package)).toJson(QJsonDocument::Indented);
    if (!writeZipEntry(zip.handle(), kManifestName, manifest))
        return failWith(error, QStringLiteral("failed to write manifest"));
    const QString folder = package.tempDir->path();
    for (const QString& name : packageFiles(folder)) {
        if (name == kManifestName)
            continue;
        // An unreadable file fails the save: an empty entry would later be
        // installed over good art.
        bool readOk = false;
        const QByteArray data = readWhole(folder + QLatin1Char('/') + name, &readOk);
        if (!readOk || !writeZipEntry(zip.handle(), name, data))
            return failWith(error, QStringLiteral("failed to append %1").arg(name));
    }
    if (!zip.commit())
        return failWith(error, QStringLiteral("could not replace %1").arg(outputPath));
    return true;
}
