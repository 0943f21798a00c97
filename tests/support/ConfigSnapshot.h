#pragma once

#include <QByteArray>
#include <pugixml.hpp>
#include <QString>

class DashConfig;

// Every field of an open configuration's records, its device files (with
// their documents serialized) and the identity of each XML node, as text.
// Two equal snapshots mean the model was not touched.
namespace ConfigSnapshot {
QByteArray of(const DashConfig& config);

// One element (with everything below it) as saved, two-space indented.
QByteArray xml(pugi::xml_node node);

// What the model believes about the configuration: devices (paths relative
// to the extract folder, dirty flags left out), pages, masks and widgets,
// without node identities or temporary paths. Equal for two separate opens
// of the same content, e.g. before a save and after reopening the result.
QByteArray records(const DashConfig& config);

// The device documents as pugixml serializes them, in device order.
QByteArray documents(const DashConfig& config);

// Empty when records and XML pair up the way saving relies on: the k-th
// page of a device file is its k-th GPageParam, the k-th mask of a page its
// k-th GMaskParam, every widget an element of its mask, and each device
// file's page count matches; otherwise what is out of step.
QString pairingError(DashConfig& config);
}
