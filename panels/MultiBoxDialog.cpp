#include "panels/MultiBoxDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QStringList>
#include <QVBoxLayout>

MultiBoxDialog::MultiBoxDialog(const QString& folder, QWidget* parent) : QDialog(parent), deviceFolder(folder)
{
    setWindowTitle(tr("Multi-value box"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;

    // The item texts are parsed and stored, so they stay untranslated.
    arrangementCombo = new QComboBox(this);
    arrangementCombo->addItems({QStringLiteral("1x2"), QStringLiteral("2x1"), QStringLiteral("1x3"),
                                QStringLiteral("2x2"), QStringLiteral("2x3"), QStringLiteral("3x2")});
    connect(arrangementCombo, &QComboBox::currentTextChanged, this, &MultiBoxDialog::parseArrangement);
    form->addRow(tr("Arrangement:"), arrangementCombo);

    placementCombo = new QComboBox(this);
    placementCombo->addItems({QStringLiteral("above"), QStringLiteral("left")});
    connect(placementCombo, &QComboBox::currentTextChanged, this, [this](const QString& text) { placement = text; });
    form->addRow(tr("Label placement:"), placementCombo);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    arrangementCombo->setCurrentText(QStringLiteral("2x2"));
    parseArrangement(QStringLiteral("2x2"));
    placementCombo->setCurrentText(QStringLiteral("above"));
    placement = QStringLiteral("above");
}

void MultiBoxDialog::parseArrangement(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2)
        return;
    bool ok = false;
    const int r = parts.at(0).toInt(&ok, 10);
    if (ok && r >= 1)
        rowCount = r;
    const int c = parts.at(1).toInt(&ok, 10);
    if (ok && c >= 1)
        colCount = c;
}
