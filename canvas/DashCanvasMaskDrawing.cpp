#include "canvas/DashCanvas.h"

#include "canvas/IDataSource.h"
#include "model/DashConfig.h"
#include "model/FirmwareFonts.h"
#include "canvas/GaugeGeometry.h"

#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// --- channel match log ----------------------------------------------------

QString& channelLogPathStorage()
{
#ifdef Q_OS_WIN
    static QString path = QStringLiteral("C:/temp/AimKorvelanto/channel_debug.txt");
#else
    // The same diagnostic folder under the system's temporary folder; a bare
    // "C:/temp/..." would be a path relative to the working folder here.
    static QString path = QDir::tempPath() + QStringLiteral("/AimKorvelanto/channel_debug.txt");
#endif
    return path;
}

QSet<QString>& loggedChannels()
{
    static QSet<QString> channels;
    return channels;
}

// Appends one line the first time a mask-level channel is drawn from a
// source, telling which column it matched. The folder is not created: no
// folder, no log.
void logChannelMatch(const QString& channel, const IDataSource& source)
{
    QSet<QString>& logged = loggedChannels();
    if (logged.contains(channel))
        return;
    logged.insert(channel);
    QFile file(channelLogPathStorage());
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return;
    const QString column = source.matchedColumn(channel);
    const QString line = QStringLiteral("OVERLAY: \"%1\"  ->  CSV: \"%2\"\n")
                             .arg(channel, column.isEmpty() ? QStringLiteral("NO MATCH") : column);
    file.write(line.toUtf8());
}

// --- live values ----------------------------------------------------------

// The channel's value at the playback time, GPS speed turned into the
// display unit; NaN without a usable source or channel.
double liveValue(const IDataSource* source, const QString& channel, double timeSec, int speedUnit)
{
    if (!source || !source->isValid() || channel.isEmpty())
        return std::numeric_limits<double>::quiet_NaN();
    double v = source->value(channel, timeSec);
    const QString column = source->matchedColumn(channel);
    if (column.toLower() == QLatin1String("gps speed")) {
        const int unit = speedUnit == 1 || speedUnit == 2 ? speedUnit : 0;
        v = DashCanvas::convertSpeed(v, source->unitOf(column).trimmed().toLower(), unit);
    }
    return v;
}

// The mask's value in large type centred in r, with the channel name as a
// small caption in the top-left corner.
void drawMaskValue(QPainter& painter, const MaskElement& mask, const QRectF& r, double s, const QString& text)
{
    painter.save();
    const int base = mask.digitPx > 0 ? mask.digitPx : int(mask.h * 0.4);
    const double ratio = std::min(double(base) / double(std::max(mask.h, 1)), 0.6);
    // A mask from the XML may be taller than any display: no display text
    // is larger than 4096 px, and the font engine is never asked for one.
    int p = int(std::clamp(r.height() * ratio, 10.0, 4096.0));
    QFont font = painter.font();
    font.setWeight(mask.kind == MaskAnalog ? QFont::Bold : QFont::Normal);
    font.setPixelSize(p);
    const double avail = r.width() - 6.0;
    const int advance = QFontMetrics(font).horizontalAdvance(text);
    if (avail > 0 && advance > avail) {
        p = std::max(8, int(double(p) * avail / advance));
        font.setPixelSize(p);
    }
    painter.setFont(font);
    painter.setPen(mask.digitColour.isValid() ? mask.digitColour : QColor(Qt::white));
    painter.drawText(r.adjusted(3, 2, -3, -2), Qt::AlignHCenter | Qt::AlignVCenter, text);

    QFont caption = painter.font();
    caption.setPixelSize(std::max(7, int(s * 8)));
    caption.setWeight(QFont::Normal);
    painter.setFont(caption);
    painter.setPen(QColor(160, 160, 160));
    const QString name = QFontMetrics(caption).elidedText(mask.channel, Qt::ElideRight,
                                                       int(std::min(r.width() - 4.0, 1e9)));
    painter.drawText(r.adjusted(2, 1, -2, -1), Qt::AlignLeft | Qt::AlignTop, name);
    painter.restore();
}

