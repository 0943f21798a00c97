#include "artwork/ArtState.h"

#include "model/InstallRoots.h"
#include "model/PageModel.h"
#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <QDir>
#include <QFileInfo>

namespace {

quint64& writtenCount()
{
    static quint64 count = 0;
    return count;
}

} // namespace

quint64 ArtState::savesAndInstalls()
{
    return writtenCount();
}

void ArtState::savedOrInstalled()
{
    ++writtenCount();
}

QStringList ArtState::homebrewFolders(const std::vector<PageModel>& pages, int only)
{
    QStringList maskRels;
    for (int p = 0; p < int(pages.size()); ++p) {
        if (only >= 0 && p != only)
            continue;
        for (const MaskElement& mask : pages[size_t(p)].masks)
            maskRels << QString::fromUtf8(paramValue(mask.node, "PATH_REL_AiM_MASK"));
    }
    return homebrewFolders(maskRels);
}

QStringList ArtState::homebrewFolders(const QStringList& maskRels)
{
    QStringList folders;
    const QStringList roots = rs3OverlayRoots();
    for (QString rel : maskRels) {
        overlayRelativeFolder(rel);
        if (!rel.contains(QLatin1String("/s04_homebrew/")) || !PathGuard::isSafeRelativePath(rel))
            continue;
        for (const QString& root : roots) {
            const QString folder = PathGuard::join(root, rel);
            if (!folder.isEmpty() && QFileInfo(folder).isDir())
                folders << QDir::cleanPath(folder);
        }
    }
    folders.removeDuplicates();
    return folders;
}
