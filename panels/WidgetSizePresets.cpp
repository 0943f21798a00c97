#include "panels/WidgetSizePresets.h"

#include <QCoreApplication>

namespace {

QString label(const char* text)
{
    return QCoreApplication::translate("WidgetSizePresets", text);
}

} // namespace

QString WidgetSizePresets::familyKey(const QString& deviceFolder)
{
    const QString name = deviceFolder.toLower();
    if (name.startsWith(QLatin1String("pdm")))
        return QStringLiteral("pdm");
    if (name == QLatin1String("solo2dl"))
        return QStringLiteral("solo2dl");
    return QStringLiteral("mxg_mxs");
}

QList<WidgetSizePreset> WidgetSizePresets::presetsFor(const QString& deviceFolder)
{
    const QString key = familyKey(deviceFolder);
    if (key == QLatin1String("pdm")) {
        return {{label("Small"), QSize(240, 90)},
                {label("Medium"), QSize(270, 90)},
                {label("Large"), QSize(300, 90)},
                {label("Wide"), QSize(540, 90)},
                {label("Tall"), QSize(200, 270)}};
    }
    if (key == QLatin1String("solo2dl")) {
        // The Solo 2 DL's small screen has no room for a "Large" box.
        return {{label("Small"), QSize(60, 40)},
                {label("Medium"), QSize(100, 56)},
                {label("Wide"), QSize(160, 56)},
                {label("Tall"), QSize(80, 90)}};
    }
    return {{label("Small"), QSize(64, 46)},
            {label("Medium"), QSize(180, 76)},
            {label("Large"), QSize(252, 82)},
            {label("Wide"), QSize(280, 130)},
            {label("Tall"), QSize(136, 130)}};
}
