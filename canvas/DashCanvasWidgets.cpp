#include "canvas/DashCanvas.h"

#include "canvas/IDataSource.h"
#include "model/XmlParams.h"

#include <QFontMetrics>
#include <QHash>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Vertical code of POS_ALIGN (first character), "t" when empty.
QChar verticalCode(const QString& posAlign)
{
    return posAlign.isEmpty() ? QLatin1Char('t') : posAlign.at(0).toLower();
}

// Horizontal code of POS_ALIGN (second character), "l" when shorter.
QChar horizontalCode(const QString& posAlign)
{
    return posAlign.size() < 2 ? QLatin1Char('l') : posAlign.at(1).toLower();
}

// An integer bar parameter; a missing, empty or unreadable one counts as 0.
int barParam(pugi::xml_node node, const char* name)
{
    return QString::fromUtf8(paramValue(node, name)).trimmed().toInt();
}

// The bar's scale element: its own chosen ScaleFSV child, else the one under
// its chosen UDM child.
pugi::xml_node barScaleElement(pugi::xml_node widget)
{
    const pugi::xml_node own = DashCanvas::findChosenElement(widget, "ScaleFSV");
    if (own)
        return own;
    const pugi::xml_node udm = DashCanvas::findChosenElement(widget, "UDM");
    return udm ? DashCanvas::findChosenElement(udm, "ScaleFSV") : pugi::xml_node();
}

