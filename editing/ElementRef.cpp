#include "editing/ElementRef.h"

#include <cstring>

namespace {

bool matches(pugi::xml_node e, const QByteArray& cls, const QByteArray& id)
{
    return std::strcmp(e.attribute("c").value(), cls.constData()) == 0
        && std::strcmp(e.attribute("i").value(), id.constData()) == 0;
}

} // namespace

ElementRef ElementRef::of(pugi::xml_node mask, pugi::xml_node element)
{
    ElementRef ref;
    if (!element || element == mask)
        return ref;
    ref.isMask = false;
    ref.cls = element.attribute("c").value();
    ref.id = element.attribute("i").value();
    for (pugi::xml_node e = mask.child("e"); e && e != element; e = e.next_sibling("e")) {
        if (matches(e, ref.cls, ref.id))
            ++ref.ordinal;
    }
    return ref;
}

pugi::xml_node ElementRef::resolve(pugi::xml_node mask) const
{
    if (isMask || !mask)
        return mask;
    int seen = 0;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (matches(e, cls, id) && seen++ == ordinal)
            return e;
    }
    return {};
}
