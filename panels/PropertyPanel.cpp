#include "panels/PropertyPanel.h"
#include "panels/RunSettleWatch.h"

#include "panels/KindWords.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

// The form, top to bottom. Controls carry their member name as object name,
// so that the main window's tests and style sheets can find them.

namespace {

template <typename T>
T* named(T* object, const char* name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}

QSpinBox* pixelSpin(const char* name, int min, int max)
{
    auto* spin = named(new QSpinBox, name);
    spin->setRange(min, max);
    spin->setSuffix(QStringLiteral(" px"));
    spin->setEnabled(false);
    spin->setKeyboardTracking(false);
    return spin;
}

// The panel is 220 px wide: a combo box asks for the room of a few
// characters, not of its longest item, and cuts a longer text, which its
// tool tip then holds whole.
QComboBox* narrowCombo(const char* name)
{
    auto* combo = named(new QComboBox, name);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(8);
    return combo;
}

QComboBox* fontCombo(const char* name)
{
    auto* combo = narrowCombo(name);
    for (const QString& family : PropertyPanel::firmwareFontFamilies())
        combo->addItem(family, family);
    combo->setEnabled(false);
    return combo;
}

QPushButton* colourButton(const char* name)
{
    auto* button = named(new QPushButton, name);
    button->setFixedSize(60, 24);
    button->setEnabled(false);
    return button;
}

// A row of widgets without margins, closed by a stretch when asked.
QWidget* row(std::initializer_list<QWidget*> widgets, bool stretch, int spacing = -1)
{
    auto* holder = new QWidget;
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    if (spacing >= 0)
        layout->setSpacing(spacing);
    for (QWidget* w : widgets)
        layout->addWidget(w);
    if (stretch)
        layout->addStretch();
    return holder;
}

} // namespace

PropertyPanel::PropertyPanel(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    buildArtwork();
    buildElementGroup();
    buildGeometryGroups();
    buildScaleGroup();
    buildValueFontGroup();
    buildBoxGroup();
    buildLabelGroups();
    buildIconGroups();
    layout->addStretch();
    connectControls();
    guardWheel();
}

// A field that has the focus finishes its editing when the panel's children
// go, after the panel itself is gone: it must find no handler then.
PropertyPanel::~PropertyPanel()
{
    if (settleWatch)
        settleWatch->stop();
    for (QWidget* field : std::initializer_list<QWidget*>{minSpin, maxSpin, labelTextEdit})
        disconnect(field, nullptr, this, nullptr);
}

// The panel scrolls in a narrow column: a wheel turned to scroll it must not
// change the field that happens to pass under the pointer. A field takes the
// wheel once the user has put the focus on it (the wheel itself gives none).
void PropertyPanel::guardWheel()
{
    QList<QWidget*> fields;
    for (QAbstractSpinBox* spin : findChildren<QAbstractSpinBox*>())
        fields << spin;
    for (QComboBox* combo : findChildren<QComboBox*>())
        fields << combo;
    for (QWidget* field : fields) {
        field->setFocusPolicy(Qt::StrongFocus);
        field->installEventFilter(this);
    }
}

