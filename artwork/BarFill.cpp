#include "artwork/BarFill.h"

#include "model/XmlParams.h"

#include <QTransform>

#include <cstdlib>

BarFill barFillOf(pugi::xml_node bar)
{
    if (!bar)
        return BarFill::LeftToRight;
    const auto at = [bar](const char* name) { return qint64(paramInt(bar, name)); };
    // Twice the middle of each edge: integers stay exact.
    const qint64 dx = at("XEnd1") + at("XEnd2") - at("XStart1") - at("XStart2");
    const qint64 dy = at("YEnd1") + at("YEnd2") - at("YStart1") - at("YStart2");
    if (std::llabs(dy) > std::llabs(dx))
        return dy < 0 ? BarFill::BottomToTop : BarFill::TopToBottom;
    return dx < 0 ? BarFill::RightToLeft : BarFill::LeftToRight;
}

namespace {

bool standing(BarFill fill)
{
    return fill == BarFill::BottomToTop || fill == BarFill::TopToBottom;
}

} // namespace

QImage barFillOriented(const QImage& picture, BarFill fill)
{
    switch (fill) {
    case BarFill::LeftToRight:
        return picture;
    case BarFill::RightToLeft:
        return picture.mirrored(true, false);
    case BarFill::BottomToTop:
        // A quarter turn clockwise: the foot goes to the left, the bar's left
        // side to the top.
        return picture.transformed(QTransform().rotate(90));
    case BarFill::TopToBottom:
        return picture.mirrored(false, true).transformed(QTransform().rotate(90));
    }
    return picture;
}

QImage barFillRestored(const QImage& picture, BarFill fill)
{
    // The mirror of a bar filling leftwards and the transpose of one filling
    // downwards undo themselves: only the quarter turn is turned back.
    if (fill == BarFill::BottomToTop)
        return picture.transformed(QTransform().rotate(-90));
    return barFillOriented(picture, fill);
}

QSize barFillOrientedSize(const QSize& size, BarFill fill)
{
    return standing(fill) ? size.transposed() : size;
}
