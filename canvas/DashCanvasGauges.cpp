#include "canvas/DashCanvas.h"

#include "canvas/IDataSource.h"

#include <QPainter>
#include <QPolygonF>

double DashCanvas::gaugeValue(const MaskElement& mask) const
{
    // No speed conversion here: gauges show the source's value as it is.
    if (m_dataSource && m_dataSource->isValid() && !mask.channel.isEmpty())
        return m_dataSource->value(mask.channel, m_timeSec);
    return 0.0;
}

void DashCanvas::drawGaugeNeedle(QPainter& painter, const MaskElement& mask, const GaugeGeometry& g,
                                 double value, int maskIndex)
{
    double minimum = 0.0;
    double maximum = 0.0;
    gaugeValueRange(mask, minimum, maximum);
    const double angle = needleAngle(value, minimum, maximum);

    const QPixmap art = maskPixmap(mask, maskIndex);
    if (!art.isNull()) {
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawPixmap(maskRect(mask), art, QRectF(art.rect()));
        painter.restore();
    }

    const double s = viewScale();
    const QPointF o = pageOrigin();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(o.x() + s * (double(mask.x) + g.xpos), o.y() + s * (double(mask.y) + g.ypos));
    painter.rotate(angle);
    painter.scale(s, s);
    painter.setBrush(g.colour);
    painter.setPen(Qt::NoPen);
    const QPolygonF needle({ QPointF(-g.base / 2.0, g.ragbk), QPointF(g.base / 2.0, g.ragbk), QPointF(0.0, -g.ragg) });
    painter.drawPolygon(needle, Qt::OddEvenFill);
    painter.restore();
}

void DashCanvas::drawGaugeRing(QPainter& painter, const MaskElement& mask, const GaugeGeometry& g, double value)
{
    double minimum = 0.0;
    double maximum = 0.0;
    gaugeValueRange(mask, minimum, maximum);
    const double f = ringFraction(value, minimum, maximum);

    const double s = viewScale();
    const QPointF o = pageOrigin();
    const QPointF pivot(o.x() + s * (double(mask.x) + g.xpos), o.y() + s * (double(mask.y) + g.ypos));
    const double radius = (g.ragg + g.ragbk) / 2.0 * s;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(g.colour, (g.ragg - g.ragbk) * s);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QRectF circle(pivot.x() - radius, pivot.y() - radius, 2.0 * radius, 2.0 * radius);
    if (!previewMode) {
        // The editor shows the whole track faintly: without data the arc is
        // empty and the gauge could not be seen or picked out otherwise.
        QPen track = pen;
        QColor faint = g.colour;
        faint.setAlpha(60);
        track.setColor(faint);
        painter.setPen(track);
        painter.drawArc(circle, 210 * 16, -240 * 16);
        painter.setPen(pen);
    }
    // From the lower left, clockwise over the top; angles in 1/16 degree.
    painter.drawArc(circle, 210 * 16, int(-(f * 240.0) * 16.0));
    painter.restore();
}
