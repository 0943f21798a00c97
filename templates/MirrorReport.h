#pragma once

#include <QStringList>

// What a template save did in the RaceStudio 3 installs. The caller creates
// it empty; the save only sets, counts and appends.
struct MirrorReport {
    bool mirrorEnabled = false;
    int candidateCount = 0;     // family folders tried
    int mirroredCount = 0;      // homebrew set folders that got a complete copy
    QStringList skippedFamilies; // no install has the family's standard set
    QStringList failedPaths;    // set meta files and copies that failed
    QStringList refused;        // why a folder of the name was left alone
    QStringList leftAlone;      // set meta files not written: a link or special file in the way, named
};