// A number of a step: the whole trimmed text must read as a finite number.
bool stepNumber(pugi::xml_node step, const char* name, double& out)
{
    bool ok = false;
    const double v = QString::fromUtf8(paramValue(step, name)).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

// Where the vector bar lies: its vertical alignment places it about the anchor.
QRectF vectorBarRect(const WidgetModel& widget, QPointF anchor, double s)
{
    const double bw = widget.w * s;
    const double bh = widget.h * s;
    double ay = anchor.y();
    const QChar vertical = verticalCode(widget.posAlign);
    if (vertical == QLatin1Char('m'))
        ay -= bh / 2.0;
    else if (vertical == QLatin1Char('b'))
        ay -= bh;
    return QRectF(anchor.x(), ay, bw, bh);
}

// Plain or trapezoid vector bar for a bar widget without usable artwork.
void drawVectorBar(QPainter& painter, const WidgetModel& widget, double value, QPointF anchor, double s,
                   bool previewMode)
{
    const QRectF bar = vectorBarRect(widget, anchor, s);
    const double bw = bar.width();
    const double bh = bar.height();
    const double f = DashCanvas::valueFraction(value, widget.scaleMin, widget.scaleMax);

    QColor fill(220, 110, 40, 200);
    QColor outline(220, 110, 40, 220);
    if (widget.barColour.isValid()) {
        fill = widget.barColour;
        fill.setAlpha(200);
        outline = widget.barColour.lighter(130);
        outline.setAlpha(230);
    }

    const bool horizontal = bh <= bw;
    if (!widget.isTrapezio || previewMode) {
        QRectF filled = bar;
        if (horizontal)
            filled.setRight(bar.left() + bw * f);
        else
            filled.setTop(bar.bottom() - bh * f);
        painter.save();
        painter.fillRect(filled, fill);
        painter.setPen(QPen(outline, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(bar);
        painter.restore();
        return;
    }

    const double t = std::min(bw, bh) * 0.25;
    const double left = bar.left();
    const double top = bar.top();
    const double right = bar.right();
    const double bottom = bar.bottom();
    QPolygonF outlinePath;
    QPolygonF fillPath;
    if (horizontal) {
        const double xf = left + bw * f;
        const double d = (1.0 - f) * t;
        outlinePath << QPointF(left, top + t) << QPointF(right, top) << QPointF(right, bottom)
                    << QPointF(left, bottom - t);
        fillPath << QPointF(left, top + t) << QPointF(xf, top + d) << QPointF(xf, bottom - d)
                 << QPointF(left, bottom - t);
    } else {
        const double yf = bottom - bh * f;
        outlinePath << QPointF(left + t, top) << QPointF(right - t, top) << QPointF(right, bottom)
                    << QPointF(left, bottom);
        fillPath << QPointF(left + t * f, yf) << QPointF(right - t * f, yf) << QPointF(right, bottom)
                 << QPointF(left, bottom);
    }
    QPainterPath outlineShape;
    outlineShape.addPolygon(outlinePath);
    outlineShape.closeSubpath();
    QPainterPath fillShape;
    fillShape.addPolygon(fillPath);
    fillShape.closeSubpath();

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(outline, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outlineShape);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPath(fillShape);
    painter.restore();
}

// No display is this tall: a larger size from the XML only costs time in the
// font engine and is drawn at this size instead.
constexpr int kMaxTextPixels = 4096;
// NUM_CHARS cells are measured as a string of that many digits; no display
// line holds more.
constexpr int kMaxTextCells = 64;

// Font pixel size of a text widget before scaling.
int textPixelSize(const MaskElement& mask, const WidgetModel& widget)
{
    if (widget.charsetPx > 0)
        return std::min(widget.charsetPx, kMaxTextPixels);
    if (widget.h > 0)
        return std::min(widget.h, kMaxTextPixels);
    if (mask.h > 0)
        return std::clamp(mask.h / std::max(widget.numChars, 1), 8, 24);
    return 24;
}

// The largest pixel size, at most p scaled down by the measured overshoot,
// at which `cells` digits fit into avail pixels; 7 when none does. A few
// single steps find the usual answer exactly; a size still too wide after
// them is searched by halving, so a widget costs a bounded number of
// measurements whatever its size. Text width grows with the pixel size.
int measureFittedPixelSize(QFont font, int p, int cells, int avail);

// The answer for a font, size, cell count and width never changes: it is
// measured once and kept.
int fittedPixelSize(const QFont& font, int p, int cells, int avail)
{
    static QHash<QString, int> fitted;
    const QString key = font.key() + QLatin1Char('|') + QString::number(p) + QLatin1Char('|') + QString::number(cells)
        + QLatin1Char('|') + QString::number(avail);
    const auto it = fitted.constFind(key);
    if (it != fitted.constEnd())
        return *it;
    const int size = measureFittedPixelSize(font, p, cells, avail);
    if (fitted.size() > 4096)
        fitted.clear();
    fitted.insert(key, size);
    return size;
}

int measureFittedPixelSize(QFont font, int p, int cells, int avail)
{
    const QString digits(cells, QLatin1Char('9'));
    const auto fits = [&font, &digits, avail](int size) {
        font.setPixelSize(size);
        return QFontMetrics(font).horizontalAdvance(digits) <= avail;
    };
    font.setPixelSize(p);
    const int advance = QFontMetrics(font).horizontalAdvance(digits);
    if (advance <= avail || advance <= 0)
        return p;
    p = std::max(int(qint64(p) * std::max(avail, 0) / advance), 7);
    constexpr int kSingleSteps = 8;
    for (int step = 0; step < kSingleSteps; ++step, --p) {
        if (p <= 7 || fits(p))
            return std::max(p, 7);
    }
    // fits(p + 1) is false here; find the largest fitting size below it.
    int low = 7;
    int high = p + 1;
    if (!fits(low))
        return 7;
    while (high - low > 1) {
        const int mid = low + (high - low) / 2;
        if (fits(mid))
            low = mid;
        else
            high = mid;
    }
    return low;
}

// Where and in what font a Digit's or Label's text goes: anchored as
// POS_ALIGN says, fitted to the widget's character count.
struct TextLayout {
    QFont font;
    int pixels = 0;
    QRectF box;
    QPointF origin; // left end of the baseline
    double advance = 0.0;
    double ascent = 0.0;
    double descent = 0.0;
    bool clipped = false;
    QRectF clip;
};

// A text's glyphs, placed from the left end of its baseline, and its advance.
struct ShapedText {
    QList<QGlyphRun> runs;
    double advance = 0.0;
};

// A text widget's font with the metrics its layout needs, and the texts
// already shaped in it. They depend only on the base font, the face and the
// fitted size, so playback shapes each value once instead of every frame.
struct FittedFont {
    QFont font;
    int pixels = 0;
    double ascent = 0.0;
    double descent = 0.0;
    double height = 0.0;
    QHash<QString, ShapedText> shaped;
};

struct FittedFontKey {
    QString charset;
    int pixels;
    int cells;
    int width;
    bool operator==(const FittedFontKey& other) const
    {
        return pixels == other.pixels && cells == other.cells && width == other.width && charset == other.charset;
    }
};

size_t qHash(const FittedFontKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.charset, key.pixels, key.cells, key.width);
}

FittedFont& fittedFont(const QFont& baseFont, const QString& charset, int p, int cells, int width)
{
    static QFont base;
    static QHash<FittedFontKey, FittedFont> fonts;
    if (!(base == baseFont) || base.resolveMask() != baseFont.resolveMask() || fonts.size() > 256) {
        fonts.clear();
        base = baseFont;
    }
    const FittedFontKey key{charset, p, cells, width};
    auto it = fonts.find(key);
    if (it != fonts.end())
        return *it;

    FittedFont fitted;
    QFont font = baseFont;
    const QString family = DashCanvas::displayFontFamily(charset);
    if (!family.isEmpty())
        font.setFamily(family);
    font.setWeight(QFont::Bold);
    font.setPixelSize(p);
    // The firmware reserves NUM_CHARS digit cells; shrink until they fit.
    if (cells > 0 && width >= 0) {
        p = fittedPixelSize(font, p, cells, width);
        font.setPixelSize(p);
    }
    const QFontMetricsF metrics(font);
    fitted.font = font;
    fitted.pixels = p;
    fitted.ascent = metrics.ascent();
    fitted.descent = metrics.descent();
    fitted.height = metrics.height();
    return *fonts.insert(key, fitted);
}

// Plain ASCII text, left to right (also under the automatic direction, as
// it holds no right-to-left letter), is shaped once and drawn from its glyphs; other
// text goes to QPainter::drawText as it stands.
bool shapesOnce(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    }
    return true;
}

const ShapedText& shapedText(FittedFont& fitted, const QString& text)
{
    const auto it = fitted.shaped.constFind(text);
    if (it != fitted.shaped.constEnd())
        return *it;
    if (fitted.shaped.size() > 512)
        fitted.shaped.clear();
    ShapedText shaped;
    shaped.advance = QFontMetricsF(fitted.font).horizontalAdvance(text);
    if (shapesOnce(text)) {
        QTextLayout layout(text, fitted.font);
        layout.beginLayout();
        const QTextLine line = layout.createLine();
        layout.endLayout();
        const double ascent = line.isValid() ? line.ascent() : 0.0;
        for (QGlyphRun run : layout.glyphRuns()) {
            QList<QPointF> positions = run.positions();
            for (QPointF& position : positions)
                position.ry() -= ascent;
            run.setPositions(positions);
            shaped.runs.append(run);
        }
    }
    return *fitted.shaped.insert(text, shaped);
}

TextLayout layoutWidgetText(const QFont& baseFont, const MaskElement& mask, const WidgetModel& widget,
                            const QString& text, QPointF anchor, double s, const ShapedText** glyphs = nullptr)
{
    TextLayout layout;
    int p = int(std::clamp(std::round(textPixelSize(mask, widget) * s), 7.0, double(kMaxTextPixels)));
    int cells = 0;
    int width = -1;
    if (widget.numChars > 0 && widget.w > 0) {
        cells = std::min(widget.numChars, kMaxTextCells);
        width = int(std::min(std::round(widget.w * s), double(std::numeric_limits<int>::max())));
    }
    FittedFont& fitted = fittedFont(baseFont, widget.charset, p, cells, width);
    const QFont& font = fitted.font;
    p = fitted.pixels;
    const ShapedText& shaped = shapedText(fitted, text);
    if (glyphs)
        *glyphs = &shaped;

    const double advance = shaped.advance;
    double tw = advance;
    double th = fitted.height;
    if (widget.w > 0)
        tw = std::trunc(widget.w * s);
    if (widget.h > 0)
        th = std::trunc(widget.h * s);

    const QChar vertical = verticalCode(widget.posAlign);
    const QChar horizontal = horizontalCode(widget.posAlign);
    double ax = anchor.x();
    const double ay = anchor.y();
    if (widget.w <= 0) {
        if (horizontal == QLatin1Char('c'))
            ax -= tw / 2.0;
        else if (horizontal == QLatin1Char('r'))
            ax -= tw;
    }
    double boxTop = ay;
    if (vertical == QLatin1Char('m'))
        boxTop = ay - th / 2.0;
    else if (vertical == QLatin1Char('b'))
        boxTop = ay - th;
    const QRectF box(ax, boxTop, tw, th);

    double textTop = ay;
    if (widget.h > 0)
        textTop = box.top();
    else if (vertical == QLatin1Char('m'))
        textTop = ay - p * 1.14 / 2.0;
    else if (vertical == QLatin1Char('b'))
        textTop = ay - p * 1.14;
    const double baseline = textTop + p * 0.94;

    double x = box.left();
    if (horizontal == QLatin1Char('c'))
        x = box.left() + (box.width() - advance) / 2.0;
    else if (horizontal == QLatin1Char('r'))
        x = box.right() - advance;

    layout.font = font;
    layout.pixels = p;
    layout.box = box;
    layout.origin = QPointF(x, baseline);
    layout.advance = advance;
    layout.ascent = fitted.ascent;
    layout.descent = fitted.descent;
    // Never spill sideways out of a sized widget; vertically it may.
    layout.clipped = widget.w > 0;
    if (layout.clipped)
        layout.clip = QRectF(box.left() - 1.0, box.top() - 2.0 * box.height(), box.width() + 2.0, box.height() * 5.0);
    return layout;
}

// Where the glyphs of a laid-out text may reach: beyond the font's ascent,
// descent and side bearings, and within the clip of a sized widget.
QRectF textExtent(const TextLayout& layout)
{
    const double p = layout.pixels;
    const QPointF o = layout.origin;
    const double top = o.y() - layout.ascent - 0.25 * p;
    QRectF extent(o.x() - p, top, layout.advance + 2.0 * p, layout.ascent + layout.descent + 0.5 * p);
    if (!layout.clipped)
        return extent.adjusted(-2, -2, 2, 2);
    extent.setLeft(layout.clip.left());
    extent.setRight(layout.clip.right());
    return extent.adjusted(-1, -2, 1, 2);
}

void drawWidgetText(QPainter& painter, const MaskElement& mask, const WidgetModel& widget, const QString& text,
                    QPointF anchor, double s)
{
    const ShapedText* shaped = nullptr;
    const TextLayout layout = layoutWidgetText(painter.font(), mask, widget, text, anchor, s, &shaped);
    QColor pen = widget.colour;
    if (!pen.isValid())
        pen = widget.kind == WidgetDigit ? QColor(255, 255, 255) : QColor(180, 180, 180);

    painter.save();
    painter.setFont(layout.font);
    painter.setPen(pen);
    if (layout.clipped)
        painter.setClipRect(layout.clip, Qt::IntersectClip);
    if (shaped->runs.isEmpty() || painter.layoutDirection() == Qt::RightToLeft) {
        painter.drawText(layout.origin, text);
    } else {
        for (const QGlyphRun& run : shaped->runs)
            painter.drawGlyphRun(layout.origin, run);
    }
    painter.restore();
}

} // namespace

