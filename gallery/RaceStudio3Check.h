#pragma once

#include <functional>

// Whether RaceStudio 3 is running; installs into its folders refuse while it
// is. The answer comes from a probe: by default Windows' tasklist, which on
// other systems cannot start and so answers false.
bool isRaceStudio3Running();

// Replaces the probe (tests, other platforms); an empty function restores
// the tasklist probe.
void setRaceStudio3RunningProbe(std::function<bool()> probe);

// The tasklist probe itself: false when tasklist cannot start or has not
// finished within 4000 ms (it is then killed).
bool raceStudio3InTaskList();
