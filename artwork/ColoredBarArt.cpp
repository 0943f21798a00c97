// The pictures of bar colour artwork: the stock item's lit band and lit
// strips, recoloured along the way the bar fills, and the state that names
// the folder they go to.
#include "artwork/ColoredBarArt.h"

#include "artwork/ArtworkFiles.h"
#include "artwork/BoxStyleRenderer.h"
#include "artwork/TgzImage.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/SafeRead.h"
#include "model/XmlParams.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace ColoredBarArt {

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
static bool isLitPixel(QRgb px)
{
    const int hi = std::max({qRed(px), qGreen(px), qBlue(px)});
    const int lo = std::min({qRed(px), qGreen(px), qBlue(px)});
    return qAlpha(px) >= 128 && !(hi <= 120 && hi - lo <= 40);
}

// The last row of the lit band of a stock bar picture turned to fill from
// left to right: the centre column is walked down from the top while it
// stays lit. A picture lit from the top row has no usable band, so a quarter
// of its height stands in.
static int litBandBottom(const QImage& source)
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
static QImage rampAlongFill(const QImage& picture, int scaledBand, const QSize& size, BarFill fill)
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
    const QStringList files = SafeRead::filesBelow(source);
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

static bool isRecolouredPicture(const QString& lowerName)
{
    return lowerName.endsWith(QLatin1String(".png"))
        && (lowerName == QLatin1String("mask.png") || lowerName.startsWith(QLatin1String("m2on"))
            || lowerName.startsWith(QLatin1String("bkg")));
}

static void collectLitStrips(pugi::xml_node scale, QStringList& names)
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

QImage resizedBarPicture(const QImage& picture, const QSize& size)
{
    QImage scaled = picture.convertToFormat(QImage::Format_ARGB32)
                        .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                        .convertToFormat(QImage::Format_ARGB32);
    // The device keeps one alpha bit.
    for (int y = 0; y < scaled.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(scaled.scanLine(y));
        for (int x = 0; x < scaled.width(); ++x)
            line[x] = (line[x] & 0x00ffffffu) | (qAlpha(line[x]) >= 128 ? 0xff000000u : 0u);
    }
    return scaled;
}

// The other pictures of a bar drawn at its size (its unlit strip, say) are
// drawn at the coloured bar's size too: the device paints a picture at its
// own size, so a resized bar's strips would otherwise keep the stock size.
// Pictures of any other size are left as they are.
static void addResizedPictures(QMap<QString, QByteArray>& files, const QFileInfoList& entries, const QSize& stockSize,
                               const QSize& size)
{
    if (stockSize == size)
        return;
    for (const QFileInfo& fi : entries) {
        const bool device = fi.suffix().compare(QLatin1String("tgz"), Qt::CaseInsensitive) == 0;
        const bool picture = device || fi.suffix().compare(QLatin1String("png"), Qt::CaseInsensitive) == 0;
        if (!picture || files.contains(fi.fileName()) || !FolderCopy::isRegularFile(fi.absoluteFilePath())
            || fi.size() > kArtFileReadBound)
            continue;
        const QImage image = device ? TgzImage::decodeFile(fi.absoluteFilePath())
                                    : SafeRead::readImage(fi.absoluteFilePath());
        if (image.isNull() || image.size() != stockSize)
            continue;
        const QImage scaled = resizedBarPicture(image, size);
        files.insert(fi.fileName(), device ? TgzImage::encode(scaled) : pngBytes(scaled));
    }
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
    const QImage stock = readable(stockPath) ? SafeRead::readImage(stockPath) : QImage();
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
        const QImage picture = device ? TgzImage::decodeFile(fi.absoluteFilePath())
                                    : SafeRead::readImage(fi.absoluteFilePath());
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
    addResizedPictures(files, entries, stock.size(), QSize(width, height));
    return files;
}

QMap<QString, QByteArray> resizedBarPictures(const QString& source, const QSize& stockSize, const QSize& size)
{
    QMap<QString, QByteArray> files;
    addResizedPictures(files, QDir(source).entryInfoList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name),
                       stockSize, size);
    return files;
}

QMap<QString, QByteArray> shownBarPictures(const QString& source, const QStringList& names, const QSize& stockSize,
                                           const QSize& size)
{
    QFileInfoList entries;
    for (const QString& file : litStripFiles(source, names)) {
        if (file.compare(QLatin1String("mask.png"), Qt::CaseInsensitive) != 0
            && file.compare(QLatin1String("mask.tgz"), Qt::CaseInsensitive) != 0)
            entries << QFileInfo(source + QLatin1Char('/') + file);
    }
    QMap<QString, QByteArray> files;
    addResizedPictures(files, entries, stockSize, size);
    // A picture of another size is shown as it is: the item needs it all
    // the same.
    for (const QFileInfo& fi : entries) {
        QByteArray bytes;
        if (!files.contains(fi.fileName())
            && FolderCopy::readRegularFile(fi.absoluteFilePath(), kArtFileReadBound, &bytes))
            files.insert(fi.fileName(), bytes);
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

} // namespace ColoredBarArt
