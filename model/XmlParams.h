#pragma once

#include <QByteArray>
#include <QColor>
#include <QRect>
#include <QString>
#include <pugixml.hpp>

// Helpers for the device XML vocabulary: <e c="Class" i="id"> elements holding
// <p n="NAME">value</p> parameters. Reads and sets act on the first parameter
// of a name; only removal touches all of them. Names compare exactly.

// Value of the first <p n=name> as UTF-8; empty when missing or empty.
QByteArray paramValue(pugi::xml_node node, const char* name);

// Sets the first <p n=name> (appending one when missing). An empty value
// leaves a self-closing parameter.
void setParam(pugi::xml_node node, const char* name, const QByteArray& value);

// As setParam, but always writes a text node: an empty value is written as
// an open and close tag pair.
void setParamStd(pugi::xml_node node, const char* name, const QByteArray& value);

// Appends a new <p n=name> as the element's last child, with a text node
// only for a non-empty value (an empty one is written self-closing).
void appendParam(pugi::xml_node node, const char* name, const QByteArray& value);

// Gives the element the id (attribute i), adding the attribute when it has
// none: an element without one would lose its name at the next re-parse.
void setElementId(pugi::xml_node node, const QString& id);

// Removes every <p n=name> child.
void removeParams(pugi::xml_node node, const char* name);

// As setParam, then removes every later <p n=name>: the first one keeps its
// place, so an undo that writes a captured value hands the element back as it
// stood.
void setSoleParam(pugi::xml_node node, const char* name, const QByteArray& value);

// Removes every <p n=name> child, then, when `present`, sets it again to the
// value: the parameter moves to the end of the element.
void replaceParam(pugi::xml_node node, const char* name, const QString& value, bool present);

// Rewrites the number before the first ',' of an existing parameter and keeps
// the rest ("120,35" set to 98 gives "98,35"). Never appends.
void setParamInt(pugi::xml_node node, const char* name, int value);

// Sets XPOS, YPOS, WIDTH and HEIGHT (in this order, appending missing ones)
// to the rectangle; whole values are replaced, a ",suffix" included.
void setRectParams(pugi::xml_node node, const QRect& rect);

// WIDTH and HEIGHT of the element's own parameters (last one wins); true when
// both are at least 1.
bool elementDeclaredSize(pugi::xml_node node, int& width, int& height);

// Sets TEXT and marks the text as not auto-updated by the firmware.
void setLabelTextParams(pugi::xml_node node, const QString& text);

// Value of the first <p n=name> decoded from UTF-8; empty when missing.
QString findParamText(pugi::xml_node node, const char* name);

// Leading-integer read: leading blanks, optional sign, digits; 0 when none.
int leadingInt(const QByteArray& text);
inline int paramInt(pugi::xml_node node, const char* name) { return leadingInt(paramValue(node, name)); }

// The paste's strict read: the text before a comma that follows the first
// character ("120,5" gives 120), as a whole base-10 number; 0 when the
// parameter is missing or the text is not a number (",5", "12px").
int readParamInt(pugi::xml_node node, const char* name);

// Class (attribute c) of an element compared exactly; missing compares as "".
bool hasClass(pugi::xml_node node, const char* cls);

// "42" for whole values below 1e9 in magnitude, else "%.6g".
QByteArray formatDouble6g(double value);

// "0xFFrrggbb" with lower-case hex; the fallback stands in for an invalid colour.
QString formatArgbColour(const QColor& colour, const QColor& fallback);

// "0xaarrggbb" with lower-case hex, alpha kept: COLORE as the save writes it.
QByteArray argbColourText(const QColor& colour);

// Escapes &, < and > (quotes unchanged).
QString xmlEscape(const QString& text);

// Cuts a leading "aim/resources/overlay/" and makes sure of a trailing '/'.
QString& overlayRelativeFolder(QString& path);

// Deepest nesting accepted in a document that is walked recursively. Real
// configurations nest about a dozen levels; hostile files may nest far more
// and would exhaust the stack of a recursive walk.
constexpr int kMaxXmlNesting = 256;

// True when no node below `root` lies more than maxDepth levels under it.
// Walks iteratively, so it is safe on any nesting.
bool xmlNestingWithin(pugi::xml_node root, int maxDepth = kMaxXmlNesting);

// The whole document as UTF-8 text, indented with `indent` per level
// (pugixml's format_indent), ready to be written in one piece. A known
// expected size spares the buffer its regrowing.
QByteArray xmlDocumentBytes(const pugi::xml_document& doc, const char* indent, qsizetype expectedSize = 0);
