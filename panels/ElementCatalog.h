#pragma once

#include "panels/ElementCatalogEntry.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// The process-wide index of RaceStudio 3's native elements, kept between
// runs in "element-catalog.json" in the application data folder. Scanning
// the installs takes minutes, so it happens only on request (rebuild);
// readers call load() first when isLoaded() is false. GUI thread only.
class ElementCatalog {
public:
    ElementCatalog() = delete;

    // (entries found so far, install roots finished)
    using Progress = std::function<void(int, int)>;

    static QString catalogPath();
    static bool isLoaded();
    static bool load();
    static bool save();
    // The number of entries found; -1 (and nothing changes) when called
    // again from inside a running rebuild, whose progress callback may
    // process events.
    static int rebuild(const Progress& progress = Progress());
    static bool isRebuilding();

    static const QList<ElementCatalogEntry>& entries();
    static QDateTime scannedAt();
    // Devices are told apart by their display: these name and take the
    // entries' deviceFolder() ("pdm/dash1", "pdm/dash2", "mxs_12").
    static QStringList devices();
    static bool isDeviceStable(const QString& deviceFolder);
    static QList<ElementCatalogEntry> entriesInSet(const QString& device, const QString& page);

    static bool scanPageFile(const QString& filePath, ElementCatalogEntry& entry);
    static bool parseScaleFrame(const QString& fileName, CatalogScaleFrame& frame);
    static QString paramValue(const QString& m2Text, const QString& name);

    // Back to the state at start: empty, not loaded, no scan time.
    static void resetForTesting();

private:
    static int scanInstalls(const Progress& progress);
};
