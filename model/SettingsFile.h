#pragma once

#include <QString>

// The settings file is read whole by the first QSettings object: a pipe or
// a device at its name would hold start-up for good. Looked at (never
// opened) before anything reads a setting.
namespace SettingsFile {

// Where QSettings keeps this program's settings on this system; empty where
// they are not a file (the Windows registry, macOS preferences).
QString path();

// Where the settings go for a run that cannot use the settings file.
QString fallbackFolder();

// When something other than a regular file (a link, a pipe) is at `file`,
// the program's settings go to a file of its own in the data folder for
// this run (below fallbackFolder()), and `notice` names what was in the
// way. That file is used only as a plain file, never through a link: when
// it cannot be, the settings go to a new folder of this run's own and are
// lost at its end. True when the settings file was usable as it is.
bool keepUsable(const QString& file, QString* notice);
bool keepUsable(QString* notice);

} // namespace SettingsFile
