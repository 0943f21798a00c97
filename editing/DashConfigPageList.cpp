#include "model/DashConfig.h"

#include "model/XmlParams.h"

bool DashConfig::removePage(int pageIndex)
{
    if (!page(pageIndex))
        return false;
    const pugi::xml_node node = pageParamNode(pageIndex);
    const int device = pages[static_cast<size_t>(pageIndex)].deviceFileIndex;
    const std::vector<PlacedPageName> placed = placedPageNames();
    // Records go first: their handles point into the element being removed.
    pages.erase(pages.begin() + pageIndex);
    // A page's index is its place in the list, as a reopen numbers it.
    for (size_t i = size_t(pageIndex); i < pages.size(); ++i)
        pages[i].index = int(i);
    if (node && node.parent())
        node.parent().remove_child(node);
    if (device >= 0 && device < static_cast<int>(devices.size())) {
        DeviceFile* file = devices[static_cast<size_t>(device)];
        file->dirty = true;
        if (file->pageCount >= 1)
            --file->pageCount;
    }
    movePlacedPageRecords(placed);
    return true;
}

bool DashConfig::insertPageNodeCopy(int index, const PageModel& saved, pugi::xml_node source, pugi::xml_node& out)
{
    out = pugi::xml_node();
    if (index < 0 || index > pageCount() || !source)
        return false;
    const int device = saved.deviceFileIndex >= 0 && saved.deviceFileIndex < static_cast<int>(devices.size())
                           ? saved.deviceFileIndex
                           : 0;
    pugi::xml_node gconf = gconfNode(device);
    if (!gconf)
        return false;

    // The k-th page of a file is its k-th GPageParam.
    int n = 0;
    for (int i = 0; i < index; ++i) {
        if (pages[static_cast<size_t>(i)].deviceFileIndex == device)
            ++n;
    }
    pugi::xml_node before;
    pugi::xml_node lastPage;
    for (pugi::xml_node e = gconf.child("e"); e; e = e.next_sibling("e")) {
        if (!hasClass(e, "GPageParam"))
            continue;
        if (n == 0) {
            before = e;
            break;
        }
        --n;
        lastPage = e;
    }
    const std::vector<PlacedPageName> placed = placedPageNames();
    pugi::xml_node copy;
    if (before)
        copy = gconf.insert_copy_before(source, before);
    else if (lastPage)
        copy = gconf.insert_copy_after(source, lastPage);
    else
        copy = gconf.append_copy(source);
    if (!copy)
        return false;

    PageModel record = saved;
    record.deviceFileIndex = device;
    record.masks.clear();
    for (pugi::xml_node e = copy.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "GMaskParam"))
            record.masks.push_back(parseMask(e));
    }
    // Masks keep the id and geometry they were saved with, as a single
    // restored mask does.
    if (record.masks.size() == saved.masks.size()) {
        for (size_t i = 0; i < record.masks.size(); ++i) {
            MaskElement& m = record.masks[i];
            const MaskElement& s = saved.masks[i];
            m.id = s.id;
            m.x = s.x;
            m.y = s.y;
            m.w = s.w;
            m.h = s.h;
        }
    }
    pages.insert(pages.begin() + index, std::move(record));
    for (size_t i = 0; i < pages.size(); ++i)
        pages[i].index = int(i);
    DeviceFile* file = devices[static_cast<size_t>(device)];
    file->dirty = true;
    ++file->pageCount;
    out = copy;
    movePlacedPageRecords(placed);
    return true;
}
