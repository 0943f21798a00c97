#pragma once

#include "artwork/BarTemplate.h"

#include <QDialog>
#include <QPixmap>
#include <QSize>
#include <QString>

class QDialogButtonBox;
class QLabel;
class QListWidget;

// "Pick a Bar template": one tile per bargraph scale template, with a drawn
// sample of its scale and the selected template's details below the grid.
class BarTemplateBrowser : public QDialog {
    Q_OBJECT

public:
    explicit BarTemplateBrowser(QWidget* parent = nullptr);

    // Makes the first tile carrying exactly this id current; an unknown id
    // changes nothing.
    void selectTemplate(const QString& id);
    // Empty until the dialog was accepted with a tile.
    QString chosenId() const { return chosen; }

    // The tile's sample: a track with a fill in the kind's colour and length
    // (trim grows from the centre mark) and the template's range text.
    static QPixmap makeTemplateIcon(const BarTemplate& tpl, const QSize& size);

public Q_SLOTS:
    void onSelectionChanged();
    void onAccept();

private:
    void fillList();

    QListWidget* list = nullptr;
    QLabel* details = nullptr;
    QDialogButtonBox* buttons = nullptr;
    QString chosen;
};
