#pragma once

// Start-up steps that belong to services built later (self-update, log file,
// template migrations). main calls them in their order; each does nothing
// until its service exists.
namespace startup {

// Swaps in a downloaded replacement of the program and relaunches it; returns
// when nothing is waiting. Runs before the application object exists.
void applyPendingUpdate(int argc, char** argv);

// Opens "korvelanto.log" in the application data folder and installs the
// message handler.
void installFileLogger();

// The one-shot migrations of the template store, each guarded by its flag.
void runTemplateMigrations();

// Registers the program as the handler of dashtheme:// links.
void registerUrlScheme();

} // namespace startup
