#pragma once

#include <QString>

// One bargraph scale template: the ScaleFSV element a BargraphTrapezio gets,
// with the texts and default size the template browser shows.
struct BarTemplate {
    QString id;
    QString title;
    QString description;
    int kind = 7; // 0 rpm, 1 km/h, 2 mph, 3 pressure, 4 temperature, 5 trim, 6 percent, 7 generic
    int width = 0;
    int height = 0;
    QString unit;     // also the SCELTA_UTENTE value that marks a bar as carrying it
    QString scaleXml; // the <e c="ScaleFSV"> element to insert
    QString rangeText;
};
