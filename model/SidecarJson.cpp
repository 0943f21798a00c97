#include "model/SidecarJson.h"

namespace SidecarJson {

BarColorRecord barColorFromJson(const QJsonObject& o)
{
    BarColorRecord r;
    r.colored = o.value(QStringLiteral("colored")).toBool(false);
    r.redline = o.value(QStringLiteral("redline")).toDouble(0.0);
    r.originalPathRel = o.value(QStringLiteral("originalPathRel")).toString();
    r.originalCoords = o.value(QStringLiteral("originalCoords")).toString();
    return r;
}

QJsonObject barColorToJson(const BarColorRecord& r)
{
    QJsonObject o;
    o.insert(QStringLiteral("colored"), r.colored);
    o.insert(QStringLiteral("redline"), r.redline);
    o.insert(QStringLiteral("originalPathRel"), r.originalPathRel);
    if (!r.originalCoords.isEmpty())
        o.insert(QStringLiteral("originalCoords"), r.originalCoords);
    return o;
}

BoxStyleRecord boxStyleFromJson(const QJsonObject& o)
{
    BoxStyleRecord r;
    r.styleId = o.value(QStringLiteral("styleId")).toString();
    r.originalPathRel = o.value(QStringLiteral("originalPathRel")).toString();
    r.accentArgb = static_cast<quint32>(o.value(QStringLiteral("accentArgb")).toInteger(0) & 0xffffffffLL);
    r.showDividers = o.value(QStringLiteral("showDividers")).toBool(true);
    r.caption = o.value(QStringLiteral("caption")).toString();
    r.borderPx = o.value(QStringLiteral("borderPx")).toInt(0);
    r.captionArgb = static_cast<quint32>(o.value(QStringLiteral("captionArgb")).toInteger(0));
    return r;
}

QJsonObject boxStyleToJson(const BoxStyleRecord& r)
{
    QJsonObject o;
    o.insert(QStringLiteral("styleId"), r.styleId);
    o.insert(QStringLiteral("originalPathRel"), r.originalPathRel);
    if (r.accentArgb != 0)
        o.insert(QStringLiteral("accentArgb"), static_cast<qint64>(r.accentArgb));
    if (!r.showDividers)
        o.insert(QStringLiteral("showDividers"), false);
    if (!r.caption.isEmpty())
        o.insert(QStringLiteral("caption"), r.caption);
    if (r.borderPx != 0)
        o.insert(QStringLiteral("borderPx"), r.borderPx);
    if (r.captionArgb != 0)
        o.insert(QStringLiteral("captionArgb"), static_cast<qint64>(r.captionArgb));
    return o;
}

MultiBoxRecord multiBoxFromJson(const QJsonObject& o)
{
    MultiBoxRecord r;
    r.rows = o.value(QStringLiteral("rows")).toInt(0);
    r.cols = o.value(QStringLiteral("cols")).toInt(0);
    r.labelPlacement = o.value(QStringLiteral("labelPlacement")).toString();
    return r;
}

QJsonObject multiBoxToJson(const MultiBoxRecord& r)
{
    QJsonObject o;
    o.insert(QStringLiteral("rows"), r.rows);
    o.insert(QStringLiteral("cols"), r.cols);
    o.insert(QStringLiteral("labelPlacement"), r.labelPlacement);
    return o;
}

QMap<QString, IconPreviewRecord> iconRecordsOf(const QJsonObject& list)
{
    QMap<QString, IconPreviewRecord> records;
    for (auto it = list.constBegin(); it != list.constEnd(); ++it) {
        const QString graphic = it.value().toObject().value(QStringLiteral("graphic")).toString();
        if (!graphic.isEmpty())
            records.insert(it.key(), IconPreviewRecord{graphic});
    }
    return records;
}

QJsonObject iconList(const QMap<QString, IconPreviewRecord>& records)
{
    QJsonObject list;
    for (auto it = records.constBegin(); it != records.constEnd(); ++it) {
        if (!it.value().graphic.isEmpty())
            list.insert(it.key(), QJsonObject{{QStringLiteral("graphic"), it.value().graphic}});
    }
    return list;
}

} // namespace SidecarJson
