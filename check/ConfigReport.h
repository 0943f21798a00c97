#pragma once

#include "check/ConfigFinding.h"

#include <QString>

// The plain-text config check report, as copied to the clipboard or passed
// on to a debug report. Not translated: support reads it.
namespace ConfigCheck {

// "ERROR  page 3 m12  <message>" (the consequence is not part of the line).
QString formatFindingLine(const ConfigFinding& finding);

// A title with the configuration name, a count line, then each finding's
// line followed by its consequence indented by eight spaces.
QString formatReport(const ConfigFindings& findings, const QString& configName);

} // namespace ConfigCheck
