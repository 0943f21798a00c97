#pragma once

#include <QString>

// The four JSON stores beside a configuration. A mask without an id is named
// in each by the store's prefix and its index in its page ("bar3", "box3",
// "mbox3", "icon3").
enum class SidecarStore { BarColors, BoxStyles, MultiBoxes, IconPreviews };

// The mask's own part of a record key: its id, or the prefix and its index.
// Records are keyed by DashConfig::sidecarKey, which puts the page in front
// of this; files written before that hold this part alone.
QString sidecarKey(const QString& prefix, const QString& maskId, int maskIndex);
QString iconPreviewKey(const QString& maskId, int maskIndex);
