#include "model/FirmwareFonts.h"

#include <algorithm>
#include <cstdlib>

bool isNonPdmPath(const QString& path)
{
    return !path.contains(QLatin1String("pdm"), Qt::CaseInsensitive);
}

int effectiveFontPx(const MaskElement& mask)
{
    if (mask.digitPx > 0)
        return mask.digitPx;
    if (mask.h >= 1)
        return static_cast<int>(mask.h * 0.4);
    return 0;
}

bool isFontPxAvailable(const MaskElement& mask, const QSet<int>& sizes, int tolerance)
{
    if (mask.kind != MaskDigit || sizes.isEmpty())
        return true;
    const int px = effectiveFontPx(mask);
    if (px < 1)
        return true;
    for (const int s : sizes) {
        if (std::abs(s - px) <= tolerance)
            return true;
    }
    return false;
}

std::pair<int, int> nearestFirmwareSizes(int px, const QSet<int>& sizes)
{
    int below = -1;
    int above = -1;
    for (const int s : sizes) {
        if (s <= px && (below < 0 || s > below))
            below = s;
        if (s >= px && (above < 0 || s < above))
            above = s;
    }
    return {below, above};
}

double lerpClamped(double v, double a, double b, double c, double d)
{
    if (a >= b)
        return c;
    const double t = std::clamp((v - a) / (b - a), 0.0, 1.0);
    return c + t * (d - c);
}
