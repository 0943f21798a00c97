#pragma once

#include <QString>

// Sidecar records are keyed by the mask id, or by a prefix and the mask's
// index in its page when the mask has no id ("box3").
QString sidecarKey(const QString& prefix, const QString& maskId, int maskIndex);
QString iconPreviewKey(const QString& maskId, int maskIndex);
