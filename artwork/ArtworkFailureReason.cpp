#include "artwork/ArtworkFailureReason.h"

#include "artwork/HomebrewItems.h"
#include "model/DashConfig.h"
#include "model/DeviceTables.h"
#include "model/InstallAdvice.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

const QLatin1String kOverlayPrefix("aim/resources/overlay/");

QString tr(const char* text)
{
    return QCoreApplication::translate("ArtworkFailureReason", text);
}

QString installsText()
{
    return InstallAdvice::foldersText(raceStudio3Root(), raceStudio3BetaRoot());
}

bool anyInstallExists()
{
    for (const QString& overlay : rs3OverlayRoots()) {
        if (QFileInfo(overlay).isDir())
            return true;
    }
    return false;
}

// A shared sentence as the clause after "... failed — ".
QString clause(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

QString noInstall()
{
    return clause(InstallAdvice::noInstall());
}

QString notPlaced(const QString& what)
{
    return tr("this %1 has no RaceStudio 3 artwork to start from (it was not placed from a RaceStudio 3 item). "
              "Insert one with Edit > Insert Element, or place it in RaceStudio 3, and style that.")
        .arg(what);
}

// The first overlay root (of `roots`) whose folder for the RS3-relative path
// holds a file matching the test; empty when none does.
template <typename Test>
QString findInRoots(const QStringList& roots, const QString& rel, Test holds)
{
    if (!rel.startsWith(kOverlayPrefix))
        return {};
    for (const QString& overlay : roots) {
        const QString folder = PathGuard::join(overlay, rel.mid(kOverlayPrefix.size()));
        if (!folder.isEmpty() && holds(folder))
            return folder;
    }
    return {};
}

QString itemMissing(const QString& origin, bool description)
{
    const QString what = description ? tr("its description (.M2.xml)") : tr("its picture (mask.png)");
    return tr("the RaceStudio 3 item this element was placed from (%1) is not in the install at %2: %3 was not "
              "found. Point Tools > Preferences at the RaceStudio 3 install this configuration was made with.")
        .arg(origin, installsText(), what);
}

QString deviceMissing(const QString& device)
{
    return tr("the RaceStudio 3 install at %1 has no folder for this device (%2), so there is nowhere to put the "
              "new artwork. Open the device once in RaceStudio 3, or set the install in Tools > Preferences.")
        .arg(installsText(), device);
}

QString notWritable()
{
    return tr("the new artwork could not be written into the RaceStudio 3 install at %1. Close RaceStudio 3 and "
              "check that the folder can be written to, then try again.")
        .arg(installsText());
}

bool deviceInSomeRoot(const QString& device)
{
    for (const QString& overlay : rs3OverlayRoots()) {
        if (!device.isEmpty() && QFileInfo(overlay + QLatin1Char('/') + device).isDir())
            return true;
    }
    return false;
}

QString originFromRecord(const QString& recorded, const QString& current, const QLatin1String& homebrewMarker,
                         bool* unrecorded)
{
    *unrecorded = false;
    if (!recorded.isEmpty())
        return recorded;
    if (current.contains(homebrewMarker) && !current.contains(QLatin1String("/Items/fit_"))) {
        *unrecorded = true;
        return {};
    }
    return current;
}

// The record beside the configuration that keeps the art's origin could
// not be written, so the edit was taken back with any art it drew (a box
// taken off draws none, nor does a box inserted where no install has the
// device): the install is not the cause.
QString recordNotWritten(const DashConfig& config, bool drew)
{
    const QString taken = drew ? tr("nothing was changed and any artwork drawn for it was removed again")
                               : tr("nothing was changed");
    return tr("its record beside the configuration could not be written (%1), so %2. Check that the "
              "configuration's folder can be written to, then try again.")
        .arg(config.sidecarFailure, taken);
}

// The causes both actions share once the origin is known: the box needs
// the item's description, the bar its picture.
QString originReason(const QString& origin, bool needsM2)
{
    if (!anyInstallExists())
        return noInstall();
    const QStringList roots = needsM2 ? rs3OverlayRoots() : allOverlayRoots();
    const QString folder = findInRoots(roots, origin, [needsM2](const QString& f) {
        return needsM2 ? !firstM2File(f).isEmpty() : QFileInfo(f + QStringLiteral("/mask.png")).isFile();
    });
    if (folder.isEmpty())
        return itemMissing(origin, needsM2);
    const QString refused = refusedFamilyFromPath(origin);
    if (!refused.isEmpty())
        return clause(InstallAdvice::familyNotAllowed(refused));
    const QString device = deviceFolderFromPath(origin);
    if (!deviceInSomeRoot(device))
        return deviceMissing(device);
    return notWritable();
}

} // namespace

