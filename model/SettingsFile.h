#pragma once

#include <QString>

// The settings file is read whole by the first QSettings object: a pipe or
// a device at its name would hold start-up for good. Looked at (never
// opened) before anything reads a setting.
namespace SettingsFile {

// Where QSettings keeps this program's settings on this system; empty where
// they are not a file (the Windows registry, macOS preferences).
QString path();

// When something other than a regular file (or a link to one) is at `file`,
// the program's settings go to a file of its own in the data folder for
// this run, and `notice` names what was in the way. True when the settings
// file was usable as it is.
bool keepUsable(const QString& file, QString* notice);
bool keepUsable(QString* notice);

} // namespace SettingsFile
