#include "panels/WidgetPropertiesDialog.h"

#include "panels/KindWords.h"

#include "model/ChannelKind.h"
#include "model/DashConfig.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

QLabel* selectable(const QString& text)
{
    auto* label = new QLabel(text);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QLabel* note(const QString& text)
{
    auto* label = new QLabel(text);
    label->setStyleSheet(QStringLiteral("color: gray; font-style: italic;"));
    return label;
}

} // namespace

WidgetPropertiesDialog::WidgetPropertiesDialog(MaskElement* mask, WidgetModel* widget, DashConfig* config,
                                               int pageIndex, QWidget* parent)
    : QDialog(parent)
    , mask(mask)
    , widget(widget)
    , config(config)
    , pageIndex(pageIndex)
{
    setWindowTitle(tr("Widget Properties"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    auto* details = new QGroupBox(tr("Details"));
    auto* detailsForm = new QFormLayout(details);
    buildDetails(detailsForm);
    layout->addWidget(details);

    const bool maskNode = mask && mask->node;
    hasScaleGroup = maskNode && (mask->kind == MaskBargraph || (widget && widget->kind == WidgetBargraph));
    if (hasScaleGroup) {
        auto* scale = new QGroupBox(tr("Scale Range"));
        auto* scaleForm = new QFormLayout(scale);
        buildScaleGroup(scaleForm);
        layout->addWidget(scale);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &WidgetPropertiesDialog::onAccepted);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void WidgetPropertiesDialog::buildDetails(QFormLayout* form)
{
    if (!widget && !mask)
        return;
    const QString id = widget ? widget->id : mask->id;
    const QString type = widget ? tr("Widget: %1").arg(widgetKindWord(widget->kind, QStringLiteral("Unknown")))
                                      : maskKindWord(mask->kind, QStringLiteral("Unknown"));
    const QString channel = widget ? widget->channel : mask->channel;
    const int x = widget ? widget->x : mask->x;
    const int y = widget ? widget->y : mask->y;
    const int w = widget ? widget->w : mask->w;
    const int h = widget ? widget->h : mask->h;
    form->addRow(tr("ID:"), selectable(id));
    form->addRow(tr("Type:"), selectable(type));
    form->addRow(tr("Channel:"), selectable(channel.isEmpty() ? tr("(none)") : channel));
    form->addRow(tr("Position:"), selectable(tr("%1, %2 px").arg(x).arg(y)));
    form->addRow(tr("Size:"), selectable(tr("%1 x %2 px").arg(w).arg(h)));
}

void WidgetPropertiesDialog::buildScaleGroup(QFormLayout* form)
{
    const auto scaleSpin = [](const char* name) {
        auto* spin = new QDoubleSpinBox;
        spin->setObjectName(QLatin1String(name));
        spin->setRange(-1000000.0, 1000000.0);
        spin->setDecimals(2);
        return spin;
    };
    minSpin = scaleSpin("minSpin");
    maxSpin = scaleSpin("maxSpin");
    form->addRow(tr("Min:"), minSpin);
    form->addRow(tr("Max:"), maxSpin);

    double min = 0.0;
    double max = 100.0;
    hasEndpoints = DashConfig::barScaleRange(mask->node, min, max, scaleScope());
    if (hasEndpoints) {
        // A hand-edited endpoint beyond the usual range is shown as it is.
        for (auto [spin, value] : {std::pair{minSpin, min}, std::pair{maxSpin, max}}) {
            spin->setRange(std::min(-1000000.0, value), std::max(1000000.0, value));
            spin->setValue(value);
        }
        // As shown, rounded to two decimals: an OK without a change must not
        // rewrite 0.125 as 0.13.
        initialMin = minSpin->value();
        initialMax = maxSpin->value();
    } else {
        minSpin->setEnabled(false);
        maxSpin->setEnabled(false);
    }

    zeroCheck = new QCheckBox(tr("Show 0 mark"));
    zeroCheck->setObjectName(QStringLiteral("zeroCheck"));
    zeroCheck->setToolTip(tr("Add a tick + label at the zero point of the bar. "
                             "Available only when Min is negative and Max is positive."));
    const bool zeroPossible = hasEndpoints && min < 0 && max > 0;
    zeroCheck->setEnabled(zeroPossible);
    initialZeroMark = zeroPossible && hasBarZeroMark(mask->node, scaleScope());
    zeroCheck->setChecked(initialZeroMark);
    form->addRow(zeroCheck);

    if (!hasEndpoints) {
        QLabel* missing = note(tr("This Bar has no StepScale endpoints to edit. "
                                  "Rebind it to a channel to regenerate the scale block."));
        missing->setWordWrap(true);
        form->addRow(missing);
        return;
    }
    if (!config || mask->channel.isEmpty())
        return;
    // Only an exact long name counts here, unlike the property panel.
    const auto match = std::find_if(config->channels.begin(), config->channels.end(),
                                    [this](const ChannelInfo& c) { return c.longName == mask->channel; });
    double low = 0.0;
    double high = 0.0;
    if (match != config->channels.end() && match->fid > 0 && config->channelRangeForFid(match->fid, low, high)
        && std::abs(min - low) < 1e-6 && std::abs(max - high) < 1e-6)
        form->addRow(note(tr("(values inherited from channel definition)")));
}

// A widget shown alone reaches the bars of its own group; a mask every bar.
pugi::xml_node WidgetPropertiesDialog::scaleScope() const
{
    return widget ? widget->node : pugi::xml_node();
}

void WidgetPropertiesDialog::markPageDirty()
{
    if (config && pageIndex >= 0)
        config->markPageDirty(pageIndex);
}

void WidgetPropertiesDialog::onAccepted()
{
    if (hasScaleGroup && hasEndpoints && minSpin && maxSpin) {
        // An endpoint the user left alone keeps its value in the file, not
        // the two-decimal one its spin box shows.
        const bool minChanged = std::abs(minSpin->value() - initialMin) >= 1e-9;
        const bool maxChanged = std::abs(maxSpin->value() - initialMax) >= 1e-9;
        double min = 0.0;
        double max = 0.0;
        DashConfig::barScaleRange(mask->node, min, max, scaleScope());
        if (minChanged)
            min = minSpin->value();
        if (maxChanged)
            max = maxSpin->value();
        if ((minChanged || maxChanged) && max > min) {
            DashConfig::setBarScaleRange(mask->node, min, max, scaleScope());
            markPageDirty();
        }
        if (zeroCheck) {
            const bool show = zeroCheck->isChecked() && zeroCheck->isEnabled();
            if (show != initialZeroMark) {
                DashConfig::setBarZeroMark(mask->node, show, scaleScope());
                markPageDirty();
            }
        }
    }
    accept();
}
