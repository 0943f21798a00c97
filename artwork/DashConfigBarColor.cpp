// Bar colour artwork: a bargraph's stock item copied into a "zbar_" homebrew
// set of every RaceStudio 3 install that has the device, its lit band and
// the lit strips its scale names recoloured green-amber-red (the copy only,
// never the stock item), and the stock item remembered (in the mask's
// DE_BARCOLOR_SRC and in ".barcolor.json") so the colour can be removed again
// and the art rebuilt on a machine that lacks it.
#include "model/DashConfig.h"

#include "artwork/ArtworkFiles.h"
#include "artwork/ColoredBarArt.h"
#include "artwork/BarColorSnapshot.h"
#include "artwork/BarShape.h"
#include "artwork/BoxStyleRenderer.h"
#include "artwork/HeldArtFolder.h"
#include "artwork/HomebrewItems.h"
#include "artwork/MadeArtFolders.h"
#include "editing/HotMouseLines.h"
#include "model/DeviceTables.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/SamePath.h"
#include "model/XmlParams.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cmath>

using namespace ColoredBarArt;

bool DashConfig::installColoredBarArt(const QString& origin, const QString& newRel, int width, int height,
                                      const QStringList& litStrips, BarFill fill, MadeArtFolders* made,
                                      const QString& pastedFrom)
{
    if (!isSafeOverlayPath(origin) || !isSafeOverlayPath(newRel)
        || (!pastedFrom.isEmpty() && !isSafeOverlayPath(pastedFrom))) {
        qWarning() << "installColoredBarArt: refusing path" << origin << newRel;
        return false;
    }
    if (width < 1 || height < 1 || !BoxStyleRenderer::isRenderableSize(width, height))
        return false;

    const QString source = coloredBarSource(origin);
    if (source.isEmpty())
        return false;
    const QString pasted = pastedFrom.isEmpty() ? QString() : coloredBarSource(pastedFrom);
    if (!pastedFrom.isEmpty() && pasted.isEmpty())
        return false;
    const ColoredBarTarget target = coloredBarTarget(newRel);
    if (target.device.isEmpty() || target.setName.isEmpty())
        return false;

    // A folder an install holds is art saved files may show: the installs
    // that lack it get a copy, and nothing is drawn over it.
    MadeArtFolders madeHere;
    const HeldArtFolder held = heldArtFolder(rs3OverlayRoots(), target.device, newRel, QStringLiteral("mask.png"));
    if (held.held()) {
        // As for a new folder: an install that cannot take the copy (a link
        // on the way, something in its place) is left and named, and the
        // colouring stands in the installs that hold the folder.
        artState.notes << held.linked;
        QString why;
        if (!(artState.copies ? copyHeldArtFolder(held, madeHere, *artState.copies, &why)
                        : copyHeldArtFolder(held, madeHere, &artState.savedArt, &why)))
            artState.notes << why;
        artState.notes.removeAll(QString());
        if (made)
            made->add(madeHere);
        return true;
    }

    const QMap<QString, QByteArray> recoloured = recolouredFiles(source, width, height, litStrips, fill);
    if (!recoloured.contains(QStringLiteral("mask.png")))
        return false;

    bool written = false;
    // The copies of the stock item into every install and the pictures
    // drawn there, flushed once; in a repair, with the repair's.
    FolderCopy own;
    FolderCopy& stockCopy = artState.copies ? *artState.copies : own;
    for (const QString& overlayRoot : rs3OverlayRoots()) {
        const QString deviceDir = PathGuard::join(overlayRoot, target.device);
        if (deviceDir.isEmpty() || !QFileInfo(deviceDir).isDir())
            continue;
        const QString root = installOfOverlayRoot(overlayRoot);
        const QString destination = PathGuard::join(root, newRel);
        const QString setFolder = PathGuard::join(
            root, overlayPrefix() + target.device + QStringLiteral("/masks/set/standard/s04_homebrew/")
                + target.setName);
        if (destination.isEmpty() || setFolder.isEmpty())
            continue;
        // Copying a folder onto itself would delete the very files it reads.
        if (isSamePath(source, destination)) {
            qWarning() << "installColoredBarArt: origin and target are the same folder" << destination;
            continue;
        }
        // Nothing is written through a link: it may lead to anyone's files.
        const QString link = FolderCopy::linkOnPath(root, destination);
        if (!link.isEmpty()) {
            artState.notes << QCoreApplication::translate("DashConfig", "%1 was left as it is: %2 is a symbolic link")
                                .arg(destination, link);
            continue;
        }
        if (QFileInfo(destination).isDir())
            artState.savedArt.aboutToWrite(destination, artworkFileNames(source));
        MadeArtFolders inRoot;
        if (!inRoot.make(destination)) {
            // The copy's error would be an earlier install's: this one says
            // what is in the way here.
            artState.notes << QCoreApplication::translate("DashConfig", "%1 was left as it is: %2")
                                .arg(destination, FolderCopy::whyNoFolder(destination));
            inRoot.removeAll();
            continue;
        }
        if (!stockCopy.addMissing(source, destination)) {
            artState.notes << stockCopy.error();
            inRoot.removeAll();
            continue;
        }
        // The pictures pasted into the coloured art the bar had: what the
        // stock item lacks, as they were.
        if (!pasted.isEmpty() && !stockCopy.addMissing(pasted, destination)) {
            artState.notes << stockCopy.error();
            inRoot.removeAll();
            continue;
        }

        const QFileInfoList files = QDir(destination).entryInfoList(
            QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
        for (const QFileInfo& fi : files) {
            // A link's mode is its target's: the user's.
            if (fi.isSymLink())
                continue;
            const QString path = fi.absoluteFilePath();
            QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        // Each file is replaced only once its new content is complete, and
        // never through a link or over a special file (those are named);
        // the folders on the way were looked at above.
        for (auto it = recoloured.constBegin(); it != recoloured.constEnd(); ++it) {
            const QString path = destination + QLatin1Char('/') + it.key();
            const bool picture = it.key().compare(QLatin1String("mask.png"), Qt::CaseInsensitive) == 0;
            QString why;
            bool saved = !it.value().isEmpty() && writeInstallFile(path, it.value(), destination, artState.copies, &why);
            if (!saved && picture)
                saved = !it.value().isEmpty() && writeInstallFile(path, it.value(), destination, artState.copies, &why);
            if (!saved && !why.isEmpty())
                artState.notes << why;
            if (!saved && picture) {
                editorPngWriteFailed = true;
                qWarning() << "installColoredBarArt: editor mask.png write failed" << path;
            }
        }

        const QString folderXml = setFolder + QStringLiteral("/AiM_folder.xml");
        if (!QFileInfo::exists(folderXml) && !QFileInfo(folderXml).isSymLink()) {
            inRoot.noteNewFile(folderXml);
            writeInstallFile(folderXml, resourceFolderXml(QStringLiteral("Bar Colors"), 99), setFolder, artState.copies);
        }
        madeHere.add(inRoot);
        written = true;
    }
    if (!artState.copies)
        noteArtCopies(own);
    // A colouring no install received leaves none of its folders behind.
    if (!written)
        madeHere.removeAll();
    else if (made)
        made->add(madeHere);
    return written;
}

QString DashConfig::freeColoredBarFolder(const QString& origin, const QString& device, const QString& setName,
                                         const QString& item, int width, int height,
                                         const QStringList& litStrips, BarFill fill) const
{
    const QString source = coloredBarSource(origin);
    const QMap<QString, QByteArray> files = source.isEmpty() ? QMap<QString, QByteArray>()
                                                             : recolouredFiles(source, width, height, litStrips, fill);
    // A folder of this state that holds other art (replaced by the user, here
    // or in a same-named configuration elsewhere) is left to the files that
    // point at it; this colouring takes the next name.
    for (int n = 1; n <= 64; ++n) {
        const QString set = n == 1 ? setName : setName + QStringLiteral("_%1").arg(n);
        const QString rel = QStringLiteral("aim/resources/overlay/%1/masks/set/standard/s04_homebrew/%2/Items/%3/")
                                .arg(device, set, item);
        if (!holdsOtherArt(rel, device, files))
            return rel;
    }
    return {};
}

namespace {

// The bar's start and end edges for its coloured picture of width x height:
// a bar filling from the left fills to the picture's right edge; any other
// keeps its edges, mapped from its own size to the picture's, so it still
// fills the same way over the same part of its picture.
void writeColoredBarEdges(pugi::xml_node bar, BarFill fill, int width, int height)
{
    const int barWidth = paramInt(bar, "WIDTH");
    const int barHeight = paramInt(bar, "HEIGHT");
    if (fill != BarFill::LeftToRight) {
        const double fx = barWidth >= 1 ? double(width) / barWidth : 1.0;
        const double fy = barHeight >= 1 ? double(height) / barHeight : 1.0;
        const auto map = [bar](const char* name, double factor) {
            if (bar.find_child_by_attribute("p", "n", name))
                setParamInt(bar, name, int(std::lround(paramInt(bar, name) * factor)));
        };
        for (const char* name : {"XStart1", "XStart2", "XEnd1", "XEnd2"})
            map(name, fx);
        for (const char* name : {"YStart1", "YStart2", "YEnd1", "YEnd2"})
            map(name, fy);
    } else {
        const QByteArray w = QByteArray::number(width);
        setParam(bar, "XEnd1", w);
        setParam(bar, "XEnd2", w);
    }
    setParam(bar, "WIDTH", QByteArray::number(width));
    setParam(bar, "HEIGHT", QByteArray::number(height));
}

QString ringColorRefusal()
{
    return QCoreApplication::translate("DashConfig",
                                       "a ring gauge's colour band cannot be drawn: the device draws the ring's arc "
                                       "itself, so a green\u2192amber\u2192red band would only cover the dial "
                                       "picture");
}

} // namespace

bool DashConfig::applyBarColor(int pageIndex, int maskIndex, QString* error)
{
    if (error)
        error->clear();
    sidecarFailure.clear();
    MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m || !m->node)
        return false;
    pugi::xml_node node = m->node;
    if (maskHasChildClass(node, "Digit"))
        return false;
    const pugi::xml_node bar = findBargraphChild(node);
    if (!bar)
        return false;
    if (maskHasChildClass(node, "Ring")) {
        if (error)
            *error = ringColorRefusal();
        return false;
    }

    // The records of a store that cannot be read would be lost to the one
    // this colouring writes.
    if (!sidecarsReadable({SidecarStore::BarColors}))
        return false;
    const QString key = sidecarKey(pageIndex, maskIndex, SidecarStore::BarColors);
    QMap<QString, BarColorRecord> records = loadBarColorSidecar();
    const QString current = QString::fromUtf8(paramValue(node, "PATH_REL_AiM_MASK"));
    const auto rec = records.constFind(key);
    const ColouredBar coloured = colouredBarOf(node, rec == records.constEnd() ? nullptr : &*rec);
    if (coloured.pasted) {
        if (error)
            *error = pastedColouredArtRefusal();
        return false;
    }
    const QString shape = barShapeRefusal(node);
    if (!shape.isEmpty()) {
        if (error)
            *error = shape;
        return false;
    }

    // A second colouring starts again from the stock art, never from the
    // recoloured copy, wherever that lies (a page template's copy of it, a
    // paste's item): from the stock item its stamp or its record names.
    QString origin;
    QString originalCoords;
    // A record the mask's art was not made from (left by an editor that
    // ended before its save) tells neither the stock art nor its geometry.
    if (coloured.coloured) {
        origin = coloured.origin;
        // The bar now has the coloured geometry; the stock one that removal
        // puts back is the one already recorded.
        if (coloured.recordFits)
            originalCoords = rec->originalCoords;
    } else {
        // A stock bar fitted to its size is coloured from the stock item.
        const QString fitOrigin = QString::fromUtf8(paramValue(node, "DE_FIT_SRC")).trimmed();
        origin = fitOrigin.isEmpty() ? current : fitOrigin;
    }
    if (origin.isEmpty())
        return false;
    if (!isSafeOverlayPath(origin)) {
        if (error)
            *error = QCoreApplication::translate("DashConfig",
                                                 "the bar's artwork path %1 does not lie inside a RaceStudio 3 "
                                                 "installation, so it cannot be recoloured")
                         .arg(origin);
        qWarning() << "applyBarColor: refusing origin" << origin;
        return false;
    }

    int width = 0;
    int height = 0;
    if (!elementDeclaredSize(node, width, height))
        return false;

    const QString device = deviceFolderFromPath(origin);
    QString item = origin;
    while (item.endsWith(QLatin1Char('/')))
        item.chop(1);
    item = item.mid(item.lastIndexOf(QLatin1Char('/')) + 1);
    if (device.isEmpty() || item.isEmpty())
        return false;

    double scaleMin = 0.0;
    double scaleMax = 0.0;
    const double redline = barScaleRange(node, scaleMin, scaleMax) && scaleMax > 0 ? scaleMax : 8000.0;

    if (originalCoords.isEmpty())
        originalCoords = barGeometryText(bar);

    MadeArtFolders made;
    const QString newRel = drawColoredBar(pageIndex, maskIndex, origin, width, height, &made);
    if (newRel.isEmpty())
        return false;
    const BarFill fill = barFillOf(bar);
    // Recorded before the mask changes: without the record the colour could
    // never be removed, so a record that cannot be written leaves the mask as
    // it was, and the installs without the folders this colouring made.
    records.insert(key, BarColorRecord{true, redline, origin, originalCoords});
    if (!stageBarColorSidecar(records)) {
        qWarning() << "applyBarColor: the colour could not be recorded; the bar keeps its art:" << sidecarFailure;
        made.removeAll();
        return false;
    }

    // The origin stamp goes last: removing the colour drops it and undo
    // appends it again, which then gives back the same parameter order.
    setParam(node, "PATH_REL_AiM_MASK", newRel.toUtf8());
    setParam(node, "PATH_IMAGE", "mask.png");
    setParam(node, "DE_BARCOLOR_SRC", origin.toUtf8());
    writeColoredBarEdges(bar, fill, width, height);
    setParam(bar, "LINES_X_HOT_MOUSE", QByteArray::fromStdString(hotMouseLines(0, 0, width, height)));

    pages[size_t(pageIndex)].masks[size_t(maskIndex)] = parseMask(node);
    markPageDirty(pageIndex);
    return true;
}

QString DashConfig::drawColoredBar(int pageIndex, int maskIndex, const QString& origin, int width, int height,
                                   MadeArtFolders* made, const QString& pastedFrom)
{
    const MaskElement* m = maskAt(pageIndex, maskIndex);
    const pugi::xml_node bar = m ? findBargraphChild(m->node) : pugi::xml_node();
    if (!bar || !isSafeOverlayPath(origin))
        return {};
    const QString device = deviceFolderFromPath(origin);
    QString item = origin;
    while (item.endsWith(QLatin1Char('/')))
        item.chop(1);
    item = item.mid(item.lastIndexOf(QLatin1Char('/')) + 1);
    const QString source = coloredBarSource(origin);
    if (device.isEmpty() || item.isEmpty() || source.isEmpty())
        return {};
    // A set per page and mask, and per state: the stock art, the size.
    const QString key = sidecarKey(pageIndex, maskIndex, SidecarStore::BarColors);
    const QStringList strips = litStripNames(bar);
    const BarFill fill = barFillOf(bar);
    // Art holding pasted pictures stays in a paste's set, named for the
    // item they came from too: what it holds is more than a colouring.
    const QString setName = (pastedFrom.isEmpty() ? QStringLiteral("zbar_") : QStringLiteral("zpaste_"))
        + homebrewSetStem() + QLatin1Char('_') + sanitizeFileStem(key) + QLatin1Char('_')
        + coloredBarStateHash(source, pastedFrom.isEmpty() ? origin : origin + QLatin1Char('|') + pastedFrom, width,
                              height, litStripFiles(source, strips));
    const QString newRel = freeColoredBarFolder(origin, device, setName, item, width, height, strips, fill);
    if (newRel.isEmpty() || !installColoredBarArt(origin, newRel, width, height, strips, fill, made, pastedFrom))
        return {};
    return newRel;
}

BarColorSnapshot DashConfig::barColorSnapshot(int pageIndex, int maskIndex) const
{
    BarColorSnapshot s;
    const MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m || !m->node)
        return s;
    s.pathRel = paramValue(m->node, "PATH_REL_AiM_MASK").toStdString();
    s.pathImage = paramValue(m->node, "PATH_IMAGE").toStdString();
    s.pathImgOn = paramValue(m->node, "PATH_IMG_ON").toStdString();
    s.barColorSrc = paramValue(m->node, "DE_BARCOLOR_SRC").toStdString();
    s.fitSrc = paramValue(m->node, "DE_FIT_SRC").toStdString();
    const auto present = [&](const char* name) { return bool(m->node.find_child_by_attribute("p", "n", name)); };
    s.pathRelPresent = present("PATH_REL_AiM_MASK");
    s.pathImagePresent = present("PATH_IMAGE");
    s.pathImgOnPresent = present("PATH_IMG_ON");
    s.barColorSrcPresent = present("DE_BARCOLOR_SRC");
    s.fitSrcPresent = present("DE_FIT_SRC");
    s.barGeometry = barGeometryText(findBargraphChild(m->node)).toStdString();
    const QMap<QString, BarColorRecord> records = loadBarColorSidecar();
    const auto it = records.constFind(sidecarKey(pageIndex, maskIndex, SidecarStore::BarColors));
    if (it != records.constEnd()) {
        s.hasRecord = true;
        s.colored = it->colored;
        s.redline = it->redline;
        s.originalPathRel = it->originalPathRel.toStdString();
        s.originalCoords = it->originalCoords.toStdString();
    }
    return s;
}
