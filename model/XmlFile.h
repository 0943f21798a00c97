#pragma once

#include <QString>
#include <pugixml.hpp>

// The most an XML file of an install, a template or a configuration may
// take: far beyond any device, page or item file.
constexpr qint64 kXmlReadBound = qint64(128) * 1024 * 1024;

// Loads an XML file named as Qt holds its name, read through the file gate:
// a plain file only, never through a link, never waiting on a pipe, never
// more than kXmlReadBound, and no folder below `within` (empty: the file's
// own folder) a link either. A file that is there but refused so fails with
// status_io_error, and the log names it ("%1 is a symbolic link", ...); a
// missing file fails with status_file_not_found and names nothing.
pugi::xml_parse_result loadXmlDocument(pugi::xml_document& doc, const QString& path,
                                       unsigned options = pugi::parse_default,
                                       pugi::xml_encoding encoding = pugi::encoding_auto,
                                       const QString& within = QString());
