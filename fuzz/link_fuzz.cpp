// Feeds arbitrary text to the dashtheme:// link parser. A link it accepts
// gives a slug that is one safe folder name (its nonce may be missing), and a
// link built again from a slug and a nonce parses to the same pair; anything
// else gives both empty.

#include "gallery/ThemeInstaller.h"
#include "model/PathGuard.h"

#include <QUrl>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const gallery::InstallRequest request = gallery::ThemeInstaller::parseInstallUrl(text);
    if (request.slug.isEmpty()) {
        if (!request.nonce.isEmpty())
            std::abort();
        return 0;
    }
    if (!PathGuard::isSafeName(request.slug))
        std::abort();
    if (request.nonce.isEmpty())
        return 0;
    const QString again = QStringLiteral("dashtheme://install/")
        + QString::fromLatin1(QUrl::toPercentEncoding(request.slug)) + QStringLiteral("?nonce=")
        + QString::fromLatin1(QUrl::toPercentEncoding(request.nonce));
    const gallery::InstallRequest reparsed = gallery::ThemeInstaller::parseInstallUrl(again);
    if (reparsed.slug != request.slug || reparsed.nonce != request.nonce)
        std::abort();
    return 0;
}
