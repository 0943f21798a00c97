// What the panel does when the user changes one of its controls. Every
// handler returns at once while the panel fills its own controls, and when
// nothing is shown.
//
// Text styles and colours go into the records and, at once, into the XML:
// records are rebuilt from the XML by a move, a rebind or a repair, which
// would otherwise drop an edit made since the last save.
#include "panels/PropertyPanel.h"
#include "artwork/BarShape.h"

#include "canvas/DashCanvas.h"
#include "editing/BarScaleCommand.h"
#include "editing/CheckedPush.h"
#include "editing/MoveCommand.h"
#include "model/ChannelKind.h"
#include "model/DashConfig.h"
#include "model/FirmwareFonts.h"
#include "model/XmlParams.h"
#include "panels/Asker.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPolygonF>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSpinBox>
#include <QUndoStack>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

const char* const kBarXPoints[] = {"XStart1", "XStart2", "XEnd1", "XEnd2", "XIMG"};
const char* const kBarYPoints[] = {"YStart1", "YStart2", "YEnd1", "YEnd2", "YIMG"};

pugi::xml_node firstParamNamed(pugi::xml_node element, const char* name)
{
    for (pugi::xml_node p = element.child("p"); p; p = p.next_sibling("p")) {
        if (std::strcmp(p.attribute("n").value(), name) == 0)
            return p;
    }
    return {};
}

void scalePoints(pugi::xml_node bar, const char* const (&names)[5], double factor)
{
    for (const char* name : names) {
        const pugi::xml_node p = firstParamNamed(bar, name);
        if (!p)
            continue;
        // Half away from zero: 136.5 becomes 137.
        const int v = leadingInt(QByteArray(p.text().get()));
        setParamInt(bar, name, int(std::lround(v * factor)));
    }
}

// Which control sent a text style edit decides what is written: a family
// choice never writes a size, a size never a family. A call without a sender
// writes both. A size spin at its "Auto" floor stands for an unset size,
// which stays unset.
struct StyleChange {
    bool family = false;
    bool size = false;
    QString charset;
    int px = 0;
};

StyleChange styleChange(const QObject* from, const QComboBox* combo, const QSpinBox* spin)
{
    StyleChange change;
    change.charset = combo->currentData().toString();
    change.px = spin->value();
    // The "(not set)" item names no family to write.
    change.family = from != spin && !change.charset.isEmpty();
    change.size = from != combo && !PropertyPanel::isAutoTextSize(spin);
    return change;
}

// The value a scale spin box shows for v, rounded to its decimals as the
// spin box rounds what it is given.
double shownScaleValue(const QDoubleSpinBox* spin, double v)
{
    return QString::number(v, 'f', spin->decimals()).toDouble();
}

QString joinedSizes(const QList<int>& sizes)
{
    QStringList parts;
    for (int s : sizes)
        parts << QString::number(s);
    return parts.join(QStringLiteral(", "));
}

} // namespace

// The shown records named by their elements, when they are records of the
// page the panel edits; records of the caller's own are used as given.
void PropertyPanel::rememberShown()
{
    shown = ElementKey();
    PageModel* page = config && mask ? config->page(pageIndex) : nullptr;
    if (!page)
        return;
    for (size_t m = 0; m < page->masks.size(); ++m) {
        if (&page->masks[m] != mask)
            continue;
        int w = -1;
        for (size_t i = 0; widget && i < mask->widgets.size(); ++i) {
            if (&mask->widgets[i] == widget)
                w = int(i);
        }
        if (!widget || w >= 0)
            shown = ElementKey::of(*config, pageIndex, int(m), w);
        return;
    }
}

// The shown records found again: a save, an undo or a re-parse may have
// rebuilt them since the panel was filled. False, with the panel emptied,
// when the element is gone; nothing is then written.
bool PropertyPanel::resolveShown()
{
    if (!mask)
        return false;
    if (shown.isNull())
        return true;
    const ElementKey::Place place = config ? shown.find(*config) : ElementKey::Place();
    if (place.mask < 0 || (shown.hasWidget && place.widget < 0)) {
        clear();
        return false;
    }
    mask = config->maskAt(shown.page, place.mask);
    widget = shown.hasWidget ? &mask->widgets[size_t(place.widget)] : nullptr;
    // A copy put back (reorder, undo) has nodes of its own: named by them.
    shown = ElementKey::of(*config, shown.page, place.mask, place.widget);
    return true;
}

void PropertyPanel::markPageDirty()
{
    if (config && pageIndex >= 0)
        config->markPageDirty(pageIndex);
}

// --- geometry -------------------------------------------------------------

