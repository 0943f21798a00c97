#include "model/DashConfig.h"

#include "model/XmlParams.h"

#include <algorithm>

namespace {

bool validDevice(const DashConfig& config, int deviceIndex)
{
    return deviceIndex >= 0 && deviceIndex < static_cast<int>(config.devices.size());
}

void markDeviceDirty(DashConfig& config, int deviceIndex)
{
    if (validDevice(config, deviceIndex))
        config.devices[static_cast<size_t>(deviceIndex)]->dirty = true;
}

} // namespace

bool DashConfig::removeMask(int pageIndex, int maskIndex)
{
    PageModel* p = page(pageIndex);
    if (!p || maskIndex < 0 || maskIndex >= static_cast<int>(p->masks.size()))
        return false;
    // Drop the record before its element: nothing may hold a handle into
    // freed XML, not even for a moment.
    const pugi::xml_node node = p->masks[static_cast<size_t>(maskIndex)].node;
    p->masks.erase(p->masks.begin() + maskIndex);
    if (node && node.parent())
        node.parent().remove_child(node);
    markDeviceDirty(*this, p->deviceFileIndex);
    return true;
}

bool DashConfig::removeWidget(int pageIndex, int maskIndex, int widgetIndex)
{
    PageModel* p = page(pageIndex);
    if (!p || maskIndex < 0 || maskIndex >= static_cast<int>(p->masks.size()))
        return false;
    MaskElement& mask = p->masks[static_cast<size_t>(maskIndex)];
    if (widgetIndex < 0 || widgetIndex >= static_cast<int>(mask.widgets.size()))
        return false;
    const pugi::xml_node node = mask.widgets[static_cast<size_t>(widgetIndex)].node;
    if (node && node.parent())
        node.parent().remove_child(node);

    reparseMaskKeepingGeometry(mask);
    markDeviceDirty(*this, p->deviceFileIndex);
    return true;
}

pugi::xml_node DashConfig::maskInsertAnchor(int pageIndex, int index)
{
    PageModel* p = page(pageIndex);
    if (!p)
        return {};
    const pugi::xml_node pageNode = pageParamNode(pageIndex);
    const int count = static_cast<int>(p->masks.size());
    for (int i = std::min(index, count) - 1; i >= 0; --i) {
        const pugi::xml_node node = p->masks[static_cast<size_t>(i)].node;
        if (node && node.parent() == pageNode)
            return node;
    }
    return {};
}

bool DashConfig::insertMaskNodeCopy(int pageIndex, int index, const MaskElement& saved, pugi::xml_node source,
                                    pugi::xml_node anchor, pugi::xml_node& out)
{
    out = pugi::xml_node();
    PageModel* p = page(pageIndex);
    if (!p || !source || index < 0 || index > static_cast<int>(p->masks.size()))
        return false;
    if (!gconfNode(p->deviceFileIndex))
        return false;
    pugi::xml_node pageNode = pageParamNode(pageIndex);
    if (!pageNode)
        return false;

    pugi::xml_node copy;
    if (anchor) {
        // insert_copy_after refuses an anchor that is not a child of pageNode.
        copy = pageNode.insert_copy_after(source, anchor);
    } else {
        pugi::xml_node firstMask;
        for (pugi::xml_node e = pageNode.child("e"); e; e = e.next_sibling("e")) {
            if (hasClass(e, "GMaskParam")) {
                firstMask = e;
                break;
            }
        }
        copy = firstMask ? pageNode.insert_copy_before(source, firstMask) : pageNode.append_copy(source);
    }
    if (!copy)
        return false;

    // The saved record's widgets point into the element that was removed;
    // the record is read again from the copy so that every handle points
    // into the live document, and keeps the id and geometry it was saved with.
    MaskElement record = parseMask(copy);
    record.id = saved.id;
    record.x = saved.x;
    record.y = saved.y;
    record.w = saved.w;
    record.h = saved.h;
    p->masks.insert(p->masks.begin() + index, std::move(record));
    out = copy;
    markDeviceDirty(*this, p->deviceFileIndex);
    return true;
}
