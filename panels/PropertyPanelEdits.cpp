// What the panel does when the user changes one of its controls. Every
// handler returns at once while the panel fills its own controls, and when
// nothing is shown.
#include "panels/PropertyPanel.h"

#include <QComboBox>

void PropertyPanel::onSpinBoxChanged()
{
    if (filling || !mask)
        return;
}

void PropertyPanel::onValueFontChanged()
{
    if (filling || !mask)
        return;
}

void PropertyPanel::onLabelFontChanged()
{
    if (filling || !mask)
        return;
}

void PropertyPanel::pickValueColor()
{
    if (!mask)
        return;
}

void PropertyPanel::pickLabelColor()
{
    if (!mask)
        return;
}

void PropertyPanel::onLabelTextChanged()
{
    if (filling || !mask)
        return;
}

void PropertyPanel::onChannelComboChanged(int row)
{
    if (filling || !mask || row < 1 || row > int(channels.size()))
        return;
    Q_EMIT channelRebindRequested(channels[size_t(row - 1)]);
}

void PropertyPanel::onBarMinMaxChanged()
{
    if (filling || !mask)
        return;
}

void PropertyPanel::onBarShowZeroToggled(bool)
{
    if (filling || !mask)
        return;
}

void PropertyPanel::onAlignmentChosen()
{
    if (filling || !mask || !widget)
        return;
    const QString current = widget->posAlign;
    const QString vertical = current.isEmpty() ? QStringLiteral("b") : current.left(1);
    Q_EMIT valueAlignmentChanged(vertical + alignCombo->currentData().toString());
}

// Compares the shown text size with the firmware fonts of the device.
void PropertyPanel::updateFontWarning()
{
}