void PropertyPanel::onSpinBoxChanged()
{
    if (filling || !resolveShown())
        return;
    const QRect typed = committedGeometry(sender());
    if (widget) {
        if (!applyWidgetGeometry(typed))
            return;
    } else if (!applyMaskGeometry(typed)) {
        return;
    }
    // Only the spin values from here on: pushing a move refreshes the panel
    // through the window's undo handler, which may show other records.
    markPageDirty();
    Q_EMIT positionChanged(xSpin->value(), ySpin->value());
    Q_EMIT sizeChanged(wSpin->value(), hSpin->value());
    updateFontWarning();
}

// The shown element's geometry with only the committed field taken from its
// spin box: the other three stay as the element has them, whatever their
// spin boxes show. A call without a sender takes all four.
QRect PropertyPanel::committedGeometry(const QObject* from) const
{
    const QRect current = widget ? QRect(widget->x, widget->y, widget->w, widget->h)
                                 : QRect(mask->x, mask->y, mask->w, mask->h);
    if (from == xSpin)
        return QRect(xSpin->value(), current.y(), current.width(), current.height());
    if (from == ySpin)
        return QRect(current.x(), ySpin->value(), current.width(), current.height());
    if (from == wSpin)
        return QRect(current.x(), current.y(), wSpin->value(), current.height());
    if (from == hSpin)
        return QRect(current.x(), current.y(), current.width(), hSpin->value());
    return QRect(xSpin->value(), ySpin->value(), wSpin->value(), hSpin->value());
}

// A widget typed into the panel is written directly; no undo step. Only the
// fields that changed are written, so a hand-edited value elsewhere stays.
// False when the geometry is refused: the spin boxes show the record again
// and the window says why.
bool PropertyPanel::applyWidgetGeometry(const QRect& typed)
{
    const QString refusal = barWidgetGeometryRefusal(config, mask->node, widget->node);
    if (!refusal.isEmpty() && typed != QRect(widget->x, widget->y, widget->w, widget->h)) {
        {
            QScopedValueRollback<bool> guard(filling, true);
            setGeometryValues(widget->x, widget->y, widget->w, widget->h);
        }
        Q_EMIT editRefused(refusal);
        return false;
    }
    const int oldX = widget->x;
    const int oldY = widget->y;
    const int oldW = widget->w;
    const int oldH = widget->h;
    widget->x = typed.x();
    widget->y = typed.y();
    widget->w = typed.width();
    widget->h = typed.height();
    const pugi::xml_node node = widget->node;
    if (!node)
        return true;
    if (widget->x != oldX)
        setParamInt(node, "XPOS", widget->x);
    if (widget->y != oldY)
        setParamInt(node, "YPOS", widget->y);
    if (widget->w != oldW)
        setParamInt(node, "WIDTH", widget->w);
    if (widget->h != oldH)
        setParamInt(node, "HEIGHT", widget->h);
    const bool resized = widget->w != oldW || widget->h != oldH;
    if (oldW >= 1 && oldH >= 1 && resized && DashCanvas::isBargraph(node))
        scaleBarPoints(node, double(widget->w) / oldW, double(widget->h) / oldH);
    return true;
}

// False when the move is refused: the mask cannot be found in its page, so
// no undo step could put it back. The spin boxes then show the record again.
bool PropertyPanel::applyMaskGeometry(const QRect& typed)
{
    const int newX = typed.x();
    const int newY = typed.y();
    const int newW = typed.width();
    const int newH = typed.height();
    if (newX == mask->x && newY == mask->y && newW == mask->w && newH == mask->h)
        return true;

    const int index = shownMaskIndex();
    if (index < 0) {
        QScopedValueRollback<bool> guard(filling, true);
        setGeometryValues(mask->x, mask->y, mask->w, mask->h);
        return false;
    }
    followGeometry(index, typed);
    return true;
}

int PropertyPanel::shownMaskIndex() const
{
    if (!config || pageIndex < 0)
        return -1;
    const PageModel* page = config->page(pageIndex);
    if (!page)
        return -1;
    for (size_t i = 0; i < page->masks.size(); ++i) {
        if (&page->masks[i] == mask)
            return int(i);
    }
    return -1;
}

void PropertyPanel::scaleBarPoints(pugi::xml_node bar, double factorX, double factorY)
{
    if (!DashCanvas::isBargraph(bar))
        return;
    // A factor of exactly 1 would only re-spell the texts ("12.5" to "12").
    if (factorX > 0 && factorX != 1.0)
        scalePoints(bar, kBarXPoints, factorX);
    if (factorY > 0 && factorY != 1.0)
        scalePoints(bar, kBarYPoints, factorY);
}

