#include "app/PreferencesDialog.h"

#include <QSettings>

bool checkUpdatesOnStartup()
{
    return QSettings().value(QStringLiteral("updates/checkOnStartup"), true).toBool();
}
