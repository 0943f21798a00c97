#pragma once

// "updates/checkOnStartup": whether the window asks the update service for a
// newer version when it opens; true when the setting was never written.
bool checkUpdatesOnStartup();
