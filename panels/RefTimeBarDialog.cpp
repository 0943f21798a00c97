#include "panels/RefTimeBarDialog.h"

#include "panels/ColorChipRow.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QVBoxLayout>

RefTimeBarDialog::RefTimeBarDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Insert +- Ref Time bar"));
    auto* layout = new QVBoxLayout(this);

    auto* form = new QFormLayout;
    rangeSpin = new QDoubleSpinBox(this);
    rangeSpin->setRange(0.01, 1000.0);
    rangeSpin->setDecimals(2);
    rangeSpin->setSingleStep(0.25);
    rangeSpin->setValue(2.5);
    rangeSpin->setSuffix(QStringLiteral(" s"));
    form->addRow(tr("Range (\u00b1):"), rangeSpin);
    layout->addLayout(form);

    slowerRow = makeColorRow(tr("Slower / behind:"), QColor(0xff, 0x00, 0x00), tr("Slower / behind color"));
    fasterRow = makeColorRow(tr("Faster / ahead:"), QColor(0x07, 0xff, 0x00), tr("Faster / ahead color"));
    layout->addWidget(slowerRow);
    layout->addWidget(fasterRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

// "Default" brings back the row's own starting colour.
ColorChipRow* RefTimeBarDialog::makeColorRow(const QString& label, const QColor& initial,
                                             const QString& dialogTitle)
{
    return new ColorChipRow(label, initial,
                            {{tr("Default"), initial},
                             {tr("Cyan"), QColor(0x00, 0xff, 0xff)},
                             {tr("White"), QColor(0xff, 0xff, 0xff)},
                             {tr("Magenta"), QColor(0xff, 0x00, 0xff)}},
                            dialogTitle, this);
}

double RefTimeBarDialog::rangeSeconds() const
{
    return rangeSpin->value();
}

QColor RefTimeBarDialog::slowerColor() const
{
    return slowerRow->color();
}

QColor RefTimeBarDialog::fasterColor() const
{
    return fasterRow->color();
}
