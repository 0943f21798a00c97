#pragma once

#include <QByteArray>

class DashConfig;

// Every field of an open configuration's records, its device files (with
// their documents serialized) and the identity of each XML node, as text.
// Two equal snapshots mean the model was not touched.
namespace ConfigSnapshot {
QByteArray of(const DashConfig& config);
}
