// A coloured bar through a resize. Its pictures have the element's size, so
// a resize draws them again from the stock item at the new size, into the
// folder of that state (the open on another computer finds the folder by the
// bar's size and draws it again). Its record follows too: the stock geometry
// that removing the colour puts back is scaled as the same resize scales an
// uncoloured bar, so the bar keeps the size the user gave it.
#include "model/DashConfig.h"

#include "artwork/BoxArtProps.h"
#include "artwork/BoxStyleSnapshot.h"
#include "artwork/ColoredBarArt.h"
#include "artwork/FittedBar.h"
#include "artwork/HomebrewItems.h"
#include "artwork/MadeArtFolders.h"
#include "model/XmlParams.h"

#include <QDebug>
#include <cmath>
#include <cstring>

using namespace ColoredBarArt;

namespace {

bool isOneOf(const char* name, std::initializer_list<const char*> names)
{
    for (const char* n : names) {
        if (std::strcmp(name, n) == 0)
            return true;
    }
    return false;
}

// The number before a first ',' scaled, the rest kept, as a rescaling move
// writes a child's parameter.
void scaleParam(pugi::xml_node param, double factor)
{
    const QByteArray old(param.text().get());
    const int comma = old.indexOf(',');
    QByteArray text = QByteArray::number(qint64(std::llround(leadingInt(old) * factor)));
    if (comma >= 0)
        text += old.mid(comma);
    param.text().set(text.constData());
}

// fitColoredBarToGeometry of a bar whose coloured pictures the user
// replaced: its own pictures fitted, its record's stock geometry set to
// originalCoords.
int fitReplacedBar(DashConfig& config, int pageIndex, int maskIndex, const QString& originalCoords)
{
    const pugi::xml_node node = config.maskAt(pageIndex, maskIndex)->node;
    QMap<QString, BarColorRecord> records = config.loadBarColorSidecar();
    const QString key = config.sidecarKey(pageIndex, maskIndex, SidecarStore::BarColors);
    const auto rec = records.find(key);
    const bool recorded = rec != records.end() && colouredBarOf(node, &*rec).recordFits;
    const auto fail = [&]() {
        config.fitWarning = QStringLiteral("Could not fit the replaced pictures of the bar %1 -- the dash will "
                                           "paint its earlier pictures. Close RaceStudio 3 and try the resize again.")
                                .arg(key);
        return 2;
    };
    // The record's store must be readable before anything is drawn, as for
    // a colouring drawn again.
    if (recorded && !config.sidecarsReadable({SidecarStore::BarColors}))
        return fail();
    const BoxStyleSnapshot before = BoxStyleSnapshot::readFromMask(node);
    const int fitted = fitBarPictures(config, pageIndex, maskIndex);
    if (fitted != 1)
        return fitted;
    // Remove color gives the stock art at the size the bar has now.
    if (recorded && rec->originalCoords != originalCoords) {
        rec->originalCoords = originalCoords;
        if (!config.stageBarColorSidecar(records)) {
            writeBoxArtProps(node, before);
            config.pages[size_t(pageIndex)].masks[size_t(maskIndex)] = config.parseMask(node);
            return fail();
        }
    }
    config.pages[size_t(pageIndex)].masks[size_t(maskIndex)] = config.parseMask(node);
    config.markPageDirty(pageIndex);
    return 1;
}

} // namespace

