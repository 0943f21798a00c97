#include "canvas/DashCanvas.h"

#include "model/XmlParams.h"

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
    Q_UNUSED(mask);
    if (m_maskImageProvider && maskIndex >= 0) {
        auto it = m_maskImageCache.find(maskIndex);
        if (it == m_maskImageCache.end()) {
            const QImage image = m_maskImageProvider(maskIndex);
            it = m_maskImageCache.insert(maskIndex, image.isNull() ? QPixmap() : QPixmap::fromImage(image));
        }
        if (!it->isNull())
            return *it;
    }
    return QPixmap();
}
