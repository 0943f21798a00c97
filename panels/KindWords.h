#pragma once

#include <QString>

// The short words the panels and dialogs show for a mask or widget kind
// ("Analog", "Digit", "Bar", "Icon", "Label"); each caller names what an
// unknown kind (Ring included) reads as, since the outliner and the property
// views differ there.
QString maskKindWord(int kind, const QString& unknown);
QString widgetKindWord(int kind, const QString& unknown);
