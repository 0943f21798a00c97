#pragma once

#include "panels/ElementCatalogEntry.h"

#include <QDialog>
#include <QHash>
#include <QSize>
#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// "AIM Element Library": browses RaceStudio 3's native elements from the
// element catalog as thumbnails, filtered by device, type and a text, and
// rebuilds the catalog on request. Nothing is chosen or returned.
//
// A rebuild keeps the window alive by processing events from its progress
// callback, so while it runs the dialog is busy: Refresh is disabled and a
// close is held back until the scan returns.
class ElementLibraryDialog : public QDialog {
    Q_OBJECT

public:
    // deviceText: the overlay folder of the current page's display
    // ("mxs_12", "pdm/dash2"); screenSize: the current page's size, invalid
    // without one.
    ElementLibraryDialog(const QString& deviceText, const QSize& screenSize, QWidget* parent = nullptr);
    ~ElementLibraryDialog() override;

    // Screen size in pixels of the device folders whose size is known.
    static const QHash<QString, QSize>& DeviceScreenSizes();
    // The table's size, else the registry's for a display folder; invalid
    // when neither knows the folder.
    static QSize screenSizeOf(const QString& deviceFolder);

    bool isBusy() const { return busy; }

    // Holds a close back while a rebuild runs; it happens when the scan ends.
    void done(int result) override;

public Q_SLOTS:
    void refreshIndex();
    void applyFilters();

private:
    // A grid item whose tool tip is written when it is first asked for.
    class GridItem;
    struct Filters;

    QWidget* createTopRow();
    void createGrid();
    void fillDeviceCombo();
    QStringList sameScreenDevices() const;
    QSize referenceSize() const;
    Filters currentFilters() const;
    static bool passesFilters(const ElementCatalogEntry& entry, const Filters& filters, const QStringList& sameScreen);
    QString toolTipFor(const ElementCatalogEntry& entry, const QStringList& sameScreen) const;
    void updateStatus();

    QString deviceName;
    QSize screenSize;
    QListWidget* grid = nullptr;
    QComboBox* deviceCombo = nullptr;
    QComboBox* typeCombo = nullptr;
    QLineEdit* filterEdit = nullptr;
    QLabel* statusLabel = nullptr;
    QPushButton* refreshButton = nullptr;
    bool busy = false;
    // The close asked for during a rebuild; -1 when none.
    int heldResult = -1;
};
