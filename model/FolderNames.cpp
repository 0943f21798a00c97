#include "model/FolderNames.h"

#include <QDirIterator>

#include <algorithm>

QStringList sortedEntryNames(const QString& folder, QDir::Filters filters)
{
    QStringList names;
    QDirIterator it(folder, filters);
    while (it.hasNext()) {
        it.next();
        names.append(it.fileName());
    }
    // Names in one folder are unique, so this is QDir's by-name order.
    std::sort(names.begin(), names.end());
    return names;
}

QStringList entriesEndingWith(const QString& folder, QLatin1StringView suffix, QDir::Filters filters,
                              QDir::SortFlags sort)
{
    QStringList names = sort == QDir::Name ? sortedEntryNames(folder, filters) : QDir(folder).entryList(filters, sort);
    names.removeIf([suffix](const QString& name) { return !name.endsWith(suffix, Qt::CaseInsensitive); });
    return names;
}

bool sameFileName(QStringView name, QLatin1StringView wanted)
{
    return name.compare(wanted, Qt::CaseInsensitive) == 0;
}
