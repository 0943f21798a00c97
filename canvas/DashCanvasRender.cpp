#include "canvas/DashCanvas.h"

#include "canvas/SampleDataSource.h"
#include "model/DashConfig.h"
#include "model/InstallRoots.h"

#include <QPainter>


namespace {

// Largest side a rendered page may have; beyond it QImage allocation would
// fail or ask for gigabytes.
constexpr qint64 kMaxSide = 32767;
constexpr qint64 kMaxPixels = qint64(64) * 1024 * 1024;

bool renderableSize(qint64 w, qint64 h)
{
    return w >= 1 && h >= 1 && w <= kMaxSide && h <= kMaxSide && w * h <= kMaxPixels;
}

void installProviders(DashCanvas& canvas, DashConfig* config, int pageIndex)
{
    canvas.setMaskImageProvider(
        [config, pageIndex](int mask) { return config->renderBoxStyleImage(pageIndex, mask); });
    canvas.setIconGraphicProvider(
        [config, pageIndex](int mask) { return config->iconFileForMask(pageIndex, mask); });
    canvas.setIconPreviewProvider([config, pageIndex](int mask) {
        const QString graphic = config->iconPreviewGraphic(pageIndex, mask);
        return graphic.isEmpty() ? QString() : resolveAssetPath(graphic);
    });
}

} // namespace

QImage DashCanvas::renderPageForPreview(DashConfig* config, int pageIndex, bool sampleData, int scale)
{
    if (!config)
        return {};
    scale = qMax(1, scale);
    PageModel* page = config->page(pageIndex);
    if (!page || page->width < 1 || page->height < 1)
        return {};
    if (!renderableSize(qint64(page->width) * scale, qint64(page->height) * scale)
        || !renderableSize(qint64(page->width) + 20, qint64(page->height) + 20))
        return {};

    DashCanvas canvas;
    canvas.previewMode = true;
    canvas.config = config;
    SampleDataSource samples;
    if (sampleData) {
        QHash<QString, QString> units;
        for (const ChannelInfo& channel : config->channels) {
            if (!channel.longName.isEmpty())
                units.insert(channel.longName, channel.unit);
        }
        samples.setChannelUnits(units);
        canvas.setDataSource(&samples);
        canvas.setTime(7.5);
    }
    installProviders(canvas, config, pageIndex);
    canvas.setPage(page);
    canvas.setMinimumSize(1, 1);
    canvas.resize(page->width + 20, page->height + 20);

    QImage surface(canvas.size(), QImage::Format_ARGB32_Premultiplied);
    surface.fill(Qt::black);
    {
        QPainter painter(&surface);
        canvas.paintPage(painter);
    }
    QImage image = surface.copy(10, 10, page->width, page->height).convertToFormat(QImage::Format_ARGB32);
    if (scale > 1)
        image = image.scaled(page->width * scale, page->height * scale, Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    return image;
}

QImage DashCanvas::renderPageGeometry(const PageModel* page, int scale)
{
    if (!page || scale < 1)
        return {};
    const qint64 width = qint64(page->width) * scale;
    const qint64 height = qint64(page->height) * scale;
    if (!renderableSize(width, height))
        return {};
    QImage image(int(width), int(height), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (!page->background.isNull())
        painter.drawPixmap(QRect(0, 0, int(width), int(height)), page->background);
    for (const MaskElement& mask : page->masks) {
        // In floating point: XML coordinates times the scale may leave int.
        const QRectF rect(double(mask.x) * scale, double(mask.y) * scale, double(mask.w) * scale,
                          double(mask.h) * scale);
        QColor fill = placeholderColour(mask.kind);
        fill.setAlpha(60);
        painter.fillRect(rect, fill);
        painter.setPen(QPen(mask.channel.isEmpty() ? QColor(150, 150, 150) : QColor(200, 200, 200), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect);
    }
    return image;
}
