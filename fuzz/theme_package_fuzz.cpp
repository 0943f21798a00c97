// Feeds arbitrary bytes to the theme package reader as a ".dashtheme" file.
// A package that opens must write back and open again with the same fields
// and the same files; anything else must fail with a message, without a
// crash, a leak, or a file written outside the package's own folders.

#include "FuzzEnvironment.h"
#include "gallery/ThemePackage.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>

#include <cstdint>
#include <cstdlib>

namespace {

QMap<QString, QByteArray> treeOf(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        files.insert(QDir(folder).relativeFilePath(path), f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray());
    }
    return files;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnvironment::start(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input = FuzzEnvironment::filePath(QStringLiteral("input.dashtheme"));
    const QString output = FuzzEnvironment::filePath(QStringLiteral("resaved.dashtheme"));
    if (!FuzzEnvironment::writeFile(input, reinterpret_cast<const char*>(data), size))
        return 0;
    ThemePackage package;
    QString error;
    if (!openThemePackage(package, input, &error)) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    // The fields a user may edit before re-saving.
    package.name += QStringLiteral(" (edited)");
    package.author = QStringLiteral("fuzz & <co>");
    if (!writeThemePackage(package, output, &error))
        std::abort();
    ThemePackage reopened;
    if (!openThemePackage(reopened, output, &error))
        std::abort();
    if (reopened.id != package.id || reopened.name != package.name || reopened.author != package.author
        || reopened.description != package.description || reopened.devices != package.devices)
        std::abort();
    QMap<QString, QByteArray> before = treeOf(package.folderPath());
    QMap<QString, QByteArray> after = treeOf(reopened.folderPath());
    // The manifest is rewritten with the edits; every other file travels as it was.
    before.remove(QStringLiteral("theme-manifest.json"));
    after.remove(QStringLiteral("theme-manifest.json"));
    if (before != after)
        std::abort();
    QFile::remove(output);
    return 0;
}
