#include "editing/UniqueMaskName.h"

#include <QSet>

QString uniqueMaskName(const std::vector<MaskElement>& masks, const QString& base)
{
    QSet<QString> taken;
    for (const MaskElement& mask : masks)
        taken.insert(mask.id);
    // At most masks.size() names are taken, so this ends by then.
    for (qint64 n = 1;; ++n) {
        const QString name = QStringLiteral("%1.%2").arg(base, QString::number(n));
        if (!taken.contains(name))
            return name;
    }
}
