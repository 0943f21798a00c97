#include "model/DashConfig.h"

#include "model/XmlParams.h"

#include <cstring>

int DashConfig::maskOrder(int pageIndex, int maskIndex)
{
    const PageModel* p = page(pageIndex);
    if (!p || maskIndex < 0 || maskIndex >= static_cast<int>(p->masks.size()))
        return -1;
    const pugi::xml_node node = p->masks[static_cast<size_t>(maskIndex)].node;
    if (!node)
        return -1;
    for (pugi::xml_node param = node.child("p"); param; param = param.next_sibling("p")) {
        if (std::strcmp(param.attribute("n").value(), "ORDINE") != 0)
            continue;
        bool ok = false;
        const int value = QString::fromUtf8(param.text().get()).trimmed().toInt(&ok, 10);
        return ok && value >= 0 ? value : -1;
    }
    return -1;
}

int DashConfig::maxOrdine(int pageIndex)
{
    const PageModel* p = page(pageIndex);
    if (!p)
        return -1;
    int best = -1;
    for (int i = 0; i < static_cast<int>(p->masks.size()); ++i)
        best = std::max(best, maskOrder(pageIndex, i));
    return best;
}

int DashConfig::minOrdine(int pageIndex)
{
    const PageModel* p = page(pageIndex);
    if (!p)
        return -1;
    int best = -1;
    for (int i = 0; i < static_cast<int>(p->masks.size()); ++i) {
        const int order = maskOrder(pageIndex, i);
        if (order >= 0 && (best < 0 || order < best))
            best = order;
    }
    return best;
}

std::vector<int> DashConfig::maskOrders(int pageIndex)
{
    std::vector<int> orders;
    const PageModel* p = page(pageIndex);
    if (!p)
        return orders;
    for (int i = 0; i < static_cast<int>(p->masks.size()); ++i)
        orders.push_back(maskOrder(pageIndex, i));
    return orders;
}

void DashConfig::normalizeOrdine(int pageIndex)
{
    const PageModel* p = page(pageIndex);
    if (!p)
        return;
    // The firmware draws by ORDINE; numbering the masks in list order makes
    // it agree with the order the editor draws them in.
    int counter = 0;
    for (const MaskElement& mask : p->masks) {
        if (!mask.node)
            continue;
        setParam(mask.node, "ORDINE", QByteArray::number(++counter));
    }
    markPageDirty(pageIndex);
}

void DashConfig::setMaskOrders(int pageIndex, const std::vector<int>& orders)
{
    const PageModel* p = page(pageIndex);
    if (!p)
        return;
    const size_t n = std::min(p->masks.size(), orders.size());
    for (size_t i = 0; i < n; ++i) {
        const pugi::xml_node node = p->masks[i].node;
        if (!node)
            continue;
        if (orders[i] < 0)
            removeParams(node, "ORDINE");
        else
            setParam(node, "ORDINE", QByteArray::number(orders[i]));
    }
    markPageDirty(pageIndex);
}
