#pragma once

#include <QString>

class DashConfig;

// The repair of what arithmetic alone can settle: undeclared page
// backgrounds, outline markers that do not fit their element, bar fills
// that do not end at the bar's width, and box-style and bar-colour records
// the file contradicts (removed from their stores at once). It edits the device XML in memory and
// marks the pages it touched dirty; the caller re-reads the mask records.
namespace ConfigCheck {

// The number of values changed.
int repairConfig(DashConfig& config);

// ".../Club.pre-repair.zconf2" for ".../Club.zconf2"; empty for an empty path.
QString preRepairBackupPath(const QString& path);

// Copies the file to its pre-repair name unless a backup already exists
// there, so the backup keeps the file as it was before the first repaired
// save. Returns the backup's file name, or empty when none was made.
QString makePreRepairBackup(const QString& path);

} // namespace ConfigCheck
