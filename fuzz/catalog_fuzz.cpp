// Feeds arbitrary bytes to the gallery catalog parser. Every item it keeps
// must have a slug that can be a folder name of its own, and a body that is
// refused must say why and give no items.

#include "gallery/CatalogClient.h"
#include "model/PathGuard.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QString error;
    const QList<gallery::CatalogItem> items =
        gallery::CatalogClient::parseCatalog(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), &error);
    if (!error.isEmpty() && !items.isEmpty())
        std::abort();
    for (const gallery::CatalogItem& item : items) {
        if (!PathGuard::isSafeName(item.slug) || item.name.isEmpty())
            std::abort();
    }
    return 0;
}
