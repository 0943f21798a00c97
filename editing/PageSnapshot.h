#pragma once

#include "model/PageModel.h"

#include <pugixml.hpp>

class DashConfig;

// A page as it was: its record and a copy of its <e c="GPageParam"> element
// (with every mask in it) in a document of its own.
struct PageSnapshot {
    PageModel record;
    pugi::xml_document document;

    bool isEmpty() const { return !document.first_child(); }
    pugi::xml_node node() const { return document.first_child(); }

    // Copies the page and its element; the record keeps no handle into the
    // configuration's documents. False (and nothing kept) when the page or
    // its element does not exist.
    bool capture(DashConfig& config, int page);
};
