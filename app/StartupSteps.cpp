#include "app/StartupSteps.h"

#include "app/LogFile.h"
#include "gallery/ThemeInstaller.h"
#include "templates/PageTemplateLibrary.h"

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
    PageTemplateLibrary::runStradaBackfillV024Once();
    PageTemplateLibrary::runTgzBackfillV025Once();
    PageTemplateLibrary::runXmlFixBackfillV026Once();
    PageTemplateLibrary::runSetMetaBackfillV0289Once();
    PageTemplateLibrary::runStartupBundledSolo2DLTemplatesOnce();
}

void registerUrlScheme()
{
    // A registration that cannot be written is logged by the installer; the
    // program starts anyway.
    gallery::ThemeInstaller::registerUrlScheme();
}

} // namespace startup
