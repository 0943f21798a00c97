#include "app/FontWarmup.h"

#include <QFontDatabase>
#include <QStringList>
#include <QtGlobal>

#include <system_error>

#ifdef Q_OS_LINUX
#include <dlfcn.h>
#endif

namespace {

void initFontconfig()
{
#ifdef Q_OS_LINUX
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
#endif
}

void fillFontDatabase()
{
    // Qt fills its font list under its own lock; a main thread that needs a
    // font meanwhile waits for this instead of starting the same work.
    QFontDatabase::families();
}

} // namespace

FontWarmup::FontWarmup(Stage stage)
{
    try {
        m_thread = std::thread(stage == Fontconfig ? initFontconfig : fillFontDatabase);
    } catch (const std::system_error&) {
        // Without a thread Qt reads the fonts itself, as it would anyway.
    }
}

FontWarmup::~FontWarmup()
{
    wait();
}

void FontWarmup::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}
