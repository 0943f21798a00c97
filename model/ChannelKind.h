#pragma once

#include "model/ChannelInfo.h"

#include <QString>
#include <pugixml.hpp>

// The kind of quantity a channel carries, inferred from its names and unit.
// The channel-binding writer indexes its per-kind parameter table with it.
enum ChannelKind : int {
    ChannelEngineSpeed = 0,
    ChannelVehicleSpeed = 1,
    ChannelTemperature = 2,
    ChannelPressure = 3,
    ChannelVoltage = 4,
    ChannelBattery = 5,
    ChannelPercentage = 6,
    ChannelAnalogInput = 7, // callers write the unit "mV" for it
    ChannelLapTime = 8,
    ChannelLapNumber = 9,
    ChannelGearByName = 10,
    ChannelGearByUnit = 11,
    ChannelDistance = 12,
    ChannelOther = 13,
};

// Classifies from long name, short name and unit only; first rule wins.
int classifyChannelName(const ChannelInfo& channel);

// Mask layout predicates over the classes of the mask's direct <e> children.
bool isBarWithoutDigitMask(pugi::xml_node mask);
bool isPlainDigitMask(pugi::xml_node mask);
bool isDigitValueMask(pugi::xml_node mask);

// Digit, Label, Bargraph, BargraphTrapezio and AiM_Icona.
bool isKnownElementType(const QString& className);

// A placeholder resource name (LAPTIME_GPS, RPM_ONLY, ... or all digits)
// that does not name a real channel.
bool isFixedResourceName(const QString& name);

// A StepScale valued "0" placed strictly inside its bar (position 1..99).
bool isBarZeroMarkStep(pugi::xml_node step);

// The mask's first Bargraph/BargraphTrapezio child (of the selected
// element's group when one is given, isBarInScope) shows a zero mark inside
// its scale; false for a null node or a mask without such a bar.
bool hasBarZeroMark(pugi::xml_node mask, pugi::xml_node selected = pugi::xml_node());

// A bar whose scale has a zero step at position 0 valued 1..99, i.e. a scale
// laid out in steps rather than the stock 0/100 pair. The bar is chosen as
// for hasBarZeroMark.
bool isStepScaleBargraph(pugi::xml_node mask, pugi::xml_node selected = pugi::xml_node());