void DashCanvas::drawWidgetLive(QPainter& painter, const MaskElement& mask, const WidgetModel& widget, double value)
{
    const double s = viewScale();
    const QPointF o = pageOrigin();
    const QPointF anchor(o.x() + (double(mask.x) + widget.x) * s, o.y() + (double(mask.y) + widget.y) * s);

    if (widget.kind == WidgetBargraph) {
        if (!drawBargraph(painter, mask, widget, value) && widget.w > 0 && widget.h > 0)
            drawVectorBar(painter, widget, value, anchor, s, previewMode);
        return;
    }

    const QString text = widget.kind == WidgetDigit ? digitText(widget, value, previewMode) : labelText(mask, widget);
    if (text.isEmpty())
        return;
    drawWidgetText(painter, mask, widget, text, anchor, s);
}

bool DashCanvas::barArtwork(const MaskElement& mask, const WidgetModel& widget, BarArtwork& art)
{
    if (!widget.node)
        return false;
    const pugi::xml_node scale = barScaleElement(widget.node);
    if (!scale)
        return false;

    art.s1 = QPointF(barParam(widget.node, "XStart1"), barParam(widget.node, "YStart1"));
    art.s2 = QPointF(barParam(widget.node, "XStart2"), barParam(widget.node, "YStart2"));
    art.e1 = QPointF(barParam(widget.node, "XEnd1"), barParam(widget.node, "YEnd1"));
    art.e2 = QPointF(barParam(widget.node, "XEnd2"), barParam(widget.node, "YEnd2"));
    if (art.s1 == art.e1 && art.s2 == art.e2)
        return false; // no direction to fill in

    QString onName;
    for (pugi::xml_node step = scale.child("e"); step; step = step.next_sibling("e")) {
        if (!hasClass(step, "StepScale"))
            continue;
        if (onName.isEmpty())
            onName = DashCanvas::paramValue(step, "PATH_IMG_ON");
        BarStep point;
        if (stepNumber(step, "POS_VAL_SCALA", point.pos) && stepNumber(step, "VAL_SCALA", point.val))
            art.steps.append(point);
    }

    art.on = loadBarFramePixmap(mask, onName);
    if (art.on.isNull())
        return false;
    art.off = loadBarFramePixmap(mask, DashCanvas::paramValue(scale, "PATH_IMG_OFF"));
    const double s = viewScale();
    const QPointF o = pageOrigin();
    const double bx = double(mask.x) + widget.x;
    const double by = double(mask.y) + widget.y;
    art.imageTopLeft = QPointF(o.x() + (bx + barParam(widget.node, "XIMG")) * s,
                               o.y() + (by + barParam(widget.node, "YIMG")) * s);
    return true;
}

