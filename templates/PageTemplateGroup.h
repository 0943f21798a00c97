#pragma once

#include "templates/PageTemplate.h"

#include <QString>
#include <QStringList>
#include <vector>

// The templates of one set folder, or of the homebrew store.
struct PageTemplateGroup {
    QString setFolder; // "homebrew" for the store group
    QString setLabel;
    int sort = 99;     // 1000 for the store group
    std::vector<PageTemplate> templates;
    bool homebrew = false;
    QStringList notRead; // links and special files met, each named with why
};
