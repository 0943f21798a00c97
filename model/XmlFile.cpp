#include "model/XmlFile.h"

#include <string>

pugi::xml_parse_result loadXmlDocument(pugi::xml_document& doc, const QString& path, unsigned options,
                                       pugi::xml_encoding encoding)
{
    const std::wstring wide = path.toStdWString();
    return doc.load_file(wide.c_str(), options, encoding);
}