quint64 DashCanvas::widgetKey(const MaskElement& mask, const WidgetModel& widget) const
{
    if (!m_page || m_page->masks.empty() || mask.widgets.empty())
        return ~quint64(0);
    const std::ptrdiff_t m = &mask - m_page->masks.data();
    const std::ptrdiff_t w = &widget - mask.widgets.data();
    if (m < 0 || m >= std::ptrdiff_t(m_page->masks.size()) || w < 0 || w >= std::ptrdiff_t(mask.widgets.size()))
        return ~quint64(0);
    return quint64(m) << 32 | quint64(w);
}

bool DashCanvas::keptBarArtwork(const MaskElement& mask, const WidgetModel& widget, BarArtwork& art)
{
    const quint64 key = widgetKey(mask, widget);
    if (key == ~quint64(0))
        return barArtwork(mask, widget, art);
    const auto it = m_barArtworks.constFind(key);
    if (it != m_barArtworks.constEnd()) {
        art = it->second;
        return it->first;
    }
    const bool usable = barArtwork(mask, widget, art);
    m_barArtworks.insert(key, { usable, art });
    return usable;
}

bool DashCanvas::drawBargraph(QPainter& painter, const MaskElement& mask, const WidgetModel& widget, double value)
{
    BarArtwork art;
    // A tick reads the bar as the kept frame found it; nothing changed since.
    if (!(m_passClip ? keptBarArtwork(mask, widget, art) : barArtwork(mask, widget, art)))
        return false;
    const double f = barFillFraction(art.steps, value, widget.scaleMin, widget.scaleMax);

    const double s = viewScale();
    const QPointF o = pageOrigin();
    const double bx = double(mask.x) + widget.x;
    const double by = double(mask.y) + widget.y;
    const auto toWidget = [&](QPointF page) { return QPointF(o.x() + (bx + page.x()) * s, o.y() + (by + page.y()) * s); };

    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    if (!art.off.isNull())
        painter.drawPixmap(QRectF(art.imageTopLeft, QSizeF(art.off.size()) * s), art.off, QRectF(art.off.rect()));
    if (f > 0.0) {
        if (f < 1.0) {
            const QPolygonF filled({ toWidget(art.s1), toWidget(art.s2), toWidget(art.s2 + (art.e2 - art.s2) * f),
                                     toWidget(art.s1 + (art.e1 - art.s1) * f) });
            QPainterPath clip;
            clip.addPolygon(filled);
            clip.closeSubpath();
            painter.setClipPath(clip, Qt::IntersectClip);
        }
        painter.drawPixmap(QRectF(art.imageTopLeft, QSizeF(art.on.size()) * s), art.on, QRectF(art.on.rect()));
    }
    painter.restore();
    return true;
}

