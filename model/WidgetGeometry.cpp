#include "model/WidgetGeometry.h"

#include "model/MaskElement.h"

#include <algorithm>

QRectF widgetPageRect(const MaskElement& mask, const WidgetModel& widget)
{
    int w = widget.w;
    int h = widget.h;
    if (w <= 0 || h <= 0) {
        // Unsized widgets take their size from the character size.
        int c = 12;
        if (widget.charsetPx > 0) {
            c = std::min(widget.charsetPx, 1 << 20); // keeps c * 1.5 an int
        } else if (widget.h <= 0 && mask.h > 0) {
            const int perChar = std::max(mask.h / std::max(widget.numChars, 1), 8);
            if (perChar < 12)
                c = perChar;
        }
        if (h <= 0)
            h = std::max(int(c * 1.2), 8);
        if (w <= 0)
            w = std::max(int(c * 1.5), 16);
    }

    // Page coordinates from the XML may be anything: add them in 64 bits.
    qint64 x = qint64(mask.x) + widget.x;
    qint64 y = qint64(mask.y) + widget.y;
    const QChar vertical = widget.posAlign.isEmpty() ? QLatin1Char('t') : widget.posAlign.at(0).toLower();
    const QChar horizontal = widget.posAlign.size() < 2 ? QLatin1Char('l') : widget.posAlign.at(1).toLower();
    if (widget.w <= 0) {
        if (horizontal == QLatin1Char('c'))
            x -= w / 2;
        else if (horizontal == QLatin1Char('r'))
            x -= w;
    }
    if (vertical == QLatin1Char('m'))
        y -= h / 2;
    else if (vertical == QLatin1Char('b'))
        y -= h;
    return QRectF(double(x), double(y), w, h);
}
