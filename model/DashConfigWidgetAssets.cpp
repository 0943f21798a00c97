// Image files that widgets name by bare file name, relative to their
// element's own artwork folder. Pasting widgets into another element must
// bring those files along, or RS3 will not find them.
#include "model/DashConfig.h"
#include "model/WidgetAssets.h"

#include "artwork/ArtworkFiles.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <QDebug>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

bool isAssetParam(const char* name)
{
    static const char* const names[] = {"PATH_IMAGE", "PATH_IMG_ON", "PATH_IMG_OFF", "PRW_AXISNOTSET"};
    for (const char* n : names) {
        if (std::strcmp(name, n) == 0)
            return true;
    }
    return false;
}

// A bare name relative to the element's folder; values with a folder part
// point into the RS3 tree and need no copying.
bool isBareAssetName(const QString& value)
{
    return !value.isEmpty() && !value.startsWith(QLatin1String("aim/resources/overlay/"))
        && !value.contains(QLatin1Char('/')) && !value.contains(QLatin1Char('\\'));
}

} // namespace

QStringList DashConfig::collectWidgetAssetReferences(pugi::xml_node widget)
{
    QStringList names;
    if (!widget)
        return names;
    QSet<QString> seen;
    // Depth-first in document order (own parameters, then child elements),
    // walked with an explicit stack so hostile nesting cannot exhaust ours.
    std::vector<pugi::xml_node> stack{widget};
    while (!stack.empty()) {
        const pugi::xml_node e = stack.back();
        stack.pop_back();
        for (pugi::xml_node p = e.child("p"); p; p = p.next_sibling("p")) {
            if (!isAssetParam(p.attribute("n").value()))
                continue;
            const QString v = QString::fromUtf8(p.text().get()).trimmed();
            if (isBareAssetName(v) && !seen.contains(v)) {
                seen.insert(v);
                names << v;
            }
        }
        const size_t mark = stack.size();
        for (pugi::xml_node c = e.child("e"); c; c = c.next_sibling("e"))
            stack.push_back(c);
        std::reverse(stack.begin() + std::ptrdiff_t(mark), stack.end());
    }
    return names;
}

int copyAssetIntoOverlay(const QString& sourceRel, const QString& targetRel, const QStringList& assetNames)
{
    if (assetNames.isEmpty() || sourceRel.isEmpty() || targetRel.isEmpty())
        return 0;
    QString src = sourceRel;
    QString dst = targetRel;
    overlayRelativeFolder(src);
    overlayRelativeFolder(dst);
    const QStringList roots = rs3OverlayRoots();
    int copied = 0;
    for (const QString& name : assetNames) {
        if (name.isEmpty())
            continue;
        // The names come from the configuration: a bare name only, never
        // "..", so neither end can leave its element folder.
        if (name.contains(QLatin1Char('/')) || !PathGuard::isSafeRelativePath(name)) {
            qWarning() << "copyAssetIntoOverlay: skipping unsafe asset name" << name;
            continue;
        }
        QString sourceFile;
        for (const QString& root : roots) {
            const QString candidate = PathGuard::join(root, src + name);
            if (!candidate.isEmpty() && QFileInfo(candidate).isFile()) {
                sourceFile = candidate;
                break;
            }
        }
        if (sourceFile.isEmpty())
            continue;
        for (const QString& root : roots) {
            const QString folder = PathGuard::join(root, dst);
            if (folder.isEmpty() || !QFileInfo(folder).isDir())
                continue;
            const QString target = PathGuard::join(root, dst + name);
            if (target.isEmpty())
                continue;
            QString error;
            if (copyFileOver(sourceFile, target, &error))
                ++copied;
            else
                qWarning() << "copyAssetIntoOverlay:" << error;
        }
    }
    return copied;
}
