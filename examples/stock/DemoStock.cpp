#include "DemoStock.h"

#include "Rs3Tree.h"

#include "artwork/TgzImage.h"

#include <QList>
#include <QPainter>
#include <QPair>

namespace {

const QColor kPanel(28, 36, 46);
const QColor kRim(70, 86, 104);
const QColor kLit(0, 200, 60);
const QColor kUnlit(40, 40, 40);

QImage blank(const QSize& size)
{
    QImage picture(size, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    return picture;
}

QImage solid(const QSize& size, const QColor& colour)
{
    QImage picture(size, QImage::Format_ARGB32);
    picture.fill(colour);
    return picture;
}

// A rounded dark panel, as behind RS3's stock value boxes.
QImage panel(const QSize& size)
{
    QImage picture = blank(size);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kRim, 2));
    p.setBrush(kPanel);
    p.drawRoundedRect(QRectF(1, 1, size.width() - 2, size.height() - 2), 10, 10);
    return picture;
}

// A bar as RS3 ships them: the lit band on top, the unlit track below, so the
// bar colour finds its band down the centre column.
QImage bar(const QSize& size)
{
    QImage picture = solid(size, kUnlit);
    QPainter p(&picture);
    p.fillRect(QRect(0, 0, size.width(), size.height() * 2 / 3), kLit);
    return picture;
}

// A standing bar: lit from its foot two thirds of the way up.
QImage verticalBar(const QSize& size)
{
    QImage picture = solid(size, kUnlit);
    QPainter p(&picture);
    p.fillRect(QRect(0, size.height() / 3, size.width(), size.height() - size.height() / 3), kLit);
    return picture;
}

// A round dial face with tick marks.
QImage dial(const QSize& size)
{
    QImage picture = blank(size);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF face(4, 4, size.width() - 8, size.height() - 8);
    p.setPen(QPen(kRim, 4));
    p.setBrush(kPanel);
    p.drawEllipse(face);
    p.translate(face.center());
    p.setPen(QPen(QColor(220, 220, 220), 3));
    const qreal r = face.width() / 2;
    for (int i = 0; i <= 8; ++i) {
        p.save();
        p.rotate(-225 + i * 270.0 / 8);
        p.drawLine(QPointF(r - 18, 0), QPointF(r - 6, 0));
        p.restore();
    }
    return picture;
}

QImage iconPicture(const QSize& size, const QColor& colour)
{
    QImage picture = blank(size);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(4, 4, size.width() - 8, size.height() - 8));
    return picture;
}

QByteArray axis()
{
    return "    <e c=\"Axis\" i=\"00\">\n      <p n=\"lnm\">RPM</p>\n      <p n=\"shn\">RPM</p>\n"
           "      <p n=\"UDM\">rpm</p>\n      <p n=\"NDEC_SCELTO\">0</p>\n    </e>\n";
}

QByteArray element(const char* cls, const char* id, const QSize& size, const QByteArray& extra = QByteArray())
{
    return QByteArray("    <e c=\"") + cls + "\" i=\"" + id + "\">\n      <p n=\"XPOS\">0</p>\n      <p n=\"YPOS\">0</p>\n"
        + "      <p n=\"WIDTH\">" + QByteArray::number(size.width()) + "</p>\n      <p n=\"HEIGHT\">"
        + QByteArray::number(size.height()) + "</p>\n" + extra + "    </e>\n";
}

QByteArray param(const char* name, const QByteArray& value)
{
    return QByteArray("      <p n=\"") + name + "\">" + value + "</p>\n";
}

// The range of the items' channel (RPM) as the demo configuration gives it,
// so that what they show follows the value over the whole range.
const QByteArray kRangeMax = "10000";

// The lit and unlit strips of the demo's bar, in the device's format, as its
// scale names them (the editor reads the .png twin beside each).
const QByteArray kLitStrip = "m4on0.tgz";
const QByteArray kUnlitStrip = "m4off.tgz";

// A bar scale as RS3 writes one: the value at the bar's start and at its end
// (positions in per cent of its length), each step with the strip lit up to
// it, and the strip shown unlit beyond the value.
QByteArray barScale()
{
    const auto step = [](const char* id, const char* position, const QByteArray& value) {
        return QByteArray("        <e c=\"StepScale\" i=\"") + id + "\">\n          <p n=\"PATH_IMG_ON\">" + kLitStrip
            + "</p>\n          <p n=\"POS_VAL_SCALA\">" + position + "</p>\n          <p n=\"VAL_SCALA\">" + value
            + "</p>\n        </e>\n";
    };
    return param("ScaleMSV", "0") + param("ScaleFSV", kRangeMax) + "      <e c=\"ScaleFSV\" i=\"00\">\n"
        + "        <p n=\"NOME_SCALA\">" + kRangeMax + "</p>\n        <p n=\"PATH_IMG_OFF\">" + kUnlitStrip
        + "</p>\n" + step("0", "0", "0") + step("1", "100", kRangeMax) + "      </e>\n";
}

