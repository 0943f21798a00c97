#pragma once

#include <QString>

// One supported device: its RS3 overlay folder, base page and screen size.
struct DeviceRow {
    QString id;
    QString displayName;
    QString family;           // below "aim/resources/overlay/", may hold a '/'
    QString baseTemplatePath; // below the family's "/masks/set/standard/"
    int width = 0;
    int height = 0;
};
