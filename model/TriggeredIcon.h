#pragma once

#include <QString>

// One triggered-icon alarm of "triconsmng.to.xml".
struct TriggeredIcon {
    QString description;
    int fid = 0;
    int idf = 0;
};
