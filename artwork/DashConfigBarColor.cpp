// Bar colour artwork: a bargraph's stock item copied into a "zbar_" homebrew
// set of every RaceStudio 3 install that has the device, its lit band and
// the lit strips its scale names recoloured green-amber-red (the copy only,
// never the stock item), and the stock item remembered (in the mask's
// DE_BARCOLOR_SRC and in ".barcolor.json") so the colour can be removed again
// and the art rebuilt on a machine that lacks it.
#include "model/DashConfig.h"

#include "artwork/ArtworkBackup.h"
#include "artwork/ArtworkFiles.h"
#include "artwork/BarFill.h"
#include "artwork/BarColorSnapshot.h"
#include "artwork/BoxStyleRenderer.h"
#include "artwork/HeldArtFolder.h"
#include "artwork/HomebrewItems.h"
#include "artwork/MadeArtFolders.h"
#include "artwork/TgzImage.h"
#include "editing/HotMouseLines.h"
#include "model/DeviceTables.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/SamePath.h"
#include "model/XmlParams.h"
#include "model/ZipArchive.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <sstream>

namespace {

const QString& overlayPrefix()
{
    static const QString prefix = QStringLiteral("aim/resources/overlay/");
    return prefix;
}

// Origins come from the configuration or its sidecar: only a plain path
// inside an install's overlay tree may be read from or written to.
bool isSafeOverlayPath(const QString& rel)
{
    return rel.startsWith(overlayPrefix()) && PathGuard::isSafeRelativePath(rel);
}

// A pixel of a bar picture's lit part: opaque and not the dark grey of the
// unlit part of stock bars.
bool isLitPixel(QRgb px)
{
    const int hi = std::max({qRed(px), qGreen(px), qBlue(px)});
    const int lo = std::min({qRed(px), qGreen(px), qBlue(px)});
    return qAlpha(px) >= 128 && !(hi <= 120 && hi - lo <= 40);
}

// The last row of the lit band of a stock bar picture turned to fill from
// left to right: the centre column is walked down from the top while it
// stays lit. A picture lit from the top row has no usable band, so a quarter
// of its height stands in.
int litBandBottom(const QImage& source)
{
    const int h0 = source.height();
    const int w0 = source.width();
    if (h0 < 2 || w0 < 1)
        return 0;
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int x = w0 / 2;
    int bottom = -1;
    for (int y = 0; y < h0; ++y) {
        if (!isLitPixel(reinterpret_cast<const QRgb*>(image.constScanLine(y))[x]))
            break;
        bottom = y;
    }
    if (bottom < 1)
        bottom = std::max(int(std::lround(0.23 * h0)) - 1, 1);
    return bottom;
}

// The ramp over the band of a bar picture, along the way the bar fills:
// green where it starts, red where it ends. Pixels that are not lit keep
// their colour (the unlit part of a bar lit part way along its length, the
// gaps of a segmented one): a picture is never banded where no lit part is.
QImage rampAlongFill(const QImage& picture, int scaledBand, const QSize& size, BarFill fill)
{
    const QImage oriented = barFillOriented(picture, fill);
    const QSize orientedSize = barFillOrientedSize(size, fill);
    QImage ramped = BoxStyleRenderer::paintColorRamp(oriented, 0, scaledBand, orientedSize);
    if (ramped.isNull())
        return {};
    const QImage plain = oriented.convertToFormat(QImage::Format_ARGB32)
                             .scaled(orientedSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y <= std::min(scaledBand, ramped.height() - 1); ++y) {
        const QRgb* from = reinterpret_cast<const QRgb*>(plain.constScanLine(y));
        QRgb* to = reinterpret_cast<QRgb*>(ramped.scanLine(y));
        for (int x = 0; x < ramped.width(); ++x) {
            if (!isLitPixel(from[x]))
                to[x] = from[x];
        }
    }
    return barFillRestored(ramped, fill);
}

// The folder of the first install whose copy of the origin item holds its
// picture; empty when none does.
QString coloredBarSource(const QString& origin)
{
    const QString originBelowOverlay = origin.mid(overlayPrefix().size());
    for (const QString& root : allOverlayRoots()) {
        const QString folder = PathGuard::join(root, originBelowOverlay);
        if (!folder.isEmpty() && FolderCopy::isRegularFile(folder + QStringLiteral("/mask.png")))
            return folder;
    }
    return {};
}

// Eight hex digits naming one state of a coloured bar: its origin, its size
// and every file of the stock item it is made from. A state always gets the
// same folder, and a folder once written never gets other content, so the
// saved file and every undo step keep the art they point at.
QString coloredBarStateHash(const QString& source, const QString& origin, int width, int height,
                            const QStringList& stripFiles)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(origin.toUtf8() + '\0' + QByteArray::number(width) + 'x' + QByteArray::number(height));
    // Recoloured lit strips make other art of the same stock item: a folder
    // drawn before they were recoloured keeps its own name.
    if (!stripFiles.isEmpty())
        hash.addData(QByteArrayLiteral("\0lit\0") + stripFiles.join(QLatin1Char('\0')).toUtf8());
    QStringList files;
    QDirIterator it(source, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(source).relativeFilePath(it.next());
    files.sort();
    // Only regular files of an art file's size are read: a link (to a
    // device, say) or an outsized file stands for other art, unread.
    for (const QString& name : files) {
        hash.addData('\0' + name.toUtf8() + '\0');
        QByteArray bytes;
        if (FolderCopy::readRegularFile(source + QLatin1Char('/') + name, kArtFileReadBound, &bytes))
            hash.addData(bytes);
        else
            hash.addData(QByteArrayLiteral("\0unread\0"));
    }
    return QString::fromLatin1(hash.result().toHex().left(8));
}

bool isRecolouredPicture(const QString& lowerName)
{
    return lowerName.endsWith(QLatin1String(".png"))
        && (lowerName == QLatin1String("mask.png") || lowerName.startsWith(QLatin1String("m2on"))
            || lowerName.startsWith(QLatin1String("bkg")));
}

void collectLitStrips(pugi::xml_node scale, QStringList& names)
{
    for (pugi::xml_node step = scale.child("e"); step; step = step.next_sibling("e")) {
        const QString name = hasClass(step, "StepScale") ? QString::fromUtf8(paramValue(step, "PATH_IMG_ON")).trimmed()
                                                          : QString();
        if (!name.isEmpty() && !names.contains(name, Qt::CaseInsensitive))
            names << name;
    }
}

// The lit strips the bar's scales (its own, and those of its units) name in
// their steps: the dash draws them over the picture up to the value, so a
// colouring that left them would not show.
QStringList litStripNames(pugi::xml_node bar)
{
    QStringList names;
    for (pugi::xml_node e = bar.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "ScaleFSV"))
            collectLitStrips(e, names);
        for (pugi::xml_node scale = e.child("e"); hasClass(e, "UDM") && scale; scale = scale.next_sibling("e")) {
            if (hasClass(scale, "ScaleFSV"))
                collectLitStrips(scale, names);
        }
    }
    return names;
}

