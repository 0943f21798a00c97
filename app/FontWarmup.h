#pragma once

#include <thread>

// Reads the system's fonts on a second thread while the main thread is busy
// elsewhere. Qt reads them at the first font it resolves, which comes while
// the main window is being built; read ahead, the window waits for the rest
// at most.
//
// Fontconfig's configuration and caches can be read before the application
// object exists, while it connects to the display; Qt's own font list only
// after. Where fontconfig is not what Qt uses, the first stage starts nothing.
class FontWarmup {
public:
    enum Stage {
        Fontconfig,   // before the application object
        FontDatabase, // after it; destroy before it
    };

    explicit FontWarmup(Stage stage);
    ~FontWarmup();

    FontWarmup(const FontWarmup&) = delete;
    FontWarmup& operator=(const FontWarmup&) = delete;

    // Returns once the reading is over.
    void wait();

private:
    std::thread m_thread;
};
