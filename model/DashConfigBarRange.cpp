// Writing a channel's value range into a bound bar's scale. Kept apart from
// the other channel look-ups because it ends in the bar zero mark setter.
#include "model/DashConfig.h"

#include "model/XmlParams.h"

#include <cstring>

namespace {

void replaceText(pugi::xml_node p, const QByteArray& text)
{
    while (p.first_child())
        p.remove_child(p.first_child());
    p.append_child(pugi::node_pcdata).set_value(text.constData());
}

} // namespace

void DashConfig::applyChannelRangeToBarScales(pugi::xml_node mask, int fid)
{
    if (!mask || fid < 1)
        return;
    double lower = 0.0;
    double upper = 0.0;
    if (!channelRangeForFid(fid, lower, upper))
        return;
    const QByteArray lowerText = formatDouble6g(lower);
    const QByteArray upperText = formatDouble6g(upper);
    for (pugi::xml_node bar : mask.children("e")) {
        if (!hasClass(bar, "BargraphTrapezio"))
            continue;
        const pugi::xml_node scale = bar.find_child_by_attribute("e", "c", "ScaleFSV");
        if (!scale)
            continue;
        if (pugi::xml_node name = scale.find_child_by_attribute("p", "n", "NOME_SCALA"))
            replaceText(name, upperText);
        for (pugi::xml_node step : scale.children("e")) {
            if (!hasClass(step, "StepScale"))
                continue;
            const QByteArray position = paramValue(step, "POS_VAL_SCALA").trimmed();
            const QByteArray* target = position == "0" ? &lowerText : position == "100" ? &upperText : nullptr;
            if (!target)
                continue;
            if (pugi::xml_node value = step.find_child_by_attribute("p", "n", "VAL_SCALA"))
                replaceText(value, *target);
        }
    }
    if (lower < 0 && upper > 0)
        setBarZeroMark(mask, true);
}
