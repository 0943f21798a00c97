#include "support/ConfigSnapshot.h"

#include "model/DashConfig.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstring>
#include <sstream>

namespace {

QString colour(const QColor& c)
{
    return c.isValid() ? c.name(QColor::HexArgb) : QStringLiteral("invalid");
}

quintptr nodeId(pugi::xml_node n)
{
    return reinterpret_cast<quintptr>(n.internal_object());
}

QString documentText(const DeviceFile& d)
{
    std::ostringstream xml;
    d.doc.save(xml, "  ");
    return QString::fromStdString(xml.str());
}

void writeDevice(QTextStream& s, const DeviceFile& d, const QString& path)
{
    s << "device " << path << ' ' << d.dimX << 'x' << d.dimY << " folder=" << d.overlayFolder
      << " dash=" << d.dashNumber << '/' << d.hasDashNumber << " pages=" << d.pageCount << ' ';
}

// Node identities tell whether records still point at the same XML; they
// differ between two opens, so `records` leaves them out.
void writePages(QTextStream& s, const DashConfig& config, bool withNodes)
{
    auto node = [withNodes](pugi::xml_node n) {
        return withNodes ? QStringLiteral(" node=%1").arg(nodeId(n)) : QString();
    };
    for (const PageModel& p : config.pages) {
        s << "page " << p.name << ' ' << p.index << ' ' << p.width << 'x' << p.height << " bg=" << p.backgroundPath
          << '/' << p.background.isNull() << " dev=" << p.deviceFileIndex << " folder=" << p.deviceFolder
          << " rel=" << p.relPagePath << '\n';
        for (const MaskElement& m : p.masks) {
            s << "  mask " << m.id << ' ' << m.x << ',' << m.y << ',' << m.w << ',' << m.h << " ch=" << m.channel
              << '/' << m.channelShort << " kind=" << m.kind << " digit=" << m.digitCharset << '/' << m.digitPx
              << '/' << colour(m.digitColour) << " label=" << m.labelCharset << '/' << m.labelPx << '/'
              << colour(m.labelColour) << '/' << m.labelStyleSet << node(m.node) << '\n';
            for (const WidgetModel& w : m.widgets) {
                s << "    widget " << w.kind << ' ' << w.id << ' ' << w.x << ',' << w.y << ',' << w.w << ','
                  << w.h << " align=" << w.posAlign << " cs=" << w.charset << '/' << w.charsetPx
                  << " col=" << colour(w.colour) << " ref=" << w.axisRef << " ch=" << w.channel << '/'
                  << w.channelShort << '/' << w.unit << '/' << w.decimals << " text=" << w.text
                  << " scale=" << w.scaleMin << ".." << w.scaleMax << " trap=" << w.isTrapezio
                  << " bar=" << colour(w.barColour) << " n=" << w.numChars << " hidden=" << w.hidden
                  << node(w.node) << '\n';
            }
        }
    }
}

} // namespace

namespace ConfigSnapshot {

QByteArray of(const DashConfig& config)
{
    QString out;
    QTextStream s(&out);
    s << "path=" << config.zconf2Path << " extract=" << config.extractDir
      << " temp=" << (config.tempDir ? config.tempDir->path() : QStringLiteral("null"))
      << " aimcfg=" << config.aimcfgPath << " note=" << config.deviceNote << '\n';
    for (const DeviceFile* d : config.devices) {
        writeDevice(s, *d, d->filePath);
        s << "dirty=" << d->dirty << '\n' << documentText(*d) << '\n';
    }
    writePages(s, config, true);
    s.flush();
    return out.toUtf8();
}

QByteArray xml(pugi::xml_node node)
{
    std::ostringstream out;
    node.print(out, "  ");
    return QByteArray::fromStdString(out.str());
}

QByteArray records(const DashConfig& config)
{
    QString out;
    QTextStream s(&out);
    const QDir extract(config.extractDir);
    s << "aimcfg=" << (config.aimcfgPath.isEmpty() ? QString() : extract.relativeFilePath(config.aimcfgPath))
      << " note=" << config.deviceNote << '\n';
    for (const DeviceFile* d : config.devices) {
        writeDevice(s, *d, extract.relativeFilePath(d->filePath));
        s << '\n';
    }
    writePages(s, config, false);
    s.flush();
    return out.toUtf8();
}

QByteArray documents(const DashConfig& config)
{
    QString out;
    for (const DeviceFile* d : config.devices)
        out += documentText(*d) + QLatin1Char('\n');
    return out.toUtf8();
}

QString pairingError(DashConfig& config)
{
    for (int i = 0; i < static_cast<int>(config.devices.size()); ++i) {
        int pagesOfFile = 0;
        for (const PageModel& p : config.pages)
            pagesOfFile += p.deviceFileIndex == i ? 1 : 0;
        int elements = 0;
        for (pugi::xml_node e = config.gconfNode(i).child("e"); e; e = e.next_sibling("e"))
            elements += std::strcmp(e.attribute("c").value(), "GPageParam") == 0 ? 1 : 0;
        if (pagesOfFile != elements || config.devices[static_cast<size_t>(i)]->pageCount != elements)
            return QStringLiteral("device %1: %2 page records, %3 GPageParam, page count %4")
                .arg(i)
                .arg(pagesOfFile)
                .arg(elements)
                .arg(config.devices[static_cast<size_t>(i)]->pageCount);
    }
    for (int pi = 0; pi < config.pageCount(); ++pi) {
        const PageModel& page = config.pages[static_cast<size_t>(pi)];
        const pugi::xml_node pageNode = config.pageParamNode(pi);
        if (!pageNode)
            return QStringLiteral("page %1 has no GPageParam").arg(pi);
        size_t k = 0;
        for (pugi::xml_node e = pageNode.child("e"); e; e = e.next_sibling("e")) {
            if (std::strcmp(e.attribute("c").value(), "GMaskParam") != 0)
                continue;
            if (k >= page.masks.size())
                return QStringLiteral("page %1: GMaskParam %2 has no record").arg(pi).arg(k);
            const MaskElement& mask = page.masks[k];
            if (mask.node != e)
                return QStringLiteral("page %1: mask %2 (%3) is not paired with GMaskParam %2 (%4)")
                    .arg(pi)
                    .arg(k)
                    .arg(mask.id, QString::fromUtf8(e.attribute("i").value()));
            for (const WidgetModel& w : mask.widgets) {
                if (!w.node || w.node.parent() != e)
                    return QStringLiteral("page %1: widget %2 of mask %3 is not an element of it")
                        .arg(pi)
                        .arg(w.id, mask.id);
            }
            ++k;
        }
        if (k != page.masks.size())
            return QStringLiteral("page %1: %2 mask records, %3 GMaskParam").arg(pi).arg(page.masks.size()).arg(k);
    }
    return QString();
}

} // namespace ConfigSnapshot

