// Channel kinds of channel-carrying elements and the per-FID value ranges.
#include "model/DashConfig.h"

#include "model/ChannelKind.h"

#include <cstring>

int DashConfig::channelKindOfElement(pugi::xml_node element)
{
    ChannelInfo info;
    for (pugi::xml_node p : element.children("p")) {
        const char* n = p.attribute("n").value();
        const QString text = QString::fromUtf8(p.text().get()).trimmed();
        if (std::strcmp(n, "lnm") == 0)
            info.longName = text;
        else if (std::strcmp(n, "shn") == 0)
            info.shortName = text;
        else if (std::strcmp(n, "UDM") == 0)
            info.unit = text;
    }
    return classifyChannelName(info);
}

bool DashConfig::channelRangeForFid(int fid, double& lower, double& upper) const
{
    const auto it = fidRanges.constFind(fid);
    if (it == fidRanges.constEnd())
        return false;
    lower = it->minimum;
    upper = it->maximum;
    return true;
}
