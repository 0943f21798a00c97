#include "model/ElementKey.h"

#include "model/DashConfig.h"

namespace {

// The widgets before `widget` in the mask that share its kind and id.
int ordinalOf(const MaskElement& mask, int widget)
{
    const WidgetModel& w = mask.widgets[size_t(widget)];
    int ordinal = 0;
    for (int i = 0; i < widget; ++i) {
        const WidgetModel& other = mask.widgets[size_t(i)];
        if (other.kind == w.kind && other.id == w.id)
            ++ordinal;
    }
    return ordinal;
}

} // namespace

ElementKey ElementKey::of(DashConfig& config, int page, int mask, int widget)
{
    ElementKey key;
    const MaskElement* m = config.maskAt(page, mask);
    if (!m || !m->node)
        return key;
    key.page = page;
    key.pageNode = config.pageParamNode(page);
    key.maskNode = m->node;
    key.maskId = m->id;
    if (widget < 0 || widget >= int(m->widgets.size()))
        return key;
    const WidgetModel& w = m->widgets[size_t(widget)];
    key.hasWidget = true;
    key.widgetNode = w.node;
    key.widgetId = w.id;
    key.widgetKind = w.kind;
    key.widgetOrdinal = ordinalOf(*m, widget);
    return key;
}

ElementKey::Place ElementKey::find(DashConfig& config) const
{
    Place place;
    const PageModel* p = config.page(page);
    if (isNull() || !p || config.pageParamNode(page) != pageNode)
        return place;
    int sameId = 0;
    int byId = -1;
    for (int i = 0; i < int(p->masks.size()); ++i) {
        const MaskElement& m = p->masks[size_t(i)];
        if (m.id != maskId)
            continue;
        if (m.node == maskNode) {
            place.mask = i;
            break;
        }
        ++sameId;
        byId = i;
    }
    if (place.mask < 0 && sameId == 1 && !maskId.isEmpty())
        place.mask = byId;
    if (place.mask < 0 || !hasWidget)
        return place;

    const MaskElement& m = p->masks[size_t(place.mask)];
    int seen = 0;
    for (int i = 0; i < int(m.widgets.size()); ++i) {
        const WidgetModel& w = m.widgets[size_t(i)];
        if (w.kind != widgetKind || w.id != widgetId)
            continue;
        if (widgetNode && w.node == widgetNode) {
            place.widget = i;
            return place;
        }
        if (seen++ == widgetOrdinal && place.widget < 0)
            place.widget = i;
    }
    return place;
}
