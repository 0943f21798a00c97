#include "panels/BoxStyleDialog.h"

#include "artwork/BoxStyleLibrary.h"
#include "artwork/BoxStyleRenderer.h"
#include "panels/Asker.h"
#include "panels/WidgetSizePresets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QColor kBackdrop(8, 12, 20);
const QColor kDefaultAccent(90, 170, 255);
const QSize kThumbnailBox(116, 66);
const QSize kFallbackPreviewBox(180, 76);
const int kSwatchSize = 22;
const char* const kRgbProperty = "accentRgb";

struct Swatch {
    const char* name;
    QRgb rgb;
};

const Swatch kPalette[] = {
    {QT_TRANSLATE_NOOP("BoxStyleDialog", "Red"), 0xffff2d20},
    {QT_TRANSLATE_NOOP("BoxStyleDialog", "Orange"), 0xffff8c00},
    {QT_TRANSLATE_NOOP("BoxStyleDialog", "Yellow"), 0xffffe000},
    {QT_TRANSLATE_NOOP("BoxStyleDialog", "Green"), 0xff00e000},
    {QT_TRANSLATE_NOOP("BoxStyleDialog", "Cyan"), 0xff00d7eb},
    {QT_TRANSLATE_NOOP("BoxStyleDialog", "Blue"), 0xff1e90ff},
    {QT_TRANSLATE_NOOP("BoxStyleDialog", "Purple"), 0xff7b68ee},
    {QT_TRANSLATE_NOOP("BoxStyleDialog", "Magenta"), 0xffff00ff},
    {QT_TRANSLATE_NOOP("BoxStyleDialog", "White"), 0xffffffff},
    {QT_TRANSLATE_NOOP("BoxStyleDialog", "Grey"), 0xff8c94a0},
};

bool isPositive(const QSize& size)
{
    return size.width() > 0 && size.height() > 0;
}

// The style exists and draws a border whose width the spin box can set.
bool drawsBorder(const QString& styleId)
{
    const BoxStyle* style = BoxStyleLibrary::findById(styleId);
    return style && style->border;
}

void drawSample(QPainter& painter, const QRect& box, const QColor& colour, int pixelSize)
{
    QFont font = painter.font();
    font.setWeight(QFont::Bold);
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(box, Qt::AlignCenter, QStringLiteral("888"));
}

QPixmap styleThumbnail(const BoxStyle& style, const QSize& box, const QColor& accent)
{
    QPixmap pixmap(140, 84);
    pixmap.fill(kBackdrop);
    QPainter painter(&pixmap);
    const QRect boxRect((140 - box.width()) / 2, (66 - box.height()) / 2, box.width(), box.height());
    painter.drawImage(boxRect.topLeft(), BoxStyleRenderer::render(box, style.id, accent, 0, QString(), QColor()));
    drawSample(painter, boxRect, Qt::white, std::max(int(box.height() * 0.5), 10));

    QFont font = painter.font();
    font.setWeight(QFont::Normal);
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setPen(QColor(150, 200, 255));
    painter.drawText(QRect(0, 68, 140, 16), Qt::AlignCenter, style.displayName);
    return pixmap;
}

} // namespace

