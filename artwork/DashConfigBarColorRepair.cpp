// The open-time repair of bar colour artwork: a coloured bar's folder that
// an install lacks is copied from an install that holds it, or drawn again
// from the bar whose state its name holds.
#include "model/DashConfig.h"

#include "artwork/ColoredBarArt.h"
#include "artwork/HeldArtFolder.h"
#include "artwork/HomebrewItems.h"
#include "artwork/MadeArtFolders.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSet>
#include <QSize>

using namespace ColoredBarArt;

namespace {

// True when the set's name holds `part` as a whole "_"-separated piece.
bool setNames(const QString& set, const QString& part)
{
    const QString piece = QLatin1Char('_') + part;
    return set.endsWith(piece) || set.contains(piece + QLatin1Char('_'));
}

// Whether the item's picture is missing from one of the installs (overlay
// roots) that has the device, and some install has it.
bool coloredBarMissing(const QStringList& roots, const QString& device, const QString& path)
{
    const QString picture =
        (path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/')) + QStringLiteral("mask.png");
    bool present = false;
    bool missing = false;
    for (const QString& overlayRoot : roots) {
        const QString deviceDir = PathGuard::join(overlayRoot, device);
        if (deviceDir.isEmpty() || !QFileInfo(deviceDir).isDir())
            continue;
        present = true;
        const QString file = PathGuard::join(installOfOverlayRoot(overlayRoot), picture);
        if (!file.isEmpty() && !QFileInfo::exists(file))
            missing = true;
    }
    return present && missing;
}

// The bar whose colouring made a coloured bar's folder, with the origin and
// size to draw it from again; page -1 when there is none to tell.
struct ColoredBarMaker {
    int page = -1;
    int mask = -1;
    QString origin;
    bool fromRecord = false;
    int width = 0;
    int height = 0;
    QStringList litStrips;
    BarFill fill = BarFill::LeftToRight;
    // The size the record's stock geometry gives: a bar resized by a build
    // that left its pictures at the colouring's size has its folder named
    // after that size.
    QSize recordedSize;
};

QSize recordedBarSize(const QString& coords)
{
    int w = 0;
    int h = 0;
    for (const QString& part : coords.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (part.startsWith(QLatin1String("WIDTH=")))
            w = leadingInt(part.mid(6).toUtf8());
        else if (part.startsWith(QLatin1String("HEIGHT=")))
            h = leadingInt(part.mid(7).toUtf8());
    }
    return w >= 1 && h >= 1 ? QSize(w, h) : QSize();
}

ColoredBarMaker coloredBarMaker(const DashConfig& config, const QString& path,
                                const QMap<QString, BarColorRecord>& records)
{
    std::vector<ColoredBarMaker> candidates;
    for (int p = 0; p < int(config.pages.size()); ++p) {
        for (int k = 0; k < int(config.pages[size_t(p)].masks.size()); ++k) {
            const pugi::xml_node node = config.pages[size_t(p)].masks[size_t(k)].node;
            if (!node || QString::fromUtf8(paramValue(node, "PATH_REL_AiM_MASK")) != path)
                continue;
            ColoredBarMaker c{p, k, QString::fromUtf8(paramValue(node, "DE_BARCOLOR_SRC")), false, 0, 0,
                              litStripNames(findBargraphChild(node)), barFillOf(findBargraphChild(node)), QSize()};
            const BarColorRecord record = records.value(config.sidecarKey(p, k, SidecarStore::BarColors));
            if (c.origin.isEmpty()) {
                c.origin = record.originalPathRel;
                c.fromRecord = !c.origin.isEmpty();
            }
            c.recordedSize = recordedBarSize(record.originalCoords);
            if (!c.origin.isEmpty() && elementDeclaredSize(node, c.width, c.height) && c.width >= 1 && c.height >= 1)
                candidates.push_back(c);
        }
    }
    // Bars that share a folder may have been resized since: only the
    // state (origin and size) the folder's name holds is the one it was
    // drawn for. A name that holds none (hand-named, or from a build that
    // did not name states) tells no size to draw at.
    const QString set = coloredBarTarget(path).setName;
    for (ColoredBarMaker c : candidates) {
        if (!isSafeOverlayPath(c.origin)) {
            qWarning() << "repairMissingColoredBars: refusing origin" << c.origin;
            continue;
        }
        const QString source = coloredBarSource(c.origin);
        if (source.isEmpty())
            continue;
        const QStringList stripFiles = litStripFiles(source, c.litStrips);
        // The bar's own size first; then the size its record tells.
        QList<QSize> sizes{QSize(c.width, c.height)};
        if (c.recordedSize.isValid() && c.recordedSize != sizes.first())
            sizes << c.recordedSize;
        for (const QSize& size : sizes) {
            if (setNames(set, coloredBarStateHash(source, c.origin, size.width(), size.height(), stripFiles))) {
                c.width = size.width();
                c.height = size.height();
                return c;
            }
        }
    }
    return {};
}

} // namespace

int DashConfig::repairMissingColoredBars()
{
    const QMap<QString, BarColorRecord> records = loadBarColorSidecar();
    // Looked up once: each look-up reads the settings and the disk.
    const QStringList roots = rs3OverlayRoots();
    // Every copy and drawing of the run is flushed once, when it is done;
    // in an open, with the open's other art, by the open.
    FolderCopy own;
    FolderCopy* const outer = artState.copies;
    FolderCopy& copies = outer ? *outer : own;
    artState.copies = &copies;
    const auto stopCopies = qScopeGuard([this, outer] { artState.copies = outer; });
    QSet<QString> seen;
    int count = 0;
    for (int p = 0; p < int(pages.size()); ++p) {
        if (artState.repairProgress)
            artState.repairProgress(p, int(pages.size()));
        for (int k = 0; k < int(pages[size_t(p)].masks.size()); ++k) {
            const pugi::xml_node node = pages[size_t(p)].masks[size_t(k)].node;
            if (!node)
                continue;
            const QString path = QString::fromUtf8(paramValue(node, "PATH_REL_AiM_MASK"));
            const auto rec = records.constFind(sidecarKey(p, k, SidecarStore::BarColors));
            if (!colouredBarOf(node, rec == records.constEnd() ? nullptr : &*rec).coloured
                || !path.startsWith(overlayPrefix()))
                continue;
            const int masksAt = path.indexOf(QLatin1String("/masks/"), overlayPrefix().size());
            if (masksAt <= overlayPrefix().size())
                continue;
            // Opening a file must never write outside the installs.
            if (!PathGuard::isSafeRelativePath(path) || seen.contains(path))
                continue;
            seen.insert(path);
            const QString device = path.mid(overlayPrefix().size(), masksAt - overlayPrefix().size());
            if (!coloredBarMissing(roots, device, path))
                continue;

            // An install that holds the folder is never written: the others
            // get a copy of it. Only when none does is it drawn, for the bar
            // whose state its name holds.
            const ColoredBarMaker maker = coloredBarMaker(*this, path, records);
            const HeldArtFolder held = heldArtFolder(roots, device, path, QStringLiteral("mask.png"));
            // A linked folder is neither read nor written: drawing the art
            // again would write through it.
            if (!held.linked.isEmpty()) {
                artState.notes << held.linked;
                if (!held.held())
                    continue;
            }
            if (held.held()) {
                MadeArtFolders made;
                QString error;
                if (!copyHeldArtFolder(held, made, copies, &error)) {
                    made.removeAll();
                    qInfo() << "repairMissingColoredBars: could not copy" << path << "from" << held.holding.first()
                            << "-" << error;
                    artState.notes << error;
                    continue;
                }
                qInfo() << "repairMissingColoredBars: copied" << path << "from" << held.holding.first();
            } else if (isReplacedBarSet(coloredBarTarget(path).setName)) {
                qInfo() << "repairMissingColoredBars: replaced art cannot be drawn again" << path << "- left";
                continue;
            } else if (maker.page < 0) {
                qInfo() << "repairMissingColoredBars: the folder's name holds no state of a bar that points at it"
                        << path << "- left";
                continue;
            } else if (!installColoredBarArt(maker.origin, path, maker.width, maker.height, maker.litStrips,
                                             maker.fill)) {
                continue;
            } else {
                qInfo() << "repairMissingColoredBars: rebuilt" << path
                        << (maker.fromRecord ? "(sidecar+stamped)" : "(prop)");
            }
            if (maker.page >= 0 && maker.fromRecord) {
                setParam(pages[size_t(maker.page)].masks[size_t(maker.mask)].node, "DE_BARCOLOR_SRC",
                         maker.origin.toUtf8());
                markPageDirty(maker.page);
            }
            ++count;
        }
    }
    if (!outer)
        noteArtCopies(copies);
    return count;
}
