#pragma once

#include <QByteArray>

class DashConfig;

// Every field of an open configuration's records, its device files (with
// their documents serialized) and the identity of each XML node, as text.
// Two equal snapshots mean the model was not touched.
namespace ConfigSnapshot {
QByteArray of(const DashConfig& config);

// The device documents as they would be written, one after the other.
QByteArray deviceXml(const DashConfig& config);

// Every field of the page, mask and widget records and each device file's
// page count, without node identities or dirty flags: what an undo must
// bring back even where it rebuilt records from copied XML.
QByteArray records(const DashConfig& config);

// Empty when records and XML pair up the way saving relies on: the k-th
// page of a device file is its k-th GPageParam, the k-th mask of a page its
// k-th GMaskParam, every widget an element of its mask, and each device
// file's page count matches; otherwise what is out of step.
QString pairingError(DashConfig& config);
}
