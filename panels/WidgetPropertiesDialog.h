#pragma once

#include <QDialog>
#include <pugixml.hpp>

class DashConfig;
class QCheckBox;
class QDoubleSpinBox;
class QFormLayout;
struct MaskElement;
struct WidgetModel;

// "Widget Properties": the read-only details of one mask or one widget of
// it and, for a bar, its scale range and zero mark. The dialog writes those
// two itself on OK, and only what the user changed; the caller runs it and
// then re-reads the mask from its XML.
class WidgetPropertiesDialog : public QDialog {
    Q_OBJECT

public:
    // `widget` null shows the whole mask. Nothing is kept past the dialog.
    WidgetPropertiesDialog(MaskElement* mask, WidgetModel* widget, DashConfig* config, int pageIndex,
                           QWidget* parent = nullptr);

private Q_SLOTS:
    void onAccepted();

private:
    void buildDetails(QFormLayout* form);
    void buildScaleGroup(QFormLayout* form);
    void markPageDirty();
    pugi::xml_node scaleScope() const;

    MaskElement* mask;
    WidgetModel* widget;
    DashConfig* config;
    int pageIndex;
    QDoubleSpinBox* minSpin = nullptr;
    QDoubleSpinBox* maxSpin = nullptr;
    QCheckBox* zeroCheck = nullptr;
    bool initialZeroMark = false;
    bool hasScaleGroup = false;
    double initialMin = 0.0;
    double initialMax = 0.0;
    bool hasEndpoints = false;
};