// Where a bar's strips lie and which way it fills, as RS3 gives them: the
// strips drawn from the bar's corner, filled from the edge through Start1
// and Start2 to the one through End1 and End2; a lying bar from its left
// edge, a standing one from its foot.
QByteArray barEnds(const QSize& size)
{
    const QByteArray w = QByteArray::number(size.width());
    const QByteArray h = QByteArray::number(size.height());
    const bool standing = size.height() > size.width();
    const auto point = [](const char* name, const QByteArray& x, const QByteArray& y) {
        return param((QByteArray("X") + name).constData(), x) + param((QByteArray("Y") + name).constData(), y);
    };
    const QByteArray ends = standing
        ? point("Start1", "0", h) + point("Start2", w, h) + point("End1", "0", "0") + point("End2", w, "0")
        : point("Start1", "0", "0") + point("Start2", "0", h) + point("End1", w, "0") + point("End2", w, h);
    return ends + point("IMG", "0", "0");
}

// The value as RS3's stock boxes place it: centred on the foot of the panel,
// in a digit font whose size and character count fit the channel's values.
QByteArray valueDigit()
{
    return QByteArray("    <e c=\"Digit\" i=\"01\">\n") + param("XPOS", "20") + param("YPOS", "140")
        + param("WIDTH", "300") + param("HEIGHT", "90") + param("POS_ALIGN", "bc") + param("AXIS_REF", "00")
        + param("CHAR_SET_ID_2", "Digit_H72") + param("CHARSET_DIM", "72") + param("COLORE", "0xffffffff")
        + param("NUM_CHARS", "5") + "    </e>\n";
}

// A gauge element centred on its item; `own` holds the parameters of its
// kind (a needle's base width and colour).
QByteArray gauge(const char* cls, const QSize& size, int outer, int inner, const QByteArray& own,
                 const QByteArray& extra = QByteArray())
{
    const QByteArray centre = QByteArray::number(size.width() / 2);
    return axis() + "    <e c=\"" + cls + "\" i=\"01\">\n" + param("XPOS", centre) + param("YPOS", centre)
        + param("RAGG", QByteArray::number(outer)) + param("RAGBK", QByteArray::number(inner)) + own
        + param("AXIS_REF", "00") + "    </e>\n" + extra;
}

// The zero-size bar RS3's ring gauges carry beside the ring; its scale is
// the ring's.
QByteArray hiddenBar()
{
    return "    <e c=\"Bargraph\" i=\"02\">\n" + param("XPOS", "0") + param("YPOS", "0") + param("WIDTH", "0")
        + param("HEIGHT", "0") + param("AXIS_REF", "00") + param("HIDDEN", "1") + param("ScaleMSV", "0")
        + param("ScaleFSV", kRangeMax) + "    </e>\n";
}

struct Writer {
    const Rs3Tree& tree;
    QString* error;
    bool ok = true;

    void check(bool written, const QString& what)
    {
        if (!written && ok && error)
            *error = QStringLiteral("Could not write %1 below %2").arg(what, tree.root());
        ok = ok && written;
    }
};

// A stock item as RS3 ships it: the picture both as the editor's mask.png
// and as the mask.tgz the device paints, which its descriptor names.
bool addItem(const Rs3Tree& install, const QString& relFolder, const QImage& picture, const QByteArray& innerXml)
{
    return install.addStockItem(relFolder, picture, innerXml)
        && install.writeFile(relFolder + QStringLiteral("mask.tgz"), TgzImage::encode(picture));
}

// A strip under the name its scale gives, in the device's format, and its
// .png twin for the editor.
bool addStrip(const Rs3Tree& install, const QString& relFolder, const QByteArray& name, const QImage& strip)
{
    const QString file = relFolder + QString::fromLatin1(name);
    return install.writeFile(file, TgzImage::encode(strip))
        && install.writePicture(file.chopped(4) + QStringLiteral(".png"), strip);
}

// The lit and unlit strips the bar's scale names, which its scale templates
// name too: the lit one is the bar as it looks fully lit, the unlit one its
// track all along.
bool addBarStrips(const Rs3Tree& install, const QString& relFolder, const QImage& lit)
{
    return addStrip(install, relFolder, kLitStrip, lit)
        && addStrip(install, relFolder, kUnlitStrip, solid(lit.size(), kUnlit));
}

const QSize kBox(340, 160);
const QSize kBar(340, 60);
const QSize kStandingBar(60, 200);
const QSize kStrip(760, 60);
const QSize kAnalog(360, 360);
const QSize kRing(320, 320);
const QSize kIcon(44, 44);

