#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

namespace gallery {

// One theme or configuration of the online gallery's catalog.
struct CatalogItem {
    QString slug;        // required; also the item's folder name once installed
    QString name;        // the slug when the catalog gives none
    QString author;
    QString description; // plain text
    QString kind;        // "theme", anything else is a configuration
    QString preview;     // address of a preview picture
    QStringList devices; // registry ids or overlay family names
    int downloads = 0;
};

} // namespace gallery

Q_DECLARE_METATYPE(gallery::CatalogItem)
