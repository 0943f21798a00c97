// A mask's art parameters as a whole: put back as they were captured before
// an artwork replacement, or pointed at a sibling item of the same set.
#include "model/DashConfig.h"

#include "artwork/BoxArtProps.h"

#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <QDebug>

bool DashConfig::restoreArtworkProps(int pageIndex, int maskIndex, const ArtworkParams& params)
{
    MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m || !m->node)
        return false;
    const pugi::xml_node node = m->node;
    // Each parameter keeps its place among the others, so an undo gives back
    // the element as it was.
    const struct {
        const char* name;
        bool present;
        const QString& value;
    } art[] = {
        {"PATH_REL_AiM_MASK", params.relPathPresent, params.relPath},
        {"PATH_IMAGE_SFONDO_FW", params.sfondoPresent, params.sfondo},
        {"PATH_IMAGE", params.imagePresent, params.image},
        {"DE_FIT_SRC", params.fitSrcPresent, params.fitSrc},
        {"M_BCOL", params.borderColourPresent, params.borderColour},
    };
    for (const auto& param : art) {
        if (param.present)
            setMaskArtParam(node, param.name, param.value.toUtf8());
        else
            removeParams(node, param.name);
    }
    *m = parseMask(node);
    markPageDirty(pageIndex);
    return true;
}

bool DashConfig::swapArtworkItem(int pageIndex, int maskIndex, const QString& itemFolder)
{
    MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m || !m->node)
        return false;
    pugi::xml_node param = m->node.find_child_by_attribute("p", "n", "PATH_REL_AiM_MASK");
    if (!param)
        return false;
    QString next = itemFolder;
    next.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!next.endsWith(QLatin1Char('/')))
        next += QLatin1Char('/');
    // "Items/../../x" would pass the same-set test below and point the mask
    // outside its set; only a plain relative folder is taken.
    QString why;
    if (!PathGuard::isSafeRelativePath(next, &why)) {
        qWarning() << "swapArtworkItem: refusing item folder" << itemFolder << why;
        return false;
    }
    const QString current = QString::fromUtf8(param.text().get()).trimmed();
    if (itemsParentFolder(current).compare(itemsParentFolder(next), Qt::CaseInsensitive) != 0)
        return false;
    if (next == current)
        return true;
    while (param.first_child())
        param.remove_child(param.first_child());
    param.append_child(pugi::node_pcdata).set_value(next.toUtf8().constData());
    markPageDirty(pageIndex);
    return true;
}