// The files of the item folder that hold those strips: each named file and
// its .png or .tgz twin, by their names in the folder, sorted. The names
// come from the configuration, so only plain names of files there count.
QStringList litStripFiles(const QString& source, const QStringList& strips)
{
    QSet<QString> wanted;
    for (const QString& name : strips) {
        if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
            continue;
        const QString lower = name.toLower();
        wanted.insert(lower);
        if (lower.endsWith(QLatin1String(".tgz")) || lower.endsWith(QLatin1String(".png"))) {
            wanted.insert(lower.chopped(4) + QStringLiteral(".png"));
            wanted.insert(lower.chopped(4) + QStringLiteral(".tgz"));
        }
    }
    QStringList files;
    if (wanted.isEmpty())
        return files;
    for (const QString& file : QDir(source).entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        if (wanted.contains(file.toLower()))
            files << file;
    }
    return files;
}

} // namespace

namespace {

// Where a coloured bar's set goes: the parts of newRel, or empty parts when
// it is not the form the editor writes.
struct ColoredBarTarget {
    QString device;
    QString setName;
};

ColoredBarTarget coloredBarTarget(const QString& newRel)
{
    const int masksAt = newRel.indexOf(QLatin1String("/masks/"), overlayPrefix().size());
    if (masksAt <= overlayPrefix().size())
        return {};
    static const QString homebrewMarker = QStringLiteral("/s04_homebrew/");
    const int homebrewAt = newRel.indexOf(homebrewMarker);
    if (homebrewAt < 0)
        return {};
    const QString afterHomebrew = newRel.mid(homebrewAt + homebrewMarker.size());
    const int itemsAt = afterHomebrew.indexOf(QLatin1String("/Items/"));
    if (itemsAt < 1)
        return {};
    return {newRel.mid(overlayPrefix().size(), masksAt - overlayPrefix().size()), afterHomebrew.left(itemsAt)};
}

// The files a colouring writes over the copy of the stock item, by name:
// each recoloured picture and the device twin of each; a lit strip kept only
// in the device's format is read from it.
QMap<QString, QByteArray> recolouredFiles(const QString& source, int width, int height, const QStringList& strips,
                                          BarFill fill)
{
    QMap<QString, QByteArray> files;
    // Pictures are read from regular files of an art file's size only.
    const auto readable = [](const QString& path) {
        return FolderCopy::isRegularFile(path) && QFileInfo(path).size() <= kArtFileReadBound;
    };
    const QString stockPath = source + QStringLiteral("/mask.png");
    const QImage stock = readable(stockPath) ? QImage(stockPath) : QImage();
    if (stock.isNull())
        return files;
    // The band lies across the way the bar fills, the ramp along it.
    const QImage orientedStock = barFillOriented(stock, fill);
    const int bottom = litBandBottom(orientedStock);
    const int targetHeight = barFillOrientedSize(QSize(width, height), fill).height();
    const int band = orientedStock.height() > 1
        ? int(std::lround(double(targetHeight - 1) * double(bottom) / double(orientedStock.height() - 1)))
        : bottom;
    const QStringList stripFiles = litStripFiles(source, strips);
    const QFileInfoList entries =
        QDir(source).entryInfoList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo& fi : entries) {
        const bool strip = stripFiles.contains(fi.fileName());
        if ((!strip && !isRecolouredPicture(fi.fileName().toLower())) || files.contains(fi.fileName())
            || !readable(fi.absoluteFilePath()))
            continue;
        const bool device = fi.suffix().compare(QLatin1String("tgz"), Qt::CaseInsensitive) == 0;
        const QImage picture = device ? TgzImage::decodeFile(fi.absoluteFilePath()) : QImage(fi.absoluteFilePath());
        if (picture.isNull())
            continue;
        const QImage recoloured = rampAlongFill(picture, band, QSize(width, height), fill);
        if (recoloured.isNull())
            continue;
        files.insert(fi.fileName(), device ? TgzImage::encode(recoloured) : pngBytes(recoloured));
        const QString twin = fi.completeBaseName() + QStringLiteral(".tgz");
        if (!device && QFileInfo::exists(source + QLatin1Char('/') + twin))
            files.insert(twin, TgzImage::encode(recoloured));
    }
    return files;
}