bool PropertyPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel && !static_cast<QWidget*>(watched)->hasFocus()) {
        // Ignored, the wheel goes on to the parents: the scroll area scrolls.
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

const QStringList& PropertyPanel::firmwareFontFamilies()
{
    static const QStringList families{QStringLiteral("MicrogrammaDBolExt"), QStringLiteral("Basic Sans SF"),
                                      QStringLiteral("Huge Basic Sans Heavy SF")};
    return families;
}

QString PropertyPanel::maskKindText(int kind)
{
    return maskKindWord(kind, QStringLiteral("Unknown"));
}

QString PropertyPanel::widgetKindText(int kind)
{
    return QStringLiteral("Widget: ") + widgetKindWord(kind, QStringLiteral("Unknown"));
}

void PropertyPanel::buildArtwork()
{
    artPreview = named(new QLabel, "artPreview");
    artPreview->setAlignment(Qt::AlignCenter);
    artPreview->setMinimumHeight(96);
    artPreview->setStyleSheet(QStringLiteral("background:#0e1116; border:1px solid #2a2f38; border-radius:4px;"));
    artPreview->hide();
    artInfo = named(new QLabel, "artInfo");
    artInfo->setAlignment(Qt::AlignCenter);
    artInfo->setWordWrap(true);
    artInfo->setStyleSheet(QStringLiteral("color:#8b95a1; font-size:11px;"));
    artInfo->hide();
    layout()->addWidget(artPreview);
    layout()->addWidget(artInfo);
}

// Editor-made art names run longer than the panel is wide, and a centred
// label would cut them at both ends: a word too long for a line keeps its
// start, which names the page and the element; the tool tip has the path.
void PropertyPanel::fitArtInfo()
{
    const QMargins margins = layout()->contentsMargins();
    const int width = contentsRect().width() - margins.left() - margins.right();
    artInfo->ensurePolished();
    const QFontMetrics metrics = artInfo->fontMetrics();
    QStringList words = artText.split(QLatin1Char(' '));
    for (QString& word : words)
        word = metrics.elidedText(word, Qt::ElideRight, std::max(width, metrics.averageCharWidth()));
    artInfo->setText(words.join(QLatin1Char(' ')));
}

void PropertyPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!artText.isEmpty())
        fitArtInfo();
}

void PropertyPanel::buildElementGroup()
{
    auto* group = named(new QGroupBox(QStringLiteral("Element")), "elementGroup");
    auto* form = new QFormLayout(group);
    idLabel = named(new QLabel(QStringLiteral("--")), "idLabel");
    channelCombo = narrowCombo("channelCombo");
    channelCombo->addItem(tr("(none)"), -1);
    channelCombo->setEnabled(false);
    typeLabel = named(new QLabel(QStringLiteral("--")), "typeLabel");
    alignLabel = named(new QLabel(tr("Align:")), "alignLabel");
    alignCombo = named(new QComboBox, "alignCombo");
    alignCombo->addItem(tr("Left"), QStringLiteral("l"));
    alignCombo->addItem(tr("Centre"), QStringLiteral("c"));
    alignCombo->addItem(tr("Right"), QStringLiteral("r"));
    alignCombo->setEnabled(false);
    alignLabel->hide();
    alignCombo->hide();
    form->addRow(QStringLiteral("ID:"), idLabel);
    form->addRow(QStringLiteral("Channel:"), channelCombo);
    form->addRow(QStringLiteral("Type:"), typeLabel);
    form->addRow(alignLabel, alignCombo);
    layout()->addWidget(group);
}

void PropertyPanel::buildGeometryGroups()
{
    auto* position = named(new QGroupBox(QStringLiteral("Position")), "positionGroup");
    auto* positionForm = new QFormLayout(position);
    xSpin = pixelSpin("xSpin", 0, 800);
    ySpin = pixelSpin("ySpin", 0, 480);
    positionForm->addRow(QStringLiteral("X:"), xSpin);
    positionForm->addRow(QStringLiteral("Y:"), ySpin);

    auto* size = named(new QGroupBox(QStringLiteral("Size")), "sizeGroup");
    auto* sizeForm = new QFormLayout(size);
    wSpin = pixelSpin("wSpin", 10, 800);
    hSpin = pixelSpin("hSpin", 10, 480);
    sizeForm->addRow(QStringLiteral("Width:"), wSpin);
    sizeForm->addRow(QStringLiteral("Height:"), hSpin);

    layout()->addWidget(position);
    layout()->addWidget(size);
}

