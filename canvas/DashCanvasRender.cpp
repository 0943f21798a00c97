#include "canvas/DashCanvas.h"

#include "canvas/SampleDataSource.h"
#include "model/DashConfig.h"
#include "model/InstallRoots.h"

#include <QDir>
#include <QPainter>
#include <QtNumeric>


namespace {

// Largest side a rendered page may have; beyond it QImage allocation would
// fail or ask for gigabytes.
constexpr qint64 kMaxSide = 32767;
constexpr qint64 kMaxPixels = qint64(64) * 1024 * 1024;

bool renderableSize(qint64 w, qint64 h)
{
    return w >= 1 && h >= 1 && w <= kMaxSide && h <= kMaxSide && w * h <= kMaxPixels;
}

// Sets up a canvas of its own to draw the page as the preview shows it,
// sized for the page with a margin of 10 pixels on each side.
void setUpPreviewCanvas(DashCanvas& canvas, DashConfig* config, int pageIndex, PageModel* page)
{
    canvas.previewMode = true;
    canvas.config = config;
    canvas.setMaskImageProvider(
        [config, pageIndex](int mask) { return config->renderBoxStyleImage(pageIndex, mask); });
    canvas.setIconGraphicProvider(
        [config, pageIndex](int mask) { return config->iconFileForMask(pageIndex, mask); });
    canvas.setIconPreviewProvider([config, pageIndex](int mask) {
        const QString graphic = config->iconPreviewGraphic(pageIndex, mask);
        return graphic.isEmpty() ? QString() : resolveAssetPath(graphic);
    });
    canvas.setPage(page);
    canvas.setMinimumSize(1, 1);
    canvas.resize(page->width + 20, page->height + 20);
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
    setUpPreviewCanvas(canvas, config, pageIndex, page);

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

QVector<QImage> DashCanvas::renderLabelLayers(DashConfig* config, int pageIndex)
{
    PageModel* page = config ? config->page(pageIndex) : nullptr;
    if (!page || !renderableSize(qint64(page->width) + 20, qint64(page->height) + 20))
        return {};
    DashCanvas canvas;
    setUpPreviewCanvas(canvas, config, pageIndex, page);
    const QRect pageRect(canvas.pageOrigin().toPoint(), QSize(page->width, page->height));

    QVector<QImage> layers(int(page->masks.size()));
    QImage surface(canvas.size(), QImage::Format_ARGB32_Premultiplied);
    for (int m = 0; m < layers.size(); ++m) {
        const MaskElement& mask = page->masks[size_t(m)];
        // A gauge drawn from its geometry shows none of its widgets.
        if ((mask.kind == MaskAnalog || mask.kind == MaskRing) && readRingGaugeGeometry(mask.node).valid)
            continue;
        surface.fill(Qt::transparent);
        bool drawn = false;
        {
            QPainter painter(&surface);
            painter.setClipRect(pageRect);
            for (const WidgetModel& widget : mask.widgets) {
                if (widget.kind != WidgetLabel || widget.hidden != 0)
                    continue;
                painter.save();
                canvas.drawWidgetLive(painter, mask, widget, qQNaN());
                painter.restore();
                drawn = true;
            }
        }
        if (!drawn)
            continue;
        // Cut to the drawn pixels: the script reading these is slow per pixel.
        QRect covered;
        for (int y = pageRect.top(); y <= pageRect.bottom(); ++y) {
            const QRgb* row = reinterpret_cast<const QRgb*>(surface.constScanLine(y));
            for (int x = pageRect.left(); x <= pageRect.right(); ++x)
                if (qAlpha(row[x]) != 0)
                    covered |= QRect(x, y, 1, 1);
        }
        if (covered.isEmpty())
            continue;
        QImage layer = surface.copy(covered).convertToFormat(QImage::Format_ARGB32);
        layer.setOffset(covered.topLeft() - pageRect.topLeft());
        layers[m] = layer;
    }
    return layers;
}

bool DashCanvas::writeLabelLayers(DashConfig* config, const QString& folder, QString* error)
{
    if (!config || !QDir().mkpath(folder)) {
        *error = tr("Cannot create the folder %1.").arg(folder);
        return false;
    }
    for (int p = 0; p < config->pageCount(); ++p) {
        const QVector<QImage> layers = renderLabelLayers(config, p);
        for (int m = 0; m < layers.size(); ++m) {
            if (layers[m].isNull())
                continue;
            const QString path = folder + QStringLiteral("/page%1_mask%2.png").arg(p).arg(m);
            if (!layers[m].save(path, "PNG")) {
                *error = tr("Cannot write %1.").arg(path);
                return false;
            }
        }
    }
    return true;
}
