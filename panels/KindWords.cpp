#include "panels/KindWords.h"

#include "model/MaskElement.h"

QString maskKindWord(int kind, const QString& unknown)
{
    switch (kind) {
    case MaskAnalog:
        return QStringLiteral("Analog");
    case MaskDigit:
        return QStringLiteral("Digit");
    case MaskBargraph:
        return QStringLiteral("Bar");
    case MaskIcon:
        return QStringLiteral("Icon");
    case MaskLabel:
        return QStringLiteral("Label");
    default:
        return unknown;
    }
}

QString widgetKindWord(int kind, const QString& unknown)
{
    switch (kind) {
    case WidgetLabel:
        return QStringLiteral("Label");
    case WidgetDigit:
        return QStringLiteral("Digit");
    case WidgetBargraph:
        return QStringLiteral("Bar");
    default:
        return unknown;
    }
}
