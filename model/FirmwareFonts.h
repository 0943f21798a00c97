#pragma once

#include "model/MaskElement.h"

#include <QSet>
#include <QString>
#include <utility>

// Size arithmetic for the firmware bitmap fonts that travel with a
// configuration ("allfnt/<font>_<px>.fnt"). A dash can only draw digits in
// the sizes present; the canvas warns about the others.

// True when the path does not mention "pdm" (any case): the size warning
// applies only to those device folders.
bool isNonPdmPath(const QString& path);

// The mask's digit size, else 0.4 x its height (truncated), else 0.
int effectiveFontPx(const MaskElement& mask);

// False only for a Digit mask whose effective size is more than tolerance
// away from every size of a non-empty set.
bool isFontPxAvailable(const MaskElement& mask, const QSet<int>& sizes, int tolerance);

// (largest size <= px, smallest size >= px); -1 where there is none.
std::pair<int, int> nearestFirmwareSizes(int px, const QSet<int>& sizes);

// Linear map of v from [a, b] to [c, d], clamped to [c, d]; c when a >= b.
double lerpClamped(double v, double a, double b, double c, double d);