// The items every page set of the demo holds, as each of RS3's does: a page
// takes its elements from its own set.
void writeItems(Writer& w, const QString& set)
{
    const Rs3Tree& install = w.tree;
    const auto item = [&set](const char* name) {
        return DemoStock::itemPath(set + QStringLiteral("/Items/") + QLatin1String(name) + QLatin1Char('/'));
    };
    w.check(addItem(install, item("a_num"), panel(kBox), axis() + valueDigit()), QStringLiteral("the value box"));
    w.check(addItem(install, item("b_hbar"), bar(kBar),
                    axis() + element("BargraphTrapezio", "01", kBar, barEnds(kBar) + param("AXIS_REF", "00") + barScale()))
                && addBarStrips(install, item("b_hbar"), bar(kBar)),
            QStringLiteral("the bar"));
    w.check(addItem(install, item("b_vbar"), verticalBar(kStandingBar),
                    axis()
                        + element("BargraphTrapezio", "01", kStandingBar,
                                  barEnds(kStandingBar) + param("AXIS_REF", "00") + barScale()))
                // Its picture is lit part way along its length, not across
                // it: the strip is lit all along, so a full bar lights to its top.
                && addBarStrips(install, item("b_vbar"), solid(kStandingBar, kLit)),
            QStringLiteral("the standing bar"));
    w.check(addItem(install, item("c_label"), blank(kStrip), element("Label", "01", kStrip)),
            QStringLiteral("the label"));
    w.check(addItem(install, item("g_rpm"), dial(kAnalog),
                    gauge("Analog", kAnalog, 160, 20, param("BASE", "14") + param("COL", "0xff3030")))
                && install.writePicture(item("g_rpm") + QStringLiteral("scala_rpm_ON_8.png"), dial(kAnalog)),
            QStringLiteral("the analog gauge"));
    w.check(addItem(install, item("g_ring"), dial(kRing),
                    gauge("Ring", kRing, 150, 120, QByteArray(), hiddenBar())),
            QStringLiteral("the ring gauge"));
    w.check(addItem(install, item("md4"), iconPicture(kIcon, QColor(255, 170, 0)), element("AiM_Icona", "01", kIcon)),
            QStringLiteral("the icon"));
    w.check(install.addDeltaBarItem(DemoStock::itemPath(set + QStringLiteral("/items/md3/")), true, 2, kPanel),
            QStringLiteral("the +- Ref Time bar"));
}

// What a demo template page holds: its items where they sit on the page.
struct TemplateMask {
    const char* item;
    QRect rect;
    QImage (*picture)(const QSize&);
};

const TemplateMask kTemplateMasks[] = {{"g_rpm", QRect(QPoint(20, 60), kAnalog), dial},
                                       {"a_num", QRect(QPoint(420, 50), kBox), panel},
                                       {"b_hbar", QRect(QPoint(420, 260), kBar), bar}};

// The template's mask entries, each naming its item file in the template's
// own Items folder.
QByteArray templateMasksXml()
{
    QByteArray xml;
    int k = 0;
    for (const TemplateMask& mask : kTemplateMasks) {
        const QByteArray item(mask.item);
        xml += "    <e c=\"GMaskParam\" i=\"md." + QByteArray::number(k).rightJustified(2, '0') + "\">\n"
            + "      <p n=\"PATH_NAME_REL_AiM_MASK\">./Items/" + item + "/" + item + ".M2.xml</p>\n"
            + "      <p n=\"ORDINE\">" + QByteArray::number(k) + "</p>\n"
            + "      <p n=\"XPOS\">" + QByteArray::number(mask.rect.x()) + "</p>\n"
            + "      <p n=\"YPOS\">" + QByteArray::number(mask.rect.y()) + "</p>\n"
            + "      <p n=\"WIDTH\">" + QByteArray::number(mask.rect.width()) + "</p>\n"
            + "      <p n=\"HEIGHT\">" + QByteArray::number(mask.rect.height()) + "</p>\n    </e>\n";
        ++k;
    }
    return xml;
}

