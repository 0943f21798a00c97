#pragma once

#include <functional>

// Told, file by file, how far a bundle install or export has come: files
// done of the total. Everything runs on the GUI thread, so the caller's
// window paints (and shows this) only from inside the call.
using BundleProgress = std::function<void(int done, int total)>;

// The count behind a BundleProgress; the total may be set again once the
// work is known better (after the bundle is unpacked).
struct BundleSteps {
    BundleProgress progress;
    int done = 0;
    int total = 0;

    void step(int count = 1)
    {
        done += count;
        tell();
    }
    void tell() const
    {
        if (progress)
            progress(done, total < done ? done : total);
    }
};
