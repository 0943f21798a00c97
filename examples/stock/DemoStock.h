#pragma once

#include <QString>

class Rs3Tree;

// The small RaceStudio 3 install of our own making that the demo
// configuration's masks point at: stock value box, lying and standing bars,
// gauges, icon and label items, the "+- Ref Time" bar and three page
// templates for the demo's device family, each template a page set with the
// same items (the first is the set of the demo's pages and the device's base
// template, which a homebrew theme is made from), and every file an item or
// a template names. The build writes it into a Wine-style prefix beside the
// demo archive; tests write the same tree into their temporary installs.
namespace DemoStock {

// The demo's device family folder.
QString family();
// "aim/resources/overlay/<family>/masks/set/standard/" + relative item path.
QString itemPath(const QString& rel);

// The stock items the demo's masks reference (in the set of its pages).
QString valueBoxItem();
QString barItem();
QString labelItem();
QString analogGaugeItem();
QString ringGaugeItem();
QString iconItem();

// Writes every stock file into the install; false when a file could not be
// written (the error then names it).
bool write(const Rs3Tree& install, QString* error = nullptr);

} // namespace DemoStock
