#pragma once

#include <QList>
#include <QString>
#include <pugixml.hpp>

#include <memory>

// The mask elements of a device family's stock items, as the "Insert Element"
// dialog walks them: every overlay root, then set, page folder and item in
// name order, the first ".M2.xml" of each item. Listing the thousands of item
// folders and parsing their files was most of the dialog's open, so the
// result is kept for the session and walked again only when a folder of the
// walk or a file it read changed its modification time (or a file its size),
// or the overlay roots changed. Where the system reports changes, the walked
// folders are watched and only looked at again when a change was reported.
namespace StockMaskCache {

struct Item {
    // Shared with whoever keeps a donor from it, so a later walk that
    // replaces the list leaves their nodes valid.
    std::shared_ptr<const pugi::xml_document> document;
    pugi::xml_node mask;
    QString itemFolder; // absolute
    QString overlayRoot;
};

// The family's stock masks in walk order.
std::shared_ptr<const QList<Item>> masks(const QString& family);

// Forgets every kept walk; for tests and benches.
void clear();

// Whether later walks are watched for changes (the default) or every path
// is looked at again at each use; for tests.
void setWatching(bool on);
// Whether the family's kept walk is watched; for tests.
bool isWatched(const QString& family);

} // namespace StockMaskCache