// Editor hint on a mask without widgets and without a live value: its
// channel at the top left, its name at the bottom right.
void drawMaskCaptions(QPainter& painter, const MaskElement& mask, const QRectF& r, double s)
{
    painter.save();
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(std::max(8, int(s * 10)));
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const QRectF inner = r.adjusted(2, 1, -2, -1);
    const int width = int(r.width()) - 4;
    if (!mask.channel.isEmpty())
        painter.drawText(inner, Qt::AlignLeft | Qt::AlignTop, metrics.elidedText(mask.channel, Qt::ElideRight, width));
    painter.drawText(inner, Qt::AlignRight | Qt::AlignBottom, metrics.elidedText(mask.id, Qt::ElideRight, width));
    painter.restore();
}

// DE_BOX_OUTLINE as a colour: a colour name, else "0x" digits read as "#".
QColor previewOutlineColour(pugi::xml_node node)
{
    const QString text = DashCanvas::paramValue(node, "DE_BOX_OUTLINE");
    if (text.isEmpty())
        return QColor();
    QColor colour(text);
    if (!colour.isValid())
        colour = QColor(QString(text).replace(QLatin1String("0x"), QLatin1String("#")));
    return colour;
}

void drawBoxBorder(QPainter& painter, const QRectF& r, const DashCanvas::BoxOutlineStyle& box, double s)
{
    double t = box.thickness * s;
    if (t <= 0.0)
        return;
    t = std::min(t, std::min(r.width(), r.height()) / 2.0);
    painter.fillRect(QRectF(r.left(), r.top(), r.width(), t), box.border);
    painter.fillRect(QRectF(r.left(), r.bottom() - t, r.width(), t), box.border);
    painter.fillRect(QRectF(r.left(), r.top() + t, t, r.height() - 2.0 * t), box.border);
    painter.fillRect(QRectF(r.right() - t, r.top() + t, t, r.height() - 2.0 * t), box.border);
}

void drawStretched(QPainter& painter, const QRectF& r, const QPixmap& pixmap)
{
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawPixmap(r, pixmap, QRectF(pixmap.rect()));
    painter.restore();
}

} // namespace

void DashCanvas::setChannelMatchLogPath(const QString& path)
{
    channelLogPathStorage() = path;
}

QString DashCanvas::channelMatchLogPath()
{
    return channelLogPathStorage();
}

void DashCanvas::resetChannelMatchLog()
{
    loggedChannels().clear();
}

DashCanvas::BoxOutlineStyle DashCanvas::boxOutlineStyle(const MaskElement& mask)
{
    BoxOutlineStyle style;
    if (!mask.node)
        return style;
    QByteArray fill;
    QByteArray border;
    QByteArray thick;
    // The last parameter of a name counts, as the firmware reads them.
    for (pugi::xml_node p = mask.node.child("p"); p; p = p.next_sibling("p")) {
        const char* name = p.attribute("n").value();
        if (std::strcmp(name, "M_BCOL") == 0)
            fill = p.text().get();
        else if (std::strcmp(name, "M_TCOL") == 0)
            border = p.text().get();
        else if (std::strcmp(name, "M_THICK") == 0)
            thick = p.text().get();
    }
    QColor colour;
    if (parseColor(fill.constData(), colour) && colour.alpha() > 0) {
        style.fillPresent = true;
        style.fill = colour;
    }
    QColor borderColour;
    if (thick.isEmpty() || !parseColor(border.constData(), borderColour))
        return style;
    style.border = borderColour;
    bool ok = false;
    const int t = thick.trimmed().toInt(&ok, 10);
    style.thickness = ok ? std::max(0, t) : 0;
    return style;
}

double DashCanvas::convertSpeed(double value, const QString& unit, int displayUnit)
{
    double metresPerSecond = value;
    if (unit == QLatin1String("km/h") || unit == QLatin1String("kmh") || unit == QLatin1String("kph"))
        metresPerSecond = value / 3.6;
    else if (unit == QLatin1String("mph"))
        metresPerSecond = value / 2.23694;
    else if (unit == QLatin1String("knots") || unit == QLatin1String("kn") || unit == QLatin1String("kt")
             || unit == QLatin1String("kts"))
        metresPerSecond = value / 1.94384;

    switch (displayUnit) {
    case 0: return metresPerSecond * 3.6;
    case 1: return metresPerSecond * 2.23694;
    case 2: return metresPerSecond * 1.94384;
    default: return metresPerSecond;
    }
}

