#include "app/StartupSteps.h"

#include "app/LogFile.h"
#include "gallery/ThemeInstaller.h"

namespace startup {

void applyPendingUpdate(int argc, char** argv)
{
    // The updater is not part of this build yet: nothing can be waiting.
    (void)argc;
    (void)argv;
}

void installFileLogger()
{
    ::installFileLogger();
}

void runTemplateMigrations()
{
    // PageTemplateLibrary::runStradaBackfillV024Once, runTgzBackfillV025Once,
    // runXmlFixBackfillV026Once, runSetMetaBackfillV0289Once and
    // runStartupBundledSolo2DLTemplatesOnce run here, in this order, once the
    // template store exists.
}

void registerUrlScheme()
{
    // A registration that cannot be written is logged by the installer; the
    // program starts anyway.
    gallery::ThemeInstaller::registerUrlScheme();
}

} // namespace startup
