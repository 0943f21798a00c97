#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

// Builders for realistic minimal configurations: device XML files
// (overlay.ov3.xml), a .aimcfg device description and triconsmng.to.xml,
// zipped like a .zconf2. Everything is plain data that a test may change
// before writing, e.g.
//
//     ConfigFixture cfg;                          // one MXG 1.2 device file
//     cfg.device().page("Main")
//         .mask(Fx::mask("m1", 10, 20, 200, 80)
//                   .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
//                   .add(Fx::digit("d1", 0, 0, 200, 60, "a1")));
//     const QString path = cfg.writeTempZip();
//
// Names and values are written exactly as given (escaped for XML).

// One <e c="cls" i="id"> with ordered <p n="..."> parameters and children.
class FixtureElement {
public:
    FixtureElement() = default;
    explicit FixtureElement(const QString& cls, const QString& id = QString());

    FixtureElement& p(const QString& name, const QString& value);
    FixtureElement& p(const QString& name, int value);
    FixtureElement& p(const QString& name, const char* value) { return p(name, QString::fromUtf8(value)); }
    // A parameter without any text (<p n="NAME" />).
    FixtureElement& emptyParam(const QString& name);
    // Replaces the value of the first parameter of that name, or appends one.
    FixtureElement& set(const QString& name, const QString& value);
    FixtureElement& set(const QString& name, int value) { return set(name, QString::number(value)); }
    // Drops every parameter of that name.
    FixtureElement& without(const QString& name);
    FixtureElement& add(const FixtureElement& child);
    // Raw XML written inside the element after the children (hostile input).
    FixtureElement& raw(const QByteArray& xml);

    QByteArray toXml(int indent = 0) const;

    QString cls;
    QString id;
    bool hasId = false;
    QList<QPair<QString, QString>> params; // a null value writes <p n="..." />
    QList<FixtureElement> children;
    QByteArray rawXml;
};

// Factories for the elements of a mask, in the device XML vocabulary.
namespace Fx {
FixtureElement mask(const QString& id, int x, int y, int w, int h);
FixtureElement axis(const QString& id, const QString& longName, const QString& shortName = QString(),
                    const QString& unit = QString(), const QString& fidOk = QString());
FixtureElement digit(const QString& id, int x, int y, int w, int h, const QString& axisRef = QString());
FixtureElement label(const QString& id, const QString& text, int x, int y, int w, int h);
FixtureElement bargraph(const QString& id, int x, int y, int w, int h, const QString& axisRef = QString(),
                        bool trapezio = false);
FixtureElement icon(const QString& id, int x, int y, int w, int h);
// A ScaleFSV with one StepScale per (position, value) pair.
FixtureElement stepScale(const QList<QPair<QString, QString>>& positionValue);
} // namespace Fx

// One <e c="GPageParam">.
struct FixturePage {
    QString name;
    int width = -1;  // < 0: no WIDTH parameter
    int height = -1; // < 0: no HEIGHT parameter
    QString pagePath;  // PATH_REL_AiM_PAGE; null: derived from the device family
    QString imagePath; // PATH_IMAGE; empty: none
    QList<QPair<QString, QString>> extraParams;
    QList<FixtureElement> masks;

    FixturePage& mask(const FixtureElement& m)
    {
        masks << m;
        return *this;
    }
    FixturePage& param(const QString& name, const QString& value)
    {
        extraParams << qMakePair(name, value);
        return *this;
    }
};

// One overlay.ov3.xml.
struct FixtureDevice {
    QString folder = QStringLiteral("dash");   // folder of the file inside the archive
    QString family = QStringLiteral("mxg_12"); // overlay folder used in page paths; empty: none
    int dimX = 800;    // < 0: no DIMENSIONE_X
    int dimY = 480;    // < 0: no DIMENSIONE_Y
    int dashNumber = -1; // IndexFeatForType; < 0: none
    QList<QPair<QString, QString>> extraParams;
    QList<FixturePage> pages;

    // Appends a page named `name` and returns it for chaining masks onto it.
    FixturePage& page(const QString& name);
    QString filePath() const { return folder.isEmpty() ? QStringLiteral("overlay.ov3.xml")
                                                       : folder + QStringLiteral("/overlay.ov3.xml"); }
    QByteArray toXml() const;
};

struct FixtureChannel {
    int fid = 0;
    QString longName;
    QString shortName;
    QString unit;
    QString chMin;
    QString chMax;
};

class ConfigFixture {
public:
    ConfigFixture(); // one device file in "dash", family mxg_12, no pages

    // The device file at index i (created on demand).
    FixtureDevice& device(int i = 0);
    FixtureDevice& addDevice(const QString& folder);

    // The .aimcfg: device type "MXG 1.2", TypeCode 13, name "Test config",
    // written at aimcfgPath; an empty path writes none.
    QString deviceType = QStringLiteral("MXG 1.2");
    QString typeCode = QStringLiteral("13");
    QString configName = QStringLiteral("Test config");
    QString aimcfgPath = QStringLiteral("devices/MyDash.aimcfg");
    QList<FixtureChannel> channels;
    ConfigFixture& channel(int fid, const QString& longName, const QString& shortName = QString(),
                           const QString& unit = QString());

    // Children of the triggered-icons manager's top element.
    QString triconsPath = QStringLiteral("Triggered Icons Manager/triconsmng.to.xml");
    QList<FixtureElement> triggeredIcons;
    ConfigFixture& triggeredIcon(const QString& description, int fid, int idf, const QString& imagePath);

    // Extra files of the archive (relative path -> content); they win over
    // generated ones of the same name.
    QMap<QString, QByteArray> extraFiles;
    ConfigFixture& file(const QString& relPath, const QByteArray& content);

    QByteArray aimcfgXml() const;
    QByteArray triconsXml() const;
    // Every file of the archive, relative path -> content.
    QMap<QString, QByteArray> files() const;

    bool writeZip(const QString& zipPath) const;
    // Writes into a fresh temporary folder; returns the path or empty.
    QString writeTempZip(const QString& fileName = QStringLiteral("config.zconf2")) const;
    bool writeTree(const QString& folder) const;

    // Named configurations covering the shapes the editor meets: one and two
    // device files, every widget class, styled and positioned text, step
    // scales, UTF-8 and XML-special texts, a PDM dash, no device description.
    // Every bound Axis is referenced and carries the device's TipoDevConten,
    // so saving changes no record of them.
    static QList<QPair<QString, ConfigFixture>> samples();

    // A copy in workDir of the demo configuration (the archive the build
    // packs from examples/demo, else packed here from the sources); empty
    // when neither can be found.
    static QString demoArchiveCopy(const QString& workDir);

private:
    QList<FixtureDevice> m_devices;
};
