#pragma once

#include <thread>

// Reads fontconfig's configuration and font caches on a second thread while
// the application object connects to the display. Qt reads them at the first
// font it resolves, which comes while the main window is being built; read
// ahead, the window waits for the rest at most. Where fontconfig is not what
// Qt uses, nothing is started.
class FontConfigWarmup {
public:
    FontConfigWarmup();
    ~FontConfigWarmup();

    FontConfigWarmup(const FontConfigWarmup&) = delete;
    FontConfigWarmup& operator=(const FontConfigWarmup&) = delete;

    // Returns once the reading is over. Called before the first font is
    // resolved, so Qt does not start the same reading beside it.
    void wait();

private:
    std::thread m_thread;
};
