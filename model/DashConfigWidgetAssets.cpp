// Image files that widgets name by bare file name, relative to their
// element's own artwork folder. Pasting widgets into another element must
// bring those files along, or RS3 will not find them.
#include "model/DashConfig.h"
#include "model/WidgetAssets.h"

#include "artwork/ArtworkFiles.h"
#include "artwork/MadeArtFolders.h"
#include "artwork/NewArtFile.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <QDebug>
#include <QDir>
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

// Calls visit with every picture parameter of the widget's subtree, depth
// first in document order (own parameters, then child elements), walked
// with an explicit stack so hostile nesting cannot exhaust ours.
template <typename Visit>
void forEachAssetParam(pugi::xml_node widget, Visit visit)
{
    std::vector<pugi::xml_node> stack{widget};
    while (!stack.empty()) {
        const pugi::xml_node e = stack.back();
        stack.pop_back();
        for (pugi::xml_node p = e.child("p"); p; p = p.next_sibling("p")) {
            if (isAssetParam(p.attribute("n").value()))
                visit(p);
        }
        const size_t mark = stack.size();
        for (pugi::xml_node c = e.child("e"); c; c = c.next_sibling("e"))
            stack.push_back(c);
        std::reverse(stack.begin() + std::ptrdiff_t(mark), stack.end());
    }
}

} // namespace

QStringList DashConfig::collectWidgetAssetReferences(pugi::xml_node widget)
{
    QStringList names;
    if (!widget)
        return names;
    QSet<QString> seen;
    forEachAssetParam(widget, [&](pugi::xml_node p) {
        const QString v = QString::fromUtf8(p.text().get()).trimmed();
        if (isBareAssetName(v) && !seen.contains(v)) {
            seen.insert(v);
            names << v;
        }
    });
    return names;
}

void DashConfig::renameWidgetAssetReferences(pugi::xml_node widget, const QHash<QString, QString>& renamed)
{
    if (!widget || renamed.isEmpty())
        return;
    forEachAssetParam(widget, [&](pugi::xml_node p) {
        const auto it = renamed.constFind(QString::fromUtf8(p.text().get()).trimmed());
        if (it != renamed.constEnd())
            p.text().set(it->toUtf8().constData());
    });
}

namespace {

// True when the folder has an entry of that name in any letter case, as
// RaceStudio 3's file system sees it.
bool folderHas(const QString& folder, const QString& name)
{
    for (const QString& entry :
         QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

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
        const QString sourceFolder = folderHoldingFile(roots, src, name);
        if (sourceFolder.isEmpty())
            continue;
        for (const QString& file : {name, twinPictureName(name)}) {
            if (file.isEmpty())
                continue;
            QByteArray bytes;
            const QString source = sourceFolder + QLatin1Char('/') + file;
            if (!FolderCopy::isRegularFile(source))
                continue;
            QString error;
            if (!readPlainFile(source, bytes, &error)) {
                qWarning().noquote() << "copyAssetIntoOverlay:" << error;
                continue;
            }
            // Only what a folder lacks is added: a file of that name there is
            // art some configuration shows.
            for (const QString& root : roots) {
                const QString folder = PathGuard::join(root, dst);
                if (folder.isEmpty() || FolderCopy::linkOnTheWay(root, dst) || !QFileInfo(folder).isDir()
                    || folderHas(folder, file))
                    continue;
                MadeArtFolders made;
                if (createNewFile(folder + QLatin1Char('/') + file, bytes, made, &error))
                    ++copied;
                else
                    qWarning().noquote() << "copyAssetIntoOverlay:" << error;
            }
        }
    }
    return copied;
}
