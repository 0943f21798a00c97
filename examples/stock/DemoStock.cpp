#include "DemoStock.h"

#include "Rs3Tree.h"

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
    QImage picture(size, QImage::Format_ARGB32);
    picture.fill(kUnlit);
    QPainter p(&picture);
    p.fillRect(QRect(0, 0, size.width(), size.height() * 2 / 3), kLit);
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
           "      <p n=\"UDM\">rpm</p>\n    </e>\n";
}

QByteArray element(const char* cls, const char* id, const QSize& size, const QByteArray& extra = QByteArray())
{
    return QByteArray("    <e c=\"") + cls + "\" i=\"" + id + "\">\n      <p n=\"XPOS\">0</p>\n      <p n=\"YPOS\">0</p>\n"
        + "      <p n=\"WIDTH\">" + QByteArray::number(size.width()) + "</p>\n      <p n=\"HEIGHT\">"
        + QByteArray::number(size.height()) + "</p>\n" + extra + "    </e>\n";
}

QByteArray gauge(const char* cls, const QSize& size, int outer, int inner, const QByteArray& extra = QByteArray())
{
    const QByteArray centre = QByteArray::number(size.width() / 2);
    return axis() + "    <e c=\"" + cls + "\" i=\"01\">\n      <p n=\"XPOS\">" + centre
        + "</p>\n      <p n=\"YPOS\">" + centre + "</p>\n      <p n=\"RAGG\">" + QByteArray::number(outer)
        + "</p>\n      <p n=\"RAGBK\">" + QByteArray::number(inner)
        + "</p>\n      <p n=\"AXIS_REF\">00</p>\n    </e>\n" + extra;
}

// The zero-size bar RS3's ring gauges carry beside the ring.
QByteArray hiddenBar()
{
    return "    <e c=\"Bargraph\" i=\"02\">\n      <p n=\"XPOS\">0</p>\n      <p n=\"YPOS\">0</p>\n"
           "      <p n=\"WIDTH\">0</p>\n      <p n=\"HEIGHT\">0</p>\n      <p n=\"AXIS_REF\">00</p>\n"
           "      <p n=\"HIDDEN\">1</p>\n    </e>\n";
}

// A template's thumbnail as RS3 shows it in its page chooser: the page's
// colour with the outlines of a few elements.
QImage preview(const QSize& size, const QColor& background)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(background);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kRim, 2));
    p.setBrush(kPanel);
    const qreal w = size.width();
    const qreal h = size.height();
    p.drawEllipse(QRectF(w * 0.04, h * 0.06, h * 0.72, h * 0.72));
    p.drawRoundedRect(QRectF(w * 0.52, h * 0.08, w * 0.42, h * 0.3), 3, 3);
    p.setBrush(kLit);
    p.drawRect(QRectF(w * 0.52, h * 0.48, w * 0.42, h * 0.12));
    return picture;
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
    const QSize box(340, 160);
    w.check(install.addStockItem(valueBoxItem(), panel(box),
                                 axis() + element("Digit", "01", box, "      <p n=\"AXIS_REF\">00</p>\n")),
            QStringLiteral("the value box"));
    const QSize barSize(340, 60);
    w.check(install.addStockItem(barItem(), bar(barSize),
                                 axis() + element("BargraphTrapezio", "01", barSize, "      <p n=\"AXIS_REF\">00</p>\n")),
            QStringLiteral("the bar"));
    const QSize strip(760, 60);
    w.check(install.addStockItem(labelItem(), blank(strip), element("Label", "01", strip)), QStringLiteral("the label"));
    const QSize analog(360, 360);
    w.check(install.addStockItem(analogGaugeItem(), dial(analog), gauge("Analog", analog, 160, 20))
                && install.writePicture(analogGaugeItem() + QStringLiteral("scala_rpm_ON_8.png"), dial(analog)),
            QStringLiteral("the analog gauge"));
    const QSize ring(320, 320);
    w.check(install.addStockItem(ringGaugeItem(), dial(ring), gauge("Ring", ring, 150, 120, hiddenBar())),
            QStringLiteral("the ring gauge"));
    const QSize iconSize(44, 44);
    w.check(install.addStockItem(iconItem(), iconPicture(iconSize, QColor(255, 170, 0)),
                                 element("AiM_Icona", "01", iconSize))
                && install.writePicture(itemPath(QStringLiteral("s01/Icon/Icon_Black.bmp")),
                                        iconPicture(iconSize, Qt::white).convertToFormat(QImage::Format_RGB32), "BMP"),
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
                                     iconPicture(iconSize, graphic.second).convertToFormat(QImage::Format_RGB32), "BMP"),
                QStringLiteral("the icon graphics"));
    }
    w.check(install.addDeltaBarItem(itemPath(QStringLiteral("s02/p01/items/md3/")), true, 2, kPanel),
            QStringLiteral("the +- Ref Time bar"));
    // Two page templates with their name and thumbnail, as RS3 ships them;
    // the thumbnails differ in size, as those of RS3 and of themes do.
    const struct {
        const char* name;
        const char* label;
        QColor background;
        QSize thumbnail;
    } templates[] = {{"p01", "Dark", QColor(16, 20, 26), QSize(200, 120)},
                     {"p02", "Dark red", QColor(30, 18, 18), QSize(195, 117)}};
    for (const auto& page : templates) {
        const QString folder = QStringLiteral("s02/") + QLatin1String(page.name);
        w.check(!install.addTemplate(family(), QStringLiteral("s02"), QLatin1String(page.name), QSize(800, 480),
                                     page.background)
                     .isEmpty()
                    && install.writePicture(itemPath(folder + QStringLiteral("/prw.png")),
                                            preview(page.thumbnail, page.background))
                    && install.addFolderMeta(itemPath(folder), QLatin1String(page.label), 1),
                QStringLiteral("the page templates"));
    }
    w.check(install.addFolderMeta(itemPath(QStringLiteral("s01")), QStringLiteral("Icons"), 1)
                && install.addFolderMeta(itemPath(QStringLiteral("s02")), QStringLiteral("Pages"), 2),
            QStringLiteral("the set labels"));
    return w.ok;
}

} // namespace DemoStock
