#pragma once

#include "artwork/BarTemplate.h"

#include <QList>
#include <QString>
#include <pugixml.hpp>

// The fixed catalogue of bargraph scale templates, the channel classifier
// that picks a template kind, and the edits that put a template's scale into
// a BargraphTrapezio element of the device XML.
class BarTemplateLibrary {
public:
    static const QList<BarTemplate>& catalogue();
    static const BarTemplate* findById(const QString& id);
    // The default template of a kind 0..7; null for any other kind.
    static const BarTemplate* templateForKind(int kind);
    static QString templateIdForKind(int kind);
    static int classifyChannel(const QString& name, const QString& unit);

    static bool hasTrapezioChild(pugi::xml_node mask);
    static bool matchesUserChoice(pugi::xml_node mask, int kind);

    // Replaces the UDM and ScaleFSV children of one BargraphTrapezio element
    // with the template's scale and normalises its firmware parameters.
    static bool replaceScales(pugi::xml_node bargraph, const BarTemplate* tpl);
    // replaceScales on every BargraphTrapezio child of the mask; the count.
    static int applyTemplate(pugi::xml_node mask, const BarTemplate* tpl);
    static int applyTemplateForKind(pugi::xml_node mask, int kind);

    static void writeFirmwareParams(pugi::xml_node bargraph);
    static void setParamText(pugi::xml_node element, const char* name, const QString& value);
};
