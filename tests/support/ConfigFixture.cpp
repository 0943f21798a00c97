#include "support/ConfigFixture.h"

#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

QByteArray esc(const QString& text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

QByteArray pad(int indent)
{
    return QByteArray(indent * 2, ' ');
}

void writeParams(QByteArray& out, const QList<QPair<QString, QString>>& params, int indent)
{
    for (const auto& param : params) {
        out += pad(indent) + "<p n=\"" + esc(param.first) + "\"";
        if (param.second.isNull())
            out += " />\n";
        else
            out += ">" + esc(param.second) + "</p>\n";
    }
}

} // namespace

FixtureElement::FixtureElement(const QString& c, const QString& i)
    : cls(c)
    , id(i)
    , hasId(!i.isNull())
{
}

FixtureElement& FixtureElement::p(const QString& name, const QString& value)
{
    params << qMakePair(name, value.isNull() ? QStringLiteral("") : value);
    return *this;
}

FixtureElement& FixtureElement::p(const QString& name, int value)
{
    return p(name, QString::number(value));
}

FixtureElement& FixtureElement::emptyParam(const QString& name)
{
    params << qMakePair(name, QString());
    return *this;
}

FixtureElement& FixtureElement::set(const QString& name, const QString& value)
{
    for (auto& param : params) {
        if (param.first == name) {
            param.second = value.isNull() ? QStringLiteral("") : value;
            return *this;
        }
    }
    return p(name, value);
}

FixtureElement& FixtureElement::without(const QString& name)
{
    params.erase(std::remove_if(params.begin(), params.end(), [&](const auto& param) { return param.first == name; }),
                 params.end());
    return *this;
}

FixtureElement& FixtureElement::add(const FixtureElement& child)
{
    children << child;
    return *this;
}

FixtureElement& FixtureElement::raw(const QByteArray& xml)
{
    rawXml += xml;
    return *this;
}

QByteArray FixtureElement::toXml(int indent) const
{
    QByteArray out = pad(indent) + "<e c=\"" + esc(cls) + "\"";
    if (hasId)
        out += " i=\"" + esc(id) + "\"";
    out += ">\n";
    writeParams(out, params, indent + 1);
    for (const FixtureElement& child : children)
        out += child.toXml(indent + 1);
    out += rawXml;
    out += pad(indent) + "</e>\n";
    return out;
}

namespace Fx {

FixtureElement mask(const QString& id, int x, int y, int w, int h)
{
    return FixtureElement(QStringLiteral("GMaskParam"), id)
        .p(QStringLiteral("XPOS"), x)
        .p(QStringLiteral("YPOS"), y)
        .p(QStringLiteral("WIDTH"), w)
        .p(QStringLiteral("HEIGHT"), h)
        .p(QStringLiteral("ORDINE"), 1);
}

FixtureElement axis(const QString& id, const QString& longName, const QString& shortName,
                    const QString& unit, const QString& fidOk)
{
    FixtureElement e(QStringLiteral("Axis"), id);
    e.p(QStringLiteral("lnm"), longName).p(QStringLiteral("shn"), shortName).p(QStringLiteral("UDM"), unit);
    if (!fidOk.isEmpty())
        e.p(QStringLiteral("FID_OK"), fidOk);
    if (longName.isEmpty())
        e.p(QStringLiteral("CHANNEL_NOT_SET"), 1);
    return e;
}

FixtureElement digit(const QString& id, int x, int y, int w, int h, const QString& axisRef)
{
    FixtureElement e(QStringLiteral("Digit"), id);
    e.p(QStringLiteral("XPOS"), x).p(QStringLiteral("YPOS"), y).p(QStringLiteral("WIDTH"), w).p(QStringLiteral("HEIGHT"), h);
    if (!axisRef.isEmpty())
        e.p(QStringLiteral("AXIS_REF"), axisRef);
    return e;
}

FixtureElement label(const QString& id, const QString& text, int x, int y, int w, int h)
{
    return FixtureElement(QStringLiteral("Label"), id)
        .p(QStringLiteral("XPOS"), x)
        .p(QStringLiteral("YPOS"), y)
        .p(QStringLiteral("WIDTH"), w)
        .p(QStringLiteral("HEIGHT"), h)
        .p(QStringLiteral("TEXT"), text);
}

FixtureElement bargraph(const QString& id, int x, int y, int w, int h, const QString& axisRef, bool trapezio)
{
    FixtureElement e(trapezio ? QStringLiteral("BargraphTrapezio") : QStringLiteral("Bargraph"), id);
    e.p(QStringLiteral("XPOS"), x).p(QStringLiteral("YPOS"), y).p(QStringLiteral("WIDTH"), w).p(QStringLiteral("HEIGHT"), h);
    if (!axisRef.isEmpty())
        e.p(QStringLiteral("AXIS_REF"), axisRef);
    return e;
}

FixtureElement icon(const QString& id, int x, int y, int w, int h)
{
    return FixtureElement(QStringLiteral("AiM_Icona"), id)
        .p(QStringLiteral("XPOS"), x)
        .p(QStringLiteral("YPOS"), y)
        .p(QStringLiteral("WIDTH"), w)
        .p(QStringLiteral("HEIGHT"), h);
}

FixtureElement stepScale(const QList<QPair<QString, QString>>& positionValue)
{
    FixtureElement scale(QStringLiteral("ScaleFSV"), QStringLiteral("00"));
    int n = 0;
    for (const auto& step : positionValue) {
        scale.add(FixtureElement(QStringLiteral("StepScale"), QString::number(++n))
                      .p(QStringLiteral("POS_VAL_SCALA"), step.first)
                      .p(QStringLiteral("VAL_SCALA"), step.second));
    }
    return scale;
}

} // namespace Fx