// True when an install's folder at newRel holds a picture other than this
// colouring's: art the user put there, which a saved file may show.
bool holdsOtherArt(const QString& newRel, const QString& device, const QMap<QString, QByteArray>& files)
{
    for (const QString& overlayRoot : rs3OverlayRoots()) {
        if (!QFileInfo(PathGuard::join(overlayRoot, device)).isDir())
            continue;
        const QString install = installOfOverlayRoot(overlayRoot);
        const QString folder = PathGuard::join(install, newRel);
        if (folder.isEmpty())
            continue;
        // A link on the way may lead to anyone's files: that install is
        // never written (the colouring names it), so what lies behind the
        // link does not decide the folder's name.
        if (!FolderCopy::linkOnPath(install, folder).isEmpty())
            continue;
        if (!QFileInfo(folder).isDir())
            continue;
        // Anything in a picture's place that is not the same bytes (a link,
        // an outsized or unreadable file) is other art.
        for (auto it = files.constBegin(); it != files.constEnd(); ++it) {
            const QString path = folder + QLatin1Char('/') + it.key();
            QByteArray bytes;
            const bool there = QFileInfo::exists(path) || QFileInfo(path).isSymLink();
            if (there && (!FolderCopy::readRegularFile(path, kArtFileReadBound, &bytes) || bytes != it.value()))
                return true;
        }
    }
    return false;
}

} // namespace

