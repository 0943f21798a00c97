#pragma once

#include "model/MaskElement.h"

#include <QPixmap>
#include <QString>
#include <vector>

// One display page (<e c="GPageParam">) of a device file.
struct PageModel {
    QString name;
    int index = 0;
    int width = 800;
    int height = 480;
    QString backgroundPath;
    QPixmap background;
    std::vector<MaskElement> masks;
    int deviceFileIndex = 0;
    QString deviceFolder;
    QString relPagePath;
};
