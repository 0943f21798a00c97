#pragma once

#include "artwork/BoxStyleInfo.h"
#include "artwork/IconPreviewInfo.h"
#include "artwork/MultiBoxInfo.h"
#include "editing/BarScaleCommand.h"
#include "model/ChannelInfo.h"
#include "model/ElementKey.h"
#include "model/PageModel.h"

#include <QColor>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <vector>

class DashConfig;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;
class QUndoStack;
class RunSettleWatch;

// The property editor at the right of the canvas: the selected mask or
// widget with its id, kind, channel, geometry, text styles, bar scale, box
// style, icon setup and artwork. The main window re-shows it after every
// rebuild of the model; between those it remembers the shown element itself
// and finds its records again before each use, so no edit can reach a record
// a save or an undo replaced. While it fills its own controls `filling` is
// set, so that setting a value never comes back as a user edit.
//
// Member definitions are split by concern: the form (PropertyPanel.cpp),
// showing a selection (PropertyPanelDisplay.cpp) and the edit handlers
// (PropertyPanelEdits.cpp).
class PropertyPanel : public QWidget {
    Q_OBJECT

public:
    explicit PropertyPanel(QWidget* parent = nullptr);
    ~PropertyPanel() override;

    static const QStringList& firmwareFontFamilies();
    static QString maskKindText(int kind);
    static QString widgetKindText(int kind);
    static bool channelMatchesName(const ChannelInfo& channel, const QString& name);
    // True while a text size spin shows "Auto": the element sets no size.
    static bool isAutoTextSize(const QSpinBox* spin);

    void setUndoStack(QUndoStack* stack);
    void setChannels(const std::vector<ChannelInfo>& list);
    void setPageContext(DashConfig* cfg, int page);
    void setConfig(DashConfig* cfg);
    void setConfigFileIndex(int index);
    void setPageSize(int w, int h);

    void clear();
    void showSelection(PageModel* page, int maskIndex, int widgetIndex);
    void showMask(MaskElement* m);
    void showWidget(MaskElement* m, WidgetModel* w);
    void refreshGeometry();
    // A value typed into a field and not yet committed is committed, as
    // leaving the field would: a save then writes what the user sees.
    void commitTyping();
    // A run of steps in the geometry fields that waits for its moment
    // becomes its history step now (geometrySettled then tells); nothing
    // without one. The history calls it before it steps.
    void settleGeometry();

    // canColour: Color... would not be refused.
    void setBarColorEnabled(bool visible, bool hasColour, bool canColour = true);
    void setIconPreviewEnabled(bool visible, bool hasPreview);
    void showIconInfo(bool isIcon, const IconPreviewInfo& info);
    void updateBoxInfo(const BoxStyleInfo& style, const MultiBoxInfo& multi);

protected:
    // A wheel turned over a field without the focus scrolls the panel.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

Q_SIGNALS:
    void valueAlignmentChanged(const QString& posAlign);
    void barColorRequested();
    void barColorRemoveRequested();
    void iconPreviewRequested();
    void iconPreviewRemoveRequested();
    void positionChanged(int x, int y);
    void sizeChanged(int w, int h);
    // A run of steps was pushed as one move: what its art fit left to say
    // is the window's to show now.
    void geometrySettled();
    void fontChanged();
    void channelRebindRequested(const ChannelInfo& newChannel);
    // An edit the panel could not write, in words for the status bar.
    void editRefused(const QString& message);

private Q_SLOTS:
    void onSpinBoxChanged();
    void onValueFontChanged();
    void onLabelFontChanged();
    void pickValueColor();
    void pickLabelColor();
    void onLabelTextChanged();
    void onChannelComboChanged(int row);
    void onBarMinMaxChanged();
    void onBarEndTyped();
    void onBarShowZeroToggled(bool checked);
    void onAlignmentChosen();

private:
    // --- the form (PropertyPanel.cpp) ------------------------------------
    void buildArtwork();
    void fitArtInfo();
    void buildElementGroup();
    void buildGeometryGroups();
    void buildScaleGroup();
    void buildValueFontGroup();
    void buildBoxGroup();
    void buildLabelGroups();
    void buildIconGroups();
    void connectControls();
    void guardWheel();

    // --- showing a selection (PropertyPanelDisplay.cpp) ------------------
    int channelRow(const QString& name) const;
    void showChannel(const QString& name, bool isLabel);
    void setGeometryRanges(int xMax, int yMax, int wMin, int wMax, int hMin, int hMax);
    void setGeometryValues(int x, int y, int w, int h);
    static void fitSpin(QSpinBox* spin, int min, int max, int value);
    static void showTextSize(QSpinBox* spin, int px);
    void selectFontFamily(QComboBox* combo, const QString& charset);
    void showBarScale(const MaskElement& m, bool keepValuesWhenMissing);
    QString scaleNote(const MaskElement& m, double min, double max) const;
    void updateAlignmentHint(const WidgetModel* w);
    void updateArtworkInfo(const MaskElement* m);
    void hideArtwork();
    void showIconGraphic(const QString& path);
    QString iconTriggerText(const IconPreviewInfo& info) const;
    static void setRowShown(QFormLayout* form, QWidget* field, bool shown);
    static void setSwatchColor(QPushButton* button, const QColor& colour);