BoxStyleDialog::BoxStyleDialog(const QSize& size, const BoxStyleRecord& current, const QString& folder,
                               quint32 accentArgb, QWidget* parent)
    : QDialog(parent), maskSize(size), deviceFolder(folder)
{
    if (accentArgb != 0)
        accent = QColor::fromRgba(accentArgb);
    setWindowTitle(tr("Box designer"));
    // Tall enough that the style list shows two rows of styles beside all
    // the controls below it.
    resize(640, 720);
    auto* layout = new QVBoxLayout(this);

    styleList = new QListWidget(this);
    styleList->setViewMode(QListView::IconMode);
    styleList->setResizeMode(QListView::Adjust);
    styleList->setMovement(QListView::Static);
    styleList->setSpacing(10);
    styleList->setIconSize(QSize(150, 96));
    styleList->setUniformItemSizes(false);
    styleList->setMinimumHeight(2 * (96 + 2 * 10 + fontMetrics().lineSpacing()) + 2 * styleList->frameWidth());
    layout->addWidget(styleList, 1);

    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(new QLabel(tr("Size:"), this));
    sizeCombo = new QComboBox(this);
    sizeRow->addWidget(sizeCombo, 1);
    layout->addLayout(sizeRow);

    layout->addWidget(makeColorRow(tr("Color:"), QString(), &BoxStyleDialog::onSwatchClicked,
                                   &BoxStyleDialog::onCustomColor, &accentIndicator, &customAccentButton));
    layout->addWidget(makeColorRow(tr("Text:"),
                                   tr("Colour for every string this box draws \u2014 the value, its unit and the "
                                      "channel name."),
                                   &BoxStyleDialog::onTextSwatchClicked, &BoxStyleDialog::onCustomTextColor,
                                   &textIndicator));
    layout->addWidget(makeColorRow(tr("Pill:"),
                                   tr("Lettering on the caption tab. Leave unset and it is chosen automatically "
                                      "for contrast against the tab."),
                                   &BoxStyleDialog::onPillSwatchClicked, &BoxStyleDialog::onCustomPillColor,
                                   &pillIndicator));
    accentIndicator->setObjectName(QStringLiteral("accentIndicator"));
    textIndicator->setObjectName(QStringLiteral("textIndicator"));
    pillIndicator->setObjectName(QStringLiteral("pillIndicator"));
    showIndicator(accentIndicator, accent);

    dividersCheck = new QCheckBox(tr("Show dividers"), this);
    dividersCheck->setChecked(false);
    dividersCheck->hide();
    layout->addWidget(dividersCheck);

    auto* captionRow = new QHBoxLayout;
    captionRow->addWidget(new QLabel(tr("Caption:"), this));
    captionEdit = new QLineEdit(this);
    captionEdit->setPlaceholderText(tr("e.g. ENGINE -- empty = no tab"));
    captionRow->addWidget(captionEdit, 1);
    useChannelButton = new QPushButton(tr("Use channel name"), this);
    useChannelButton->setEnabled(false);
    captionRow->addWidget(useChannelButton);
    layout->addLayout(captionRow);

    auto* borderRow = new QHBoxLayout;
    borderRow->addWidget(new QLabel(tr("Border:"), this));
    borderSpin = new QSpinBox(this);
    borderSpin->setRange(0, 12);
    borderSpin->setSuffix(tr(" px"));
    borderSpin->setSpecialValueText(tr("Auto"));
    borderRow->addWidget(borderSpin);
    borderRow->addStretch();
    layout->addLayout(borderRow);

    preview = new QLabel(this);
    preview->setObjectName(QStringLiteral("preview"));
    preview->setAlignment(Qt::AlignCenter);
    preview->setFixedHeight(180);
    preview->setSizePolicy(QSizePolicy::Ignored, preview->sizePolicy().verticalPolicy());
    preview->setFrameShape(QFrame::StyledPanel);
    preview->setStyleSheet(QStringLiteral("background:#080c14;"));
    layout->addWidget(preview);

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);

    connect(styleList, &QListWidget::currentItemChanged, this, &BoxStyleDialog::onStyleChanged);
    connect(styleList, &QListWidget::itemDoubleClicked, this, &BoxStyleDialog::onAccept);
    connect(sizeCombo, &QComboBox::currentIndexChanged, this, &BoxStyleDialog::onSizeChanged);
    connect(dividersCheck, &QCheckBox::toggled, this, [this](bool on) { dividersChecked = on; });
    connect(useChannelButton, &QPushButton::clicked, this, [this] {
        if (!channelName.isEmpty())
            captionEdit->setText(channelName);
    });
    connect(captionEdit, &QLineEdit::textChanged, this, &BoxStyleDialog::onSizeChanged);
    connect(borderSpin, &QSpinBox::valueChanged, this, &BoxStyleDialog::onSizeChanged);
    connect(buttons, &QDialogButtonBox::accepted, this, &BoxStyleDialog::onAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    fillStyleList(current.styleId);
    fillSizeCombo();
    updateBorderEnabled();
    onSizeChanged();
}

