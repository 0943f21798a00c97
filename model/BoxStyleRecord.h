#pragma once

#include <QString>
#include <QtGlobal>

// A styled value box, kept in the ".boxstyles.json" sidecar.
struct BoxStyleRecord {
    QString styleId;
    QString originalPathRel;
    quint32 accentArgb = 0;
    bool showDividers = true;
    QString caption;
    int borderPx = 0;
    quint32 captionArgb = 0;

    bool operator==(const BoxStyleRecord& o) const
    {
        return styleId == o.styleId && originalPathRel == o.originalPathRel && accentArgb == o.accentArgb
            && showDividers == o.showDividers && caption == o.caption && borderPx == o.borderPx
            && captionArgb == o.captionArgb;
    }
    bool operator!=(const BoxStyleRecord& o) const { return !(*this == o); }
};
