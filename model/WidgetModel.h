#pragma once

#include <QColor>
#include <QString>
#include <pugixml.hpp>

enum WidgetKind : int {
    WidgetLabel = 0,
    WidgetDigit = 1,
    WidgetBargraph = 2, // "Bargraph" and "BargraphTrapezio"; isTrapezio tells them apart
};

// The WidgetKind of an element by its class; -1 for any other element.
int widgetKindOf(pugi::xml_node e);

// One Digit, Label, Bargraph or BargraphTrapezio element inside a mask.
// `node` points into the owning DeviceFile's document.
struct WidgetModel {
    int kind = WidgetLabel;
    QString id;
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    QString posAlign;
    QString charset;
    int charsetPx = 0;
    QColor colour;
    QString axisRef;
    QString channel;
    QString channelShort;
    QString unit;
    int decimals = -1;
    QString text;
    double scaleMin = 0.0;
    double scaleMax = 100.0;
    bool isTrapezio = false;
    QColor barColour;
    int numChars = 0;
    int hidden = 0;
    pugi::xml_node node;
};
