#pragma once

#include <QString>

// What an icon mask shows and which alarm triggers it.
struct IconPreviewInfo {
    QString featureKey;  // OVERLAY2_ICONA_FEATUREKEY
    QString graphicFile; // absolute path of the icon's graphic, or empty
    QString description; // triggered-icon description, else the feature key
    int fid = -1;        // trigger channel (MCFid); -1 without a record
    int idf = -1;        // trigger IDF (MCIdf); -1 without a record
};