QWidget* BoxStyleDialog::makeColorRow(const QString& label, const QString& tooltip,
                                      void (BoxStyleDialog::*swatchSlot)(), void (BoxStyleDialog::*customSlot)(),
                                      QLabel** indicator, QPushButton** customButton)
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(label, row);
    caption->setToolTip(tooltip);
    layout->addWidget(caption);
    for (const Swatch& swatch : kPalette) {
        auto* button = new QToolButton(row);
        button->setAutoRaise(true);
        button->setIcon(QIcon(swatchPixmap(QColor::fromRgba(swatch.rgb), false, kSwatchSize)));
        button->setIconSize(QSize(kSwatchSize, kSwatchSize));
        button->setToolTip(tr(swatch.name));
        button->setProperty(kRgbProperty, uint(swatch.rgb));
        connect(button, &QToolButton::clicked, this, swatchSlot);
        layout->addWidget(button);
    }
    layout->addSpacing(8);
    auto* custom = new QPushButton(tr("Custom..."), row);
    connect(custom, &QPushButton::clicked, this, customSlot);
    layout->addWidget(custom);
    if (customButton)
        *customButton = custom;
    *indicator = new QLabel(row);
    (*indicator)->setFixedSize(24, 24);
    (*indicator)->setFrameShape(QFrame::StyledPanel);
    layout->addWidget(*indicator);
    layout->addStretch();
    return row;
}

QSize BoxStyleDialog::thumbnailBoxSize(const QSize& mask)
{
    QSize box = kThumbnailBox;
    if (isPositive(mask)) {
        const double aspect = double(mask.width()) / mask.height();
        if (aspect < double(kThumbnailBox.width()) / kThumbnailBox.height())
            box = QSize(int(aspect * kThumbnailBox.height()), kThumbnailBox.height());
        else
            box = QSize(kThumbnailBox.width(), int(kThumbnailBox.width() / aspect));
    }
    return QSize(std::max(box.width(), 24), std::max(box.height(), 16));
}

void BoxStyleDialog::fillStyleList(const QString& currentId)
{
    const QSize box = thumbnailBoxSize(maskSize);
    const QColor thumbAccent = accent.isValid() ? accent : kDefaultAccent;
    for (const BoxStyle& style : BoxStyleLibrary::catalogue()) {
        auto* item = new QListWidgetItem(QIcon(styleThumbnail(style, box, thumbAccent)), QString(), styleList);
        item->setData(Qt::UserRole, style.id);
        item->setToolTip(style.displayName);
        item->setSizeHint(QSize(148, 92));
        if (style.id == currentId || (currentId.isEmpty() && style.id == cleanBoxStyleId()))
            styleList->setCurrentItem(item);
    }
    if (!styleList->currentItem() && styleList->count() > 0)
        styleList->setCurrentRow(0);
}

void BoxStyleDialog::fillSizeCombo()
{
    if (isPositive(maskSize))
        sizeCombo->addItem(tr("Keep current size (%1 x %2)").arg(maskSize.width()).arg(maskSize.height()));
    else
        sizeCombo->addItem(tr("Keep current size"));
    for (const WidgetSizePreset& preset : WidgetSizePresets::presetsFor(deviceFolder)) {
        sizeCombo->addItem(tr("%1  (%2 x %3)").arg(preset.label, QString::number(preset.size.width()),
                                                          QString::number(preset.size.height())),
                           preset.size);
    }
    sizeCombo->setCurrentIndex(0);
}

void BoxStyleDialog::setCaption(const QString& caption, int borderPx, const QString& channel)
{
    channelName = channel;
    captionEdit->setText(caption);
    borderSpin->setValue(borderPx);
    useChannelButton->setEnabled(!channelName.isEmpty());
}

void BoxStyleDialog::setTextColor(const QColor& colour)
{
    text = colour;
    showIndicator(textIndicator, text);
    onSizeChanged();
}

void BoxStyleDialog::setPillColor(const QColor& colour)
{
    pill = colour;
    showIndicator(pillIndicator, pill);
    onSizeChanged();
}

void BoxStyleDialog::setShowDividers(bool available, bool checked)
{
    dividersAvailable = available;
    dividersCheck->setVisible(available);
    dividersCheck->setChecked(checked);
    dividersChecked = checked;
}

QString BoxStyleDialog::caption() const
{
    return captionEdit->text().trimmed();
}

int BoxStyleDialog::borderWidth() const
{
    return borderSpin->value();
}

QString BoxStyleDialog::currentStyleId() const
{
    const QListWidgetItem* item = styleList->currentItem();
    return item ? item->data(Qt::UserRole).toString() : cleanBoxStyleId();
}