// --- text styles ----------------------------------------------------------

// The widget the mask's text style was read from: the first Digit that has
// a charset or a size, or the first Label.
WidgetModel* PropertyPanel::maskTextSource(int widgetKind) const
{
    for (WidgetModel& w : mask->widgets) {
        if (w.kind != widgetKind)
            continue;
        if (widgetKind == WidgetLabel || !w.charset.isEmpty() || w.charsetPx >= 1)
            return &w;
    }
    return nullptr;
}

// The save writer only rewrites parameters that exist, so a missing one is
// appended here or the edit would never reach the file.
void PropertyPanel::writeCharset(WidgetModel& target, const QString& charset)
{
    target.charset = charset;
    if (target.node)
        setParam(target.node, "CHAR_SET_ID_2", charset.toUtf8());
}

void PropertyPanel::writeCharsetPx(WidgetModel& target, int px)
{
    target.charsetPx = px;
    if (target.node)
        setParam(target.node, "CHARSET_DIM", QByteArray::number(px));
}

void PropertyPanel::writeTextColour(WidgetModel& target, const QColor& colour)
{
    target.colour = colour;
    if (target.node)
        setParam(target.node, "COLORE", argbColourText(colour));
}

void PropertyPanel::onValueFontChanged()
{
    if (filling || !resolveShown())
        return;
    const StyleChange change = styleChange(sender(), valueFontCombo, valueSizeSpin);
    if (!change.family && !change.size)
        return;
    WidgetModel* target = widget ? widget : maskTextSource(WidgetDigit);
    if (change.family) {
        if (!widget)
            mask->digitCharset = change.charset;
        if (target)
            writeCharset(*target, change.charset);
    }
    if (change.size) {
        if (!widget)
            mask->digitPx = change.px;
        if (target)
            writeCharsetPx(*target, change.px);
    }
    markPageDirty();
    Q_EMIT fontChanged();
    updateFontWarning();
}

// The mask's label style stands for every Label of the mask: an edit of it
// reaches them all, each keeping what the edit does not change.
void PropertyPanel::onLabelFontChanged()
{
    if (filling || !resolveShown())
        return;
    const StyleChange change = styleChange(sender(), labelFontCombo, labelSizeSpin);
    if (!change.family && !change.size)
        return;
    if (change.family)
        mask->labelCharset = change.charset;
    if (change.size)
        mask->labelPx = change.px;
    for (WidgetModel& label : mask->widgets) {
        if (label.kind != WidgetLabel)
            continue;
        if (change.family)
            writeCharset(label, change.charset);
        if (change.size)
            writeCharsetPx(label, change.px);
    }
    markPageDirty();
    Q_EMIT fontChanged();
}

// Button clicks: no guard test, since filling never clicks a button.
void PropertyPanel::pickValueColor()
{
    if (!resolveShown())
        return;
    // The swatch shows white for a widget without a colour of its own.
    const QColor initial = !widget ? mask->digitColour : widget->colour.isValid() ? widget->colour : QColor(Qt::white);
    const QColor chosen = Asker::instance().color(this, initial, tr("Value Color"), QColorDialog::ShowAlphaChannel);
    // The colour shown, taken again, is no edit.
    if (!chosen.isValid() || chosen == initial || !resolveShown())
        return;
    if (widget) {
        writeTextColour(*widget, chosen);
    } else {
        mask->digitColour = chosen;
        if (WidgetModel* source = maskTextSource(WidgetDigit))
            writeTextColour(*source, chosen);
    }
    setSwatchColor(valueColorButton, chosen);
    markPageDirty();
    Q_EMIT fontChanged();
}

void PropertyPanel::pickLabelColor()
{
    if (!resolveShown())
        return;
    const QColor initial = mask->labelColour;
    const QColor chosen = Asker::instance().color(this, initial, tr("Label Color"), QColorDialog::ShowAlphaChannel);
    if (!chosen.isValid() || chosen == initial || !resolveShown())
        return;
    mask->labelColour = chosen;
    for (WidgetModel& label : mask->widgets) {
        if (label.kind == WidgetLabel)
            writeTextColour(label, chosen);
    }
    setSwatchColor(labelColorButton, chosen);
    markPageDirty();
    Q_EMIT fontChanged();
}

void PropertyPanel::commitTyping()
{
    // A field keeps what is typed until Return or leaving it; interpreting
    // an untouched field changes no value, so it writes nothing.
    for (QAbstractSpinBox* field : findChildren<QAbstractSpinBox*>()) {
        if (field->isEnabled())
            field->interpretText();
    }
    onLabelTextChanged();
    // A save or a close writes the geometry a run of steps has reached.
    settleGeometry();
}

