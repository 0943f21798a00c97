#pragma once

#include <QDialog>
#include <QString>

class QComboBox;

// "Multi-value box": the grid of value cells of a new or converted box and
// where each cell's label goes. Opens on 2 x 2 with labels above.
class MultiBoxDialog : public QDialog {
    Q_OBJECT

public:
    explicit MultiBoxDialog(const QString& deviceFolder, QWidget* parent = nullptr);

    int rows() const { return rowCount; }
    int cols() const { return colCount; }
    QString labelPlacement() const { return placement; }

    // "RxC": each part that reads as a whole number of at least 1 replaces
    // the rows or columns; anything else keeps what was there.
    void parseArrangement(const QString& text);

private:
    QString deviceFolder;
    QString placement = QStringLiteral("above");
    int rowCount = 2;
    int colCount = 2;
    QComboBox* arrangementCombo = nullptr;
    QComboBox* placementCombo = nullptr;
};