FixturePage& FixtureDevice::page(const QString& name)
{
    FixturePage p;
    p.name = name;
    pages << p;
    return pages.last();
}

QByteArray FixtureDevice::toXml() const
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<overlay_cli>\n";
    out += "  <e c=\"OverlayCli\" i=\"0\">\n";
    out += "    <e c=\"GConfParam\" i=\"0\">\n";
    QList<QPair<QString, QString>> params;
    if (dimX >= 0)
        params << qMakePair(QStringLiteral("DIMENSIONE_X"), QString::number(dimX));
    if (dimY >= 0)
        params << qMakePair(QStringLiteral("DIMENSIONE_Y"), QString::number(dimY));
    if (dashNumber >= 0)
        params << qMakePair(QStringLiteral("IndexFeatForType"), QString::number(dashNumber));
    params << extraParams;
    writeParams(out, params, 3);
    int n = 0;
    for (const FixturePage& page : pages) {
        ++n;
        FixtureElement e(QStringLiteral("GPageParam"), QStringLiteral("p%1").arg(n));
        e.p(QStringLiteral("PAGE_NAME"), page.name);
        if (page.width >= 0)
            e.p(QStringLiteral("WIDTH"), page.width);
        if (page.height >= 0)
            e.p(QStringLiteral("HEIGHT"), page.height);
        QString pagePath = page.pagePath;
        if (pagePath.isNull() && !family.isEmpty())
            pagePath = QStringLiteral("aim/resources/overlay/%1/masks/set/standard/s02/p%2/")
                           .arg(family)
                           .arg(n, 2, 10, QLatin1Char('0'));
        if (!pagePath.isEmpty())
            e.p(QStringLiteral("PATH_REL_AiM_PAGE"), pagePath);
        if (!page.imagePath.isEmpty())
            e.p(QStringLiteral("PATH_IMAGE"), page.imagePath);
        e.params << page.extraParams;
        e.children = page.masks;
        out += e.toXml(3);
    }
    out += "    </e>\n  </e>\n</overlay_cli>\n";
    return out;
}

ConfigFixture::ConfigFixture()
{
    m_devices << FixtureDevice();
}

FixtureDevice& ConfigFixture::device(int i)
{
    while (m_devices.size() <= i)
        addDevice(QStringLiteral("dash%1").arg(m_devices.size() + 1));
    return m_devices[i];
}

FixtureDevice& ConfigFixture::addDevice(const QString& folder)
{
    FixtureDevice d;
    d.folder = folder;
    m_devices << d;
    return m_devices.last();
}

ConfigFixture& ConfigFixture::channel(int fid, const QString& longName, const QString& shortName,
                                      const QString& unit)
{
    channels << FixtureChannel{fid, longName, shortName, unit, QString(), QString()};
    return *this;
}

ConfigFixture& ConfigFixture::triggeredIcon(const QString& description, int fid, int idf,
                                            const QString& imagePath)
{
    triggeredIcons << FixtureElement(QStringLiteral("FullIconCmdAlarm"), description)
                          .p(QStringLiteral("MCDescr"), description)
                          .p(QStringLiteral("MCFid"), fid)
                          .p(QStringLiteral("MCIdf"), idf)
                          .add(FixtureElement(QStringLiteral("ElencoIconCmd"), QStringLiteral("0"))
                                   .add(FixtureElement(QStringLiteral("IconCmd"), QStringLiteral("1"))
                                            .p(QStringLiteral("IconCmdValue"), 1)
                                            .p(QStringLiteral("IconCmdStepAlarmPathImageIco"), imagePath)));
    return *this;
}

ConfigFixture& ConfigFixture::file(const QString& relPath, const QByteArray& content)
{
    extraFiles.insert(relPath, content);
    return *this;
}