void PropertyPanel::onLabelTextChanged()
{
    if (filling || !resolveShown() || !widget || widget->kind != WidgetLabel)
        return;
    // Leaving the field without typing is no edit: writing would also stop
    // the firmware from updating a channel-derived text.
    const QString text = labelTextEdit->text();
    if (text == widget->text)
        return;
    widget->text = text;
    if (widget->node)
        setLabelTextParams(widget->node, text);
    markPageDirty();
    Q_EMIT fontChanged();
}

// --- channel and alignment: the main window does the work -----------------

void PropertyPanel::onChannelComboChanged(int row)
{
    if (filling || row < 1 || row > int(channels.size()) || !resolveShown())
        return;
    Q_EMIT channelRebindRequested(channels[size_t(row - 1)]);
}

void PropertyPanel::onAlignmentChosen()
{
    if (filling || !resolveShown() || !widget)
        return;
    const QString current = widget->posAlign;
    const QString vertical = current.isEmpty() ? QStringLiteral("b") : current.left(1);
    Q_EMIT valueAlignmentChanged(vertical + alignCombo->currentData().toString());
}

// --- bar scale ------------------------------------------------------------

void PropertyPanel::onBarMinMaxChanged()
{
    if (sender() == typedScaleField)
        typedScaleField = nullptr;
    if (filling || !resolveShown() || mask->kind != MaskBargraph || !mask->node)
        return;
    // Only the end the user committed is written: every other bar keeps its
    // own, and the end not typed keeps its value in the file (the spin box
    // shows it rounded to two decimals).
    double min = minSpin->value();
    double max = maxSpin->value();
    double fileMin = 0.0;
    double fileMax = 0.0;
    BarScaleCommand::Change change = BarScaleCommand::Change::range(min, max);
    auto* typed = qobject_cast<QDoubleSpinBox*>(sender());
    if (typed != minSpin && typed != maxSpin)
        typed = nullptr;
    if (DashConfig::barScaleRange(mask->node, fileMin, fileMax, scaleScope())) {
        if (typed) {
            const auto end = typed == minSpin ? DashConfig::BarScaleEnd::Min : DashConfig::BarScaleEnd::Max;
            // Return in a field nobody changed commits the value it shows:
            // that is no edit, and writing it would re-spell the scale's
            // name. Each group of bars of a whole mask has ends of its own:
            // the value goes to those that show another.
            if (!showsOtherEnd(end, typed->value()))
                return;
            if (typed == minSpin)
                max = fileMax;
            else
                min = fileMin;
            change = BarScaleCommand::Change::oneEnd(end, typed->value());
        } else if (min == shownScaleValue(minSpin, fileMin) && max == shownScaleValue(maxSpin, fileMax)) {
            return;
        }
    }
    if (!(max > min) || !writeBarScale(change)) {
        if (typed)
            refuseScaleEnd(typed);
        return;
    }
    // The push re-shows the panel through the window's undo handler.
    if (!resolveShown())
        return;
    if (config)
        scaleNoteLabel->setText(scaleNote(*mask, min, max));
    QScopedValueRollback<bool> guard(filling, true);
    const bool zeroPossible = min < 0 && max > 0;
    zeroCheck->setEnabled(zeroPossible);
    zeroCheck->setChecked(zeroPossible && hasBarZeroMark(mask->node, scaleScope()));
}

// A field typed into and committed without a change of its value: the
// value it shows may still be new to some bar of the mask.
void PropertyPanel::onBarEndTyped()
{
    if (sender() == typedScaleField)
        onBarMinMaxChanged();
}

// Some group of bars in scope shows that end other than `value`.
bool PropertyPanel::showsOtherEnd(DashConfig::BarScaleEnd end, double value) const
{
    const QDoubleSpinBox* spin = end == DashConfig::BarScaleEnd::Min ? minSpin : maxSpin;
    const QList<double> ends = DashConfig::barScaleEnds(mask->node, end, scaleScope());
    return std::any_of(ends.begin(), ends.end(), [&](double e) { return shownScaleValue(spin, e) != value; });
}

// A typed end that would turn some bar's scale around is not written: the
// field shows the file's value again, and the window says why.
void PropertyPanel::refuseScaleEnd(QDoubleSpinBox* typed)
{
    const double value = typed->value();
    {
        QScopedValueRollback<bool> guard(filling, true);
        showBarScale(*mask, true);
    }
    const QString text = typed == minSpin
        ? tr("Min %1 was not written: it must lie below the Max of every bar it reaches.")
        : tr("Max %1 was not written: it must lie above the Min of every bar it reaches.");
    Q_EMIT editRefused(text.arg(value));
}

