#include "canvas/DashCanvas.h"

#include "model/DashConfig.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// First positive NOME_SCALA under the gauge element: an element's own
// parameters before its children, children in document order. Walked with
// an explicit stack so hostile nesting cannot exhaust the call stack.
qint64 fullScaleOf(pugi::xml_node gauge)
{
    std::vector<pugi::xml_node> stack{ gauge };
    while (!stack.empty()) {
        const pugi::xml_node e = stack.back();
        stack.pop_back();
        for (pugi::xml_node p = e.child("p"); p; p = p.next_sibling("p")) {
            if (std::strcmp(p.attribute("n").value(), "NOME_SCALA") != 0)
                continue;
            bool ok = false;
            const qint64 v = QByteArray(p.text().get()).trimmed().toLongLong(&ok, 10);
            if (ok && v > 0)
                return v;
        }
        const size_t mark = stack.size();
        for (pugi::xml_node c = e.child("e"); c; c = c.next_sibling("e"))
            stack.push_back(c);
        std::reverse(stack.begin() + std::ptrdiff_t(mark), stack.end());
    }
    return 0;
}

// Paints the gauge's scale frame over its artwork, stretched to the whole
// picture. A frame that is missing or does not load leaves the art as it is.
void paintScaleFrame(QImage& image, const QString& relFrame)
{
    const QString framePath = DashConfig::resolveRs3Path(relFrame);
    if (framePath.isEmpty())
        return;
    const QImage frame = DashCanvas::decodedImage(framePath);
    if (frame.isNull())
        return;
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.drawImage(QRectF(image.rect()), frame);
}

} // namespace

