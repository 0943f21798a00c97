#pragma once

#include "model/BarColorRecord.h"
#include "model/BoxStyleRecord.h"
#include "model/IconPreviewRecord.h"
#include "model/MultiBoxRecord.h"

#include <QJsonObject>
#include <QMap>
#include <QString>

// The records of the four stores beside a configuration as their JSON
// files spell them: a field is written only where it differs from what a
// reader takes for a missing one, and a value of the wrong type reads as
// missing.
namespace SidecarJson {

BarColorRecord barColorFromJson(const QJsonObject& o);
QJsonObject barColorToJson(const BarColorRecord& r);
BoxStyleRecord boxStyleFromJson(const QJsonObject& o);
QJsonObject boxStyleToJson(const BoxStyleRecord& r);
MultiBoxRecord multiBoxFromJson(const QJsonObject& o);
QJsonObject multiBoxToJson(const MultiBoxRecord& r);
// An entry without a graphic is no record, and is not written.
QMap<QString, IconPreviewRecord> iconRecordsOf(const QJsonObject& list);
QJsonObject iconList(const QMap<QString, IconPreviewRecord>& records);

// The records of a store's list, by key.
template <typename Record, typename FromJson>
QMap<QString, Record> recordsOf(const QJsonObject& list, FromJson fromJson)
{
    QMap<QString, Record> records;
    for (auto it = list.constBegin(); it != list.constEnd(); ++it)
        records.insert(it.key(), fromJson(it.value().toObject()));
    return records;
}

// A store's list of the records.
template <typename Record, typename ToJson>
QJsonObject listOf(const QMap<QString, Record>& records, ToJson toJson)
{
    QJsonObject list;
    for (auto it = records.constBegin(); it != records.constEnd(); ++it)
        list.insert(it.key(), toJson(it.value()));
    return list;
}

} // namespace SidecarJson
