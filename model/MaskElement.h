#pragma once

#include "model/WidgetModel.h"

#include <QColor>
#include <QString>
#include <pugixml.hpp>
#include <vector>

// Kinds in priority order: the highest-priority child class decides.
enum MaskKind : int {
    MaskAnalog = 0,
    MaskRing = 1,
    MaskDigit = 2,
    MaskBargraph = 3,
    MaskIcon = 4,
    MaskLabel = 5,
    MaskOther = 6,
};

// One placed mask (<e c="GMaskParam">) with its widgets. Records are rebuilt
// from the XML after every edit, so never keep a pointer to one across a
// change of its page's mask list.
struct MaskElement {
    QString id;
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    QString channel;
    QString channelShort;
    int kind = MaskOther;
    QString digitCharset;
    int digitPx = 0;
    QColor digitColour;
    QString labelCharset;
    int labelPx = 0;
    QColor labelColour;
    bool labelStyleSet = false;
    std::vector<WidgetModel> widgets;
    pugi::xml_node node;
};
