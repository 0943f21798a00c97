#include "canvas/DashCanvas.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

QString DashCanvas::displayFontFamily(const QString& faceName)
{
    if (faceName.isEmpty())
        return QString();
    const QString name = faceName.toLower();
    // The firmware's condensed faces look closest to Bahnschrift Condensed.
    // The first part found decides.
    static const struct {
        const char* part;
        const char* family;
    } table[] = {
        { "microgramma", "Bahnschrift Condensed" },
        { "dinotbold", "Bahnschrift Condensed" },
        { "dinot", "Bahnschrift Condensed" },
        { "verdana", "Verdana" },
    };
    for (const auto& row : table) {
        if (name.contains(QLatin1String(row.part)))
            return QString::fromLatin1(row.family);
    }
    return QString();
}

double DashCanvas::valueFraction(double value, double minimum, double maximum)
{
    if (std::isnan(value))
        return 0.5;
    if (std::fabs(maximum - minimum) <= 1e-9)
        return 0.0;
    const double f = (value - minimum) / (maximum - minimum);
    if (std::isnan(f))
        return 0.5;
    return std::clamp(f, 0.0, 1.0);
}

void DashCanvas::drawFontWarningBadge(QPainter& painter, const QRectF& r)
{
    if (r.width() < 19.2 || r.height() < 19.2)
        return;
    const double x = r.right() - 2.0;
    const double y = r.top() + 2.0;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPolygonF triangle({ QPointF(x - 6.0, y), QPointF(x - 12.0, y + 12.0), QPointF(x, y + 12.0) });
    painter.setPen(QPen(QColor(160, 120, 0), 1, Qt::SolidLine));
    painter.setBrush(QColor(255, 210, 0));
    painter.drawPolygon(triangle, Qt::OddEvenFill);

    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRect(QRectF(x - 6.6, y + 3.0, 1.2, 4.8));
    painter.drawRect(QRectF(x - 6.6, y + 8.4, 1.2, 1.2));
    painter.restore();
}
