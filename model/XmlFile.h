#pragma once

#include <QString>
#include <pugixml.hpp>

// The most an XML file of an install, a template or a configuration may
// take: far beyond any device, page or item file.
constexpr qint64 kXmlReadBound = qint64(128) * 1024 * 1024;

// Loads an XML file named as Qt holds its name, read through the file gate:
// a plain file only, never through a link, never waiting on a pipe, never
// more than kXmlReadBound. A file that is there but refused so fails with
// status_io_error and *refusal naming it ("%1 is a symbolic link", ...);
// without `refusal` the refusal goes to the log, so it is named either way.
// A missing file fails with status_file_not_found and names nothing.
pugi::xml_parse_result loadXmlDocument(pugi::xml_document& doc, const QString& path,
                                       unsigned options = pugi::parse_default,
                                       pugi::xml_encoding encoding = pugi::encoding_auto, QString* refusal = nullptr,
                                       const QString& within = QString());

// The same with the refusal asked for: the common call of a reader that
// shows it or puts it into its own words.
pugi::xml_parse_result loadXmlDocument(pugi::xml_document& doc, const QString& path, QString* refusal,
                                       const QString& within = QString());
