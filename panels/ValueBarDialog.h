#pragma once

#include <QColor>
#include <QDialog>

class ColorChipRow;
class QDoubleSpinBox;

// "Add value bar": the colour and scale of a bar added under a single-value
// box. Holds the choice until the caller reads it after acceptance.
class ValueBarDialog : public QDialog {
    Q_OBJECT

public:
    explicit ValueBarDialog(QWidget* parent = nullptr);

    QColor color() const;
    double minValue() const;
    double maxValue() const;

private:
    ColorChipRow* colorRow = nullptr;
    QDoubleSpinBox* minSpin = nullptr;
    QDoubleSpinBox* maxSpin = nullptr;
};