QString DashCanvas::maskArtFolder(const MaskElement& mask)
{
    QString folder = paramValue(mask.node, "PATH_REL_AiM_MASK");
    if (folder.isEmpty())
        return QString();
    folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString DashCanvas::gaugeScaleFrame(const MaskElement& mask)
{
    const pugi::xml_node gauge = gaugeElement(mask.node);
    if (!gauge)
        return QString();
    const QString choice = paramValue(gauge, "SCELTA_UTENTE").trimmed().toLower();
    const qint64 full = fullScaleOf(gauge);
    if (full < 1)
        return QString();
    if (choice == QLatin1String("rpm"))
        return QStringLiteral("scala_rpm_ON_%1.png").arg(full / 1000, 2, 10, QLatin1Char('0'));
    if (choice == QLatin1String("km/h"))
        return QStringLiteral("scala_vel_kmh_ON_%1.png").arg(full);
    if (choice == QLatin1String("mph"))
        return QStringLiteral("scala_vel_mph_ON_%1.png").arg(full);
    return QString();
}

QPixmap DashCanvas::maskPixmap(const MaskElement& mask, int maskIndex)
{
    if (m_passClip && maskIndex >= 0) {
        const auto kept = m_keptMaskArt.constFind(maskIndex);
        if (kept != m_keptMaskArt.constEnd())
            return *kept;
        const QPixmap art = freshMaskPixmap(mask, maskIndex);
        m_keptMaskArt.insert(maskIndex, art);
        return art;
    }
    return freshMaskPixmap(mask, maskIndex);
}

QPixmap DashCanvas::freshMaskPixmap(const MaskElement& mask, int maskIndex)
{
    if (m_maskImageProvider && maskIndex >= 0) {
        auto it = m_maskImageCache.find(maskIndex);
        if (it == m_maskImageCache.end()) {
            const QImage image = m_maskImageProvider(maskIndex);
            it = m_maskImageCache.insert(maskIndex, image.isNull() ? QPixmap() : QPixmap::fromImage(image));
        }
        if (!it->isNull())
            return *it;
    }
    return loadMaskPixmap(mask);
}

QPixmap DashCanvas::loadMaskPixmap(const MaskElement& mask)
{
    const QString folder = maskArtFolder(mask);
    if (folder.isEmpty())
        return QPixmap();
    const QString frame = gaugeScaleFrame(mask);
    const QString key = QStringLiteral("rel:") + folder + (frame.isEmpty() ? QString() : QLatin1Char('|') + frame);
    const auto hit = m_artworkCache.constFind(key);
    if (hit != m_artworkCache.constEnd())
        return *hit;

    QString path = DashConfig::resolveRs3Path(folder + QStringLiteral("mask.png"));
    // Only for the log line: where it was expected, never a path the guard refused.
    if (path.isEmpty())
        path = PathGuard::join(raceStudio3Root(), folder + QStringLiteral("mask.png"));

    QPixmap pixmap;
    QImage image = QFileInfo::exists(path) ? decodedImage(path) : QImage();
    if (!image.isNull()) {
        if (!frame.isEmpty())
            paintScaleFrame(image, folder + frame);
        pixmap = QPixmap::fromImage(image);
    }
    if (pixmap.isNull())
        qDebug() << "[DashCanvas] mask.png missing or failed to load:" << path;
    m_artworkCache.insert(key, pixmap);
    return pixmap;
}

QPixmap DashCanvas::loadBarFramePixmap(const MaskElement& mask, const QString& frameName)
{
    if (frameName.isEmpty() || !mask.node)
        return QPixmap();
    const QString folder = maskArtFolder(mask);
    if (folder.isEmpty())
        return QPixmap();
    // The editor reads the .png twin that RS3 keeps beside its .tgz frames.
    QString name = frameName;
    if (name.endsWith(QLatin1String(".tgz"), Qt::CaseInsensitive))
        name = name.left(name.size() - 4) + QStringLiteral(".png");
    const QString key = QStringLiteral("bar:") + folder + name;
    const auto hit = m_artworkCache.constFind(key);
    if (hit != m_artworkCache.constEnd())
        return *hit;

    const QString path = DashConfig::resolveRs3Path(folder + name);
    const QImage image = path.isEmpty() ? QImage() : decodedImage(path);
    QPixmap pixmap;
    if (!image.isNull())
        pixmap = QPixmap::fromImage(image);
    else
        qDebug() << "[DashCanvas] bar frame .png not in any RS3 root:" << folder + name;
    m_artworkCache.insert(key, pixmap);
    return pixmap;
}

QPixmap DashCanvas::loadHomebrewBarPixmap(const MaskElement& mask)
{
    if (!mask.node)
        return QPixmap();
    const QString folder = maskArtFolder(mask);
    if (folder.isEmpty())
        return QPixmap();
    // Keyed by the art folder, so a warm frame neither resolves the folder
    // nor lists it again.
    const QString key = QStringLiteral("hbar:") + folder;
    const auto cached = m_artworkCache.constFind(key);
    if (cached != m_artworkCache.constEnd())
        return *cached;
    // Only a bar the editor coloured, wherever its pictures lie.
    if (!(config ? config->colouredBar(mask.node) : colouredBarOf(mask.node, nullptr)).coloured) {
        m_artworkCache.insert(key, QPixmap());
        return QPixmap();
    }
    QString dir = DashConfig::resolveRs3Path(folder);
    if (dir.isEmpty()) {
        m_artworkCache.insert(key, QPixmap());
        return QPixmap();
    }
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');

    // The highest-numbered m2on<N>.png is the full bar. Names are sorted so
    // that equal numbers ("m2on3", "m2on03") always pick the same file.
    const QStringList names = QDir(dir).entryList({ QStringLiteral("m2on*.png") }, QDir::Files, QDir::Name);
    QString chosen;
    qint64 best = -1;
    for (const QString& name : names) {
        bool ok = false;
        const qint64 n = name.mid(4, name.size() - 8).toLongLong(&ok, 10);
        if (ok && n > best) {
            best = n;
            chosen = name;
        }
    }
    if (chosen.isEmpty()) {
        m_artworkCache.insert(key, QPixmap());
        return QPixmap();
    }

    const QString path = dir + chosen;
    QPixmap pixmap;
    if (QFileInfo::exists(path))
        pixmap = QPixmap::fromImage(decodedImage(path));
    m_artworkCache.insert(key, pixmap);
    return pixmap;
}

QPixmap DashCanvas::iconPixmap(const MaskElement& mask, int maskIndex)
{
    const auto existing = [](const QString& p) { return !p.isEmpty() && QFileInfo::exists(p); };
    QString path;
    if (m_iconGraphicProvider && maskIndex >= 0) {
        const QString p = m_iconGraphicProvider(maskIndex);
        if (existing(p))
            path = p;
    }
    if (path.isEmpty() && m_iconPreviewProvider && maskIndex >= 0) {
        const QString p = m_iconPreviewProvider(maskIndex);
        if (existing(p))
            path = p;
    }
    if (path.isEmpty()) {
        pugi::xml_node icon = mask.node ? mask.node.find_child_by_attribute("e", "c", "AiM_Icona") : pugi::xml_node();
        const QString graphic = paramValue(icon, "OVERLAY2_ICONA_NERA");
        if (!graphic.isNull())
            path = resolveAssetPath(graphic);
    }
    if (path.isEmpty())
        return QPixmap();

    const auto hit = m_artworkCache.constFind(path);
    if (hit != m_artworkCache.constEnd())
        return *hit;
    QPixmap pixmap;
    if (QFileInfo::exists(path)) {
        const QImage image = loadImage(path);
        if (!image.isNull())
            pixmap = QPixmap::fromImage(image);
    }
    m_artworkCache.insert(path, pixmap);
    return pixmap;
}
