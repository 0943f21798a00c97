#pragma once

#include "updates/UpdateSeams.h"

#include <QString>

// The start-up half of an update: a verified "<exe>.new" left by the
// download dialog replaces the executable before anything else runs, the old
// one is kept as "<exe>.bak", and the new one is started with the same
// arguments. Everything here runs before the application object exists.

// Outcomes of swapInNewExecutable.
enum SwapResult {
    SwapNothingPending = 0,
    SwapDone = 1,
    SwapUndone = 2, // the old executable is back; ".new" is tried again next start
    SwapFailed = 3,
};

// The folder of the update log: the application data folder that
// QStandardPaths gives the program, worked out from the environment alone.
// Empty when the environment names no home.
QString updateLogFolder();

// One "<UTC time> [bootstrap] <message>" line in the update log; nothing
// when the log cannot be written.
void updateBootstrapLog(const QString& message);

int swapInNewExecutable(const QString& exe, const UpdateSeams& seams = UpdateSeams::system());

// Swaps and relaunches, then ends this process with code 0; returns when
// nothing was waiting, the swap failed, or the relaunch did not start.
void applyPendingUpdate(int argc, char** argv, const UpdateSeams& seams = UpdateSeams::system());
