#include "app/StartupSteps.h"

#include "app/LogFile.h"

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
    // gallery::ThemeInstaller::registerUrlScheme runs here once the gallery
    // exists.
}

} // namespace startup
