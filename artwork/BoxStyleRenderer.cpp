#include "artwork/BoxStyleRenderer.h"

#include "artwork/BoxStyleLibrary.h"
#include "artwork/TgzImage.h"

#include <QDebug>
#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <QPolygon>

#include <algorithm>
#include <cmath>

namespace {

const QColor kDefaultAccent(90, 170, 255);
const QColor kDefaultDivider(58, 69, 84);

int roundedClamp(double value, int lo, int hi)
{
    return std::clamp(int(std::lround(value)), lo, hi);
}

int captionBandHeight(int h, const QString& caption)
{
    return caption.isEmpty() ? 0 : std::min(std::max(h / 2, 10), 24);
}

// The device keeps one alpha bit: decide every pixel here, at the same
// threshold as the ".tgz" encoder, so what is drawn is what the dash shows.
void forceOneBitAlpha(QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            line[x] = (p & 0x00ffffffu) | (qAlpha(p) >= 128 ? 0xff000000u : 0u);
        }
    }
}

QImage transparentCanvas(int w, int h, const char* caller)
{
    if (w < 1 || h < 1)
        return {};
    if (!BoxStyleRenderer::isRenderableSize(w, h)) {
        qWarning() << caller << "refusing art of" << w << "x" << h << "pixels";
        return {};
    }
    QImage image(w, h, QImage::Format_ARGB32);
    if (!image.isNull())
        image.fill(Qt::transparent);
    return image;
}

QPen strokePen(const QColor& colour, int width)
{
    QPen pen(colour);
    pen.setWidth(width);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

void strokeRect(QPainter& p, const QRect& rect, int radius)
{
    if (radius > 0)
        p.drawRoundedRect(rect, radius, radius, Qt::AbsoluteSize);
    else
        p.drawRect(rect);
}

struct BoxFrame {
    int w = 0;
    int h = 0;
    int top = 0;    // space left above the box for the caption tab
    int stroke = 0; // outline and inner frame width
    int radius = 0;
    int cut = 0;
    QColor accent;
    BoxMetrics metrics;
};

void paintFill(QPainter& p, const BoxStyle& style, const BoxFrame& f)
{
    if (!style.fill)
        return;
    p.setClipPath(BoxStyleRenderer::outlinePath(f.w, f.h, f.radius, f.cut, f.top), Qt::ReplaceClip);
    if (style.verticalGradient) {
        QLinearGradient gradient(0, 0, 0, std::max(f.h - 1, 1));
        gradient.setColorAt(0, style.fillTop);
        gradient.setColorAt(1, style.fillBottom);
        p.fillRect(QRect(0, 0, f.w, f.h), gradient);
    } else {
        p.fillRect(QRect(0, 0, f.w, f.h), style.fillTop);
    }
    p.setClipping(false);
}

void paintBorder(QPainter& p, const BoxStyle& style, const BoxFrame& f)
{
    if (!style.border)
        return;
    p.setPen(strokePen(style.borderUsesAccent ? f.accent : style.borderColor, f.stroke));
    p.setBrush(Qt::NoBrush);
    if (f.cut > 0) {
        const int c = f.cut;
        const int t = f.top;
        const QPolygon outline({QPoint(c, t), QPoint(f.w - 1, t), QPoint(f.w - 1, f.h - c - 1),
                                QPoint(f.w - c - 1, f.h - 1), QPoint(0, f.h - 1), QPoint(0, c + t),
                                QPoint(c, t)});
        p.drawPolyline(outline);
    } else {
        const int k = f.stroke / 2;
        strokeRect(p, QRect(k, k + f.top, f.w - 2 * k - 1, f.h - 2 * k - f.top - 1), f.radius);
    }
    p.setPen(Qt::NoPen);
}

void paintInnerFrame(QPainter& p, const BoxStyle& style, const BoxFrame& f)
{
    if (!style.innerFrame)
        return;
    p.setPen(strokePen(style.innerFrameUsesAccent ? f.accent : style.innerFrameColor, f.stroke));
    p.setBrush(Qt::NoBrush);
    const int i = f.metrics.inset;
    strokeRect(p, QRect(i, i + f.top, f.w - 2 * i - 1, f.h - 2 * i - f.top - 1),
               std::max(f.radius - i, 0));
    p.setPen(Qt::NoPen);
}

void paintAccentStripe(QPainter& p, const BoxStyle& style, const BoxFrame& f)
{
    QColor colour = style.accentUsesAccent ? f.accent : style.accentColor;
    if (!colour.isValid())
        colour = f.accent;
    const int s = f.metrics.stripe;
    QRect stripe;
    switch (style.accentSide) {
    case 1: stripe = QRect(0, f.top, f.w, s); break;
    case 2: stripe = QRect(0, f.h - s, f.w, s); break;
    case 3: stripe = QRect(0, 0, s, f.h); break;
    case 4: stripe = QRect(f.w - s, 0, s, f.h); break;
    default: return;
    }
    p.fillRect(stripe, colour);
}

void paintDividers(QImage& image, const BoxGrid& grid, const QColor& accent)
{
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(accent.isValid() ? accent : kDefaultDivider);
    for (const QRect& r : grid.verticalDividers)
        p.drawRect(r);
    for (const QRect& r : grid.horizontalDividers)
        p.drawRect(r);
}

} // namespace

