#include "panels/ValueBarDialog.h"

#include "panels/ColorChipRow.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QVBoxLayout>

namespace {

QDoubleSpinBox* makeValueSpin(double value, QWidget* parent)
{
    auto* spin = new QDoubleSpinBox(parent);
    spin->setRange(-1e6, 1e6);
    spin->setDecimals(3);
    spin->setValue(value);
    return spin;
}

} // namespace

ValueBarDialog::ValueBarDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Add value bar"));
    auto* layout = new QVBoxLayout(this);

    colorRow = new ColorChipRow(tr("Color:"), QColor(0x20, 0xff, 0x00),
                                {{tr("Green"), QColor(0x20, 0xff, 0x00)},
                                 {tr("Cyan"), QColor(0x00, 0xff, 0xff)},
                                 {tr("White"), QColor(0xff, 0xff, 0xff)},
                                 {tr("Magenta"), QColor(0xff, 0x00, 0xff)}},
                                tr("Bar color"), this);
    layout->addWidget(colorRow);

    // Min is not required to be below Max: a falling bar is a valid choice.
    auto* form = new QFormLayout;
    minSpin = makeValueSpin(0.0, this);
    maxSpin = makeValueSpin(100.0, this);
    form->addRow(tr("Min:"), minSpin);
    form->addRow(tr("Max:"), maxSpin);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QColor ValueBarDialog::color() const
{
    return colorRow->color();
}

double ValueBarDialog::minValue() const
{
    return minSpin->value();
}

double ValueBarDialog::maxValue() const
{
    return maxSpin->value();
}
