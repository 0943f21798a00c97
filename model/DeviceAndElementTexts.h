#pragma once

#include <QString>

// Texts the configuration model gives for a device or a kind of element,
// defined beside the members that use them (editing/DashConfigBinding.cpp,
// editing/DashConfigProperties.cpp).

// The channel type code the firmware expects for an engine-speed channel on
// this device: "7" for the MXP/MXG 1.2/MXS 1.2 generation, "38" otherwise.
QString deviceSwtypCode(const QString& deviceName);

// Text of a kind of element for messages ("bar", "needle gauge", ...).
QString elementKindLabel(const char* className);
