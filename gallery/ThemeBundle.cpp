#include "gallery/ThemeBundle.h"

#include "gallery/ScratchZip.h"
#include "model/DeviceRegistry.h"
#include "model/ErrorText.h"
#include "model/ZipArchive.h"

#include <QCoreApplication>
#include <QSet>

namespace gallery {
namespace {

const QString kManifestName = QStringLiteral("theme-manifest.json");

// Lists the names of an open archive; false (error set) on a damaged
// directory or more entries than any package may hold.
bool listOpenArchive(unzFile zip, QStringList* names, QString* error)
{
    const qint64 maxEntries = packageExtractLimits().maxEntries;
    QStringList found;
    int status = unzGoToFirstFile(zip);
    while (status == UNZ_OK) {
        if (found.size() >= maxEntries)
            return failWith(error, QStringLiteral("zip archive has more than %1 entries").arg(maxEntries));
        char name[1024] = {};
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof(name) - 1, nullptr, 0, nullptr, 0) != UNZ_OK)
            return failWith(error, QCoreApplication::translate("gallery", "zip entry read failed"));
        found << QString::fromUtf8(name).replace(QLatin1Char('\\'), QLatin1Char('/'));
        status = unzGoToNextFile(zip);
    }
    if (status != UNZ_END_OF_LIST_OF_FILE)
        return failWith(error, QCoreApplication::translate("gallery", "zip entry read failed"));
    if (names)
        *names = found;
    return true;
}

} // namespace

QSet<QString> bundleFamilies()
{
    QSet<QString> families;
    for (const DeviceRow& row : DeviceRegistry::devices())
        families.insert(row.family);
    return families;
}

bool listZipEntries(const QByteArray& bytes, QStringList* names, QString* error)
{
    ScratchZip scratch(QStringLiteral("korvelanto_detect_"));
    const QString writeError = scratch.write(bytes);
    if (!writeError.isEmpty())
        return failWith(error, writeError);
    unzFile zip = openZipForRead(scratch.path());
    if (!zip)
        return failWith(error, QCoreApplication::translate("gallery", "could not open zip"));
    const bool listed = listOpenArchive(zip, names, error);
    unzClose(zip);
    return listed;
}

bool isConfigBundle(const QByteArray& bytes)
{
    QStringList names;
    if (!listZipEntries(bytes, &names))
        return false;
    bool hasArt = false;
    bool hasConfig = false;
    for (const QString& name : names) {
        hasArt = hasArt || name.startsWith(QLatin1String("RS3_homebrew_folder/"));
        hasConfig = hasConfig
            || (!name.contains(QLatin1Char('/')) && name.endsWith(QLatin1String(".zconf2"), Qt::CaseInsensitive));
    }
    return hasArt && hasConfig;
}

bool readZipEntries(const QString& zipPath, QMap<QString, QByteArray>* entries, QString* error)
{
    // Only what the install uses is inflated: a bundle cannot make us hold
    // entries it has no use for.
    const QSet<QString> families = bundleFamilies();
    const auto wanted = [&families](const QString& name) {
        if (name == kManifestName)
            return true;
        const bool picture = name.endsWith(QLatin1String("/bkg.png")) || name.endsWith(QLatin1String("/prw.png"));
        return picture && families.contains(name.left(name.size() - 8));
    };
    ZipFailure failure;
    if (::readZipEntries(zipPath, wanted, packageExtractLimits(), entries, &failure))
        return true;
    return failWith(error, failure.kind == ZipFailure::OpenArchive
                        ? QCoreApplication::translate("gallery", "could not open zip")
                        : failure.text());
}

} // namespace gallery