QByteArray ConfigFixture::aimcfgXml() const
{
    FixtureElement top(QStringLiteral("Cfg"), QStringLiteral("0"));
    top.p(QStringLiteral("Name"), configName);
    FixtureElement device(QStringLiteral("Device"), QStringLiteral("0"));
    if (!deviceType.isNull())
        device.p(QStringLiteral("Type"), deviceType);
    if (!typeCode.isNull())
        device.p(QStringLiteral("TypeCode"), typeCode);
    top.add(device);
    FixtureElement list(QStringLiteral("ChannelsList"), QStringLiteral("0"));
    for (const FixtureChannel& ch : channels) {
        FixtureElement c(QStringLiteral("Canale"), QString::number(ch.fid));
        c.p(QStringLiteral("FID"), ch.fid)
            .p(QStringLiteral("IDFis"), ch.fid)
            .p(QStringLiteral("LongName"), ch.longName)
            .p(QStringLiteral("ShortName"), ch.shortName)
            .p(QStringLiteral("LabelLongName"), ch.longName)
            .p(QStringLiteral("UIV"), ch.unit);
        if (!ch.chMin.isEmpty())
            c.p(QStringLiteral("ChMin"), ch.chMin);
        if (!ch.chMax.isEmpty())
            c.p(QStringLiteral("ChMax"), ch.chMax);
        list.add(c);
    }
    top.add(list);
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<CfgFileFormat>\n" + top.toXml(1) + "</CfgFileFormat>\n";
}

QByteArray ConfigFixture::triconsXml() const
{
    FixtureElement top(QStringLiteral("TriggeredIconsManager"), QStringLiteral("0"));
    top.children = triggeredIcons;
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<triconsmng>\n" + top.toXml(1) + "</triconsmng>\n";
}

QMap<QString, QByteArray> ConfigFixture::files() const
{
    QMap<QString, QByteArray> out;
    for (const FixtureDevice& d : m_devices)
        out.insert(d.filePath(), d.toXml());
    if (!aimcfgPath.isEmpty())
        out.insert(aimcfgPath, aimcfgXml());
    if (!triconsPath.isEmpty())
        out.insert(triconsPath, triconsXml());
    for (auto it = extraFiles.cbegin(); it != extraFiles.cend(); ++it)
        out.insert(it.key(), it.value());
    return out;
}

bool ConfigFixture::writeZip(const QString& zipPath) const
{
    return ZipFixture::writeZip(zipPath, files());
}

QString ConfigFixture::writeTempZip(const QString& fileName) const
{
    const QString path = TestEnvironment::makeTempDir(QStringLiteral("config")) + QLatin1Char('/') + fileName;
    return writeZip(path) ? path : QString();
}

bool ConfigFixture::writeTree(const QString& folder) const
{
    return ZipFixture::writeTree(folder, files());
}

