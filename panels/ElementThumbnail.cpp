#include "panels/ElementThumbnail.h"

#include "canvas/DashCanvas.h"
#include "model/SafeRead.h"
#include "model/PathGuard.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <algorithm>

namespace {

const QColor kBackdrop(14, 17, 22);
const QColor kOutline(120, 140, 165);
const QColor kSampleText(150, 170, 195);
const int kBrightnessThreshold = 34;

// Names come from the catalog file; only plain file names inside the
// element's folder are read, and only plain files (the canvas's loader
// names a link or a pipe there and reads nothing).
QImage readArt(const QString& folder, const QString& name)
{
    const QString path = PathGuard::join(folder, name);
    return path.isEmpty() ? QImage() : DashCanvas::decodedImage(path);
}

// The files an overlay may be read from, in the order they are tried: the
// middle scale frame, then the element's other PNG art.
QStringList overlayCandidates(const ElementCatalogEntry& entry)
{
    QStringList names;
    if (!entry.scales.isEmpty())
        names.append(entry.scales.at(entry.scales.size() / 2).frame);
    for (const QString& name : entry.art) {
        if (name.endsWith(QLatin1String(".png")) && name != QLatin1String("mask.png"))
            names.append(name);
    }
    return names;
}

QImage overlayImage(const ElementCatalogEntry& entry)
{
    for (const QString& name : overlayCandidates(entry)) {
        const QImage art = readArt(entry.absFolder, name);
        if (!art.isNull())
            return art;
    }
    return {};
}

QSize artSize(const QString& folder, const QString& name)
{
    const QString path = PathGuard::join(folder, name);
    return path.isEmpty() ? QSize() : SafeRead::imageSize(path, nullptr, folder);
}

// The size of what overlayImage reads.
QSize overlaySize(const ElementCatalogEntry& entry)
{
    for (const QString& name : overlayCandidates(entry)) {
        const QSize art = artSize(entry.absFolder, name);
        if (art.isValid())
            return art;
    }
    return {};
}

// RS3 digit and bar art is often near-black or transparent; a sparse grid
// of samples is enough to tell.
bool hasContent(const QImage& image)
{
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3) {
            const QRgb c = image.pixel(x, y);
            if ((5 * qBlue(c) + 16 * qGreen(c) + 11 * qRed(c)) / 32 > kBrightnessThreshold)
                return true;
        }
    }
    return false;
}

void drawPlaceholder(QImage& image, const QString& kind)
{
    const int w = image.width();
    const int h = image.height();
    const int p = std::max(2, h / 26);
    QPainter painter(&image);
    painter.setPen(QPen(kOutline, p));
    painter.setBrush(Qt::NoBrush);
    const double radius = h * 0.1;
    painter.drawRoundedRect(QRectF(p, p, w - 2 * p, h - 2 * p), radius, radius, Qt::AbsoluteSize);
    if (kind == QLatin1String("digit") || kind == QLatin1String("bar")) {
        QFont font = painter.font();
        font.setPixelSize(std::max(9, int(h * 0.42)));
        font.setWeight(QFont::Bold);
        painter.setFont(font);
        painter.setPen(kSampleText);
        painter.drawText(QRect(0, 0, w, h), Qt::AlignCenter, QStringLiteral("0.00"));
    }
}

} // namespace

QPixmap renderElementThumbnail(const ElementCatalogEntry& entry, int side)
{
    const QImage base = readArt(entry.absFolder, QStringLiteral("mask.png"));
    const QImage overlay = overlayImage(entry);
    const QSize size = !base.isNull() ? base.size() : overlay.size();
    if (!size.isValid() || size.isEmpty())
        return {};

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(kBackdrop);
    {
        QPainter painter(&image);
        if (!base.isNull())
            painter.drawImage(0, 0, base);
        if (!overlay.isNull())
            painter.drawImage(image.rect(), overlay);
    }
    if (!hasContent(image))
        drawPlaceholder(image, entry.kind);
    return QPixmap::fromImage(image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

QSize elementThumbnailSize(const ElementCatalogEntry& entry, int side)
{
    const QSize base = artSize(entry.absFolder, QStringLiteral("mask.png"));
    const QSize size = base.isValid() ? base : overlaySize(entry);
    if (!size.isValid() || size.isEmpty())
        return {};
    // What QImage::scaled makes of it.
    return size.scaled(side, side, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}