void PropertyPanel::buildScaleGroup()
{
    scaleGroup = named(new QGroupBox(QStringLiteral("Scale Range")), "scaleGroup");
    auto* form = new QFormLayout(scaleGroup);
    const auto scaleSpin = [](const char* name) {
        auto* spin = named(new QDoubleSpinBox, name);
        spin->setRange(-1000000.0, 1000000.0);
        spin->setDecimals(2);
        spin->setEnabled(false);
        // One scale edit per committed value, not one per keystroke.
        spin->setKeyboardTracking(false);
        return spin;
    };
    minSpin = scaleSpin("minSpin");
    maxSpin = scaleSpin("maxSpin");
    zeroCheck = named(new QCheckBox(tr("Show 0 mark")), "zeroCheck");
    zeroCheck->setToolTip(tr("Add a tick + label at the zero point of the bar. "
                             "Available only when Min is negative and Max is positive."));
    zeroCheck->setEnabled(false);
    scaleNoteLabel = named(new QLabel, "scaleNoteLabel");
    scaleNoteLabel->setStyleSheet(QStringLiteral("color: gray; font-style: italic; font-size: 10px;"));
    scaleNoteLabel->setWordWrap(true);
    barColorButton = named(new QPushButton(tr("Color…")), "barColorButton");
    barColorButton->setToolTip(tr("Recolour this bar's fill green→amber→red"));
    barColorRemoveButton = named(new QPushButton(tr("Remove color")), "barColorRemoveButton");
    barColorRemoveButton->setToolTip(tr("Revert this bar to its stock fill"));
    barColorRemoveButton->setEnabled(false);
    barColorButton->hide();
    barColorRemoveButton->hide();
    form->addRow(QStringLiteral("Min:"), minSpin);
    form->addRow(QStringLiteral("Max:"), maxSpin);
    form->addRow(zeroCheck);
    form->addRow(scaleNoteLabel);
    // Side by side the two buttons would need more than the panel's width.
    auto* colourButtons = new QWidget;
    auto* column = new QVBoxLayout(colourButtons);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(barColorButton);
    column->addWidget(barColorRemoveButton);
    form->addRow(tr("Color:"), colourButtons);
    scaleGroup->hide();
    layout()->addWidget(scaleGroup);
}

void PropertyPanel::buildValueFontGroup()
{
    auto* group = named(new QGroupBox(QStringLiteral("Value Font")), "valueFontGroup");
    auto* form = new QFormLayout(group);
    valueFontCombo = fontCombo("valueFontCombo");
    valueSizeSpin = pixelSpin("valueSizeSpin", 8, 300);
    fontStatusIcon = named(new QLabel, "fontStatusIcon");
    fontStatusIcon->setFixedSize(16, 16);
    fontStatusIcon->hide();
    QWidget* sizeRow = row({valueSizeSpin, fontStatusIcon}, false, 4);
    static_cast<QHBoxLayout*>(sizeRow->layout())->setStretchFactor(valueSizeSpin, 1);
    valueColorButton = colourButton("valueColorButton");
    form->addRow(QStringLiteral("Font:"), valueFontCombo);
    form->addRow(QStringLiteral("Size:"), sizeRow);
    form->addRow(QStringLiteral("Color:"), valueColorButton);
    layout()->addWidget(group);
}

void PropertyPanel::buildBoxGroup()
{
    auto* group = named(new QGroupBox(tr("Box")), "boxGroup");
    boxForm = new QFormLayout(group);
    boxStyleLabel = named(new QLabel(tr("None")), "boxStyleLabel");
    boxSwatch = named(new QLabel, "boxSwatch");
    boxSwatch->setFixedSize(14, 14);
    boxSwatch->setFrameShape(QFrame::Box);
    boxColorText = named(new QLabel(tr("—")), "boxColorText");
    boxLayoutText = named(new QLabel(tr("—")), "boxLayoutText");
    boxDividersText = named(new QLabel(tr("—")), "boxDividersText");
    boxCaptionText = named(new QLabel(tr("—")), "boxCaptionText");
    boxBorderLabel = named(new QLabel(tr("Auto")), "boxBorderLabel");
    for (QLabel* text : {boxStyleLabel, boxLayoutText, boxCaptionText})
        text->setWordWrap(true);
    boxWarning = named(new QLabel, "boxWarning");
    boxWarning->setWordWrap(true);
    boxWarning->setStyleSheet(QStringLiteral("color:#e0a020; font-size:11px;"));
    boxWarning->hide();
    boxLayoutRow = row({boxLayoutText}, true);
    boxDividersRow = row({boxDividersText}, true);
    boxCaptionRow = row({boxCaptionText}, true);
    boxForm->addRow(tr("Style:"), boxStyleLabel);
    boxForm->addRow(tr("Color:"), row({boxSwatch, boxColorText}, true));
    boxForm->addRow(tr("Layout:"), boxLayoutRow);
    boxForm->addRow(tr("Dividers:"), boxDividersRow);
    boxForm->addRow(tr("Caption:"), boxCaptionRow);
    boxForm->addRow(tr("Border:"), boxBorderLabel);
    boxForm->addRow(boxWarning);
    setRowShown(boxForm, boxCaptionRow, false);
    layout()->addWidget(group);
}

