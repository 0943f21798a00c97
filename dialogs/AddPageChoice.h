#pragma once

#include "templates/PageTemplate.h"

#include <QString>

// What one run of the add-page dialog decided: its result code (0 cancelled,
// 1 a template chosen, 42 "Save Current Page as Template..."), the chosen
// template and the family folder the dialog was set to.
struct AddPageChoice {
    int result = 0;
    PageTemplate chosen;
    QString targetFamily;
};
