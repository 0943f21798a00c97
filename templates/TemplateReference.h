#pragma once

#include <QString>

// An RS3 user configuration whose device files mention a homebrew template.
struct TemplateReference {
    QString cfgFolderName; // "cfg_..." below the install's user/cfgs
    QString configName;    // its first .aimcfg without the last extension, else cfgFolderName
    QString cfgFolderPath;
    int referenceCount = 0;
};