const QList<QColor>& barColorRamp()
{
    static const QList<QColor> ramp{QColor(0, 220, 0), QColor(255, 191, 0), QColor(255, 0, 0)};
    return ramp;
}

bool BoxStyleRenderer::isUsableGrid(int rows, int cols)
{
    return rows >= 1 && cols >= 1 && rows <= kMaxGridCount && cols <= kMaxGridCount;
}

bool BoxStyleRenderer::isRenderableSize(qint64 width, qint64 height)
{
    if (width < 1 || height < 1 || width > TgzImage::kMaxSide || height > TgzImage::kMaxSide)
        return false;
    return TgzImage::kHeaderBytes + width * height * 2 <= TgzImage::kMaxInflatedBytes;
}

BoxMetrics BoxStyleRenderer::metricsFor(int width, int height)
{
    const double m = std::min(width, height);
    BoxMetrics metrics;
    metrics.radius = roundedClamp(0.11 * m, 4, 22);
    metrics.borderWidth = roundedClamp(0.025 * m, 1, 3);
    metrics.stripe = roundedClamp(0.06 * double(height), 3, 9);
    metrics.inset = roundedClamp(0.06 * m, 2, 8);
    metrics.cut = roundedClamp(0.16 * m, 8, 30);
    return metrics;
}

QPainterPath BoxStyleRenderer::outlinePath(int width, int height, int radius, int cut, int topOffset)
{
    const int w = width;
    const int h = height;
    const int t = topOffset;
    QPainterPath path;
    if (cut < 1) {
        const QRectF rect(0, t, w - 1, h - t - 1);
        if (radius < 1)
            path.addRect(rect);
        else
            path.addRoundedRect(rect, radius, radius, Qt::AbsoluteSize);
        return path;
    }
    path.moveTo(cut, t);
    path.lineTo(w - 1, t);
    path.lineTo(w - 1, h - cut - 1);
    path.lineTo(w - cut - 1, h - 1);
    path.lineTo(0, h - 1);
    path.lineTo(0, cut + t);
    path.closeSubpath();
    return path;
}

QImage BoxStyleRenderer::render(const QSize& size, const QString& styleId, const QColor& accent,
                                int borderPx, const QString& caption, const QColor& captionColor)
{
    const int w = size.width();
    const int h = size.height();
    QImage image = transparentCanvas(w, h, "BoxStyleRenderer::render:");
    if (image.isNull())
        return image;
    const BoxStyle* style = BoxStyleLibrary::findById(styleId);
    if (!style || styleId == cleanBoxStyleId())
        return image;

    BoxFrame f;
    f.w = w;
    f.h = h;
    f.metrics = metricsFor(w, h);
    f.stroke = borderPx > 0 ? std::min(std::max(std::min(w, h) / 3, 1), borderPx) : f.metrics.borderWidth;
    const int band = captionBandHeight(h, caption);
    f.top = band / 2;
    f.accent = accent.isValid() ? accent : kDefaultAccent;
    f.radius = style->rounded ? f.metrics.radius : 0;
    f.cut = style->cutCorner ? f.metrics.cut : 0;

    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        paintFill(p, *style, f);
        paintBorder(p, *style, f);
        paintInnerFrame(p, *style, f);
        paintAccentStripe(p, *style, f);
        drawCaption(p, w, band, f.metrics.inset, accent, caption, captionColor);
    }
    forceOneBitAlpha(image);
    return image;
}

void BoxStyleRenderer::drawCaption(QPainter& painter, int boxWidth, int bandHeight, int margin,
                                   const QColor& accent, const QString& caption,
                                   const QColor& captionColor)
{
    if (caption.isEmpty() || bandHeight < 1)
        return;
    const int avail = std::max(boxWidth - 2 * margin, 8);
    const int pad = std::max(bandHeight / 3, 6);

    // The largest size from 60 % of the band down that fits, never below 6 px.
    QFont font(QStringLiteral("Arial"));
    font.setWeight(QFont::Bold);
    int px = std::max(int(0.6 * bandHeight), 6);
    font.setPixelSize(px);
    int advance = QFontMetrics(font).horizontalAdvance(caption);
    while (px > 6 && advance + 2 * pad > avail) {
        --px;
        font.setPixelSize(px);
        advance = QFontMetrics(font).horizontalAdvance(caption);
    }
    const int tabWidth = std::min(avail, advance + 2 * pad);
    const int x = (boxWidth - tabWidth) / 2;

    const QColor tab = accent.isValid() ? accent : kDefaultAccent;
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tab);
    painter.drawRoundedRect(QRect(x, 0, tabWidth, bandHeight), bandHeight / 2, bandHeight / 2,
                            Qt::AbsoluteSize);

    QColor text = captionColor;
    if (!text.isValid()) {
        const int luma = 299 * tab.red() + 587 * tab.green() + 114 * tab.blue();
        text = luma < 141000 ? QColor(255, 255, 255) : QColor(0, 0, 0);
    }
    painter.setFont(font);
    painter.setPen(text);
    painter.drawText(QRect(x, 0, tabWidth, bandHeight), Qt::AlignCenter, caption);
    painter.setPen(Qt::NoPen);
}

