// Per device file, the pixel sizes of the firmware fonts in its "allfnt"
// folder, read on first use and kept until the next load.
#include "model/DashConfig.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

void DashConfig::resetFontFolders()
{
    fontFolders.clear();
    fontSizeSets.clear();
    fontSizesScanned.clear();
}

void DashConfig::setFontFolders(const QStringList& folders)
{
    fontFolders = folders;
    fontSizeSets.assign(size_t(folders.size()), QSet<int>());
    fontSizesScanned.assign(size_t(folders.size()), false);
}

QSet<int> DashConfig::firmwareFontSizes(int deviceIndex)
{
    if (deviceIndex < 0 || deviceIndex >= fontFolders.size()
        || size_t(deviceIndex) >= fontSizeSets.size() || size_t(deviceIndex) >= fontSizesScanned.size())
        return {};
    const size_t i = size_t(deviceIndex);
    if (fontSizesScanned[i])
        return fontSizeSets[i];

    static const QRegularExpression fontName(QStringLiteral("^(\\d+)_(\\d+)\\.fnt$"));
    QSet<int> sizes;
    const QDir folder(fontFolders[deviceIndex] + QStringLiteral("/allfnt"));
    if (folder.exists()) {
        const QStringList names = folder.entryList(QDir::Files | QDir::NoDotAndDotDot);
        for (const QString& name : names) {
            const QRegularExpressionMatch m = fontName.match(name);
            if (!m.hasMatch())
                continue;
            bool ok = false;
            const int px = m.captured(2).toInt(&ok, 10);
            if (ok && px >= 1)
                sizes.insert(px);
        }
    }
    fontSizeSets[i] = sizes;
    fontSizesScanned[i] = true;
    return sizes;
}
