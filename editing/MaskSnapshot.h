#pragma once

#include "model/MaskElement.h"

#include <pugixml.hpp>

// A mask as it was: its record and a copy of its <e c="GMaskParam"> element
// in a document of its own, so the mask can be put back after the page's
// document dropped the original. The document is empty when the mask had no
// element.
struct MaskSnapshot {
    MaskElement record;
    pugi::xml_document document;

    MaskSnapshot() = default;
    MaskSnapshot(MaskSnapshot&&) = default;
    MaskSnapshot& operator=(MaskSnapshot&&) = default;

    static MaskSnapshot of(const MaskElement& mask)
    {
        MaskSnapshot s;
        s.record = mask;
        // The kept record points into the kept copy, never into the page's
        // document, which drops the original when the mask goes.
        s.record.node = mask.node ? s.document.append_copy(mask.node) : pugi::xml_node();
        for (WidgetModel& w : s.record.widgets)
            w.node = pugi::xml_node();
        return s;
    }

    bool isEmpty() const { return !document.first_child(); }
    pugi::xml_node node() const { return document.first_child(); }
};
