// A mask's art parameters as a whole: put back as they were captured before
// an artwork replacement, or pointed at a sibling item of the same set.
#include "model/DashConfig.h"

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
    replaceParam(node, "PATH_REL_AiM_MASK", params.relPath, params.relPathPresent);
    replaceParam(node, "PATH_IMAGE_SFONDO_FW", params.sfondo, params.sfondoPresent);
    replaceParam(node, "PATH_IMAGE", params.image, params.imagePresent);
    replaceParam(node, "DE_FIT_SRC", params.fitSrc, params.fitSrcPresent);
    replaceParam(node, "M_BCOL", params.borderColour, params.borderColourPresent);
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
