#pragma once

#include "model/DeviceRow.h"

#include <vector>

// The fixed list of devices the editor supports, in menu order. Built once on
// first use; callers may keep references into it.
class DeviceRegistry {
public:
    static const std::vector<DeviceRow>& devices();
};
