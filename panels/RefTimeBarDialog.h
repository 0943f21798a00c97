#pragma once

#include <QColor>
#include <QDialog>

class ColorChipRow;
class QDoubleSpinBox;

// "Insert +- Ref Time bar": the range of a lap-time delta bar and its two
// colours, held until the caller reads them after acceptance.
class RefTimeBarDialog : public QDialog {
    Q_OBJECT

public:
    explicit RefTimeBarDialog(QWidget* parent = nullptr);

    double rangeSeconds() const;
    QColor slowerColor() const;
    QColor fasterColor() const;

private:
    ColorChipRow* makeColorRow(const QString& label, const QColor& initial, const QString& dialogTitle);

    QDoubleSpinBox* rangeSpin = nullptr;
    ColorChipRow* slowerRow = nullptr;
    ColorChipRow* fasterRow = nullptr;
};
