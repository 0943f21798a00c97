#include "artwork/HomebrewItems.h"

#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <QCryptographicHash>
#include <QRegularExpression>

namespace {
const QString& overlayPrefix()
{
    static const QString prefix = QStringLiteral("aim/resources/overlay/");
    return prefix;
}
} // namespace

bool parseHomebrewBoxPath(const QString& given, QString& device, QString& stem, QString& item)
{
    static const QString setMarker = QStringLiteral("/s04_homebrew/zbox_");
    static const QString itemsMarker = QStringLiteral("/Items/");
    // The parts become folder names under the installs: no "..", no
    // absolute or drive components, and no empty or "." part standing in
    // for a name ("Items/./" is no item).
    const QString path = PathGuard::normalized(given);
    if (!path.startsWith(overlayPrefix()) || !path.contains(setMarker))
        return false;
    const int m = path.indexOf(QLatin1String("/masks/"));
    if (m <= overlayPrefix().size())
        return false;
    const QString rest = path.mid(path.indexOf(setMarker) + setMarker.size());
    const int k = rest.indexOf(itemsMarker);
    if (k < 1)
        return false;
    QString it = rest.mid(k + itemsMarker.size());
    while (it.endsWith(QLatin1Char('/')))
        it.chop(1);
    if (it.isEmpty() || it.contains(QLatin1Char('/')))
        return false;
    device = path.mid(overlayPrefix().size(), m - overlayPrefix().size());
    stem = rest.left(k);
    item = it;
    return true;
}

namespace {

const QRegularExpression& replacedSetSuffix()
{
    static const QRegularExpression suffix(QStringLiteral("_r[0-9a-f]{8}(_[0-9]+)?$"));
    return suffix;
}

} // namespace

bool isReplacedBarSet(const QString& setName)
{
    return setName.startsWith(QLatin1String("zbar_")) && replacedSetSuffix().match(setName).hasMatch();
}

bool isEditorArtSetName(const QString& setName)
{
    for (const char* prefix : {"zbox_", "zbar_", "zchrome_", "zpaste_"}) {
        if (setName.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString setBeforeReplacement(const QString& setName)
{
    QString set = setName;
    return set.remove(replacedSetSuffix());
}

QString sanitizeFileStem(const QString& text)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9_\\-]"));
    QString s = text;
    s.replace(unsafe, QStringLiteral("_"));
    return s.isEmpty() ? QStringLiteral("config") : s;
}

QString homebrewItemPath(const QString& device, const QString& stem, const QString& item)
{
    return QStringLiteral("aim/resources/overlay/%1/masks/set/standard/s04_homebrew/zbox_%2/Items/%3/")
        .arg(device, stem, item);
}

pugi::xml_node findBargraphChild(pugi::xml_node mask)
{
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "BargraphTrapezio") || hasClass(e, "Bargraph"))
            return e;
    }
    return {};
}

bool maskHasChildClass(pugi::xml_node mask, const char* cls)
{
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, cls))
            return true;
    }
    return false;
}

QColor colourFromArgb(quint32 argb)
{
    return argb == 0 ? QColor() : QColor::fromRgba(argb);
}

QString artItemName(const QString& base, const QImage& picture, const QString& source)
{
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (!source.isEmpty())
        hash.addData(source.toLower().toUtf8() + '\0');
    hash.addData(QByteArray::number(argb.width()) + 'x' + QByteArray::number(argb.height()));
    for (int y = 0; y < argb.height(); ++y)
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(argb.constScanLine(y)), argb.width() * 4));
    return base + QLatin1Char('_') + QString::fromLatin1(hash.result().toHex().left(8));
}

namespace {

QRegularExpressionMatch pictureNamed(const QString& item)
{
    static const QRegularExpression hashed(QStringLiteral("^(.+)_[0-9a-f]{8}$"));
    return hashed.match(item);
}

} // namespace

bool isNamedForItsPicture(const QString& item)
{
    return pictureNamed(item).hasMatch();
}

bool artItemNameConfirms(const QString& item, const QImage& picture, const QString& source)
{
    const QRegularExpressionMatch match = pictureNamed(item);
    if (!match.hasMatch())
        return true;
    const QString base = match.captured(1);
    return artItemName(base, picture, source) == item || (!source.isEmpty() && artItemName(base, picture) == item);
}
