#pragma once

#include "model/PageModel.h"

#include <pugixml.hpp>

// A page as it was: its record and a copy of its <e c="GPageParam"> element
// (with every mask in it) in a document of its own.
struct PageSnapshot {
    PageModel record;
    pugi::xml_document document;

    bool isEmpty() const { return !document.first_child(); }
    pugi::xml_node node() const { return document.first_child(); }
};
