#pragma once

#include <QString>
#include <pugixml.hpp>

// Fixed tables that tie a device to its RS3 overlay folder. All look-ups
// compare case-insensitively on the whole text; the first matching row wins.

// The `.aimcfg` device "Type" to its overlay folder ("MXG 1.2" -> "mxg_12");
// empty for an empty or unknown type.
QString overlayFolderForDeviceName(const QString& type);

// The folder between the first "overlay/" and the following "/masks/" of a
// firmware page path, mapped to its canonical device folder; empty when a
// marker is missing, the folder is empty or it is not a known alias.
QString canonicalDeviceFolderFromPath(const QString& path);

// The same folder without the table look-up, whole when it has several
// levels ("pdm/dash2"); empty when not found or when it is no safe family
// folder (PathGuard::isSafeFamily: "..", empty components, a drive ...).
QString deviceFolderFromPath(const QString& path);

// The folder a page path names between "overlay/" and "/masks/" when
// deviceFolderFromPath refuses it ("pdm/../x", "pdm//dash2", "pdm\\dash2");
// empty when the path names a safe folder or none.
QString refusedFamilyFromPath(const QString& path);

// "pdm/dash2" style folder that a page path names ("overlay/pdm08/dash2/"
// gives "pdm08/dash2"); empty when it names no PDM dash folder.
QString pdmDashFolderFromPath(const QString& path);

// "pdm/dash2" style folder named by the first PATH_REL_AiM_PAGE of the
// configuration's pages; empty when that path names no dash folder.
QString deviceFolderFromPagePaths(pugi::xml_node gconf);

// "pdm" or "pdm08" when the first PATH_REL_AiM_PAGE lies in a PDM masks
// folder without naming the dash; empty otherwise.
QString pdmFolderFromPagePaths(pugi::xml_node gconf);

// The TypeCode written into channel bindings for a device display name;
// empty when the name is not in the table. No trimming, no partial match.
QString deviceTypeCodeForName(const QString& displayName);
