// Showing a selection: the operations the main window calls to fill the
// panel. Everything that sets a control runs with `filling` set.
#include "panels/PropertyPanel.h"

#include "canvas/DashCanvas.h"
#include "model/ChannelKind.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "panels/ElementCatalog.h"
#include "panels/ElementThumbnail.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSpinBox>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

QString labelsToolTip()
{
    return PropertyPanel::tr("Labels show static text. To display a channel value (e.g. Rolling_Sess_Time) at this "
                             "position, delete this Label and Insert a Digit widget bound to the channel.");
}

QString normalisedChannelName(const QString& name)
{
    QString n = name;
    n.replace(QLatin1Char('_'), QLatin1Char(' '));
    return n.simplified().toLower();
}

// "\" turned into "/", one trailing "/".
QString normalisedArtPath(const QString& path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p;
}

// A colour button with no colour shown: for an element without text, or
// nothing selected.
void blankSwatch(QPushButton* button)
{
    button->setStyleSheet(QString());
    button->setText(QString());
}

// A spin box that shows nothing, neither a number nor its bare unit: a blank
// special text at the bottom of the range (clear() alone leaves the number
// to come back at the next repaint).
void blankSpin(QSpinBox* spin)
{
    spin->setSpecialValueText(QStringLiteral(" "));
    spin->setValue(spin->minimum());
}