// The page as it is added, its background with its items' pictures where
// its masks sit, shrunk to a thumbnail as RS3's page chooser shows it.
QImage preview(const QSize& page, const QColor& background, const QSize& thumbnail)
{
    QImage picture(page, QImage::Format_RGB32);
    picture.fill(background);
    QPainter p(&picture);
    for (const TemplateMask& mask : kTemplateMasks)
        p.drawImage(mask.rect.topLeft(), mask.picture(mask.rect.size()));
    p.end();
    return picture.scaled(thumbnail, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

} // namespace

namespace DemoStock {

QString family()
{
    return QStringLiteral("mxg_12");
}

QString itemPath(const QString& rel)
{
    return QStringLiteral("aim/resources/overlay/") + family() + QStringLiteral("/masks/set/standard/") + rel;
}

// Every item lives in the set and page folder of the demo's pages
// (s02/p01): RaceStudio 3 takes a page's elements from its own set, and the
// config check reports anything borrowed from another.
QString valueBoxItem()
{
    return itemPath(QStringLiteral("s02/p01/Items/a_num/"));
}

QString barItem()
{
    return itemPath(QStringLiteral("s02/p01/Items/b_hbar/"));
}

QString labelItem()
{
    return itemPath(QStringLiteral("s02/p01/Items/c_label/"));
}

QString analogGaugeItem()
{
    return itemPath(QStringLiteral("s02/p01/Items/g_rpm/"));
}

QString ringGaugeItem()
{
    return itemPath(QStringLiteral("s02/p01/Items/g_ring/"));
}

QString iconItem()
{
    return itemPath(QStringLiteral("s02/p01/Items/md4/"));
}

bool write(const Rs3Tree& install, QString* error)
{
    Writer w{install, error};
    w.check(install.writePicture(itemPath(QStringLiteral("s01/Icon/Icon_Black.bmp")),
                                 iconPicture(kIcon, Qt::white).convertToFormat(QImage::Format_RGB32), "BMP"),
            QStringLiteral("the icon"));
    // The graphics the icon preview offers: RS3 names them for the screen
    // and ends them in "_on".
    const QList<QPair<QString, QColor>> graphics{
        {QStringLiteral("Oil_Pressure_Warning"), QColor(255, 60, 40)},
        {QStringLiteral("Water_Temperature_High"), QColor(255, 140, 0)},
        {QStringLiteral("Fuel"), QColor(255, 210, 0)},
        {QStringLiteral("Shift_Light_Full_Left_Side_Indicator"), QColor(0, 160, 255)},
    };
    for (const auto& graphic : graphics) {
        w.check(install.writePicture(itemPath(QStringLiteral("s01/Icon/MXG_800x480_%1_on.bmp").arg(graphic.first)),
                                     iconPicture(kIcon, graphic.second).convertToFormat(QImage::Format_RGB32), "BMP"),
                QStringLiteral("the icon graphics"));
    }
    // Three page templates with their name and thumbnail, as RS3 ships them;
    // the thumbnails differ in size, as those of RS3 and of themes do. Each
    // is a page set of its own with the items its page and Insert Element
    // take. The first is the set of the demo's pages and the device's base
    // template, which a homebrew theme copies with a background of its own:
    // like RS3's base templates it has the device fill its pages with a
    // colour (the placeholder a theme replaces with its own bkg.tgz), the
    // colour its picture shows, and holds no device picture, which the
    // demo's pages would otherwise leave undeclared. The others hold the
    // background the device paints.
    const struct {
        const char* name;
        const char* label;
        QColor background;
        QSize thumbnail;
        bool deviceBackground;
    } templates[] = {{"p01", "Dark grey", QColor(0x22, 0x22, 0x22), QSize(200, 120), false},
                     {"p02", "Dark", QColor(16, 20, 26), QSize(200, 120), true},
                     {"p03", "Dark red", QColor(30, 18, 18), QSize(195, 117), true}};
    const QSize page(800, 480);
    for (const auto& tpl : templates) {
        const QString folder = QStringLiteral("s02/") + QLatin1String(tpl.name);
        writeItems(w, folder);
        QImage background(page, QImage::Format_RGB32);
        background.fill(tpl.background);
        const QByteArray fill = tpl.deviceBackground ? QByteArray() : param("PATH_IMAGE_SFONDO_FW", "_222222.tgz");
        w.check(!install.addTemplate(family(), QStringLiteral("s02"), QLatin1String(tpl.name), page, tpl.background,
                                     fill + templateMasksXml())
                     .isEmpty()
                    && (!tpl.deviceBackground
                        || install.writeFile(itemPath(folder + QStringLiteral("/bkg.tgz")),
                                             TgzImage::encode(background)))
                    && install.writePicture(itemPath(folder + QStringLiteral("/prw.png")),
                                            preview(page, tpl.background, tpl.thumbnail))
                    && install.addFolderMeta(itemPath(folder), QLatin1String(tpl.label), 1),
                QStringLiteral("the page templates"));
    }
    w.check(install.addFolderMeta(itemPath(QStringLiteral("s01")), QStringLiteral("Icons"), 1)
                && install.addFolderMeta(itemPath(QStringLiteral("s02")), QStringLiteral("Pages"), 2),
            QStringLiteral("the set labels"));
    return w.ok;
}

} // namespace DemoStock
