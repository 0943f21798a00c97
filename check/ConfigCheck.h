#pragma once

#include "check/ConfigFinding.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <pugixml.hpp>

class DashConfig;
struct PageModel;

// The config check: rules that find what will go wrong when RaceStudio 3
// imports the open configuration or the dash draws it. Nothing here changes
// the configuration; the repair (ConfigRepair.h) shares the helpers below.
namespace ConfigCheck {

// --- the check ------------------------------------------------------------
ConfigFindings checkConfig(const DashConfig& config);
void addFinding(ConfigFindings& findings, int severity, int pageIndex, const QString& elementId, const char* code,
                const QString& message, const QString& consequence);
void checkPageBackground(ConfigFindings& findings, int pageIndex, const PageModel* page, const QStringList& roots);
// The page rule alone over every page: the "page-background" findings of
// checkConfig, in its order, for the open's report.
ConfigFindings checkPageBackgrounds(const DashConfig& config);
int countErrors(const ConfigFindings& findings);
// The "cross-set" finding a mask element with art folder maskRel would get on
// a page of pageSet (familySetOf of its template path) whose template
// folder is pageFolder; a finding with an empty code when it would get none.
// Page index and element id are left for the caller. The insert action asks
// it before placing a stock element, so the user hears of it beforehand.
ConfigFinding borrowedKindFinding(const QString& pageSet, const QString& pageFolder, const QString& maskRel,
                                  pugi::xml_node maskElement);
// Findings the repair can settle: repairable marker, bar-fill, page
// background and stale record findings.
int countRepairable(const ConfigFindings& findings);

// --- shared with the repair -------------------------------------------------
// The RS3 install roots (stable, then beta) that exist on this machine.
QStringList existingRs3Roots();
// "s01_std/p03" for ".../masks/set/standard/s01_std/p03/..."; empty when the
// path has no "/standard/" followed by two components.
QString standardSetOf(const QString& path);
// standardSetOf with the display family the path names in front
// ("pdm/dash2/s02/p01"): the same set folder of another display is another
// page set. Just standardSetOf when the path names no family.
QString familySetOf(const QString& path);
// The first root + "/" + relPath that exists. A path that would leave its
// root ("..", absolute, drive) counts as not found.
QString findInRoots(const QStringList& roots, const QString& relPath);
// Trimmed UTF-8 text of the first <p n=name> child; empty when none.
QString paramText(pugi::xml_node node, const char* name);
// The integer items at positions start, start + 2, ... of a comma list.
QList<int> parseIntList(const QString& text, int start);
// Element classes below node (any depth), except the structural ones.
void collectElementClasses(pugi::xml_node node, QSet<QString>& classes);
// Plain image file names the element and its sub-elements name, in the
// order first met.
void collectNamedImages(pugi::xml_node node, QStringList& names);
// The element classes used by the item files of a template folder. Cached
// per folder for the life of the process.
QSet<QString> overlayItemIndex(const QString& folder);
// Whether lo..hi is one of N equal cells (N = 2..10) of a box of boxSize,
// and, when an item is given, whether the item's centre lies in it.
bool markerFitsBoxCell(int lo, int hi, int boxSize, int tol, bool itemPresent, int itemPos, int itemSize);

// An integer parameter: absent (value -1) when missing, not a decimal
// integer, or outside the 32-bit range.
struct IntParam {
    int value = -1;
    bool present = false;
};
IntParam intParam(pugi::xml_node node, const char* name);

// How far a marker may sit from where it belongs: width / 40, kept to 4..12.
int maskTolerance(int maskWidth);

// The ways an outline marker (LINES_X_HOT_MOUSE) may legitimately sit in its
// mask. A marker is accepted when any of them holds.
struct MarkerFit {
    bool spansBox = false;    // covers the whole mask width
    bool widthOk = false;     // as wide as its element
    bool matchesItem = false; // as wide as its element and where it is
    bool fitsX = false;       // one column of the box
    bool fitsY = false;       // one row of the box
    bool accepted() const { return spansBox || matchesItem || fitsX || fitsY; }
};
// xs must hold at least two values. width, xpos, height and ypos are the
// element's own parameters.
MarkerFit evaluateMarker(const QList<int>& xs, const QList<int>& ys, IntParam width, IntParam xpos,
                         IntParam height, IntParam ypos, int maskW, int maskH, int tol);

} // namespace ConfigCheck
