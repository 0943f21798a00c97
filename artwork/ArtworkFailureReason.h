#pragma once

#include <QString>

class DashConfig;

// Why restyling a mask's stock art did not work, in words a racer
// understands: what is missing, where it was looked for and what to do. Read
// after the failed attempt, which leaves the configuration as it was (and
// DashConfig::sidecarFailure set when its record could not be written);
// empty when no cause can be named.
namespace ArtworkFailureReason {

// removingBox: the style asked for was "Clean (no box)", whose advice
// cannot be to choose it.
QString forBoxStyle(const DashConfig& config, int page, int mask, bool removingBox = false);
QString forBarColor(const DashConfig& config, int page, int mask);
// Adding a multi-value box (Insert Element, Convert to a multi-value box):
// only its records can stop it.
QString forMultiBox(const DashConfig& config);

} // namespace ArtworkFailureReason