bool DashConfig::installColoredBarArt(const QString& origin, const QString& newRel, int width, int height,
                                      const QStringList& litStrips, BarFill fill, MadeArtFolders* made)
{
    if (!isSafeOverlayPath(origin) || !isSafeOverlayPath(newRel)) {
        qWarning() << "installColoredBarArt: refusing path" << origin << newRel;
        return false;
    }
    if (width < 1 || height < 1 || !BoxStyleRenderer::isRenderableSize(width, height))
        return false;

    const QString source = coloredBarSource(origin);
    if (source.isEmpty())
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
        artCopyNotes << held.linked;
        QString why;
        if (!copyHeldArtFolder(held, madeHere, &savedArt, &why))
            artCopyNotes << why;
        artCopyNotes.removeAll(QString());
        if (made)
            made->add(madeHere);
        return true;
    }

    const QMap<QString, QByteArray> recoloured = recolouredFiles(source, width, height, litStrips, fill);
    if (!recoloured.contains(QStringLiteral("mask.png")))
        return false;

    bool written = false;
    // The copies of the stock item into every install, flushed once.
    FolderCopy stockCopy;
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
            artCopyNotes << QCoreApplication::translate("DashConfig", "%1 was left as it is: %2 is a symbolic link")
                                .arg(destination, link);
            continue;
        }
        if (QFileInfo(destination).isDir())
            savedArt.aboutToWrite(destination, artworkFileNames(source));
        MadeArtFolders inRoot;
        if (!inRoot.make(destination)) {
            // The copy's error would be an earlier install's: this one says
            // what is in the way here.
            artCopyNotes << QCoreApplication::translate("DashConfig", "%1 was left as it is: %2")
                                .arg(destination, FolderCopy::whyNoFolder(destination));
            inRoot.removeAll();
            continue;
        }
        if (!stockCopy.addMissing(source, destination)) {
            artCopyNotes << stockCopy.error();
            inRoot.removeAll();
            continue;
        }

        const QFileInfoList files = QDir(destination).entryInfoList(
            QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
        for (const QFileInfo& fi : files) {
            const QString path = fi.absoluteFilePath();
            QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        // Each file is replaced only once its new content is complete.
        for (auto it = recoloured.constBegin(); it != recoloured.constEnd(); ++it) {
            const QString path = destination + QLatin1Char('/') + it.key();
            const bool picture = it.key().compare(QLatin1String("mask.png"), Qt::CaseInsensitive) == 0;
            bool saved = !it.value().isEmpty() && writeFileBytes(path, it.value());
            if (!saved && picture)
                saved = !it.value().isEmpty() && writeFileBytes(path, it.value());
            if (!saved && picture) {
                editorPngWriteFailed = true;
                qWarning() << "installColoredBarArt: editor mask.png write failed" << path;
            }
        }

        const QString folderXml = setFolder + QStringLiteral("/AiM_folder.xml");
        if (!QFileInfo::exists(folderXml)) {
            inRoot.noteNewFile(folderXml);
            writeFileBytes(folderXml, resourceFolderXml(QStringLiteral("Bar Colors"), 99));
        }
        madeHere.add(inRoot);
        written = true;
    }
    noteArtCopies(stockCopy);
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
        const QString rel = QStringLiteral("aim/resources/overlay/%1/masks/set/standard/s04_homebrew/zbar_%2/Items/%3/")
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
    if (holdsPastedColouredArt(node)) {
        if (error)
            *error = pastedColouredArtRefusal();
        return false;
    }

    // A second colouring starts again from the stock art, never from the
    // recoloured copy.
    QString origin;
    QString originalCoords;
    // A record the mask's art was not made from (left by an editor that
    // ended before its save) tells neither the stock art nor its geometry.
    const auto rec = records.constFind(key);
    if (rec != records.constEnd() && !rec->originalPathRel.isEmpty() && barColorRecordFits(*rec, node)) {
        origin = rec->originalPathRel;
        // The bar now has the coloured geometry; the stock one that removal
        // puts back is the one already recorded.
        originalCoords = rec->originalCoords;
    } else if (current.contains(QLatin1String("/zbar_"))) {
        return false;
    } else {
        origin = current;
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

    // A set per page and mask, and per state: the stock art, the size.
    const QString source = coloredBarSource(origin);
    if (source.isEmpty())
        return false;
    const QStringList strips = litStripNames(bar);
    const BarFill fill = barFillOf(bar);
    const QString setName = homebrewSetStem() + QLatin1Char('_') + sanitizeFileStem(key) + QLatin1Char('_')
        + coloredBarStateHash(source, origin, width, height, litStripFiles(source, strips));
    const QString newRel = freeColoredBarFolder(origin, device, setName, item, width, height, strips, fill);
    if (newRel.isEmpty())
        return false;
    if (originalCoords.isEmpty())
        originalCoords = barGeometryText(bar);

    MadeArtFolders made;
    if (!installColoredBarArt(origin, newRel, width, height, strips, fill, &made))
        return false;
    // Recorded before the mask changes: without the record the colour could
    // never be removed, so a record that cannot be written leaves the mask as
    // it was, and the installs without the folders this colouring made.
    records.insert(key, BarColorRecord{true, redline, origin, originalCoords});
    if (!saveBarColorSidecar(records)) {
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

namespace {

// True when the set's name holds `part` as a whole "_"-separated piece.
bool setNames(const QString& set, const QString& part)
{
    const QString piece = QLatin1Char('_') + part;
    return set.endsWith(piece) || set.contains(piece + QLatin1Char('_'));
}

// Whether the item's picture is missing from one of the installs (overlay
// roots) that has the device, and some install has it.
bool coloredBarMissing(const QStringList& roots, const QString& device, const QString& path)
{
    const QString picture =
        (path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/')) + QStringLiteral("mask.png");
    bool present = false;
    bool missing = false;
    for (const QString& overlayRoot : roots) {
        const QString deviceDir = PathGuard::join(overlayRoot, device);
        if (deviceDir.isEmpty() || !QFileInfo(deviceDir).isDir())
            continue;
        present = true;
        const QString file = PathGuard::join(installOfOverlayRoot(overlayRoot), picture);
        if (!file.isEmpty() && !QFileInfo::exists(file))
            missing = true;
    }
    return present && missing;
}

// The bar whose colouring made a coloured bar's folder, with the origin and
// size to draw it from again; page -1 when there is none to tell.
struct ColoredBarMaker {
    int page = -1;
    int mask = -1;
    QString origin;
    bool fromRecord = false;
    int width = 0;
    int height = 0;
    QStringList litStrips;
    BarFill fill = BarFill::LeftToRight;
};

ColoredBarMaker coloredBarMaker(const DashConfig& config, const QString& path,
                                const QMap<QString, BarColorRecord>& records)
{
    std::vector<ColoredBarMaker> candidates;
    for (int p = 0; p < int(config.pages.size()); ++p) {
        for (int k = 0; k < int(config.pages[size_t(p)].masks.size()); ++k) {
            const pugi::xml_node node = config.pages[size_t(p)].masks[size_t(k)].node;
            if (!node || QString::fromUtf8(paramValue(node, "PATH_REL_AiM_MASK")) != path)
                continue;
            ColoredBarMaker c{p, k, QString::fromUtf8(paramValue(node, "DE_BARCOLOR_SRC")), false, 0, 0,
                              litStripNames(findBargraphChild(node)), barFillOf(findBargraphChild(node))};
            if (c.origin.isEmpty()) {
                c.origin = records.value(config.sidecarKey(p, k, SidecarStore::BarColors)).originalPathRel;
                c.fromRecord = !c.origin.isEmpty();
            }
            if (!c.origin.isEmpty() && elementDeclaredSize(node, c.width, c.height) && c.width >= 1 && c.height >= 1)
                candidates.push_back(c);
        }
    }
    // Bars that share a folder may have been resized since: only the
    // state (origin and size) the folder's name holds is the one it was
    // drawn for. A name that holds none (hand-named, or from a build that
    // did not name states) tells no size to draw at.
    const QString set = coloredBarTarget(path).setName;
    for (const ColoredBarMaker& c : candidates) {
        if (!isSafeOverlayPath(c.origin)) {
            qWarning() << "repairMissingColoredBars: refusing origin" << c.origin;
            continue;
        }
        const QString source = coloredBarSource(c.origin);
        if (!source.isEmpty()
            && setNames(set, coloredBarStateHash(source, c.origin, c.width, c.height,
                                                 litStripFiles(source, c.litStrips))))
            return c;
    }
    return {};
}

} // namespace

int DashConfig::repairMissingColoredBars()
{
    const QMap<QString, BarColorRecord> records = loadBarColorSidecar();
    // Looked up once: each look-up reads the settings and the disk.
    const QStringList roots = rs3OverlayRoots();
    // Every copy of the open is flushed once, when it is done.
    FolderCopy copies;
    QSet<QString> seen;
    int count = 0;
    for (int p = 0; p < int(pages.size()); ++p) {
        for (int k = 0; k < int(pages[size_t(p)].masks.size()); ++k) {
            const pugi::xml_node node = pages[size_t(p)].masks[size_t(k)].node;
            if (!node)
                continue;
            const QString path = QString::fromUtf8(paramValue(node, "PATH_REL_AiM_MASK"));
            if (!path.contains(QLatin1String("/s04_homebrew/zbar_")) || !path.startsWith(overlayPrefix()))
                continue;
            const int masksAt = path.indexOf(QLatin1String("/masks/"), overlayPrefix().size());
            if (masksAt <= overlayPrefix().size())
                continue;
            // Opening a file must never write outside the installs.
            if (!PathGuard::isSafeRelativePath(path) || seen.contains(path))
                continue;
            seen.insert(path);
            const QString device = path.mid(overlayPrefix().size(), masksAt - overlayPrefix().size());
            if (!coloredBarMissing(roots, device, path))
                continue;

            // An install that holds the folder is never written: the others
            // get a copy of it. Only when none does is it drawn, for the bar
            // whose state its name holds.
            const ColoredBarMaker maker = coloredBarMaker(*this, path, records);
            const HeldArtFolder held = heldArtFolder(roots, device, path, QStringLiteral("mask.png"));
            // A linked folder is neither read nor written: drawing the art
            // again would write through it.
            if (!held.linked.isEmpty()) {
                artCopyNotes << held.linked;
                if (!held.held())
                    continue;
            }
            if (held.held()) {
                MadeArtFolders made;
                QString error;
                if (!copyHeldArtFolder(held, made, copies, &error)) {
                    made.removeAll();
                    qInfo() << "repairMissingColoredBars: could not copy" << path << "from" << held.holding.first()
                            << "-" << error;
                    artCopyNotes << error;
                    continue;
                }
                qInfo() << "repairMissingColoredBars: copied" << path << "from" << held.holding.first();
            } else if (isReplacedBarSet(coloredBarTarget(path).setName)) {
                qInfo() << "repairMissingColoredBars: replaced art cannot be drawn again" << path << "- left";
                continue;
            } else if (maker.page < 0) {
                qInfo() << "repairMissingColoredBars: the folder's name holds no state of a bar that points at it"
                        << path << "- left";
                continue;
            } else if (!installColoredBarArt(maker.origin, path, maker.width, maker.height, maker.litStrips,
                                             maker.fill)) {
                continue;
            } else {
                qInfo() << "repairMissingColoredBars: rebuilt" << path
                        << (maker.fromRecord ? "(sidecar+stamped)" : "(prop)");
            }
            if (maker.page >= 0 && maker.fromRecord) {
                setParam(pages[size_t(maker.page)].masks[size_t(maker.mask)].node, "DE_BARCOLOR_SRC",
                         maker.origin.toUtf8());
                markPageDirty(maker.page);
            }
            ++count;
        }
    }
    noteArtCopies(copies);
    return count;
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
    const auto present = [&](const char* name) { return bool(m->node.find_child_by_attribute("p", "n", name)); };
    s.pathRelPresent = present("PATH_REL_AiM_MASK");
    s.pathImagePresent = present("PATH_IMAGE");
    s.pathImgOnPresent = present("PATH_IMG_ON");
    s.barColorSrcPresent = present("DE_BARCOLOR_SRC");
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
