#include "canvas/GaugeGeometry.h"

#include "model/FirmwareFonts.h"
#include "model/MaskElement.h"
#include "model/XmlParams.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

pugi::xml_node firstParamNode(pugi::xml_node element, const char* name)
{
    for (pugi::xml_node p = element.child("p"); p; p = p.next_sibling("p")) {
        if (std::strcmp(p.attribute("n").value(), name) == 0)
            return p;
    }
    return {};
}

} // namespace

pugi::xml_node gaugeElement(pugi::xml_node maskNode)
{
    for (pugi::xml_node e = maskNode.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "Analog") || hasClass(e, "Ring"))
            return e;
    }
    return {};
}

double gaugeParamDouble(pugi::xml_node element, const char* name, double def)
{
    const pugi::xml_node p = firstParamNode(element, name);
    if (!p)
        return def;
    const double v = p.text().as_double(def);
    return std::isfinite(v) ? v : def;
}

QString gaugeParamText(pugi::xml_node element, const char* name)
{
    const pugi::xml_node p = firstParamNode(element, name);
    if (!p)
        return QString();
    return QString::fromUtf8(p.text().get()).trimmed();
}

GaugeGeometry readRingGaugeGeometry(pugi::xml_node maskNode)
{
    GaugeGeometry g;
    const pugi::xml_node gauge = gaugeElement(maskNode);
    if (!gauge)
        return g;
    g.valid = true;
    g.xpos = gaugeParamDouble(gauge, "XPOS", 0.0);
    g.ypos = gaugeParamDouble(gauge, "YPOS", 0.0);
    g.ragg = gaugeParamDouble(gauge, "RAGG", 0.0);
    g.ragbk = gaugeParamDouble(gauge, "RAGBK", 0.0);
    g.base = gaugeParamDouble(gauge, "BASE", 0.0);

    const QString col = gaugeParamText(gauge, "COL");
    if (!col.isEmpty()) {
        const QColor parsed = col.startsWith(QLatin1String("0x"))
            ? QColor(QLatin1Char('#') + col.mid(2))
            : QColor(col);
        // A text that names no colour keeps the default rather than
        // drawing an invisible or black needle.
        if (parsed.isValid()) {
            g.colour = parsed;
            g.colour.setAlpha(255);
        }
    }
    return g;
}

void gaugeValueRange(const MaskElement& mask, double& minimum, double& maximum)
{
    minimum = 0.0;
    maximum = 8000.0;
    for (const WidgetModel& w : mask.widgets) {
        if (w.kind == WidgetBargraph) {
            minimum = w.scaleMin;
            maximum = w.scaleMax;
            return;
        }
    }
}

double needleAngle(double value, double minimum, double maximum)
{
    // NaN would reach the painter's rotation; an infinite value counts as
    // missing too.
    if (!std::isfinite(value))
        value = minimum;
    const double angle = lerpClamped(value, minimum, maximum, -120.0, 120.0);
    // An infinite scale end still gives NaN.
    return std::isfinite(angle) ? angle : -120.0;
}

double ringFraction(double value, double minimum, double maximum)
{
    if (std::isnan(value) || !(maximum > minimum))
        return 0.0;
    const double f = (value - minimum) / (maximum - minimum);
    if (std::isnan(f))
        return 0.0;
    return std::clamp(f, 0.0, 1.0);
}
