#pragma once

#include "model/MaskElement.h"

#include <QString>
#include <vector>

// "base.1", "base.2", ...: the first such name no mask of the list uses.
QString uniqueMaskName(const std::vector<MaskElement>& masks, const QString& base);