void PropertyPanel::onBarShowZeroToggled(bool checked)
{
    if (filling || !resolveShown() || mask->kind != MaskBargraph || !mask->node)
        return;
    writeBarScale(BarScaleCommand::Change::mark(checked));
}

// The element the scale controls stand for: a shown widget reaches the bars
// of its own group, a shown mask every bar.
pugi::xml_node PropertyPanel::scaleScope() const
{
    return widget ? widget->node : pugi::xml_node();
}

// One bar scale edit as one undo step. Records of the caller's own, which no
// command can name, are written directly. False when nothing changed.
bool PropertyPanel::writeBarScale(const BarScaleCommand::Change& change)
{
    const int index = shownMaskIndex();
    int widgetIndex = -1;
    for (size_t i = 0; widget && i < mask->widgets.size(); ++i) {
        if (&mask->widgets[i] == widget)
            widgetIndex = int(i);
    }
    if (index < 0 || (widget && widgetIndex < 0)) {
        const bool wrote = BarScaleCommand::apply(mask->node, change, scaleScope());
        markPageDirty();
        return wrote;
    }
    bool applied = false;
    auto* command = new BarScaleCommand(config, pageIndex, index, widgetIndex, change, &applied);
    if (!undoStack) {
        std::unique_ptr<BarScaleCommand> once(command);
        once->redo();
        return applied;
    }
    return pushChecked(*undoStack, command, [&applied] { return applied; });
}

// --- firmware font check --------------------------------------------------

// The text size the firmware will draw, or 0 when nothing is to be checked.
int PropertyPanel::fontCheckPx() const
{
    if (widget) {
        if (widget->kind != WidgetLabel && widget->kind != WidgetDigit)
            return 0;
        int px = widget->charsetPx;
        if (px < 1)
            px = widget->h;
        if (px < 1 && mask->h > 0)
            px = std::max(8, mask->h / std::max(widget->numChars, 1));
        return std::max(px, 0);
    }
    if (mask->digitCharset.isEmpty() || mask->kind != MaskDigit)
        return 0;
    return effectiveFontPx(*mask);
}

void PropertyPanel::hideFontStatus()
{
    fontStatusIcon->hide();
    fontStatusIcon->setToolTip(QString());
}

QPixmap PropertyPanel::fontStatusPixmap(bool safe)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(50, 50, 50), 1));
    if (safe) {
        painter.setBrush(QColor(40, 180, 60));
        painter.drawEllipse(QRectF(2, 2, 12, 12));
        return pixmap;
    }
    painter.setBrush(QColor(255, 210, 0));
    painter.drawPolygon(QPolygonF({QPointF(8, 2), QPointF(2, 14), QPointF(14, 14)}));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRect(QRectF(7.4, 5, 1.2, 5));
    painter.drawRect(QRectF(7.4, 11.4, 1.2, 1.2));
    return pixmap;
}

// Compares the shown text size with the firmware fonts of the device: a
// size the dash has no font for comes out as corrupt glyphs.
void PropertyPanel::updateFontWarning()
{
    if (!fontConfig || deviceFileIndex < 0 || !resolveShown()) {
        hideFontStatus();
        return;
    }
    const int px = fontCheckPx();
    if (px < 1) {
        hideFontStatus();
        return;
    }
    const QSet<int> sizes = fontConfig->firmwareFontSizes(deviceFileIndex);
    if (sizes.isEmpty()) {
        hideFontStatus();
        return;
    }
    QList<int> sorted(sizes.begin(), sizes.end());
    std::sort(sorted.begin(), sorted.end());
    const bool safe = std::any_of(sorted.begin(), sorted.end(), [px](int s) { return std::abs(s - px) < 2; });
    const QString list = joinedSizes(sorted);
    QString tip;
    if (safe) {
        tip = QStringLiteral("Firmware-safe at %1 px. Bundled: {%2}.").arg(px).arg(list);
    } else {
        const auto [lower, upper] = nearestFirmwareSizes(px, sizes);
        QList<int> nearest;
        if (lower >= 0)
            nearest << lower;
        if (upper >= 0 && upper != lower)
            nearest << upper;
        tip = QStringLiteral("Warning: %1 px is not a bundled firmware font. The dash will render corrupt glyphs. "
                             "Bundled: {%2}. Nearest safe: %3.")
                  .arg(px)
                  .arg(list, joinedSizes(nearest));
    }
    fontStatusIcon->setPixmap(fontStatusPixmap(safe));
    fontStatusIcon->setToolTip(tip);
    fontStatusIcon->show();
}