bool DashCanvas::widgetIsLive(const WidgetModel& widget) const
{
    return (widget.kind == WidgetDigit || widget.kind == WidgetBargraph) && !widget.channel.isEmpty() && m_dataSource
        && m_dataSource->isValid();
}

QRectF DashCanvas::widgetExtent(const MaskElement& mask, const WidgetModel& widget, double value)
{
    const double s = viewScale();
    const QPointF o = pageOrigin();
    const QPointF anchor(o.x() + (double(mask.x) + widget.x) * s, o.y() + (double(mask.y) + widget.y) * s);
    if (widget.kind == WidgetBargraph) {
        // The artwork at any fill, else the vector bar where its alignment places it.
        QRectF extent;
        BarArtwork art;
        if (keptBarArtwork(mask, widget, art)) {
            extent = QRectF(art.imageTopLeft, QSizeF(art.on.size()) * s);
            if (!art.off.isNull())
                extent |= QRectF(art.imageTopLeft, QSizeF(art.off.size()) * s);
        } else if (widget.w > 0 && widget.h > 0) {
            extent = vectorBarRect(widget, anchor, s);
        } else {
            return QRectF(); // draws nothing
        }
        return extent.adjusted(-2, -2, 2, 2); // a one-pixel pen, antialiased on a trapezoid
    }
    const QString text = widget.kind == WidgetDigit ? digitText(widget, value, previewMode) : labelText(mask, widget);
    if (text.isEmpty() && !(widget.kind == WidgetDigit && widget.w > 0))
        return QRectF();
    return textExtent(layoutWidgetText(m_frameFont, mask, widget, text, anchor, s));
}

