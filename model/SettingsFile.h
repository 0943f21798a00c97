#pragma once

#include <QString>

#include <functional>

class QSettings;

// The settings files are read whole by the first QSettings object that
// opens them, and QSettings takes a lock file beside one before it writes
// it: a pipe or a device at any of those names would hold start-up for good.
// They are looked at (never opened) before anything reads a setting.
//
// Two files are kept in the settings folder: the user's settings
// (Korvelanto.conf) and the record of the dashtheme:// link handler
// (dashtheme.ini). The user's settings are the user's own: kept as a link to
// a plain file elsewhere (a dotfiles folder), they are read and written
// there; a link made before its target (a dotfiles set-up run on a new
// computer) makes the target at the first write, when the folder it names
// is there and the user's. QSettings writes through QSaveFile, which follows the link, writes
// a temporary file beside its target and renames it over the target, so the
// link stays a link and the target is never written in place (nor, with an
// atomic write required as QSettings does by default, ever written in place
// when that fails). The handler's record is ours and written at every
// start: it, and every lock file, is used only as a plain file.
namespace SettingsFile {

// Where QSettings keeps this program's settings on this system; empty where
// they are not a file (the Windows registry, macOS preferences).
QString path();

// The name QSettings gives the link handler's record (dashtheme.ini beside
// the settings file).
QString registrationName();

// Where the settings go for a run that cannot use the settings files.
QString fallbackFolder();

// The file a write of the settings at `file` replaces: what a link there
// leads to (made by the write when it is not there yet), or `file` itself.
QString writtenFile(const QString& file);

// Sets what `change` sets in `settings` and writes their file, checked: empty
// when the settings are on disk, else why not (user-facing). Whatever keeps
// the file from being written is found before anything is set, as QSettings
// cannot be asked afterwards (on a full disk Qt 6.4 may report success and
// leave the file cut short); then *held is false. A write that fails all the
// same leaves the change in this run's settings only: *held is true.
QString store(QSettings& settings, const std::function<void()>& change, bool* held);

// Each settings file beside `file` (the user's settings file) that cannot be
// used as it is (a pipe, a link that is not followed, a lock file that is
// not a plain file) goes to a file of its own in the data folder for this
// run (below fallbackFolder()), and `notice` names, a line for each, what
// was in the way. Those files are used only as plain files, never through a
// link: when they cannot be, the settings go to a new folder of this run's
// own and are lost at its end. True when every file was usable as it is.
bool keepUsable(const QString& file, QString* notice);
bool keepUsable(QString* notice);

} // namespace SettingsFile
