#include "model/DashConfig.h"

#include "model/ZipArchive.h"

#include <QTemporaryDir>

DashConfig::DashConfig()
{
    qRegisterMetaType<ChannelInfo>("ChannelInfo");
}

DashConfig::~DashConfig()
{
    // Records hold handles into the device documents: drop them first.
    pages.clear();
    deleteDevices();
    removeTempExtractDir(tempDir);
    tempDir = nullptr;
}

void DashConfig::deleteDevices()
{
    for (DeviceFile* device : devices)
        delete device;
    devices.clear();
}

PageModel* DashConfig::page(int i)
{
    if (i < 0 || i >= pageCount())
        return nullptr;
    return &pages[static_cast<size_t>(i)];
}

MaskElement* DashConfig::maskAt(int pageIndex, int maskIndex)
{
    PageModel* p = page(pageIndex);
    if (!p || maskIndex < 0 || maskIndex >= static_cast<int>(p->masks.size()))
        return nullptr;
    return &p->masks[static_cast<size_t>(maskIndex)];
}

const MaskElement* DashConfig::maskAt(int pageIndex, int maskIndex) const
{
    return const_cast<DashConfig*>(this)->maskAt(pageIndex, maskIndex);
}

WidgetModel* DashConfig::widgetAt(int pageIndex, int maskIndex, int widget)
{
    MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m || widget < 0 || widget >= static_cast<int>(m->widgets.size()))
        return nullptr;
    WidgetModel& w = m->widgets[static_cast<size_t>(widget)];
    return w.node ? &w : nullptr;
}

int DashConfig::pageCount() const
{
    return static_cast<int>(pages.size());
}

void DashConfig::markPageDirty(int i)
{
    const PageModel* p = page(i);
    if (!p)
        return;
    if (p->deviceFileIndex < 0 || p->deviceFileIndex >= static_cast<int>(devices.size()))
        return;
    devices[static_cast<size_t>(p->deviceFileIndex)]->dirty = true;
}

pugi::xml_node DashConfig::gconfNode(int deviceIndex) const
{
    if (deviceIndex < 0 || deviceIndex >= static_cast<int>(devices.size()))
        return {};
    const pugi::xml_node root = devices[static_cast<size_t>(deviceIndex)]->doc.child("overlay_cli");
    if (!root)
        return {};
    const pugi::xml_node first = root.child("e");
    if (!first)
        return {};
    return first.find_child_by_attribute("e", "c", "GConfParam");
}
