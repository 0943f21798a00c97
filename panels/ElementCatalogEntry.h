#pragma once

#include "panels/CatalogScaleFrame.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

// One native RS3 element: a mask definition file (*.M2.xml) reduced to
// where it lives in the overlay tree, what it draws and its art files.
struct ElementCatalogEntry {
    QString device;  // component after the last "overlay"
    QString display; // components between device and "masks" ("dash2"); empty on one-display devices
    QString set;    // component after the last "set"
    QString page;   // the page-set folder that holds "Items"
    QString item;   // the item folder that holds the M2.xml
    QString kind;   // "gauge-analog", "gauge-ring", "bar", "icon" or "digit"
    QStringList classes;
    QSize size{0, 0};
    QString relPath;   // "aim/resources/overlay/<device>/.../<item>/"
    QString absFolder; // '/' separators
    QStringList art;   // *.png, *.tgz, *.tga file names in name order
    QList<CatalogScaleFrame> scales;
    bool stable = true; // the device is present in the stable RS3 install

    // The device's folder of the display the element is drawn for: "mxs_12",
    // or "pdm/dash2" on a device with several displays.
    QString deviceFolder() const { return display.isEmpty() ? device : device + QLatin1Char('/') + display; }

    bool operator==(const ElementCatalogEntry& o) const
    {
        return device == o.device && display == o.display && set == o.set && page == o.page && item == o.item && kind == o.kind
            && classes == o.classes && size == o.size && relPath == o.relPath && absFolder == o.absFolder
            && art == o.art && scales == o.scales && stable == o.stable;
    }
    bool operator!=(const ElementCatalogEntry& o) const { return !(*this == o); }
};
