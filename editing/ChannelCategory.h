#pragma once

#include <QString>

// What a channel most likely shows, guessed from its names and unit, with the
// font size and digit count a new value cell for it gets.
struct ChannelCategory {
    const char* label;
    int fontPx;
    int digits;
};

// Font px, digits and label of a channel's category; 0, 0 and an empty label
// when no category fits.
struct ChannelCategoryInfo {
    int fontPx = 0;
    int digits = 0;
    QString label;
};

// The first category whose rule matches, or null.
const ChannelCategory* channelCategoryFor(const QString& longName, const QString& shortName, const QString& unit);
ChannelCategoryInfo channelCategoryInfo(const QString& longName, const QString& shortName, const QString& unit);