namespace ArtworkFailureReason {

QString forBoxStyle(const DashConfig& config, int page, int mask, bool removingBox)
{
    const MaskElement* m = config.maskAt(page, mask);
    if (!m || !m->node)
        return {};
    for (const SidecarStore store : {SidecarStore::MultiBoxes, SidecarStore::BoxStyles}) {
        const QString unreadable = config.sidecarReadFailure(store);
        if (!unreadable.isEmpty())
            return unreadable;
    }
    if (!config.sidecarFailure.isEmpty())
        return recordNotWritten(config, !removingBox);
    const QString refused = config.refusedPageFamily(page);
    if (!refused.isEmpty())
        return clause(InstallAdvice::familyNotAllowed(refused));
    if (config.multiBoxRecord(page, mask).found) {
        // A multi-value box is drawn whole into its page's device folder.
        if (!anyInstallExists())
            return noInstall();
        const QString device = deviceFolderFromPath(config.pages[size_t(page)].relPagePath);
        return deviceInSomeRoot(device) ? notWritable() : deviceMissing(device);
    }
    const QString key = config.boxStyleKey(page, mask);
    const auto records = config.loadBoxStyleSidecar();
    const QString current = QString::fromUtf8(paramValue(m->node, "PATH_REL_AiM_MASK"));
    bool unrecorded = false;
    // A record the box was taken off waits for the save; it names no origin
    // of the art the mask shows now.
    const auto record = records.constFind(key);
    const QString recorded = record != records.constEnd() && DashConfig::boxStyleRecordFits(*record, m->node)
        ? record->originalPathRel
        : QString();
    const QString origin = originFromRecord(recorded, current, QLatin1String("/zbox_"), &unrecorded);
    if (unrecorded && removingBox)
        return tr("its artwork is already a Korvelanto box, and the RaceStudio 3 item it was made from is not "
                  "recorded for it (the .boxstyles.json file beside the configuration is missing, lacks it, or "
                  "holds an older record that several boxes could mean), so there is no AiM artwork to put back. "
                  "Delete the value and insert it again to get AiM's own box.");
    if (unrecorded)
        return tr("its artwork is already a Korvelanto box, and the RaceStudio 3 item it was made from is not "
                  "recorded (the .boxstyles.json file beside the configuration is missing or lacks it). Choose "
                  "\"Clean (no box)\" first, or insert the value again.");
    if (origin.isEmpty())
        return notPlaced(tr("box"));
    return originReason(origin, true);
}

QString forMultiBox(const DashConfig& config)
{
    for (const SidecarStore store : {SidecarStore::MultiBoxes, SidecarStore::BoxStyles}) {
        const QString unreadable = config.sidecarReadFailure(store);
        if (!unreadable.isEmpty())
            return unreadable;
    }
    return config.sidecarFailure.isEmpty() ? QString() : recordNotWritten(config, true);
}

QString forBarColor(const DashConfig& config, int page, int mask)
{
    const MaskElement* m = config.maskAt(page, mask);
    if (!m || !m->node)
        return {};
    const QString unreadable = config.sidecarReadFailure(SidecarStore::BarColors);
    if (!unreadable.isEmpty())
        return unreadable;
    if (!config.sidecarFailure.isEmpty())
        return recordNotWritten(config, true);
    const QString current = QString::fromUtf8(paramValue(m->node, "PATH_REL_AiM_MASK"));
    const ColouredBar bar = config.colouredBar(page, mask);
    const QString recorded = bar.coloured ? bar.origin : QString();
    if (bar.coloured && recorded.isEmpty())
        return tr("its artwork is already a recoloured copy, and the stock bar it was made from is not recorded "
                  "(the .barcolor.json file beside the configuration is missing or lacks it). Insert the bar again "
                  "to colour it.");
    const QString origin = recorded.isEmpty() ? current : recorded;
    if (origin.isEmpty())
        return notPlaced(tr("bar"));
    return originReason(origin, false);
}

} // namespace ArtworkFailureReason
