#pragma once

#include <QString>
#include <pugixml.hpp>

// One element type the "Insert Element" dialog offers. The donor points into
// a document the dialog owns (or into the open configuration): whoever reads
// it must copy it before the dialog is destroyed.
struct ElementTypeEntry {
    QString label;
    QString description;
    pugi::xml_node donor; // a GMaskParam element; null for the channel-less rule-made types
    int nativeWidth = 0;
    int nativeHeight = 0;
    // The donor's item folder relative to the RS3 root ("aim/resources/
    // overlay/.../Items/<item>/"); empty for donors of the open configuration.
    QString sourcePath;
    bool isStaticLabel = false;
    bool isMultiBox = false;
    bool isIcon = false;
    bool isRefTimeBar = false;

    bool isChannelLess() const { return isStaticLabel || isMultiBox || isIcon || isRefTimeBar; }
};