QString DashConfig::scaledBarGeometryText(const QString& text, const QSize& from, const QSize& to, bool rescale)
{
    if (text.isEmpty() || from == to || from.width() < 1 || from.height() < 1 || to.width() < 1 || to.height() < 1)
        return text;
    // The text laid out as a bar in a mask, so the very code that moves a
    // bar's outline moves this one.
    pugi::xml_document doc;
    pugi::xml_node mask = doc.append_child("e");
    pugi::xml_node bar = mask.append_child("e");
    bar.append_attribute("c") = "Bargraph";
    for (const QString& part : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const int eq = part.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        pugi::xml_node p = bar.append_child("p");
        p.append_attribute("n") = part.left(eq).toUtf8().constData();
        const QByteArray value = part.mid(eq + 1).toUtf8();
        if (!value.isEmpty())
            p.text().set(value.constData());
    }
    DashConfig::scaleHotMouseLines(mask, from.width(), from.height(), to.width(), to.height(), false);
    if (rescale) {
        const double sx = double(to.width()) / from.width();
        const double sy = double(to.height()) / from.height();
        for (pugi::xml_node p = bar.child("p"); p; p = p.next_sibling("p")) {
            const char* name = p.attribute("n").value();
            if (isOneOf(name, {"XStart1", "XStart2", "XEnd1", "XEnd2", "WIDTH"}))
                scaleParam(p, sx);
            else if (isOneOf(name, {"YStart1", "YStart2", "YEnd1", "YEnd2", "HEIGHT"}))
                scaleParam(p, sy);
        }
    }
    return barGeometryText(bar);
}

int DashConfig::fitColoredBarToGeometry(int pageIndex, int maskIndex, const QString& originalCoords)
{
    MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m || !m->node || !findBargraphChild(m->node))
        return 0;
    const pugi::xml_node node = m->node;
    const QString current = QString::fromUtf8(paramValue(node, "PATH_REL_AiM_MASK"));
    // Art the user put in place of the colours cannot be drawn again from
    // the colouring: its own pictures are fitted, as a stock bar's are, and
    // the fit's stamp keeps naming the replaced item through later resizes.
    const QString fitOrigin = QString::fromUtf8(paramValue(node, "DE_FIT_SRC"));
    if (isReplacedBarSet(coloredBarTarget(current).setName) || isReplacedBarSet(coloredBarTarget(fitOrigin).setName))
        return fitReplacedBar(*this, pageIndex, maskIndex, originalCoords);
    QMap<QString, BarColorRecord> records = loadBarColorSidecar();
    const QString key = sidecarKey(pageIndex, maskIndex, SidecarStore::BarColors);
    const auto rec = records.find(key);
    // Wherever its coloured pictures lie (its own folder, a page template's
    // copy, a paste's item), a coloured bar is drawn again from its stock
    // item at the new size into a folder of its own.
    const ColouredBar coloured = colouredBarOf(node, rec == records.end() ? nullptr : &*rec);
    if (!coloured.coloured)
        return 0;
    const bool recorded = coloured.recordFits;
    const QString origin = coloured.origin;
    int width = 0;
    int height = 0;
    if (origin.isEmpty() || !elementDeclaredSize(node, width, height) || width < 1 || height < 1)
        return 0;

    const auto fail = [&]() {
        fitWarning = QStringLiteral("Could not draw the coloured bar %1 again at %2x%3 -- the dash will paint its "
                                    "earlier pictures. Close RaceStudio 3 and try the resize again.")
                         .arg(key, QString::number(width), QString::number(height));
        qWarning() << "fitColoredBarToGeometry: could not draw" << current << "at" << width << "x" << height;
        return 2;
    };
    // The record's store must be readable before anything is drawn: a
    // store that cannot be read would lose every record to this write.
    if (recorded && !sidecarsReadable({SidecarStore::BarColors}))
        return fail();
    MadeArtFolders made;
    // Pictures pasted into the coloured art come along into the new folder.
    const QString newRel = drawColoredBar(pageIndex, maskIndex, origin, width, height, &made,
                                          coloured.pasted ? current : QString());
    if (newRel.isEmpty())
        return fail();
    if (recorded && rec->originalCoords != originalCoords) {
        rec->originalCoords = originalCoords;
        if (!stageBarColorSidecar(records)) {
            made.removeAll();
            return fail();
        }
    }
    setParam(node, "PATH_REL_AiM_MASK", newRel.toUtf8());
    pages[size_t(pageIndex)].masks[size_t(maskIndex)] = parseMask(node);
    markPageDirty(pageIndex);
    qInfo() << "fitColoredBarToGeometry:" << key << "drawn at" << width << "x" << height << "in" << newRel;
    return 1;
}