void PropertyPanel::buildLabelGroups()
{
    labelFontGroup = named(new QGroupBox(QStringLiteral("Label Font")), "labelFontGroup");
    auto* fontForm = new QFormLayout(labelFontGroup);
    labelFontCombo = fontCombo("labelFontCombo");
    labelSizeSpin = pixelSpin("labelSizeSpin", 8, 300);
    labelColorButton = colourButton("labelColorButton");
    fontForm->addRow(QStringLiteral("Font:"), labelFontCombo);
    fontForm->addRow(QStringLiteral("Size:"), labelSizeSpin);
    fontForm->addRow(QStringLiteral("Color:"), labelColorButton);
    labelFontGroup->hide();

    labelTextGroup = named(new QGroupBox(QStringLiteral("Label Text")), "labelTextGroup");
    auto* textForm = new QFormLayout(labelTextGroup);
    labelTextEdit = named(new QLineEdit, "labelTextEdit");
    labelTextEdit->setPlaceholderText(tr("(channel-derived)"));
    textForm->addRow(QStringLiteral("Text:"), labelTextEdit);
    labelTextGroup->hide();

    layout()->addWidget(labelFontGroup);
    layout()->addWidget(labelTextGroup);
}

void PropertyPanel::buildIconGroups()
{
    iconSetupGroup = named(new QGroupBox(tr("Icon setup")), "iconSetupGroup");
    auto* setupLayout = new QVBoxLayout(iconSetupGroup);
    iconForm = new QFormLayout;
    iconForm->setContentsMargins(0, 0, 0, 0);
    iconFeatureLabel = named(new QLabel, "iconFeatureLabel");
    iconFeatureLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    iconFeatureLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    iconFeatureLabel->setWordWrap(true);
    iconThumb = named(new QLabel, "iconThumb");
    iconThumb->setFixedSize(48, 48);
    iconThumb->setAlignment(Qt::AlignCenter);
    iconNameLabel = named(new QLabel, "iconNameLabel");
    iconNameLabel->setWordWrap(true);
    iconGraphicRow = row({iconThumb, iconNameLabel}, false);
    static_cast<QHBoxLayout*>(iconGraphicRow->layout())->setStretchFactor(iconNameLabel, 1);
    iconTriggerLabel = named(new QLabel, "iconTriggerLabel");
    iconTriggerLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    iconTriggerLabel->setWordWrap(true);
    iconForm->addRow(tr("Feature:"), iconFeatureLabel);
    iconForm->addRow(tr("Graphic:"), iconGraphicRow);
    iconForm->addRow(tr("Triggered by:"), iconTriggerLabel);
    iconNote = named(new QLabel, "iconNote");
    iconNote->setWordWrap(true);
    iconNote->setStyleSheet(QStringLiteral("QLabel { color:#8a8a8a; font-size:10px; }"));
    setupLayout->addLayout(iconForm);
    setupLayout->addWidget(iconNote);
    iconSetupGroup->hide();

    iconPreviewGroup = named(new QGroupBox(tr("Icon preview")), "iconPreviewGroup");
    auto* previewLayout = new QVBoxLayout(iconPreviewGroup);
    const QString previewOnly = tr("Preview only — the icon's real graphic and trigger are configured in "
                                   "RaceStudio 3's Icons Manager. This choice is not saved into the config.");
    auto* previewNote = named(new QLabel(previewOnly), "iconPreviewNote");
    previewNote->setWordWrap(true);
    previewNote->setStyleSheet(QStringLiteral("QLabel { color:#c9b96a; font-size:10px; }"));
    previewNote->setToolTip(previewOnly);
    previewIconButton = named(new QPushButton(tr("Preview icon…")), "previewIconButton");
    previewIconButton->setToolTip(tr("Pick a real AIM icon graphic to show on this element in the Korvelanto "
                                     "canvas mockup. Preview only — not saved into the config."));
    removePreviewButton = named(new QPushButton(tr("Remove preview")), "removePreviewButton");
    removePreviewButton->setToolTip(tr("Clear the layout-preview graphic on this icon element."));
    removePreviewButton->setEnabled(false);
    previewLayout->addWidget(previewNote);
    // Side by side the two buttons would need more than the panel's width.
    previewLayout->addWidget(previewIconButton);
    previewLayout->addWidget(removePreviewButton);
    iconPreviewGroup->hide();

    layout()->addWidget(iconSetupGroup);
    layout()->addWidget(iconPreviewGroup);
}

