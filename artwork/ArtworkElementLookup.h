#pragma once

#include <QString>

class DashConfig;
struct MaskElement;

// The element an artwork export or replacement works on; null with *error
// set for an unknown page or element, or one without its XML node. Clears
// *error first.
const MaskElement* artworkElement(DashConfig& config, int page, int mask, QString* error);
