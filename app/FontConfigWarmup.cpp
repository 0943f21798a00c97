#include "app/FontConfigWarmup.h"

#include <QtGlobal>

#include <system_error>

#ifdef Q_OS_LINUX
#include <dlfcn.h>
#endif

namespace {

#ifdef Q_OS_LINUX
void initFontconfig()
{
    // Only the fontconfig Qt's GUI library already brought into the process:
    // the call sets up the very configuration Qt goes on to use, and no
    // library is added to the program.
    void* library = dlopen("libfontconfig.so.1", RTLD_NOW | RTLD_NOLOAD);
    if (!library)
        return;
    using InitFunction = int (*)();
    if (auto init = reinterpret_cast<InitFunction>(dlsym(library, "FcInit")))
        init();
    dlclose(library);
}
#endif

} // namespace

FontConfigWarmup::FontConfigWarmup()
{
#ifdef Q_OS_LINUX
    try {
        m_thread = std::thread(initFontconfig);
    } catch (const std::system_error&) {
        // Without a thread Qt reads the configuration itself, as it would anyway.
    }
#endif
}

FontConfigWarmup::~FontConfigWarmup()
{
    wait();
}

void FontConfigWarmup::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}