QRectF DashCanvas::widgetInkExtent(const MaskElement& mask, const WidgetModel& widget, double value)
{
    const QRectF extent = widgetExtent(mask, widget, value);
    if (widget.kind != WidgetDigit && widget.kind != WidgetLabel)
        return extent;
    const QString text = widget.kind == WidgetDigit ? digitText(widget, value, previewMode) : labelText(mask, widget);
    if (text.isEmpty() || m_frameDirection == Qt::RightToLeft)
        return extent;
    const double s = viewScale();
    const QPointF o = pageOrigin();
    const QPointF anchor(o.x() + (double(mask.x) + widget.x) * s, o.y() + (double(mask.y) + widget.y) * s);
    const ShapedText* shaped = nullptr;
    const TextLayout layout = layoutWidgetText(m_frameFont, mask, widget, text, anchor, s, &shaped);
    if (shaped->runs.isEmpty())
        return extent;
    // The glyphs' own boxes from the font (a laid-out run carries the
    // line's box instead), with room for antialiasing and hinting.
    QRectF ink;
    for (QGlyphRun run : shaped->runs) {
        run.setBoundingRect(QRectF());
        ink |= run.boundingRect().translated(layout.origin);
    }
    const double margin = std::max(3.0, 0.1 * layout.pixels);
    return ink.adjusted(-margin, -margin, margin, margin) & extent;
}

double DashCanvas::barFillFraction(QVector<BarStep> steps, double value, double scaleMin, double scaleMax)
{
    if (std::isnan(value))
        return 1.0;
    if (steps.size() < 2)
        return valueFraction(value, scaleMin, scaleMax);

    std::stable_sort(steps.begin(), steps.end(), [](const BarStep& a, const BarStep& b) { return a.pos < b.pos; });
    const bool rising = steps.last().val >= steps.first().val;
    const auto passed = [rising](double end, double v) { return rising ? end >= v : end <= v; };

    double pos = steps.last().pos;
    if (rising ? value < steps.first().val : value > steps.first().val) {
        pos = steps.first().pos;
    } else {
        for (int i = 0; i + 1 < steps.size(); ++i) {
            const BarStep& a = steps[i];
            const BarStep& b = steps[i + 1];
            if (!passed(b.val, value))
                continue;
            double t = 1.0;
            if (std::fabs(b.val - a.val) > 1e-9)
                t = std::clamp((value - a.val) / (b.val - a.val), 0.0, 1.0);
            pos = a.pos + (b.pos - a.pos) * t;
            break;
        }
    }
    return std::clamp(pos / 100.0, 0.0, 1.0);
}