// The size combo's preset; invalid while "Keep current size" is chosen.
QSize BoxStyleDialog::presetSize() const
{
    const QSize size = sizeCombo->currentData().toSize();
    return isPositive(size) ? size : QSize();
}

void BoxStyleDialog::updateBorderEnabled()
{
    if (borderSpin)
        borderSpin->setEnabled(drawsBorder(currentStyleId()));
}

void BoxStyleDialog::onAccept()
{
    chosenStyle = currentStyleId();
    sizeChoice = presetSize();
    dividersChecked = dividersCheck->isChecked();
    accept();
}

void BoxStyleDialog::onStyleChanged()
{
    updateBorderEnabled();
    onSizeChanged();
}

void BoxStyleDialog::onSizeChanged()
{
    if (!preview || previewBusy)
        return;
    previewBusy = true;

    QSize box = presetSize();
    if (!box.isValid())
        box = isPositive(maskSize) ? maskSize : kFallbackPreviewBox;
    const double scale = std::min({std::max(preview->height() - 24, 80) / double(box.height()),
                                   std::max(preview->width() - 24, 120) / double(box.width()), 2.0});
    const QSize shown(std::max(int(box.width() * scale), 8), std::max(int(box.height() * scale), 6));
    const QImage art = BoxStyleRenderer::render(shown, currentStyleId(), accent.isValid() ? accent : kDefaultAccent,
                                                borderSpin ? borderSpin->value() : 0, caption(), pill);

    QPixmap pixmap(preview->size());
    pixmap.fill(kBackdrop);
    QPainter painter(&pixmap);
    const QRect boxRect((pixmap.width() - shown.width()) / 2, (pixmap.height() - shown.height()) / 2,
                        shown.width(), shown.height());
    if (!art.isNull())
        painter.drawImage(boxRect.topLeft(), art);
    drawSample(painter, boxRect, text.isValid() ? text : QColor(Qt::white), std::max(int(shown.height() * 0.5), 12));
    painter.end();
    preview->setPixmap(pixmap);

    previewBusy = false;
}

QColor BoxStyleDialog::senderColor() const
{
    const QObject* from = sender();
    bool ok = false;
    const uint rgb = from ? from->property(kRgbProperty).toUInt(&ok) : 0;
    return ok ? QColor::fromRgba(rgb) : QColor();
}

void BoxStyleDialog::onSwatchClicked()
{
    const QColor colour = senderColor();
    if (!colour.isValid())
        return;
    accent = colour;
    showIndicator(accentIndicator, accent);
    onSizeChanged();
}

void BoxStyleDialog::onTextSwatchClicked()
{
    if (const QColor colour = senderColor(); colour.isValid())
        setTextColor(colour);
}

void BoxStyleDialog::onPillSwatchClicked()
{
    if (const QColor colour = senderColor(); colour.isValid())
        setPillColor(colour);
}

void BoxStyleDialog::onCustomColor()
{
    const QColor chosen =
        Asker::instance().color(this, accent.isValid() ? accent : kDefaultAccent, tr("Box accent colour"));
    if (!chosen.isValid())
        return;
    accent = chosen;
    showIndicator(accentIndicator, accent);
    onSizeChanged();
}

void BoxStyleDialog::onCustomTextColor()
{
    const QColor chosen = Asker::instance().color(this, text.isValid() ? text : QColor(Qt::white), tr("Text colour"));
    if (chosen.isValid())
        setTextColor(chosen);
}

void BoxStyleDialog::onCustomPillColor()
{
    const QColor chosen = Asker::instance().color(this, pill.isValid() ? pill : QColor(Qt::black), tr("Caption colour"));
    if (chosen.isValid())
        setPillColor(chosen);
}

void BoxStyleDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    onSizeChanged();
}

void BoxStyleDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    onSizeChanged();
}

void BoxStyleDialog::showIndicator(QLabel* indicator, const QColor& colour)
{
    if (colour.isValid())
        indicator->setPixmap(swatchPixmap(colour, true, kSwatchSize));
    else
        indicator->clear();
}

QPixmap BoxStyleDialog::swatchPixmap(const QColor& colour, bool selected, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(colour);
    painter.setPen(selected ? QPen(Qt::white, 2) : QPen(QColor(0x3c, 0x46, 0x54), 1));
    painter.drawRoundedRect(QRect(1, 1, size - 2, size - 2), 4, 4);
    return pixmap;
}
