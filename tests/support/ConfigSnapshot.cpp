#include "support/ConfigSnapshot.h"

#include "model/DashConfig.h"

#include <QTemporaryDir>
#include <QTextStream>
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
        std::ostringstream xml;
        d->doc.save(xml, "  ");
        s << "device " << d->filePath << ' ' << d->dimX << 'x' << d->dimY << " folder=" << d->overlayFolder
          << " dash=" << d->dashNumber << '/' << d->hasDashNumber << " pages=" << d->pageCount
          << " dirty=" << d->dirty << '\n'
          << QString::fromStdString(xml.str()) << '\n';
    }
    for (const PageModel& p : config.pages) {
        s << "page " << p.name << ' ' << p.index << ' ' << p.width << 'x' << p.height << " bg=" << p.backgroundPath
          << '/' << p.background.isNull() << " dev=" << p.deviceFileIndex << " folder=" << p.deviceFolder
          << " rel=" << p.relPagePath << '\n';
        for (const MaskElement& m : p.masks) {
            s << "  mask " << m.id << ' ' << m.x << ',' << m.y << ',' << m.w << ',' << m.h << " ch=" << m.channel
              << '/' << m.channelShort << " kind=" << m.kind << " digit=" << m.digitCharset << '/' << m.digitPx
              << '/' << colour(m.digitColour) << " label=" << m.labelCharset << '/' << m.labelPx << '/'
              << colour(m.labelColour) << '/' << m.labelStyleSet << " node=" << nodeId(m.node) << '\n';
            for (const WidgetModel& w : m.widgets) {
                s << "    widget " << w.kind << ' ' << w.id << ' ' << w.x << ',' << w.y << ',' << w.w << ','
                  << w.h << " align=" << w.posAlign << " cs=" << w.charset << '/' << w.charsetPx
                  << " col=" << colour(w.colour) << " ref=" << w.axisRef << " ch=" << w.channel << '/'
                  << w.channelShort << '/' << w.unit << '/' << w.decimals << " text=" << w.text
                  << " scale=" << w.scaleMin << ".." << w.scaleMax << " trap=" << w.isTrapezio
                  << " bar=" << colour(w.barColour) << " n=" << w.numChars << " hidden=" << w.hidden
                  << " node=" << nodeId(w.node) << '\n';
            }
        }
    }
    s.flush();
    return out.toUtf8();
}

QByteArray xml(pugi::xml_node node)
{
    std::ostringstream out;
    node.print(out, "  ");
    return QByteArray::fromStdString(out.str());
}

QByteArray documents(const DashConfig& config)
{
    QByteArray out;
    for (const DeviceFile* d : config.devices) {
        std::ostringstream xmlText;
        d->doc.save(xmlText, "  ");
        out += QByteArray::fromStdString(xmlText.str());
    }
    return out;
}

} // namespace ConfigSnapshot