void PropertyPanel::connectControls()
{
    const auto indexChanged = qOverload<int>(&QComboBox::currentIndexChanged);
    const auto spinChanged = qOverload<int>(&QSpinBox::valueChanged);
    const auto doubleChanged = qOverload<double>(&QDoubleSpinBox::valueChanged);
    connect(channelCombo, indexChanged, this, &PropertyPanel::onChannelComboChanged);
    connect(alignCombo, indexChanged, this, &PropertyPanel::onAlignmentChosen);
    for (QSpinBox* spin : {xSpin, ySpin, wSpin, hSpin}) {
        connect(spin, spinChanged, this, &PropertyPanel::onSpinBoxChanged);
        // Return or leaving the field settles a run of steps at once.
        connect(spin, &QAbstractSpinBox::editingFinished, this, [this] { settleGeometry(); });
    }
    // A long family name may be cut at the panel's width; the tool tip holds it.
    for (QComboBox* combo : {valueFontCombo, labelFontCombo})
        connect(combo, &QComboBox::currentTextChanged, combo, &QWidget::setToolTip);
    connect(valueFontCombo, indexChanged, this, &PropertyPanel::onValueFontChanged);
    connect(valueSizeSpin, spinChanged, this, &PropertyPanel::onValueFontChanged);
    connect(valueColorButton, &QPushButton::clicked, this, &PropertyPanel::pickValueColor);
    connect(labelFontCombo, indexChanged, this, &PropertyPanel::onLabelFontChanged);
    connect(labelSizeSpin, spinChanged, this, &PropertyPanel::onLabelFontChanged);
    connect(labelColorButton, &QPushButton::clicked, this, &PropertyPanel::pickLabelColor);
    connect(labelTextEdit, &QLineEdit::editingFinished, this, &PropertyPanel::onLabelTextChanged);
    for (QDoubleSpinBox* spin : {minSpin, maxSpin}) {
        connect(spin, doubleChanged, this, &PropertyPanel::onBarMinMaxChanged);
        // Typing the value the field shows changes no value, yet on a whole
        // mask it is meant for every bar: Return commits it all the same.
        connect(spin->findChild<QLineEdit*>(), &QLineEdit::textEdited, this, [this, spin] { typedScaleField = spin; });
        connect(spin, &QAbstractSpinBox::editingFinished, this, &PropertyPanel::onBarEndTyped);
    }
    connect(zeroCheck, &QCheckBox::toggled, this, &PropertyPanel::onBarShowZeroToggled);
    connect(barColorButton, &QPushButton::clicked, this, &PropertyPanel::barColorRequested);
    connect(barColorRemoveButton, &QPushButton::clicked, this, &PropertyPanel::barColorRemoveRequested);
    connect(previewIconButton, &QPushButton::clicked, this, &PropertyPanel::iconPreviewRequested);
    connect(removePreviewButton, &QPushButton::clicked, this, &PropertyPanel::iconPreviewRemoveRequested);
}
