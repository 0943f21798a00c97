#include "panels/ColorChipRow.h"

#include "panels/Asker.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

ColorChipRow::ColorChipRow(const QString& label, const QColor& initial, const QList<Preset>& presets,
                           const QString& title, QWidget* parent)
    : QWidget(parent), dialogTitle(title)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    if (!label.isEmpty())
        row->addWidget(new QLabel(label, this));

    chipLabel = new QLabel(this);
    chipLabel->setFixedSize(48, 20);
    chipLabel->setFrameShape(QFrame::Box);
    row->addWidget(chipLabel);

    for (const Preset& preset : presets) {
        auto* button = new QPushButton(preset.first, this);
        button->setToolTip(preset.second.name());
        const QColor colour = preset.second;
        connect(button, &QPushButton::clicked, this, [this, colour] { setColor(colour); });
        row->addWidget(button);
    }
    auto* custom = new QPushButton(tr("Custom\u2026"), this);
    connect(custom, &QPushButton::clicked, this, &ColorChipRow::onCustom);
    row->addWidget(custom);
    row->addStretch();

    setColor(initial);
}

void ColorChipRow::setColor(const QColor& colour)
{
    current = colour;
    chipLabel->setStyleSheet(QStringLiteral("background:%1; border:1px solid #333;").arg(colour.name()));
}

void ColorChipRow::onCustom()
{
    const QColor chosen = Asker::instance().color(this, current, dialogTitle);
    if (chosen.isValid())
        setColor(chosen);
}