    // --- edits (PropertyPanelEdits.cpp) ----------------------------------
    void rememberShown();
    bool resolveShown();
    void markPageDirty();
    QRect committedGeometry(const QObject* from) const;
    bool applyWidgetGeometry(const QRect& typed);
    bool applyMaskGeometry(const QRect& typed);
    int shownMaskIndex() const;
    // A run of steps in a mask's geometry fields (an arrow held, steps in a
    // row): the canvas follows each step, and the history gets one step, and
    // the art one drawing, when the value settles (PropertyPanelGeometryRun.cpp).
    struct GeometryRun {
        int page = -1;
        int mask = -1;
        QRect origin;
        QRect reached;
    };
    void followGeometry(int maskIndex, const QRect& typed);
    pugi::xml_node scaleScope() const;
    bool writeBarScale(const BarScaleCommand::Change& change);
    bool showsOtherEnd(DashConfig::BarScaleEnd end, double value) const;
    void refuseScaleEnd(QDoubleSpinBox* typed);
    WidgetModel* maskTextSource(int widgetKind) const;
    static void writeCharset(WidgetModel& target, const QString& charset);
    static void writeCharsetPx(WidgetModel& target, int px);
    static void writeTextColour(WidgetModel& target, const QColor& colour);
    static void scaleBarPoints(pugi::xml_node bar, double factorX, double factorY);
    int fontCheckPx() const;
    void hideFontStatus();
    static QPixmap fontStatusPixmap(bool safe);
    void updateFontWarning();

    std::vector<ChannelInfo> channels;
    // The shown records as last found; `shown` names them in the open
    // configuration (null for records of the caller's own).
    MaskElement* mask = nullptr;
    WidgetModel* widget = nullptr;
    ElementKey shown;
    bool filling = false;
    int pageWidth = 800;
    int pageHeight = 480;
    DashConfig* fontConfig = nullptr;
    int deviceFileIndex = -1;
    DashConfig* config = nullptr;
    int pageIndex = -1;
    QUndoStack* undoStack = nullptr;
    GeometryRun geometryRun;
    QTimer* settleTimer = nullptr;
    RunSettleWatch* settleWatch = nullptr;

    QLabel* artPreview = nullptr;
    QLabel* artInfo = nullptr;
    // The artwork line as a whole; artInfo shows it fitted to the panel.
    QString artText;

    QLabel* idLabel = nullptr;
    QComboBox* channelCombo = nullptr;
    QLabel* typeLabel = nullptr;
    QLabel* alignLabel = nullptr;
    QComboBox* alignCombo = nullptr;

    QSpinBox* xSpin = nullptr;
    QSpinBox* ySpin = nullptr;
    QSpinBox* wSpin = nullptr;
    QSpinBox* hSpin = nullptr;

    QGroupBox* scaleGroup = nullptr;
    QDoubleSpinBox* minSpin = nullptr;
    QDoubleSpinBox* maxSpin = nullptr;
    QDoubleSpinBox* typedScaleField = nullptr; // typed into since its last commit
    QCheckBox* zeroCheck = nullptr;
    QLabel* scaleNoteLabel = nullptr;
    QPushButton* barColorButton = nullptr;
    QPushButton* barColorRemoveButton = nullptr;

    QComboBox* valueFontCombo = nullptr;
    QSpinBox* valueSizeSpin = nullptr;
    QLabel* fontStatusIcon = nullptr;
    QPushButton* valueColorButton = nullptr;

    QFormLayout* boxForm = nullptr;
    QLabel* boxStyleLabel = nullptr;
    QLabel* boxSwatch = nullptr;
    QLabel* boxColorText = nullptr;
    QWidget* boxLayoutRow = nullptr;
    QLabel* boxLayoutText = nullptr;
    QWidget* boxDividersRow = nullptr;
    QLabel* boxDividersText = nullptr;
    QWidget* boxCaptionRow = nullptr;
    QLabel* boxCaptionText = nullptr;
    QLabel* boxBorderLabel = nullptr;
    QLabel* boxWarning = nullptr;

    QGroupBox* labelFontGroup = nullptr;
    QComboBox* labelFontCombo = nullptr;
    QSpinBox* labelSizeSpin = nullptr;
    QPushButton* labelColorButton = nullptr;
    QGroupBox* labelTextGroup = nullptr;
    QLineEdit* labelTextEdit = nullptr;

    QGroupBox* iconSetupGroup = nullptr;
    QFormLayout* iconForm = nullptr;
    QLabel* iconFeatureLabel = nullptr;
    QWidget* iconGraphicRow = nullptr;
    QLabel* iconThumb = nullptr;
    QLabel* iconNameLabel = nullptr;
    QLabel* iconTriggerLabel = nullptr;
    QLabel* iconNote = nullptr;
    QGroupBox* iconPreviewGroup = nullptr;
    QPushButton* previewIconButton = nullptr;
    QPushButton* removePreviewButton = nullptr;
};
