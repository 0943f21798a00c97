#pragma once

#include "editing/ElementRef.h"

#include <QByteArray>
#include <pugixml.hpp>

// Names one <p n="..."> of the mask or of one of its children: the element,
// the parameter name and its place among the element's parameters of that
// name. Found again in the current mask when used; never a kept handle.
struct ParamRef {
    ElementRef element;
    QByteArray name;
    int ordinal = 0;

    static ParamRef of(pugi::xml_node mask, pugi::xml_node param);
    pugi::xml_node resolve(pugi::xml_node mask) const;
};
