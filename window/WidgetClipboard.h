#pragma once

#include <QString>
#include <pugixml.hpp>

#include <memory>
#include <vector>

// The editor's own clipboard for widgets: copies of the copied widgets' XML
// elements and what a paste needs to know about where they came from. One
// record per process, independent of the open configuration, so widgets
// travel between pages and between configurations.
class WidgetClipboard {
public:
    using Documents = std::vector<std::unique_ptr<pugi::xml_document>>;

    // Deletes every document of the list and empties it.
    static void clearEntries(Documents& list);
    // Back to the empty record: both lists, all texts, numbers 0, flags false.
    // Tests use it to start from a fresh clipboard.
    void clear();
    bool isEmpty() const { return entries.empty(); }

    // One document per copied widget, ascending widget order; each holds a
    // copy of the widget's element as its only top-level node.
    Documents entries;
    QString sourceDeviceFolder;
    int sourceMaskX = 0;
    int sourceMaskY = 0;
    QString sourceMaskId;
    int sourceDisplayWidth = 0;
    int sourceDisplayHeight = 0;
    bool hasSource = false;
    // The source mask's PATH_REL_AiM_MASK, PATH_IMAGE, PATH_IMAGE_PRW and
    // PATH_MASK_FW (empty when absent).
    QString maskPathRel;
    QString maskImage;
    QString maskImagePrw;
    QString maskFw;
    bool hasMaskArt = false;
    // Copies of the source mask's Axis elements the widgets refer to, each
    // id once, in the mask's order.
    Documents axisEntries;
};

// The process-wide record, built empty on first use.
WidgetClipboard& widgetClipboard();

// The first node of each document, in list order (a null node for an empty
// document).
std::vector<pugi::xml_node> collectClipboardNodes(const WidgetClipboard::Documents& list);
