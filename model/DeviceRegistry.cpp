#include "model/DeviceRegistry.h"

const std::vector<DeviceRow>& DeviceRegistry::devices()
{
    static const std::vector<DeviceRow> rows = [] {
        auto row = [](const char* id, const char* name, const char* family, const char* base,
                      int width, int height) {
            return DeviceRow{QString::fromLatin1(id), QString::fromLatin1(name),
                             QString::fromLatin1(family), QString::fromLatin1(base), width, height};
        };
        return std::vector<DeviceRow>{
            row("mxg_12", "MXG 1.2", "mxg_12", "s02/p01", 800, 480),
            row("mxs_12", "MXS 1.2", "mxs_12", "s02/p01", 800, 480),
            row("mxp", "MXP", "mxp", "s02/p01", 800, 480),
            row("mxsl", "MXS Strada Light", "mxsl", "s02/p01", 800, 480),
            row("mxt", "MXT 1.3", "mxt", "s02/p25ext", 1280, 480),
            row("pdm_dash1", "PDM32 10-inch", "pdm/dash1", "s02/p25ext", 1280, 480),
            row("pdm_dash2", "PDM32 6-inch", "pdm/dash2", "s02/p01", 800, 480),
            row("pdm08_dash1", "PDM08 10-inch", "pdm08/dash1", "s02/p25ext", 1280, 480),
            row("pdm08_dash2", "PDM08 6-inch", "pdm08/dash2", "s02/p01", 800, 480),
            row("solo2dl", "Solo 2 DL", "solo2dl", "s01/p04", 238, 99),
            row("fsw", "SW4 (Steering Wheel)", "fsw", "s02/p01", 800, 480),
        };
    }();
    return rows;
}
