#include "artwork/BarShape.h"

#include "artwork/HomebrewItems.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"

#include <QCoreApplication>

namespace {

// How many bar elements the mask holds.
int barCount(pugi::xml_node mask)
{
    int n = 0;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "Bargraph") || hasClass(e, "BargraphTrapezio"))
            ++n;
    }
    return n;
}

} // namespace

QString barShapeRefusal(pugi::xml_node mask)
{
    // The band is drawn across the whole picture of the element, and the
    // picture has the element's size: a bar that covers less of it would
    // have the band run past it, and with two bars over both.
    if (barCount(mask) > 1)
        return QCoreApplication::translate("DashConfig",
                                           "elements with more than one bar (a +- Ref Time bar has two): the colour "
                                           "band is drawn across the whole element, over every bar in it");
    const pugi::xml_node bar = findBargraphChild(mask);
    int maskW = 0;
    int maskH = 0;
    int barW = 0;
    int barH = 0;
    // A bar without a size of its own is drawn over its element.
    if (!bar || !elementDeclaredSize(mask, maskW, maskH) || !elementDeclaredSize(bar, barW, barH) || barW < 1
        || barH < 1)
        return {};
    const int x = paramInt(bar, "XPOS");
    const int y = paramInt(bar, "YPOS");
    if (x <= 0 && y <= 0 && x + barW >= maskW && y + barH >= maskH)
        return {};
    return QCoreApplication::translate("DashConfig",
                                       "a bar smaller than its element (%1 x %2 at %3, %4 in %5 x %6): the colour "
                                       "band is drawn across the whole element, so it would run past the bar")
        .arg(barW)
        .arg(barH)
        .arg(x)
        .arg(y)
        .arg(maskW)
        .arg(maskH);
}

QString barWidgetGeometryRefusal(const DashConfig* config, pugi::xml_node mask, pugi::xml_node widget)
{
    // The element's geometry may change (its pictures are drawn again at
    // the new size); the bar's alone would leave it smaller than the band.
    if (!widget || !(hasClass(widget, "Bargraph") || hasClass(widget, "BargraphTrapezio"))
        || !(config ? config->colouredBar(mask) : colouredBarOf(mask, nullptr)).coloured)
        return {};
    return QCoreApplication::translate("DashConfig",
                                       "Remove color first, then resize or move the bar: its coloured pictures "
                                       "span the whole element, so a bar of another size or place would no "
                                       "longer light up to its value");
}

QString barColorRefusal(const DashConfig* config, pugi::xml_node mask)
{
    // A ring gauge's bar only carries its scale: the device draws the arc,
    // and a band would land on the dial picture instead.
    if (maskHasChildClass(mask, "Ring"))
        return QCoreApplication::translate("DashConfig",
                                           "Bar color is not available for ring gauges: the device draws the ring's "
                                           "arc itself, so a colour band would only cover the dial picture");
    if ((config ? config->colouredBar(mask) : colouredBarOf(mask, nullptr)).pasted)
        return QCoreApplication::translate("DashConfig", "Bar color apply failed \u2014 %1")
            .arg(DashConfig::pastedColouredArtRefusal());
    // The band spans the element: a bar that covers less of it, or two
    // bars in it (a +- Ref Time bar), would have it run past them.
    const QString shape = barShapeRefusal(mask);
    if (!shape.isEmpty())
        return QCoreApplication::translate("DashConfig", "Bar color is not available for %1").arg(shape);
    return {};
}

QString widgetAddRefusal(const DashConfig* config, pugi::xml_node mask, bool isBar, const QRect& place)
{
    if (!mask || !(config ? config->colouredBar(mask) : colouredBarOf(mask, nullptr)).coloured)
        return {};
    if (isBar)
        return QCoreApplication::translate("DashConfig",
                                           "Remove color first, then add the bar: the element's coloured pictures "
                                           "light up for the one bar it holds, so a second bar would not take the "
                                           "colours");
    int maskW = 0;
    int maskH = 0;
    if (place.isEmpty() || !elementDeclaredSize(mask, maskW, maskH) || QRect(0, 0, maskW, maskH).contains(place))
        return {};
    return QCoreApplication::translate("DashConfig",
                                       "Remove color first, or keep the widget inside the element: at %1, %2 "
                                       "(%3 x %4) it would reach past the %5 x %6 coloured element, outside its "
                                       "colours")
        .arg(place.x())
        .arg(place.y())
        .arg(place.width())
        .arg(place.height())
        .arg(maskW)
        .arg(maskH);
}

QRect addedWidgetRect(pugi::xml_node widget, const QPoint& offset)
{
    int w = 0;
    int h = 0;
    if (!widget || !elementDeclaredSize(widget, w, h))
        return {};
    return QRect(paramInt(widget, "XPOS") + offset.x(), paramInt(widget, "YPOS") + offset.y(), w, h);
}
