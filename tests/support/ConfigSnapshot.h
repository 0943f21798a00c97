#pragma once

#include <QByteArray>
#include <pugixml.hpp>

class DashConfig;

// Every field of an open configuration's records, its device files (with
// their documents serialized) and the identity of each XML node, as text.
// Two equal snapshots mean the model was not touched.
namespace ConfigSnapshot {
QByteArray of(const DashConfig& config);

// One element (with everything below it) as saved, two-space indented.
QByteArray xml(pugi::xml_node node);

// Every device document as saved, in device order: what an edit and its undo
// must leave byte for byte identical.
QByteArray documents(const DashConfig& config);
}
