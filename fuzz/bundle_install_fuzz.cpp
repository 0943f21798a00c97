// Feeds arbitrary bytes to the configuration install bundle installer, with a
// temporary RS3 install and configuration folder. Whatever the archive holds,
// art may only land below the install's "aim/resources/overlay" tree and the
// configuration folder may only receive the configuration, its sidecars and
// the copies kept of what they replaced; a refused bundle says why.

#include "FuzzEnvironment.h"
#include "gallery/ConfigBundleInstall.h"
#include "model/InstallRoots.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdint>
#include <cstdlib>

namespace {

QString rs3Root()
{
    return FuzzEnvironment::filePath(QStringLiteral("rs3"));
}

QString placedFolder()
{
    return FuzzEnvironment::filePath(QStringLiteral("placed"));
}

// The tree the installer may write into holds one stock file to replace.
void resetTrees()
{
    QDir(rs3Root()).removeRecursively();
    QDir(FuzzEnvironment::filePath(QStringLiteral("rs3beta"))).removeRecursively();
    QDir(placedFolder()).removeRecursively();
    QDir(appDataDir() + QStringLiteral("/artwork_backups")).removeRecursively();
    const QString stock = rs3Root() + QStringLiteral("/aim/resources/overlay/mxg_12/masks/stock");
    QDir().mkpath(stock);
    FuzzEnvironment::writeFile(stock + QStringLiteral("/mask.png"), "stock", 5);
}

void checkTree(const QString& root, const QRegularExpression& allowed)
{
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = QDir(root).relativeFilePath(it.next());
        if (!allowed.match(rel).hasMatch())
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnvironment::start(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QRegularExpression art(QStringLiteral("^aim/resources/overlay/"));
    static const QRegularExpression config(
        QStringLiteral("^[^/]+(\\.bak\\d*)?\\.(zconf2|boxstyles\\.json|multibox\\.json|barcolor\\.json|"
                       "iconpreview\\.json)$"),
        QRegularExpression::CaseInsensitiveOption);
    resetTrees();
    const QString input = FuzzEnvironment::filePath(QStringLiteral("bundle.zip"));
    if (!FuzzEnvironment::writeFile(input, reinterpret_cast<const char*>(data), size))
        return 0;
    ConfigBundleInstallResult result;
    QString error;
    if (!installConfigInstallBundle(input, placedFolder(), &result, &error) && error.isEmpty())
        std::abort();
    checkTree(rs3Root(), art);
    checkTree(placedFolder(), config);
    if (!result.configPath.isEmpty() && !QFileInfo(result.configPath).isFile())
        std::abort();
    return 0;
}
