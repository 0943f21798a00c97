// A copy of a mask, with everything inside it, placed at an offset on the
// same page (the duplicate action, and mirroring a box across the page).
#include "model/DashConfig.h"

#include "editing/UniqueMaskName.h"
#include "model/XmlParams.h"

#include <algorithm>
#include <climits>

namespace {

// The copy never starts left of or above the page and, when it fits, never
// reaches past the far edge.
int clampedStart(int source, int offset, int size, int pageSize)
{
    const qint64 wanted = std::max<qint64>(0, qint64(source) + offset);
    qint64 start = std::min<qint64>(wanted, INT_MAX);
    if (pageSize > 0 && size > 0)
        start = std::min<qint64>(start, pageSize - std::min(size, pageSize));
    return int(start);
}

} // namespace

int DashConfig::duplicateMask(int pageIndex, int maskIndex, int dx, int dy, MaskElement& out)
{
    PageModel* p = page(pageIndex);
    const MaskElement* source = maskAt(pageIndex, maskIndex);
    pugi::xml_node pageNode = pageParamNode(pageIndex);
    if (!p || !source || !source->node || !pageNode)
        return -1;
    const int x = clampedStart(source->x, dx, source->w, p->width);
    const int y = clampedStart(source->y, dy, source->h, p->height);
    const int w = source->w;
    const int h = source->h;

    pugi::xml_node copy = pageNode.append_copy(source->node);
    if (!copy)
        return -1;
    const QString name = uniqueMaskName(p->masks, QStringLiteral("new"));
    setElementId(copy, name);
    setParamInt(copy, "XPOS", x);
    setParamInt(copy, "YPOS", y);

    MaskElement record = parseMask(copy);
    record.id = name;
    record.x = x;
    record.y = y;
    record.w = w;
    record.h = h;
    out = record;
    p->masks.push_back(std::move(record)); // `source` is not used past here
    markPageDirty(pageIndex);
    return static_cast<int>(p->masks.size()) - 1;
}
