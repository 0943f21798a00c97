#include "panels/SamplePreviewValues.h"

QVariant SamplePreviewValues::valueFor(const QString& channelName)
{
    const QString key = channelName.trimmed().toLower();
    const QHash<QString, QVariant>& table = instance();
    const auto it = table.constFind(key);
    if (key.isEmpty() || it == table.constEnd())
        return QStringLiteral("--");
    return it.value();
}

const QHash<QString, QVariant>& SamplePreviewValues::instance()
{
    static const QHash<QString, QVariant> table = build();
    return table;
}

QHash<QString, QVariant> SamplePreviewValues::build()
{
    QHash<QString, QVariant> table;
    table.insert(QStringLiteral("rpm"), 7500);
    table.insert(QStringLiteral("speed"), 145);
    table.insert(QStringLiteral("gps_speed"), 145);
    table.insert(QStringLiteral("lap_time"), QStringLiteral("01:23.456"));
    table.insert(QStringLiteral("loggertemp"), 85);
    for (int n = 1; n <= 8; ++n)
        table.insert(QStringLiteral("ch%1").arg(n, 2, 10, QLatin1Char('0')), 12345);
    return table;
}