// Sets `flag` for the scope's lifetime.
class FillingScope {
public:
    explicit FillingScope(bool& flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~FillingScope() { m_flag = false; }
    FillingScope(const FillingScope&) = delete;
    FillingScope& operator=(const FillingScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

bool PropertyPanel::channelMatchesName(const ChannelInfo& channel, const QString& name)
{
    if (name.isEmpty())
        return false;
    if (channel.longName == name || channel.labelLongName == name)
        return true;
    const QString wanted = normalisedChannelName(name);
    return normalisedChannelName(channel.longName) == wanted || normalisedChannelName(channel.labelLongName) == wanted;
}

int PropertyPanel::channelRow(const QString& name) const
{
    if (name.isEmpty())
        return 0;
    for (size_t i = 0; i < channels.size(); ++i) {
        if (channelMatchesName(channels[i], name))
            return int(i) + 1;
    }
    return 0;
}

void PropertyPanel::setUndoStack(QUndoStack* stack)
{
    undoStack = stack;
}

void PropertyPanel::setChannels(const std::vector<ChannelInfo>& list)
{
    FillingScope guard(filling);
    channels = list;
    channelCombo->clear();
    channelCombo->addItem(tr("(none)"), -1);
    for (size_t i = 0; i < channels.size(); ++i) {
        const ChannelInfo& c = channels[i];
        const QString display = c.labelLongName.isEmpty() ? c.longName : c.labelLongName;
        const QString text = c.unit.isEmpty() ? display : QStringLiteral("%1 (%2)").arg(display, c.unit);
        channelCombo->addItem(text, int(i));
    }
}

void PropertyPanel::setPageContext(DashConfig* cfg, int page)
{
    settleGeometry();
    config = cfg;
    pageIndex = page;
}

void PropertyPanel::setConfig(DashConfig* cfg)
{
    fontConfig = cfg;
    updateFontWarning();
}

void PropertyPanel::setConfigFileIndex(int index)
{
    deviceFileIndex = index;
    updateFontWarning();
}

void PropertyPanel::setPageSize(int w, int h)
{
    // A smaller page clamps the shown values; that is no edit of the element.
    FillingScope guard(filling);
    pageWidth = w;
    pageHeight = h;
    const QRect shown(xSpin->value(), ySpin->value(), wSpin->value(), hSpin->value());
    setGeometryRanges(w, h, 10, w, 10, h);
    if (!mask && !widget) {
        // Nothing selected stays blank: a new page size brings back no numbers.
        for (QSpinBox* spin : {xSpin, ySpin, wSpin, hSpin})
            spin->setValue(spin->minimum());
        return;
    }
    setGeometryValues(shown.x(), shown.y(), shown.width(), shown.height());
}

void PropertyPanel::setGeometryRanges(int xMax, int yMax, int wMin, int wMax, int hMin, int hMax)
{
    xSpin->setRange(0, xMax);
    ySpin->setRange(0, yMax);
    wSpin->setRange(wMin, wMax);
    hSpin->setRange(hMin, hMax);
}

// The ranges widen to take the values: a spin box that clamped a hand-edited
// value (a label below its mask, a mask beyond the page) would show a value
// the element does not have, and a later commit would write it.
void PropertyPanel::setGeometryValues(int x, int y, int w, int h)
{
    for (QSpinBox* spin : {xSpin, ySpin, wSpin, hSpin})
        spin->setSpecialValueText(QString());
    fitSpin(xSpin, xSpin->minimum(), xSpin->maximum(), x);
    fitSpin(ySpin, ySpin->minimum(), ySpin->maximum(), y);
    fitSpin(wSpin, wSpin->minimum(), wSpin->maximum(), w);
    fitSpin(hSpin, hSpin->minimum(), hSpin->maximum(), h);
}

void PropertyPanel::fitSpin(QSpinBox* spin, int min, int max, int value)
{
    spin->setRange(std::min(min, value), std::max(max, value));
    spin->setValue(value);
}

// Text sizes run 8..300 px, widened to take the element's own size. An
// element without a size (the firmware sizes it) shows "Auto" one step
// below the range, so that no commit writes a size the user did not set.
void PropertyPanel::showTextSize(QSpinBox* spin, int px)
{
    if (px >= 1) {
        spin->setSpecialValueText(QString());
        fitSpin(spin, 8, 300, px);
    } else {
        spin->setSpecialValueText(tr("Auto"));
        fitSpin(spin, 7, 300, 7);
    }
}

bool PropertyPanel::isAutoTextSize(const QSpinBox* spin)
{
    return !spin->specialValueText().isEmpty() && spin->value() == spin->minimum();
}

void PropertyPanel::setRowShown(QFormLayout* form, QWidget* field, bool shown)
{
    if (QWidget* label = form->labelForField(field))
        label->setVisible(shown);
    field->setVisible(shown);
}

void PropertyPanel::setSwatchColor(QPushButton* button, const QColor& colour)
{
    button->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid gray;").arg(colour.name()));
    button->setText(colour.name());
}

// A charset that is none of the firmware families (a hand-edited
// "Digit_H72", or none at all) gets an item of its own after them, so that
// the combo never shows, and a commit never writes, a family the element
// does not use. Items carry the charset as their data.
void PropertyPanel::selectFontFamily(QComboBox* combo, const QString& charset)
{
    const int families = int(firmwareFontFamilies().size());
    while (combo->count() > families)
        combo->removeItem(combo->count() - 1);
    int index = combo->findData(charset);
    if (index < 0) {
        combo->addItem(charset.isEmpty() ? tr("(not set)") : tr("%1 (own)").arg(charset), charset);
        index = combo->count() - 1;
        combo->setItemData(index, tr("The element's own charset, kept as it is"), Qt::ToolTipRole);
    }
    combo->setCurrentIndex(index);
}

void PropertyPanel::clear()
{
    // A run of steps is written before the panel lets its element go.
    settleGeometry();
    hideArtwork();
    alignLabel->hide();
    alignCombo->hide();
    FillingScope guard(filling);
    mask = nullptr;
    widget = nullptr;
    shown = ElementKey();
    idLabel->setText(QStringLiteral("--"));
    typeLabel->setText(QStringLiteral("--"));
    channelCombo->setCurrentIndex(0);
    channelCombo->setEnabled(false);
    channelCombo->setToolTip(QString());
    // Nothing selected shows no values: the last element's numbers, font
    // and colour would read as if they still applied to something.
    setGeometryValues(0, 0, 10, 10);
    for (QSpinBox* spin : {xSpin, ySpin, wSpin, hSpin}) {
        spin->setEnabled(false);
        blankSpin(spin);
    }
    valueFontCombo->setEnabled(false);
    valueFontCombo->setCurrentIndex(-1);
    valueSizeSpin->setEnabled(false);
    blankSpin(valueSizeSpin);
    valueColorButton->setEnabled(false);
    blankSwatch(valueColorButton);
    fontStatusIcon->hide();
    labelFontGroup->hide();
    labelTextGroup->hide();
    labelTextEdit->clear();
    scaleGroup->hide();
    scaleNoteLabel->clear();
    barColorButton->hide();
    barColorRemoveButton->hide();
    barColorRemoveButton->setEnabled(false);
    iconPreviewGroup->hide();
    removePreviewButton->setEnabled(false);
    iconSetupGroup->hide();
    updateBoxInfo(BoxStyleInfo(), MultiBoxInfo());
}

void PropertyPanel::showSelection(PageModel* page, int maskIndex, int widgetIndex)
{
    settleGeometry();
    if (!page || maskIndex < 0 || maskIndex >= int(page->masks.size())) {
        clear();
        return;
    }
    MaskElement& m = page->masks[size_t(maskIndex)];
    if (widgetIndex < 0 || widgetIndex >= int(m.widgets.size()))
        showMask(&m);
    else
        showWidget(&m, &m.widgets[size_t(widgetIndex)]);
}

void PropertyPanel::showChannel(const QString& name, bool isLabel)
{
    channelCombo->setCurrentIndex(channelRow(name));
    if (isLabel) {
        channelCombo->setEnabled(false);
        channelCombo->setToolTip(labelsToolTip());
    } else {
        channelCombo->setEnabled(!channels.empty());
        // The combo may cut a long channel name at the panel's width.
        channelCombo->setToolTip(channelCombo->currentIndex() > 0 ? channelCombo->currentText() : QString());
    }
}

void PropertyPanel::showMask(MaskElement* m)
{
    settleGeometry();
    if (!m) {
        clear();
        return;
    }
    mask = m;
    widget = nullptr;
    rememberShown();
    updateArtworkInfo(m);
    alignLabel->hide();
    alignCombo->hide();
    FillingScope guard(filling);

    idLabel->setText(m->id);
    showChannel(m->channel, m->kind == MaskLabel);
    typeLabel->setText(maskKindText(m->kind));

    setGeometryRanges(pageWidth, pageHeight, 10, pageWidth, 10, pageHeight);
    setGeometryValues(m->x, m->y, m->w, m->h);
    for (QSpinBox* spin : {xSpin, ySpin, wSpin, hSpin}) {
        spin->setEnabled(true);
        spin->setReadOnly(false);
    }

    const bool hasValueFont = !m->digitCharset.isEmpty();
    valueFontCombo->setEnabled(hasValueFont);
    valueSizeSpin->setEnabled(hasValueFont);
    valueColorButton->setEnabled(hasValueFont);
    selectFontFamily(valueFontCombo, m->digitCharset);
    showTextSize(valueSizeSpin, m->digitPx);
    // A bar or an icon has no text colour to show.
    if (hasValueFont)
        setSwatchColor(valueColorButton, m->digitColour);
    else
        blankSwatch(valueColorButton);
    updateFontWarning();

    labelFontGroup->setVisible(m->labelStyleSet);
    if (m->labelStyleSet) {
        labelFontCombo->setEnabled(true);
        labelSizeSpin->setEnabled(true);
        labelColorButton->setEnabled(true);
        selectFontFamily(labelFontCombo, m->labelCharset);
        showTextSize(labelSizeSpin, m->labelPx);
        setSwatchColor(labelColorButton, m->labelColour);
    }
    labelTextGroup->hide();

    const bool bar = m->kind == MaskBargraph && m->node;
    scaleGroup->setVisible(bar);
    if (bar)
        showBarScale(*m, false);
}

void PropertyPanel::showWidget(MaskElement* m, WidgetModel* w)
{
    settleGeometry();
    updateArtworkInfo(m);
    updateAlignmentHint(m ? w : nullptr);
    if (!m || !w) {
        clear();
        return;
    }
    mask = m;
    widget = w;
    rememberShown();
    FillingScope guard(filling);

    idLabel->setText(w->id);
    showChannel(w->channel, w->kind == WidgetLabel);
    typeLabel->setText(widgetKindText(w->kind));

    setGeometryRanges(std::max(m->w, 0), std::max(m->h, 0), 0, std::max(m->w, 1), 0, std::max(m->h, 1));
    setGeometryValues(w->x, w->y, w->w, w->h);
    for (QSpinBox* spin : {xSpin, ySpin, wSpin, hSpin}) {
        spin->setEnabled(true);
        spin->setReadOnly(false);
    }

    const bool hasValueFont = w->kind != WidgetBargraph && (!w->charset.isEmpty() || w->charsetPx >= 1);
    valueFontCombo->setEnabled(hasValueFont);
    valueSizeSpin->setEnabled(hasValueFont);
    valueColorButton->setEnabled(hasValueFont);
    selectFontFamily(valueFontCombo, w->charset);
    showTextSize(valueSizeSpin, w->charsetPx);
    if (hasValueFont)
        setSwatchColor(valueColorButton, w->colour.isValid() ? w->colour : QColor(255, 255, 255));
    else
        blankSwatch(valueColorButton);

    labelFontGroup->hide();
    const bool isLabel = w->kind == WidgetLabel;
    labelTextGroup->setVisible(isLabel);
    if (isLabel) {
        labelTextEdit->setText(w->text);
        labelTextEdit->setReadOnly(false);
    }
    updateFontWarning();

    const bool bar = m->kind == MaskBargraph && m->node;
    scaleGroup->setVisible(bar);
    if (bar)
        showBarScale(*m, true);
}

void PropertyPanel::showBarScale(const MaskElement& m, bool keepValuesWhenMissing)
{
    double min = 0.0;
    double max = 100.0;
    const bool found = DashConfig::barScaleRange(m.node, min, max, scaleScope());
    minSpin->setEnabled(found);
    maxSpin->setEnabled(found);
    if (found) {
        // A hand-edited endpoint beyond the usual range is shown as it is.
        for (auto [spin, value] : {std::pair{minSpin, min}, std::pair{maxSpin, max}}) {
            spin->setRange(std::min(-1000000.0, value), std::max(1000000.0, value));
            spin->setValue(value);
        }
    } else if (!keepValuesWhenMissing) {
        minSpin->setValue(0.0);
        maxSpin->setValue(100.0);
    }
    scaleNoteLabel->setText(found ? scaleNote(m, min, max) : QString());
    const bool zeroPossible = found && min < 0 && max > 0;
    zeroCheck->setEnabled(zeroPossible);
    zeroCheck->setChecked(zeroPossible && hasBarZeroMark(m.node, scaleScope()));
}

QString PropertyPanel::scaleNote(const MaskElement& m, double min, double max) const
{
    if (!config || m.channel.isEmpty())
        return {};
    const auto match = std::find_if(channels.begin(), channels.end(),
                                    [&m](const ChannelInfo& c) { return channelMatchesName(c, m.channel); });
    double low = 0.0;
    double high = 0.0;
    if (match == channels.end() || match->fid < 1 || !config->channelRangeForFid(match->fid, low, high))
        return {};
    if (std::abs(min - low) < 1e-6 && std::abs(max - high) < 1e-6)
        return tr("(from channel definition)");
    return {};
}

void PropertyPanel::updateAlignmentHint(const WidgetModel* w)
{
    const bool shown = w && (w->kind == WidgetLabel || w->kind == WidgetDigit);
    alignLabel->setVisible(shown);
    alignCombo->setVisible(shown);
    if (!shown)
        return;
    // Set under the guard: choosing the item for a newly shown widget must
    // never reach the alignment handler, which would align the previous one.
    FillingScope guard(filling);
    const QSignalBlocker blocker(alignCombo);
    const bool boxed = w->w >= 1;
    alignCombo->setEnabled(boxed);
    alignCombo->setToolTip(boxed ? tr("Where the value sits inside its box.")
                                 : tr("This value has no fixed box — the firmware sizes it from the number of "
                                      "characters, so its position is the anchor point itself. Move the value "
                                      "instead of aligning it."));
    const QString key = w->posAlign.size() >= 2 ? w->posAlign.mid(1, 1).toLower() : QStringLiteral("l");
    const int index = alignCombo->findData(key);
    alignCombo->setCurrentIndex(index >= 0 ? index : 0);
}

void PropertyPanel::refreshGeometry()
{
    if (!resolveShown())
        return;
    {
        FillingScope guard(filling);
        if (widget)
            setGeometryValues(widget->x, widget->y, widget->w, widget->h);
        else
            setGeometryValues(mask->x, mask->y, mask->w, mask->h);
    }
    updateFontWarning();
}

void PropertyPanel::setBarColorEnabled(bool visible, bool hasColour, bool canColour)
{
    barColorButton->setVisible(visible);
    barColorButton->setEnabled(visible && canColour);
    barColorRemoveButton->setVisible(visible);
    barColorRemoveButton->setEnabled(visible && hasColour);
}

void PropertyPanel::setIconPreviewEnabled(bool visible, bool hasPreview)
{
    iconPreviewGroup->setVisible(visible);
    removePreviewButton->setEnabled(visible && hasPreview);
}

void PropertyPanel::hideArtwork()
{
    artPreview->clear();
    artPreview->hide();
    artText.clear();
    artInfo->clear();
    artInfo->hide();
}

void PropertyPanel::updateArtworkInfo(const MaskElement* m)
{
    const QString raw = m && m->node ? QString::fromUtf8(paramValue(m->node, "PATH_REL_AiM_MASK")).trimmed() : QString();
    if (raw.isEmpty()) {
        hideArtwork();
        return;
    }
    const QString path = normalisedArtPath(raw);
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    // Hand-edited files carry paths such as a lone backslash or " // ": nothing
    // names an element there, which is the same as no path at all.
    if (parts.isEmpty()) {
        hideArtwork();
        return;
    }
    const QString element = parts.last();
    QString set;
    for (int i = 1; i < parts.size(); ++i) {
        if (parts[i].compare(QLatin1String("items"), Qt::CaseInsensitive) == 0) {
            set = parts[i - 1];
            break;
        }
    }
    QString info = set.isEmpty() ? element : QStringLiteral("%1 / %2").arg(set, element);

    bool thumbnailShown = false;
    if (ElementCatalog::isLoaded() || ElementCatalog::load()) {
        const QList<ElementCatalogEntry>& entries = ElementCatalog::entries();
        const auto hit = std::find_if(entries.begin(), entries.end(), [&path](const ElementCatalogEntry& e) {
            return normalisedArtPath(e.relPath).compare(path, Qt::CaseInsensitive) == 0;
        });
        if (hit != entries.end()) {
            const QPixmap thumb = renderElementThumbnail(*hit, 150);
            if (!thumb.isNull()) {
                artPreview->setPixmap(thumb);
                artPreview->show();
                thumbnailShown = true;
            }
            info += QStringLiteral("  -  %1x%2").arg(hit->size.width()).arg(hit->size.height());
            if (!hit->scales.isEmpty())
                info += tr("  -  %n scale frame(s)", nullptr, int(hit->scales.size()));
        }
    }
    if (!thumbnailShown) {
        artPreview->clear();
        artPreview->hide();
    }
    artText = info;
    fitArtInfo();
    artInfo->setToolTip(path);
    artInfo->show();
}

void PropertyPanel::showIconInfo(bool isIcon, const IconPreviewInfo& info)
{
    if (!iconSetupGroup)
        return;
    iconSetupGroup->setVisible(isIcon);
    if (!isIcon)
        return;
    const bool configured = !info.featureKey.isEmpty();
    setRowShown(iconForm, iconFeatureLabel, configured);
    setRowShown(iconForm, iconGraphicRow, configured);
    setRowShown(iconForm, iconTriggerLabel, configured);
    if (!configured) {
        iconNote->setText(tr("Not configured in RS3 — use right-click → Preview icon for a layout mockup."));
        return;
    }
    iconFeatureLabel->setText(QString(info.featureKey).replace(QLatin1Char('_'), QLatin1Char(' ')));
    iconFeatureLabel->setToolTip(info.featureKey);
    showIconGraphic(info.graphicFile);
    iconTriggerLabel->setText(iconTriggerText(info));
    iconTriggerLabel->setToolTip(info.description);
    iconNote->setText(tr("Configured in RaceStudio 3 → Icons Manager (read-only)."));
}

void PropertyPanel::showIconGraphic(const QString& path)
{
    iconThumb->clear();
    iconThumb->hide();
    if (path.isEmpty()) {
        iconNameLabel->setText(tr("(graphic not installed)"));
        iconNameLabel->setToolTip(QString());
        return;
    }
    const QImage image = DashCanvas::loadImage(path);
    if (!image.isNull()) {
        iconThumb->setPixmap(QPixmap::fromImage(image.scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        iconThumb->show();
    }
    // "c_32x32_Fuel_Low_on" -> "Fuel Low"
    static const QRegularExpression sizePrefix(QStringLiteral("^[a-z]_\\d+x\\d+_"),
                                               QRegularExpression::CaseInsensitiveOption);
    const QFileInfo file(path);
    QString name = file.completeBaseName();
    name.remove(sizePrefix);
    if (name.endsWith(QLatin1String("_on"), Qt::CaseInsensitive))
        name.chop(3);
    else if (name.endsWith(QLatin1String("_off"), Qt::CaseInsensitive))
        name.chop(4);
    name.replace(QLatin1Char('_'), QLatin1Char(' '));
    iconNameLabel->setText(name.trimmed());
    iconNameLabel->setToolTip(file.fileName());
}

QString PropertyPanel::iconTriggerText(const IconPreviewInfo& info) const
{
    QString text = info.description;
    if (info.fid >= 0) {
        for (const ChannelInfo& c : channels) {
            if (c.fid == info.fid && (info.idf < 0 || c.idFis < 0 || c.idFis == info.idf) && !c.longName.isEmpty()) {
                text = c.longName;
                break;
            }
        }
    }
    return text.isEmpty() ? tr("(unknown)") : text;
}

void PropertyPanel::updateBoxInfo(const BoxStyleInfo& style, const MultiBoxInfo& multi)
{
    boxStyleLabel->setText(style.present ? style.styleName : tr("None"));

    if (style.present && !style.usesAccent) {
        boxSwatch->hide();
        boxColorText->setText(tr("fixed (style default)"));
    } else if (style.present && style.accentArgb != 0) {
        const QString name = QColor::fromRgba(quint32(style.accentArgb)).name();
        boxSwatch->setStyleSheet(QStringLiteral("background:%1;").arg(name));
        boxSwatch->show();
        boxColorText->setText(name);
    } else {
        boxSwatch->hide();
        boxColorText->setText(tr("—"));
    }

    setRowShown(boxForm, boxLayoutRow, multi.found);
    setRowShown(boxForm, boxDividersRow, multi.found);
    if (multi.found) {
        boxLayoutText->setText(QStringLiteral("%1 × %2, label %3").arg(multi.rows).arg(multi.cols).arg(multi.labelPlacement));
        boxDividersText->setText(style.showDividers ? tr("on") : tr("off"));
        const int cells = multi.rows * multi.cols;
        const int values = multi.digitCount;
        if (values == cells) {
            boxWarning->hide();
        } else {
            boxWarning->setText(tr("⚠ %1 cells, %2 value%3 — resizing this box will re-flow them onto the empty "
                                   "cell%4, and Undo will not put them back.")
                                    .arg(cells)
                                    .arg(values)
                                    .arg(values == 1 ? QString() : QStringLiteral("s"))
                                    .arg(cells - values == 1 ? QString() : QStringLiteral("s")));
            boxWarning->show();
        }
    } else {
        boxWarning->hide();
    }

    setRowShown(boxForm, boxCaptionRow, !style.caption.isEmpty());
    boxCaptionText->setText(style.caption.isEmpty() ? tr("—") : style.caption);
    boxBorderLabel->setText(style.borderPx < 1 ? tr("Auto") : QStringLiteral("%1 px").arg(style.borderPx));
}
