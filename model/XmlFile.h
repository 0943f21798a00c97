#pragma once

#include <QString>
#include <pugixml.hpp>

// Loads an XML file named as Qt holds its name. pugixml's wide-character
// road reaches every name on Windows, where its 8-bit one takes the ANSI
// code page and misses any letter outside it ("鈴鹿" on a Western system);
// elsewhere both are UTF-8.
pugi::xml_parse_result loadXmlDocument(pugi::xml_document& doc, const QString& path,
                                       unsigned options = pugi::parse_default,
                                       pugi::xml_encoding encoding = pugi::encoding_auto);
