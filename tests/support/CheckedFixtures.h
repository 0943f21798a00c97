#pragma once

#include <QStringList>

// Check config over the configurations the fixtures build (the named
// samples, the demo on its own stock, a full install's configuration, and
// that one again after the edits that change its records and masks:
// a colouring whose records wait for the save, a removed mask, a save, a
// store written anew), one line per finding in the check's order, with the
// temporary folders' names made the same in every run. Two builds that give
// the same lines make the same findings.
namespace CheckedFixtures {
QStringList findingLines();
}
