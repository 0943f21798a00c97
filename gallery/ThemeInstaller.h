#pragma once

#include "gallery/InstallRequest.h"

#include <QObject>
#include <QString>

namespace gallery {

class UrlSchemeRegistry;

// Installs gallery items. The link half: reading dashtheme:// install links
// and registering the program as their handler.
class ThemeInstaller : public QObject {
    Q_OBJECT

public:
    // Slug and nonce of dashtheme://install/<slug>?nonce=<nonce> (scheme and
    // host in any case, slug and nonce decoded); both empty for any other
    // text, and for a slug that cannot be a folder name of its own.
    static InstallRequest parseInstallUrl(const QString& text);

    // Makes sure the current user's store names this program as the handler
    // of dashtheme:// links; true when it already did or was written.
    static bool registerUrlScheme();

    // The same against a given store, for the program at exePath. An
    // unchanged registration is never rewritten.
    static bool registerUrlScheme(UrlSchemeRegistry& registry, const QString& exePath);
};

} // namespace gallery
