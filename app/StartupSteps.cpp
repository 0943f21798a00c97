#include "app/StartupSteps.h"

#include "model/ExtractFolders.h"
#include "reports/LogFile.h"
#include "model/SettingsFile.h"
#include "updates/PendingUpdate.h"
#include "gallery/ThemeInstaller.h"
#include "templates/PageTemplateLibrary.h"

#include <QDebug>

namespace startup {

void applyPendingUpdate(int argc, char** argv)
{
    ::applyPendingUpdate(argc, argv);
}

void installFileLogger()
{
    ::installFileLogger();
    // Before the first setting is read: the migrations read their flags.
    QString notice;
    if (!SettingsFile::keepUsable(&notice)) {
        for (const QString& line : notice.split(QLatin1Char('\n')))
            qWarning().noquote() << line;
    }
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

void clearAbandonedExtractFolders()
{
    ExtractFolders::clearAbandoned();
}

} // namespace startup
