#include "model/SamePath.h"

#include <QDir>
#include <QFileInfo>

bool isSamePath(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (first.exists() && second.exists())
        return first == second;
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    const Qt::CaseSensitivity names = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity names = Qt::CaseSensitive;
#endif
    return QDir::cleanPath(first.absoluteFilePath()).compare(QDir::cleanPath(second.absoluteFilePath()), names) == 0;
}