QString DashCanvas::maskValueText(const QString& channel, const QString& channelShort, double value)
{
    if (isTimeChannel(channel) || isTimeChannel(channelShort))
        return formatLapTime(value);
    const double magnitude = std::fabs(value);
    int decimals = 2;
    if (magnitude >= 1000.0)
        decimals = 0;
    else if (magnitude >= 1.0)
        decimals = 1;
    return QString::number(value, 'f', decimals);
}

void DashCanvas::drawMask(QPainter& painter, const MaskElement& mask, int maskIndex)
{
    // The static layer leaves out what the values move: a tick draws it.
    if (m_staticPass && m_livePartOf.contains(livePartKey(maskIndex, -1)))
        return;

    // 1. Gauges with a readable geometry are drawn by their needle or arc alone.
    if (mask.kind == MaskAnalog || mask.kind == MaskRing) {
        const GaugeGeometry geometry = readRingGaugeGeometry(mask.node);
        if (geometry.valid) {
            if (mask.kind == MaskAnalog)
                drawGaugeNeedle(painter, mask, geometry, gaugeValue(mask), maskIndex);
            else
                drawGaugeRing(painter, mask, geometry, gaugeValue(mask));
            return;
        }
    }

    const QRectF r = maskRect(mask);
    const double s = viewScale();
    const bool hasWidgets = !mask.widgets.empty();

    // 2-3. Icon graphic, box style and artwork. A box fill replaces the art.
    const QPixmap icon = mask.kind == MaskIcon ? iconPixmap(mask, maskIndex) : QPixmap();
    const BoxOutlineStyle box = m_passClip ? m_boxStyles[maskIndex] : boxOutlineStyle(mask);
    const QPixmap art = box.fillPresent ? QPixmap() : maskPixmap(mask, maskIndex);

    // 4. Base layer.
    if (box.fillPresent) {
        painter.fillRect(r, box.fill);
    } else if (!art.isNull()) {
        drawStretched(painter, r, art);
    } else if ((!hasWidgets || previewMode) && icon.isNull()) {
        QColor fill = placeholderColour(mask.kind);
        fill.setAlpha(60);
        painter.fillRect(r, fill);
    }

    // 5. A value bar made by the editor's own bar artwork, live look only.
    bool homebrewBar = false;
    if (previewMode) {
        QPixmap bar;
        const auto kept = m_passClip ? m_keptHomebrewBars.constFind(maskIndex) : m_keptHomebrewBars.constEnd();
        if (kept != m_keptHomebrewBars.constEnd()) {
            bar = *kept;
        } else {
            bar = loadHomebrewBarPixmap(mask);
            if (m_passClip)
                m_keptHomebrewBars.insert(maskIndex, bar);
        }
        if (!bar.isNull()) {
            homebrewBar = true;
            drawStretched(painter, r, bar);
        }
    }

    // 6. Box border.
    if (box.thickness > 0)
        drawBoxBorder(painter, r, box, s);

    // 7. Outline: the editor's state pen, or the box outline of the live look;
    // not when a tick repaints only inside the mask, away from its edges.
    const bool insideEdges = m_passClip && r.adjusted(3, 3, -3, -3).contains(QRectF(*m_passClip));
    if (!insideEdges && !previewMode) {
        QPen pen;
        if (maskIndex == m_selectedMask)
            pen = QPen(QColor(255, 255, 0), 2, Qt::SolidLine);
        else if (hasWidgets)
            pen = QPen(QColor(110, 110, 110, 140), 1, Qt::DashLine);
        else if (!mask.channel.isEmpty())
            pen = QPen(QColor(200, 200, 200), 1, Qt::SolidLine);
        else
            pen = QPen(QColor(150, 150, 150), 1, Qt::DashLine);
        painter.save();
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r);
        painter.restore();
    } else if (!insideEdges) {
        const QColor outline = previewOutlineColour(mask.node);
        if (outline.isValid()) {
            painter.save();
            painter.setPen(QPen(outline, 1.5, Qt::SolidLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(r);
            painter.restore();
        }
    }

    // 8. Icon graphic, as large as fits, centred.
    if (!icon.isNull()) {
        QSizeF size = icon.size();
        size.scale(r.size(), Qt::KeepAspectRatio);
        const QRectF target(r.center().x() - size.width() / 2.0, r.center().y() - size.height() / 2.0, size.width(),
                            size.height());
        drawStretched(painter, target, icon);
    }

    // 9. A homebrew value bar picture already shows the mask's bar. A
    // styled box's picture is the box alone: bars in it (a value bar, bars
    // pasted into it) are drawn as the editor look draws them.
    const bool skipBars = previewMode && homebrewBar;
    if (m_passClip && maskIndex >= 0 && maskIndex < m_maskSkipsBars.size())
        m_maskSkipsBars[maskIndex] = skipBars;

    if (!hasWidgets) {
        // 10. The mask-level value.
        if (m_dataSource && m_dataSource->isValid() && !mask.channel.isEmpty()) {
            const double v = liveValue(m_dataSource, mask.channel, m_timeSec, m_speedUnit);
            logChannelMatch(mask.channel, *m_dataSource);
            drawMaskValue(painter, mask, r, s, maskValueText(mask.channel, mask.channelShort, v));
        } else if (!previewMode) {
            drawMaskCaptions(painter, mask, r, s);
        }
    } else {
        // 11. The widgets with their live values.
        for (int w = 0; w < int(mask.widgets.size()); ++w) {
            if (m_staticPass && m_livePartOf.contains(livePartKey(maskIndex, w)))
                continue;
            drawMaskWidget(painter, mask, maskIndex, w, skipBars);
        }
    }

    // 12. Text sizes the device's firmware fonts do not carry.
    if (m_fontConfig && m_page && !previewMode && isNonPdmPath(m_page->deviceFolder)) {
        const QSet<int> sizes = m_fontConfig->firmwareFontSizes(m_page->deviceFileIndex);
        if (!isFontPxAvailable(mask, sizes, 1))
            drawFontWarningBadge(painter, r);
    }
}

void DashCanvas::drawMaskWidget(QPainter& painter, const MaskElement& mask, int maskIndex, int widgetIndex,
                                bool skipBars, const double* value)
{
    const WidgetModel& widget = mask.widgets[size_t(widgetIndex)];
    if (m_passClip && !QRectF(*m_passClip).intersects(m_widgetExtents[maskIndex][widgetIndex]))
        return;
    if (widget.kind == WidgetLabel && widget.hidden != 0)
        return;
    if (skipBars && widget.kind == WidgetBargraph)
        return;
    const double v = value ? *value : liveValue(m_dataSource, widget.channel, m_timeSec, m_speedUnit);
    painter.save();
    drawWidgetLive(painter, mask, widget, v);
    painter.restore();
}

bool DashCanvas::livePartChanged(LivePart& part)
{
    // A gauge or a mask-level value is drawn again at every tick.
    if (part.widget < 0)
        return true;
    const WidgetModel& widget = m_page->masks[size_t(part.mask)].widgets[size_t(part.widget)];
    const double v = liveValue(m_dataSource, widget.channel, m_timeSec, m_speedUnit);
    // A Digit is drawn from its text alone; a bar from its value.
    QString text;
    if (widget.kind == WidgetDigit)
        text = digitText(widget, v, previewMode);
    const bool same = part.shownKnown
        && (widget.kind == WidgetDigit ? text == part.shownText
                                       : (v == part.shownValue || (std::isnan(v) && std::isnan(part.shownValue))));
    part.shownKnown = true;
    part.shownText = text;
    part.shownValue = v;
    return !same;
}

QColor DashCanvas::placeholderColour(int kind)
{
    switch (kind) {
    case MaskAnalog: return QColor(40, 80, 200);
    case MaskRing: return QColor(80, 200, 120);
    case MaskDigit: return QColor(40, 180, 60);
    case MaskBargraph: return QColor(200, 80, 40);
    case MaskIcon: return QColor(200, 180, 40);
    case MaskLabel: return QColor(150, 100, 200);
    default: return QColor(128, 128, 128);
    }
}

bool DashCanvas::maskValueIsLive(const MaskElement& mask) const
{
    return mask.widgets.empty() && !mask.channel.isEmpty() && m_dataSource && m_dataSource->isValid();
}

QRectF DashCanvas::maskExtent(const MaskElement& mask, int maskIndex)
{
    const QRectF r = maskRect(mask);
    QRectF extent = r.adjusted(-2, -2, 2, 2); // outlines are at most two pixels wide
    const bool sourceValid = m_dataSource && m_dataSource->isValid();
    if (mask.kind == MaskAnalog || mask.kind == MaskRing) {
        const GaugeGeometry geometry = readRingGaugeGeometry(mask.node);
        if (geometry.valid) {
            const QRectF reach = movingExtent(mask, -1);
            if (sourceValid && !mask.channel.isEmpty())
                m_liveParts.append({ maskIndex, -1, mask.kind == MaskAnalog, reach, false, QString(), 0.0 });
            return extent | reach;
        }
    }
    if (mask.widgets.empty()) {
        if (maskValueIsLive(mask)) {
            const QRectF reach = movingExtent(mask, -1);
            m_liveParts.append({ maskIndex, -1, true, reach, false, QString(), 0.0 });
            return extent | reach;
        }
        const double f = std::max(8.0, viewScale() * 10.0);
        return extent | r.adjusted(-3, -2.0 * f - 3, 3, 2.0 * f + 3);
    }
    for (int w = 0; w < int(mask.widgets.size()); ++w) {
        const WidgetModel& widget = mask.widgets[size_t(w)];
        if (!widgetIsLive(widget)) {
            const QRectF reach = widgetExtent(mask, widget, liveValue(m_dataSource, widget.channel, m_timeSec, m_speedUnit));
            m_widgetExtents[maskIndex][w] = reach;
            extent |= reach;
            continue;
        }
        // A sized Digit is clipped to its width: its reach does not depend on the value.
        const bool moving = widget.kind == WidgetDigit && widget.w <= 0;
        const QRectF reach = movingExtent(mask, w);
        m_liveParts.append({ maskIndex, w, moving, reach, false, QString(), 0.0 });
        m_widgetExtents[maskIndex][w] = reach;
        extent |= reach;
    }
    return extent;
}

QRectF DashCanvas::movingExtent(const MaskElement& mask, int widgetIndex)
{
    if (widgetIndex >= 0) {
        const WidgetModel& widget = mask.widgets[size_t(widgetIndex)];
        return widgetExtent(mask, widget, liveValue(m_dataSource, widget.channel, m_timeSec, m_speedUnit));
    }
    const QRectF r = maskRect(mask);
    const double s = viewScale();
    if (mask.kind == MaskAnalog || mask.kind == MaskRing) {
        const GaugeGeometry g = readRingGaugeGeometry(mask.node);
        if (g.valid) {
            const QPointF o = pageOrigin();
            const QPointF pivot(o.x() + s * (double(mask.x) + g.xpos), o.y() + s * (double(mask.y) + g.ypos));
            QRectF reach = r;
            if (mask.kind == MaskRing) {
                const double radius = (g.ragg + g.ragbk) / 2.0 * s + std::fabs(g.ragg - g.ragbk) * s / 2.0;
                reach |= QRectF(pivot.x() - radius, pivot.y() - radius, 2.0 * radius, 2.0 * radius);
            } else {
                double minimum = 0.0;
                double maximum = 0.0;
                gaugeValueRange(mask, minimum, maximum);
                QTransform t;
                t.translate(pivot.x(), pivot.y());
                t.rotate(needleAngle(gaugeValue(mask), minimum, maximum));
                t.scale(s, s);
                const QPolygonF needle({ QPointF(-g.base / 2.0, g.ragbk), QPointF(g.base / 2.0, g.ragbk),
                                         QPointF(0.0, -g.ragg) });
                reach |= t.map(needle).boundingRect();
            }
            return reach.adjusted(-3, -3, 3, 3);
        }
    }
    // The value centred in the mask at its unshrunk size, and the caption
    // below the mask's top.
    const double v = liveValue(m_dataSource, mask.channel, m_timeSec, m_speedUnit);
    const QString text = maskValueText(mask.channel, mask.channelShort, v);
    const int base = mask.digitPx > 0 ? mask.digitPx : int(mask.h * 0.4);
    const double ratio = std::min(double(base) / double(std::max(mask.h, 1)), 0.6);
    const int p = int(std::clamp(r.height() * ratio, 10.0, 4096.0));
    QFont font = m_frameFont;
    font.setWeight(mask.kind == MaskAnalog ? QFont::Bold : QFont::Normal);
    font.setPixelSize(p);
    const double advance = QFontMetrics(font).horizontalAdvance(text);
    const QPointF c = r.center();
    QRectF reach = r | QRectF(c.x() - advance / 2.0 - p, c.y() - 1.5 * p, advance + 2.0 * p, 3.0 * p);
    const double caption = std::max(7.0, s * 8.0);
    reach |= r.adjusted(0, -caption, 0, 2.0 * caption);
    return reach.adjusted(-3, -3, 3, 3);
}
