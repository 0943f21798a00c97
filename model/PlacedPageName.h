#pragma once

#include <QString>
#include <pugixml.hpp>

// The name of a page without an id, which follows its place in the list:
// its records move with the name when the page list changes.
struct PlacedPageName {
    pugi::xml_node node;
    QString name;
};
