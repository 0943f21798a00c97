#include "window/WidgetClipboard.h"

WidgetClipboard& widgetClipboard()
{
    static WidgetClipboard clipboard;
    return clipboard;
}

void WidgetClipboard::clearEntries(Documents& list)
{
    list.clear();
}

void WidgetClipboard::clear()
{
    clearEntries(entries);
    clearEntries(axisEntries);
    sourceDeviceFolder.clear();
    sourceMaskX = 0;
    sourceMaskY = 0;
    sourceMaskId.clear();
    sourceDisplayWidth = 0;
    sourceDisplayHeight = 0;
    hasSource = false;
    maskPathRel.clear();
    maskImage.clear();
    maskImagePrw.clear();
    maskFw.clear();
    hasMaskArt = false;
}

std::vector<pugi::xml_node> collectClipboardNodes(const WidgetClipboard::Documents& list)
{
    std::vector<pugi::xml_node> nodes;
    nodes.reserve(list.size());
    for (const auto& doc : list)
        nodes.push_back(doc ? doc->first_child() : pugi::xml_node());
    return nodes;
}
