#pragma once

#include <QDir>
#include <QStringList>

// Folder listings for scans over the thousands of small item folders of an
// RS3 install. QDir compiles a wildcard pattern for every call that names a
// filter, and a sorted QDir listing builds and sorts file infos; over such a
// scan those were most of its time.

// What QDir(folder).entryList(filters, QDir::Name) lists.
QStringList sortedEntryNames(const QString& folder, QDir::Filters filters);

// The entries a "*<suffix>" name filter would list (matched without regard
// to case, as QDir matches), from one listing of the folder. Filters and sort
// are QDir's.
QStringList entriesEndingWith(const QString& folder, QLatin1StringView suffix, QDir::Filters filters,
                              QDir::SortFlags sort = QDir::NoSort);

// Whether a file name is the one a filter without wildcards names.
bool sameFileName(QStringView name, QLatin1StringView wanted);
