#pragma once

#include <QColor>
#include <QString>
#include <pugixml.hpp>

struct MaskElement;

// The needle or ring of an Analog or Ring mask, as RS3 describes it in the
// parameters of the gauge element inside the mask. Lengths are page pixels,
// the pivot is relative to the mask's top-left.
struct GaugeGeometry {
    bool valid = false;
    double xpos = 0.0;
    double ypos = 0.0;
    double ragg = 0.0;  // outer radius; the needle's tip lies this far ahead of the pivot
    double ragbk = 0.0; // inner radius; the needle's base lies this far behind the pivot
    double base = 0.0;  // width of the needle's base
    QColor colour = QColor(255, 48, 48);
};

// The first Analog or Ring element of the mask, or a null node.
pugi::xml_node gaugeElement(pugi::xml_node maskNode);

GaugeGeometry readRingGaugeGeometry(pugi::xml_node maskNode);

// The first <p n=name> read as a number; the default when it is missing.
// A value that is not finite also counts as missing: a "nan" or "inf" in a
// file must not reach the painter's transform.
double gaugeParamDouble(pugi::xml_node element, const char* name, double def);

// The first <p n=name> trimmed; empty when missing.
QString gaugeParamText(pugi::xml_node element, const char* name);

// 0..8000 unless the mask has a bar widget; then that widget's scale.
void gaugeValueRange(const MaskElement& mask, double& minimum, double& maximum);

// Needle angle in degrees, clockwise from straight up: -120 at the minimum,
// +120 at the maximum, limited to that sweep. A value that is not finite
// (a "nan" or "inf" cell of a CSV export) stands at the minimum.
double needleAngle(double value, double minimum, double maximum);

// Fill fraction of a ring arc, 0..1; 0 for an empty range or a NaN value.
double ringFraction(double value, double minimum, double maximum);