QImage BoxStyleRenderer::renderMultiBox(const QSize& size, const QString& styleId, const QColor& accent,
                                        int rows, int cols, bool showDividers, int borderPx,
                                        const QString& caption, const QColor& captionColor)
{
    QImage image = render(size, styleId, accent, borderPx, caption, captionColor);
    if (image.isNull() || (rows < 2 && cols < 2) || !showDividers)
        return image;
    // A grid that cannot exist is drawn as the plain box rather than divided by.
    if (!isUsableGrid(rows, cols))
        return image;

    const int w = image.width();
    const int h = image.height();
    const BoxMetrics m = metricsFor(w, h);
    paintDividers(image, gridCells(w, h, rows, cols, m.borderWidth, std::max(m.borderWidth, 2)), accent);
    {
        QPainter p(&image);
        drawCaption(p, w, captionBandHeight(h, caption), m.inset, accent, caption, captionColor);
    }
    forceOneBitAlpha(image);
    return image;
}

BoxGrid BoxStyleRenderer::gridCells(int width, int height, int rows, int cols, int margin, int gap)
{
    BoxGrid grid;
    if (!isUsableGrid(rows, cols))
        return grid;
    // 64-bit so that no size the caller passes can overflow; each cell keeps
    // at least one pixel so callers always get rows x cols cells.
    const qint64 innerW = qint64(width) - 2 * qint64(margin);
    const qint64 innerH = qint64(height) - 2 * qint64(margin);
    const qint64 cellW = std::max<qint64>((innerW - (cols - 1) * qint64(gap)) / cols, 1);
    const qint64 cellH = std::max<qint64>((innerH - (rows - 1) * qint64(gap)) / rows, 1);
    const auto toInt = [](qint64 v) {
        return int(std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    };

    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c)
            grid.cells.append(QRect(toInt(margin + c * (cellW + gap)), toInt(margin + r * (cellH + gap)),
                                    toInt(cellW), toInt(cellH)));
    }
    for (int c = 1; c < cols; ++c)
        grid.verticalDividers.append(QRect(toInt(margin + c * cellW + (c - 1) * qint64(gap)), margin,
                                           gap, toInt(innerH)));
    for (int r = 1; r < rows; ++r)
        grid.horizontalDividers.append(QRect(margin, toInt(margin + r * cellH + (r - 1) * qint64(gap)),
                                             toInt(innerW), gap));
    return grid;
}

QColor BoxStyleRenderer::rampColorAt(double t, const QList<QColor>& stops)
{
    if (stops.isEmpty())
        return QColor(0, 0, 0);
    if (stops.size() == 1)
        return stops.first();
    const int n = int(stops.size());
    const double x = std::clamp(std::isnan(t) ? 0.0 : t, 0.0, 1.0) * (n - 1);
    const int i = std::clamp(int(std::floor(x)), 0, n - 2);
    const double f = std::clamp(x - i, 0.0, 1.0);
    const QColor& a = stops.at(i);
    const QColor& b = stops.at(i + 1);
    const auto mix = [f](int lo, int hi) { return int(std::lround((hi - lo) * f + lo)); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

QImage BoxStyleRenderer::paintColorRamp(const QImage& source, int y0, int y1, const QSize& size)
{
    if (!isRenderableSize(size.width(), size.height())) {
        if (size.width() >= 1 && size.height() >= 1)
            qWarning() << "BoxStyleRenderer::paintColorRamp: refusing art of" << size;
        return {};
    }
    QImage image = source.convertToFormat(QImage::Format_ARGB32)
                       .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    if (w < 1 || h < 1)
        return image;
    const int yA = std::clamp(y0, 0, h - 1);
    const int yB = std::clamp(y1, yA, h - 1);
    const QList<QColor>& ramp = barColorRamp();
    for (int x = 0; x < w; ++x) {
        const double t = w == 1 ? 0.0 : double(x) / double(w - 1);
        const QRgb colour = rampColorAt(t, ramp).rgb() & 0x00ffffffu;
        for (int y = yA; y <= yB; ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            line[x] = (line[x] & 0xff000000u) | colour;
        }
    }
    return image;
}
