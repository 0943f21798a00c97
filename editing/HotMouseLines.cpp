#include "editing/HotMouseLines.h"

std::string hotMouseLines(int x, int y, int w, int h)
{
    // 64-bit sums: a hostile geometry must not overflow into a wrong outline.
    const long long x0 = x;
    const long long y0 = y;
    const long long x1 = x0 + w;
    const long long y1 = y0 + h;
    const long long values[10] = {x0, y0, x1, y0, x1, y1, x0, y1, x0, y0};
    std::string out;
    for (int i = 0; i < 10; ++i) {
        if (i)
            out += ',';
        out += std::to_string(values[i]);
    }
    return out;
}
