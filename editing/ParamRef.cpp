#include "editing/ParamRef.h"

#include <cstring>

ParamRef ParamRef::of(pugi::xml_node mask, pugi::xml_node param)
{
    ParamRef ref;
    const pugi::xml_node owner = param.parent();
    ref.element = ElementRef::of(mask, owner);
    ref.name = param.attribute("n").value();
    for (pugi::xml_node p = owner.child("p"); p && p != param; p = p.next_sibling("p")) {
        if (std::strcmp(p.attribute("n").value(), ref.name.constData()) == 0)
            ++ref.ordinal;
    }
    return ref;
}

pugi::xml_node ParamRef::resolve(pugi::xml_node mask) const
{
    const pugi::xml_node owner = element.resolve(mask);
    int seen = 0;
    for (pugi::xml_node p = owner.child("p"); p; p = p.next_sibling("p")) {
        if (std::strcmp(p.attribute("n").value(), name.constData()) == 0 && seen++ == ordinal)
            return p;
    }
    return {};
}
