// Icon elements: the feature key that ties an icon mask to its triggered-icon
// alarm.
#include "model/DashConfig.h"

QString DashConfig::iconFeatureKey(int pageIndex, int maskIndex) const
{
    if (pageIndex < 0 || pageIndex >= pageCount())
        return {};
    const PageModel& pg = pages[size_t(pageIndex)];
    if (maskIndex < 0 || maskIndex >= int(pg.masks.size()))
        return {};
    const pugi::xml_node node = pg.masks[size_t(maskIndex)].node;
    if (!node)
        return {};
    const pugi::xml_node icon = node.find_child_by_attribute("e", "c", "AiM_Icona");
    if (!icon)
        return {};
    const pugi::xml_node p = icon.find_child_by_attribute("p", "n", "OVERLAY2_ICONA_FEATUREKEY");
    if (!p)
        return {};
    return QString::fromUtf8(p.text().get()).trimmed();
}
