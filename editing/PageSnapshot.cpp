#include "editing/PageSnapshot.h"

#include "model/DashConfig.h"

bool PageSnapshot::capture(DashConfig& config, int page)
{
    const PageModel* p = config.page(page);
    const pugi::xml_node node = config.pageParamNode(page);
    if (!p || !node)
        return false;
    record = *p;
    document.reset();
    document.append_copy(node);
    // A copy put back is parsed from its own element: handles into the page
    // it was taken from would dangle once that page is removed.
    for (MaskElement& mask : record.masks) {
        mask.node = pugi::xml_node();
        for (WidgetModel& w : mask.widgets)
            w.node = pugi::xml_node();
    }
    return true;
}