QList<QPair<QString, ConfigFixture>> ConfigFixture::samples()
{
    // Bound channel elements carry the device code RS3 writes (the .aimcfg
    // TypeCode), so the save has no reason to rebind their format.
    const char* const kSampleDeviceCode = "13";
    QList<QPair<QString, ConfigFixture>> out;
    {
        ConfigFixture cfg;
        cfg.channel(1, "RPM", "RPM", "rpm");
        cfg.device().page("Main").mask(Fx::mask("m1", 10, 20, 200, 80)
                                           .add(Fx::axis("a1", "RPM", "RPM", "rpm").p("TipoDevConten", kSampleDeviceCode))
                                           .add(Fx::digit("d1", 0, 0, 200, 60, "a1"))
                                           .add(Fx::label("l1", "RPM", 0, 60, 200, 20)));
        cfg.device().page("Second").mask(Fx::mask("m1", 0, 0, 10, 10));
        out << qMakePair(QStringLiteral("plain"), cfg);
    }
    {
        ConfigFixture cfg;
        cfg.device().page("Styled").mask(
            Fx::mask("m1", 5, 6, 300, 100)
                .p("XPOS_FW", 5)
                .add(Fx::axis("a1", "Water Temp", "WT", "\u00b0C", "WaterTemp").p("NDEC_SCELTO", 1).p("TipoDevConten", kSampleDeviceCode))
                .add(Fx::digit("d1", 0, 0, 150, 60, "a1")
                         .p("CHAR_SET_ID_2", "Font_H24")
                         .p("CHARSET_DIM", 24)
                         .p("COLORE", "0xFF00FF00")
                         .p("POS_ALIGN", "RIGHT")
                         .p("NUM_CHARS", 4)
                         .p("HIDDEN", 0))
                .add(Fx::label("l1", "A&B <\u00fc>", 150, 0, 150, 30)
                         .p("CHAR_SET_ID_2", "F_12x16")
                         .p("COLORE", "0x80112233"))
                .add(Fx::label("l2", "  ", 150, 30, 150, 30).p("CHARSET_DIM", 9)));
        FixtureElement tail = Fx::mask("m2", 400, 10, 100, 40);
        tail.add(FixtureElement(QStringLiteral("Digit"), QStringLiteral("d2"))
                     .p("XPOS", "12,40")
                     .p("YPOS", "3,1")
                     .p("XPOS_FW", "12,40")
                     .p("YPOS_FW", "3,1")
                     .p("WIDTH", 80)
                     .p("HEIGHT", 30));
        cfg.device().pages.last().mask(tail);
        out << qMakePair(QStringLiteral("styled text and positions"), cfg);
    }
    {
        ConfigFixture cfg;
        cfg.device().page("Gauges")
            .mask(Fx::mask("bar", 0, 0, 400, 40)
                      .add(Fx::axis("a1", "Speed", "SPD", "km/h").p("TipoDevConten", kSampleDeviceCode))
                      .add(Fx::bargraph("b1", 0, 0, 400, 40, "a1").p("COL", "0xFFFF0000").p("ScaleMSV", "0").p("ScaleFSV", "250.5")))
            .mask(Fx::mask("trap", 0, 50, 400, 40)
                      .add(Fx::axis("a1", "RPM", "RPM", "rpm").p("TipoDevConten", kSampleDeviceCode))
                      .add(Fx::bargraph("b1", 0, 0, 400, 40, "a1", true)
                               .add(Fx::stepScale({{"0", "0"}, {"50", "4000"}, {"100", "8000"}}))))
            .mask(Fx::mask("analog", 0, 100, 200, 200)
                      .add(Fx::axis("a1", "Oil Press", "OP", "bar").p("TipoDevConten", kSampleDeviceCode))
                      .add(FixtureElement(QStringLiteral("Analog"), QStringLiteral("an")).p("AXIS_REF", "a1")))
            .mask(Fx::mask("ring", 200, 100, 200, 200)
                      .add(Fx::axis("a1", "Fuel", "FL", "%").p("TipoDevConten", kSampleDeviceCode))
                      .add(FixtureElement(QStringLiteral("Ring"), QStringLiteral("r")).p("AXIS_REF", "a1")))
            .mask(Fx::mask("icon", 400, 100, 64, 64).add(Fx::icon("i1", 0, 0, 64, 64)).add(Fx::axis("a9", "")));
        out << qMakePair(QStringLiteral("bars, gauges and icons"), cfg);
    }
    {
        ConfigFixture cfg;
        cfg.device().folder = QStringLiteral("dash1");
        cfg.device().dashNumber = 1;
        cfg.device().page("One").mask(Fx::mask("m1", 1, 1, 50, 50).add(Fx::label("l1", "one", 0, 0, 50, 50)));
        FixtureDevice& second = cfg.addDevice(QStringLiteral("dash2"));
        second.dashNumber = 2;
        second.dimX = 1280;
        second.page("Two").mask(Fx::mask("m1", 2, 2, 60, 60).add(Fx::label("l1", "two", 0, 0, 60, 60)));
        second.page("Three");
        out << qMakePair(QStringLiteral("two device files"), cfg);
    }
    {
        ConfigFixture cfg;
        cfg.deviceType = QStringLiteral("PDM32");
        cfg.device().family = QStringLiteral("pdm");
        cfg.device().dashNumber = 2;
        cfg.device().page("P").mask(Fx::mask("m1", 3, 4, 50, 20).add(Fx::label("l1", "PDM", 0, 0, 50, 20)));
        out << qMakePair(QStringLiteral("pdm dash"), cfg);
    }
    {
        ConfigFixture cfg;
        cfg.aimcfgPath.clear();
        cfg.device().page("Lonely").mask(Fx::mask("m1", 0, 0, 20, 20).add(Fx::label("l1", "x", 0, 0, 20, 20)));
        out << qMakePair(QStringLiteral("no device description"), cfg);
    }
    return out;
}

QString ConfigFixture::demoArchiveCopy(const QString& workDir)
{
    const QString binary = qEnvironmentVariable("KORV_BINARY_DIR");
    const QString built = binary + QStringLiteral("/examples/demo.zconf2");
    const QString copy = workDir + QStringLiteral("/Demo.zconf2");
    if (!binary.isEmpty() && QFileInfo::exists(built))
        return QFile::copy(built, copy) ? copy : QString();
    const QString source = qEnvironmentVariable("KORV_SOURCE_DIR");
    if (!source.isEmpty() && ZipFixture::zipFolder(source + QStringLiteral("/examples/demo"), copy))
        return copy;
    return {};
}
