#pragma once

#include <QString>

// One page template offered by the add-page dialog: a stock template of an
// RS3 set, or one of the homebrew store (then offered from its RS3 copy).
struct PageTemplate {
    QString folderPath;  // absolute
    QString pMainPath;   // folderPath + "/pMain.P2.xml"
    QString prwPath;     // folderPath + "/prw.png" when it exists
    QString bkgPath;     // folderPath + "/bkg.png" when it exists
    QString displayName; // AiM_folder.xml label, else folderName
    int sort = 99;
    QString folderName;  // the store folder's name for homebrew templates
    bool homebrew = false;
};
