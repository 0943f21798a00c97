#pragma once

#include <QString>

namespace gallery {

// One gallery install: the item's slug and the one-time nonce that
// authorises its download. Both empty when a link was not an install link.
struct InstallRequest {
    QString slug;
    QString nonce;
};

} // namespace gallery
