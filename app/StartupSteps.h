#pragma once

// The start-up steps, in the order main calls them. A step whose service is
// not part of this build yet does nothing.
namespace startup {

// Swaps in a downloaded replacement of the program and relaunches it; returns
// when nothing is waiting. Runs before the application object exists.
void applyPendingUpdate(int argc, char** argv);

// Opens "korvelanto.log" in the application data folder and installs the
// message handler; then makes sure the settings file can be read without
// waiting (a pipe there is left aside and named in the log).
void installFileLogger();

// The one-shot migrations of the template store and the RS3 installs, in
// their order, each guarded by its flag. Logs only: no window exists yet.
void runTemplateMigrations();

// Registers the program as the handler of dashtheme:// links.
void registerUrlScheme();

// Removes the folders of configurations opened by editors that ended
// abnormally; never one a running editor holds.
void clearAbandonedExtractFolders();

} // namespace startup
