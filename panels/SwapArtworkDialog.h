#pragma once

#include "panels/ElementCatalogEntry.h"

#include <QDialog>
#include <QList>
#include <QString>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// "Swap artwork": offers the other native items of the same kind from a
// placed element's own RS3 page set, taken from the element catalog, and
// returns the folder of the one the user picks. Only the artwork reference
// changes; the opener applies it.
class SwapArtworkDialog : public QDialog {
    Q_OBJECT

public:
    // artworkFolder: the element's PATH_REL_AiM_MASK, trimmed.
    explicit SwapArtworkDialog(const QString& artworkFolder, QWidget* parent = nullptr);
    ~SwapArtworkDialog() override;

    // The normalised folder of the accepted alternative; empty until the
    // dialog is accepted with one.
    QString chosenFolder() const { return chosen; }

    QString currentFolder() const { return current; }
    // "mxg_12" or "pdm08/dash1": between "overlay/" and "/masks/".
    QString deviceFolder() const { return device; }
    // The folder just before the "Items" folder.
    QString pageSet() const { return set; }

    // "\" becomes "/", and a "/" ends the text.
    static QString normaliseFolder(const QString& folder);

private:
    QList<ElementCatalogEntry> candidates() const;
    void fillList();
    void addAlternative(const ElementCatalogEntry& entry);
    QString folderOf(const QListWidgetItem* item) const;
    void onCurrentChanged();
    void onDoubleClicked(QListWidgetItem* item);

    QString current;
    QString device;
    QString set;
    QString chosen;
    QList<ElementCatalogEntry> alternatives;
    QListWidget* list = nullptr;
    QLabel* explanation = nullptr;
    QPushButton* swapButton = nullptr;
};
