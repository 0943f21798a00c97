#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QtGlobal>
#include <pugixml.hpp>

// Names and look-ups of the homebrew art items the editor writes into the
// RaceStudio 3 installs:
// aim/resources/overlay/<device>/masks/set/standard/s04_homebrew/zbox_<stem>/Items/<item>/

// Path of an item descriptor (*.M2.xml) in the folder, the first by name;
// empty when there is none.
QString firstM2File(const QString& folder);

// Splits the relative path of a homebrew box item into device, stem and
// item; false for any other path.
bool parseHomebrewBoxPath(const QString& path, QString& device, QString& stem, QString& item);

// Every character outside [A-Za-z0-9_-] becomes '_'; "config" when empty.
QString sanitizeFileStem(const QString& text);

// "aim/resources/overlay/<device>/masks/set/standard/s04_homebrew/zbox_<stem>/Items/<item>/"
QString homebrewItemPath(const QString& device, const QString& stem, const QString& item);

// The item name for generated art: base, "_" and eight hex digits of a hash
// of the picture (and of `source`, the item whose other files the new one
// copies, when there is one). A state's art never shares a folder with
// different art (an undo step, the saved file or a later box under a freed
// mask name keeps its own), and drawing the same picture again finds the
// same item, so a replayed step writes no new folder.
QString artItemName(const QString& base, const QImage& picture, const QString& source = QString());

// Whether the item's name was given to this picture: a name that ends in
// "_" and eight hex digits is artItemName of what precedes them and the
// picture, with `source` or without. A name without them (from a build
// that did not name items by their picture) tells nothing, and confirms any.
bool artItemNameConfirms(const QString& item, const QImage& picture, const QString& source = QString());
// Whether the item's name ends in "_" and eight hex digits (artItemName).
bool isNamedForItsPicture(const QString& item);

// A coloured bar's set holding art the user put in place of its colours:
// the set it was made from, "_r" and eight hex digits, maybe "_<n>". What
// it holds cannot be drawn again from the colouring.
bool isReplacedBarSet(const QString& setName);
// The set a replacement was made from (the name itself for any other set).
QString setBeforeReplacement(const QString& setName);

// A set name of the kind the editor gives its own art (box, bar colour,
// invisible chrome, pasted widgets), whose items saved configurations anywhere may point at:
// no template may take such a name, and no template delete may remove it.
// Letter case is ignored, as RaceStudio 3's file system does.
bool isEditorArtSetName(const QString& setName);

// The first child element of class "BargraphTrapezio" or "Bargraph".
pugi::xml_node findBargraphChild(pugi::xml_node mask);

// True when a direct child element of the mask has the class.
bool maskHasChildClass(pugi::xml_node mask, const char* cls);

// A colour stored as 32-bit ARGB; 0 means "not set" (an invalid colour, which
// the renderer replaces by the style's own).
QColor colourFromArgb(quint32 argb);
