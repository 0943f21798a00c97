#pragma once

#include <QList>
#include <QString>

// One problem found by the config check: what is wrong, where, and what it
// will cause on the dash or in RaceStudio 3.
struct ConfigFinding {
    int severity = 1;   // 0 error, 1 warning
    int pageIndex = -1; // zero-based
    QString elementId;  // the mask's id; empty for a page finding
    QString code;       // the rule, e.g. "marker-mismatch"
    QString message;
    QString consequence;
    bool repairable = true;
};

using ConfigFindings = QList<ConfigFinding>;
