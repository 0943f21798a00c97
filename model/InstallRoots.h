#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <pugixml.hpp>

// The RaceStudio 3 install roots and the look-ups of artwork inside them.
// Configuration XML names artwork relative to an install ("aim/resources/
// overlay/..."); these functions turn such names into existing files or
// folders. Roots are read from the settings at every call, so a changed
// preference takes effect at once. Every relative path joined to a root goes
// through PathGuard: nothing resolves outside the roots.

// Writable application-data folder ('/' separators); not created here.
QString appDataDir();

// Where RS3 installs itself when nobody says otherwise. On Windows the
// fixed "C:/AIM_SPORT/RaceStudio3[_beta]"; where there are no drive letters
// RS3 runs under Wine, so the same folders inside the Wine prefix
// ($WINEPREFIX, else ~/.wine): <prefix>/drive_c/AIM_SPORT/RaceStudio3[_beta].
QString defaultRaceStudio3Root();
QString defaultRaceStudio3BetaRoot();

// The folders in effect: the setting when there is one, else the default,
// '\' turned into '/' and trailing '/' removed. What the preferences show;
// it need not exist.
QString configuredRaceStudio3Root();
QString configuredRaceStudio3BetaRoot();

// The install roots the program works with: the configured folder when it
// is an absolute path to an existing folder, else empty ("no install"). A
// relative folder would be resolved against whatever folder the program was
// started from, and a missing one would be created piecemeal by the first
// write, so neither is ever read from or written into.
QString raceStudio3Root();
QString raceStudio3BetaRoot();

// While one lives (one paint pass, say), the two roots are the ones read when
// it began: a pass of many artwork look-ups reads the settings once instead of
// twice per look-up. Outside any pass every call reads the settings, so a
// changed preference applies at once. Passes nest; GUI thread only.
class InstallRootsPass {
public:
    InstallRootsPass();
    ~InstallRootsPass();
    InstallRootsPass(const InstallRootsPass&) = delete;
    InstallRootsPass& operator=(const InstallRootsPass&) = delete;
};

// [stable + "/aim/resources/overlay", beta + "/aim/resources/overlay"], each
// only for an install that exists (so none, one or two entries); two equal
// installs still give two entries.
QStringList rs3OverlayRoots();

// The overlay tree beside the executable, or empty when the executable's
// folder is unknown. An override (tests, portable installs) takes its place.
QString localOverlayRoot();
void setLocalOverlayRootOverride(const QString& overlayRoot);

// rs3OverlayRoots plus the local root when non-empty and not already listed.
QStringList allOverlayRoots();

// The install an overlay root belongs to: the root without its trailing
// "/aim/resources/overlay" (a root without it is returned as it is).
QString installOfOverlayRoot(const QString& overlayRoot);

// The install of overlayRoots a folder lies in, below which no write goes
// through a link; the folder's parent when it lies in none.
QString installHolding(const QStringList& overlayRoots, const QString& folder);

// The first symbolic link on the way from the install down to path (path
// included), for a path below one of rs3OverlayRoots; empty when there is
// none or no install holds the path.
QString linkFromInstall(const QString& path);

// An existing file for an RS3-relative path (tried under the stable, then the
// beta install root), or for an absolute path that lies inside one of the
// roots; empty otherwise.
QString resolveAssetPath(const QString& path);

// The folder holding an "items"/"Items" folder, with a trailing '/'; the
// path itself (with '/') when it has none.
QString itemsParentFolder(const QString& path);

// RS3-relative item folder (trailing '/') holding a mask.png to build on for
// an element folder: an Items sub-folder of the element first, else the
// smallest mask.png of the device family. Empty when none.
QString locateItemMaskPng(const QString& rel);

// RS3-relative item folder (trailing '/') whose *.M2.xml declares an element
// of the class; empty when none.
QString findItemForClass(const QString& rel, const QString& className);

// The bar's scale element: a direct "ScaleFSV" child, else one inside a
// "UDM" child; null when none.
pugi::xml_node findScaleFsvNode(pugi::xml_node element);

// Reads a 16-bit RGB565 bit-field Windows bitmap (the format RS3 ships its
// page backgrounds in) as a 24-bit image; null for anything else or for a
// file whose header claims more than it holds.
QImage readImageFile(const QString& path);
