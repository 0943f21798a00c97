#include "model/XmlFile.h"

#include "model/FileEntries.h"
#include "model/SafeRead.h"

#include <QDebug>

pugi::xml_parse_result loadXmlDocument(pugi::xml_document& doc, const QString& path, unsigned options,
                                       pugi::xml_encoding encoding, const QString& within)
{
    QByteArray bytes;
    QString why;
    if (!SafeRead::readFile(path, kXmlReadBound, &bytes, &why, within)) {
        doc.reset();
        pugi::xml_parse_result failed;
        if (FileEntries::kindOf(path) == FileEntries::Kind::Missing) {
            failed.status = pugi::status_file_not_found;
            return failed;
        }
        failed.status = pugi::status_io_error;
        qWarning().noquote() << "XML file not read:" << why;
        return failed;
    }
    return doc.load_buffer(bytes.constData(), size_t(bytes.size()), options, encoding);
}
