#include "artwork/ArtworkElementLookup.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

namespace {

const MaskElement* failed(QString* error, const char* text)
{
    if (error)
        *error = QCoreApplication::translate("DashConfig", text);
    return nullptr;
}

} // namespace

const MaskElement* artworkElement(DashConfig& config, int page, int mask, QString* error)
{
    if (error)
        error->clear();
    if (!config.page(page))
        return failed(error, "no such page");
    const MaskElement* m = config.maskAt(page, mask);
    if (!m)
        return failed(error, "no such element");
    if (!m->node)
        return failed(error, "this element carries no XML node");
    return m;
}
