#include "artwork/ArtworkFiles.h"
#include "artwork/BarColorSnapshot.h"
#include "artwork/TgzImage.h"
#include "editing/BarColorCommand.h"
#include "editing/BarColorRemoveCommand.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/PixelProbe.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"
#include "support/ZipFixture.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUndoStack>
#include <QtTest>

namespace {

const char* const kStock = "aim/resources/overlay/mxg_12/masks/set/standard/s02/bar/Items/b1/";
// A coloured item as a configuration names it (for art paths given to a load).
const char* const kColoured =
    "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbar_Race_Day_dash_p1_mb_01_0badc0de/Items/b1/";
// The set of a coloured bar: the file, the page and the mask, then eight hex
// digits of the state (stock art and size).
const char* const kColouredPattern =
    "^aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbar_Race_Day_dash_p1_%1_[0-9a-f]{8}/Items/b1/$";
// In the bar element's own order.
const char* const kStockCoords = "WIDTH=120;HEIGHT=30;XEnd1=110;XEnd2=110;LINES_X_HOT_MOUSE=0,0,120,0,120,30,0,30,0,0";

// A stock bar picture: a light lit band over a dark grey unlit part, the way
// RS3 ships bargraph art.
QImage stockBar(int w, int h, int litRows)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(QColor(60, 60, 60));
    for (int y = 0; y < litRows; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixelColor(x, y, QColor(220, 220, 220));
    return image;
}

QString param(DashConfig& c, const char* name, int mask = 0)
{
    return QString::fromUtf8(paramValue(c.pages[0].masks[size_t(mask)].node, name));
}

bool isColouredItem(const QString& path, const QString& mask)
{
    return QRegularExpression(QString::fromLatin1(kColouredPattern).arg(mask)).match(path).hasMatch();
}

pugi::xml_node barOf(DashConfig& c, int mask = 0)
{
    return c.pages[0].masks[size_t(mask)].node.find_child_by_attribute("e", "c", "Bargraph");
}

} // namespace

class BarColorTest : public QObject {
    Q_OBJECT

    // Both installs have the device; only the stable one has the stock item
    // (mask.png with its .tgz twin, a lit "m2on" picture, an extra file).
    static void installStock(const Rs3Fixture& fx)
    {
        fx.addDeviceFolder(Rs3Fixture::Stable, "mxg_12");
        fx.addDeviceFolder(Rs3Fixture::Beta, "mxg_12");
        const QImage bar = stockBar(40, 20, 8);
        const QString stock = QString::fromLatin1(kStock);
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, stock + "mask.png", pngBytes(bar)));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, stock + "mask.tgz", TgzImage::encode(bar)));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, stock + "m2on_1.png", pngBytes(bar)));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, stock + "b1.M2.xml", "<aimDataBase_Mask2/>"));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, stock + "on.png", "not a picture we recolour"));
    }

    // "Race Day.zconf2": a bar mask "mb.01" of 120 x 30 on the stock art with
    // a 0..9000 scale, and an id-less bar mask without a scale.
    static QString writeConfig(const QString& pathRel = QString::fromLatin1(kStock))
    {
        ConfigFixture cfg;
        cfg.device().page("Main")
            .mask(Fx::mask("mb.01", 10, 20, 120, 30)
                      .p("PATH_REL_AiM_MASK", pathRel)
                      .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                      .add(Fx::bargraph("b1", 0, 0, 120, 30, "a1")
                               .p("XEnd1", 110)
                               .p("XEnd2", 110)
                               .p("LINES_X_HOT_MOUSE", "0,0,120,0,120,30,0,30,0,0")
                               .add(Fx::stepScale({{"0", "0"}, {"100", "9000"}}))))
            .mask(Fx::mask("", 0, 100, 60, 20)
                      .p("PATH_REL_AiM_MASK", kStock)
                      .p("PATH_IMAGE", "mask.png")
                      .add(Fx::bargraph("b2", 0, 0, 60, 20)));
        return cfg.writeTempZip("Race Day.zconf2");
    }

    static QMap<QString, QByteArray> installs(const Rs3Fixture& fx)
    {
        QMap<QString, QByteArray> all;
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            const QMap<QString, QByteArray> tree = ZipFixture::readTree(fx.root(root));
            for (auto it = tree.constBegin(); it != tree.constEnd(); ++it)
                all.insert(QString::number(int(root)) + "/" + it.key(), it.value());
        }
        return all;
    }

    // The bar colour records as the edits left them (they reach the file
    // with the save).
    static QByteArray storedBars(const DashConfig& c)
    {
        QByteArray out;
        const QMap<QString, BarColorRecord> bars = c.loadBarColorSidecar();
        for (auto it = bars.constBegin(); it != bars.constEnd(); ++it)
            out += (it.key() + ' ' + QString::number(it->colored) + ' ' + QString::number(it->redline) + ' '
                    + it->originalPathRel + ' ' + it->originalCoords + '\n')
                       .toUtf8();
        return out;
    }

private Q_SLOTS:
    void colourUndoRedo()
    {
        Rs3Fixture fx;
        installStock(fx);
        DashConfig c;
        QVERIFY(c.load(writeConfig()));
        const QByteArray xml0 = ConfigSnapshot::documents(c);
        const QByteArray records0 = ConfigSnapshot::records(c);
        const QByteArray file0 = TestFiles::readBytes(c.barColorSidecarPath());
        const QByteArray sidecar0 = storedBars(c);
        const auto art0 = installs(fx);

        QUndoStack stack;
        auto* command = new BarColorCommand(&c, 0, 0);
        stack.push(command);
        QVERIFY(command->result());
        QCOMPARE(command->text(), QStringLiteral("Color bar"));
        QVERIFY(c.devices[0]->dirty);

        const QString coloured = param(c, "PATH_REL_AiM_MASK");
        QVERIFY2(isColouredItem(coloured, "mb_01"), qPrintable(coloured));
        const QString set = coloured.left(coloured.indexOf("/Items/"));
        QCOMPARE(param(c, "PATH_IMAGE"), QStringLiteral("mask.png"));
        QCOMPARE(param(c, "DE_BARCOLOR_SRC"), QString::fromLatin1(kStock));
        QCOMPARE(DashConfig::barGeometryText(barOf(c)),
                 QStringLiteral("WIDTH=120;HEIGHT=30;XEnd1=120;XEnd2=120;LINES_X_HOT_MOUSE=0,0,120,0,120,30,0,30,0,0"));
        const BarColorRecord staged = c.loadBarColorSidecar().value("dash/p1/mb.01");
        QCOMPARE(staged.colored, true);
        QCOMPARE(staged.redline, 9000.0);
        QCOMPARE(staged.originalPathRel, QString::fromLatin1(kStock));
        QCOMPARE(staged.originalCoords, QString::fromLatin1(kStockCoords));
        // The file beside the configuration waits for the save.
        QCOMPARE(TestFiles::readBytes(c.barColorSidecarPath()), file0);

        // Both installs got the item, recoloured from the stock art of the
        // stable one; the stock item itself is untouched.
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            const QString item = fx.absolutePath(root, coloured);
            const QImage mask(item + "mask.png");
            QCOMPARE(mask.size(), QSize(120, 30));
            QCOMPARE(TgzImage::decodeFile(item + "mask.tgz").size(), QSize(120, 30));
            QCOMPARE(QImage(item + "m2on_1.png").size(), QSize(120, 30));
            QCOMPARE(TestFiles::readBytes(item + "on.png"), QByteArray("not a picture we recolour"));
            // The lit band (scaled from rows 0..7 of 20 to 0..11 of 30) runs
            // from green on the left to red on the right; the unlit part stays.
            QCOMPARE(mask.pixelColor(0, 0).rgb(), QColor(0, 220, 0).rgb());
            QCOMPARE(mask.pixelColor(119, 11).rgb(), QColor(255, 0, 0).rgb());
            QCOMPARE(mask.pixelColor(60, 25).rgb(), QColor(60, 60, 60).rgb());
            const QByteArray folderXml = TestFiles::readBytes(fx.absolutePath(root, set) + "/AiM_folder.xml");
            QVERIFY(folderXml.contains("<p n=\"gettext\">Bar Colors</p>"));
            QVERIFY(folderXml.contains("<p n=\"Sort\">99</p>"));
        }
        const auto art1 = installs(fx);
        for (auto it = art0.constBegin(); it != art0.constEnd(); ++it)
            QCOMPARE(art1.value(it.key()), it.value());
        const QByteArray xml1 = ConfigSnapshot::documents(c);
        const QByteArray sidecar1 = storedBars(c);

        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(c), xml0);
        QCOMPARE(ConfigSnapshot::records(c), records0);
        QCOMPARE(storedBars(c), sidecar0);
        // The colour's folders stay; the redo points the bar at them again.
        QCOMPARE(installs(fx), art1);

        stack.redo();
        QCOMPARE(ConfigSnapshot::documents(c), xml1);
        QCOMPARE(storedBars(c), sidecar1);
        QCOMPARE(installs(fx), art1);

        // Colouring again starts from the stored stock origin, not from the
        // recoloured copy the mask now shows: the same art comes out.
        QVERIFY(c.applyBarColor(0, 0));
        QCOMPARE(param(c, "DE_BARCOLOR_SRC"), QString::fromLatin1(kStock));
        QCOMPARE(ConfigSnapshot::documents(c), xml1);
        QCOMPARE(storedBars(c), sidecar1);
        QCOMPARE(installs(fx), art1);

        // The save writes the record beside the file, as written.
        QVERIFY(c.save(c.zconf2Path));
        const QJsonObject record = QJsonDocument::fromJson(TestFiles::readBytes(c.barColorSidecarPath()))
                                       .object().value("masks").toObject().value("dash/p1/mb.01").toObject();
        QCOMPARE(record.value("colored").toBool(), true);
        QCOMPARE(record.value("redline").toDouble(), 9000.0);
        QCOMPARE(record.value("originalPathRel").toString(), QString::fromLatin1(kStock));
        QCOMPARE(record.value("originalCoords").toString(), QString::fromLatin1(kStockCoords));
        QCOMPARE(storedBars(c), sidecar1);
    }

    // Beta's homebrew folder is a link to a drive that is not plugged in:
    // the colour goes into the stable install, and the link stays.
    void danglingHomebrewLinkStays()
    {
        Rs3Fixture fx;
        installStock(fx);
        const QString homebrew =
            fx.absolutePath(Rs3Fixture::Beta, "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew");
        const QString drive = TestEnvironment::makeTempDir(QStringLiteral("drive")) + "/unplugged/s04_homebrew";
        QVERIFY(QDir().mkpath(QFileInfo(homebrew).path()));
        QVERIFY(QFile::link(drive, homebrew));
        DashConfig c;
        QVERIFY(c.load(writeConfig()));
        QVERIFY(c.applyBarColor(0, 0));
        QVERIFY(QFileInfo::exists(fx.absolutePath(Rs3Fixture::Stable, param(c, "PATH_REL_AiM_MASK")) + "mask.png"));
        QVERIFY(QFileInfo(homebrew).isSymLink());
        QCOMPARE(QFileInfo(homebrew).symLinkTarget(), drive);
    }

    void refusals()
    {
        Rs3Fixture fx;
        installStock(fx);
        DashConfig c;
        QVERIFY(c.load(writeConfig(kColoured)));
        const QByteArray xml0 = ConfigSnapshot::documents(c);
        // Recoloured art without a record: its origin is unknown.
        QVERIFY(!c.applyBarColor(0, 0));
        // A bar that also shows a Digit is not a plain bar.
        c.pages[0].masks[1].node.append_child("e").append_attribute("c") = "Digit";
        QVERIFY(!c.applyBarColor(0, 1));
        QVERIFY(!c.applyBarColor(0, 7));
        QVERIFY(!c.applyBarColor(3, 0));
        QVERIFY(!QFileInfo::exists(c.barColorSidecarPath()));

        // A hostile origin in the sidecar is refused with a message and
        // nothing is written anywhere.
        QFile side(c.barColorSidecarPath());
        QVERIFY(side.open(QIODevice::WriteOnly));
        side.write(R"({"version":1,"masks":{"dash/p1/mb.01":{"colored":true,"redline":1,)"
                   R"("originalPathRel":"aim/resources/overlay/../../../../evil/masks/x/"}}})");
        side.close();
        const auto before = ZipFixture::readTree(QFileInfo(fx.root(Rs3Fixture::Stable)).absolutePath());
        QString error;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^applyBarColor: refusing origin"));
        QVERIFY(!c.applyBarColor(0, 0, &error));
        QVERIFY(error.contains("does not lie inside a RaceStudio 3 installation"));
        QCOMPARE(ZipFixture::readTree(QFileInfo(fx.root(Rs3Fixture::Stable)).absolutePath()), before);
        c.pages[0].masks[1].node.remove_child(c.pages[0].masks[1].node.last_child());
        QCOMPARE(ConfigSnapshot::documents(c), xml0);
    }

    void idLessBarWithoutScale()
    {
        Rs3Fixture fx;
        installStock(fx);
        DashConfig c;
        QVERIFY(c.load(writeConfig()));
        QVERIFY(c.applyBarColor(0, 1));
        const QString item = param(c, "PATH_REL_AiM_MASK", 1);
        QVERIFY2(isColouredItem(item, "bar1"), qPrintable(item));
        QCOMPARE(QImage(fx.absolutePath(Rs3Fixture::Beta, item) + "mask.png").size(), QSize(60, 20));
        const QMap<QString, BarColorRecord> records = c.loadBarColorSidecar();
        QCOMPARE(records.value("dash/p1/bar1").redline, 8000.0);
        QVERIFY(records.value("dash/p1/bar1").colored);
    }

    // A stock bar without end points or outline: the colouring adds them,
    // undo takes them away again, and colouring once more records the stock
    // geometry, not the coloured one.
    void undoOnABarWithoutEndPoints()
    {
        Rs3Fixture fx;
        installStock(fx);
        DashConfig c;
        QVERIFY(c.load(writeConfig()));
        const QByteArray xml0 = ConfigSnapshot::documents(c);
        const QString stockCoords = DashConfig::barGeometryText(barOf(c, 1));
        QVERIFY(!stockCoords.contains("XEnd1"));
        QUndoStack stack;
        stack.push(new BarColorCommand(&c, 0, 1));
        QVERIFY(barOf(c, 1).find_child_by_attribute("p", "n", "XEnd1"));
        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(c), xml0);
        for (const char* name : {"XEnd1", "XEnd2", "LINES_X_HOT_MOUSE"})
            QVERIFY2(!barOf(c, 1).find_child_by_attribute("p", "n", name), name);

        QVERIFY(c.applyBarColor(0, 1));
        QCOMPARE(c.loadBarColorSidecar().value("dash/p1/bar1").originalCoords, stockCoords);
    }

    void litBandFallback()
    {
        // A picture lit from no row at all (transparent centre) gets the
        // band max(round(0.23 * H) - 1, 1): rows 0..4 of 20, 0..6 of 30.
        Rs3Fixture fx;
        installStock(fx);
        QImage clear(40, 20, QImage::Format_ARGB32);
        clear.fill(Qt::transparent);
        for (int x = 0; x < 40; ++x)
            for (int y = 0; y < 20; ++y)
                if (x != 20)
                    clear.setPixelColor(x, y, QColor(200, 200, 200));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, QString(kStock) + "mask.png", pngBytes(clear)));
        DashConfig c;
        QVERIFY(c.load(writeConfig()));
        QVERIFY(c.applyBarColor(0, 0));
        const QImage mask(fx.absolutePath(Rs3Fixture::Stable, param(c, "PATH_REL_AiM_MASK")) + "mask.png");
        QCOMPARE(mask.pixelColor(0, 6).rgb(), QColor(0, 220, 0).rgb());
        QCOMPARE(mask.pixelColor(0, 7).rgb(), QColor(200, 200, 200).rgb());
    }

    void removeAndUndo()
    {
        Rs3Fixture fx;
        installStock(fx);
        DashConfig c;
        QVERIFY(c.load(writeConfig()));
        QUndoStack stack;
        stack.push(new BarColorCommand(&c, 0, 0));
        const QByteArray xml1 = ConfigSnapshot::documents(c);
        const QByteArray sidecar1 = TestFiles::readBytes(c.barColorSidecarPath());

        bool removed = false;
        stack.push(new BarColorRemoveCommand(&c, 0, 0, &removed));
        QVERIFY(removed);
        QCOMPARE(stack.text(stack.index() - 1), QStringLiteral("Remove bar color"));
        // The stock art, fitted to the bar's size (its pictures are 40 x 20).
        QCOMPARE(param(c, "DE_FIT_SRC"), QString::fromLatin1(kStock));
        QVERIFY2(param(c, "PATH_REL_AiM_MASK").contains("/Items/fit_"), qPrintable(param(c, "PATH_REL_AiM_MASK")));
        QCOMPARE(QImage(fx.absolutePath(Rs3Fixture::Stable, param(c, "PATH_REL_AiM_MASK")) + "mask.png").size(),
                 QSize(120, 30));
        QVERIFY(!c.pages[0].masks[0].node.find_child_by_attribute("p", "n", "DE_BARCOLOR_SRC"));
        QCOMPARE(DashConfig::barGeometryText(barOf(c)), QString::fromLatin1(kStockCoords));
        // The record stays for the saved file until the next save.
        QCOMPARE(TestFiles::readBytes(c.barColorSidecarPath()), sidecar1);

        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(c), xml1);
        QCOMPARE(TestFiles::readBytes(c.barColorSidecarPath()), sidecar1);

        // Without a stored origin there is nothing to go back to, and no
        // undo step is left behind.
        stack.undo();
        const QByteArray xml0 = ConfigSnapshot::documents(c);
        removed = true;
        stack.push(new BarColorRemoveCommand(&c, 0, 0, &removed));
        QVERIFY(!removed);
        QCOMPARE(stack.index(), 0);
        QCOMPARE(ConfigSnapshot::documents(c), xml0);
    }

    void restoreSetsOnlyValidGeometryPairs()
    {
        Rs3Fixture fx;
        installStock(fx);
        DashConfig c;
        QVERIFY(c.load(writeConfig()));
        BarColorSnapshot r;
        r.pathRel = kStock;
        r.barGeometry = "XEnd1=7;;=9;WIDTH=8;";
        QVERIFY(c.restoreBarArtwork(0, 0, r));
        QCOMPARE(QString::fromUtf8(paramValue(barOf(c), "XEnd1")), QStringLiteral("7"));
        QCOMPARE(QString::fromUtf8(paramValue(barOf(c), "WIDTH")), QStringLiteral("8"));
        // The text names every geometry parameter the bar had: an end point
        // or outline it does not name was added by a colouring and goes.
        QVERIFY(!barOf(c).find_child_by_attribute("p", "n", "XEnd2"));
        QVERIFY(!barOf(c).find_child_by_attribute("p", "n", "LINES_X_HOT_MOUSE"));
        QVERIFY(barOf(c).find_child_by_attribute("p", "n", "HEIGHT"));
        QVERIFY(!barOf(c).find_child_by_attribute("p", "n", ""));
        QVERIFY(!c.pages[0].masks[0].node.find_child_by_attribute("p", "n", "PATH_IMG_ON"));
        QVERIFY(!c.restoreBarArtwork(0, 5, r));
        QVERIFY(!c.restoreBarArtwork(-1, 0, r));
    }

    // The coloured art is missing on this machine: opening the configuration
    // rebuilds exactly the missing files and counts the bar.
    void loadRebuildsMissingArt_data()
    {
        QTest::addColumn<bool>("stampInXml");
        QTest::newRow("origin in the mask") << true;
        QTest::newRow("origin only in the sidecar") << false;
    }

    void loadRebuildsMissingArt()
    {
        QFETCH(bool, stampInXml);
        Rs3Fixture fx;
        installStock(fx);
        const QString path = writeConfig();
        QString coloured;
        {
            DashConfig c;
            QVERIFY(c.load(path));
            QVERIFY(c.applyBarColor(0, 0));
            coloured = param(c, "PATH_REL_AiM_MASK");
            if (!stampInXml)
                removeParams(c.pages[0].masks[0].node, "DE_BARCOLOR_SRC");
            QVERIFY(c.save(path));
        }
        const auto complete = installs(fx);

        {
            // Nothing missing: nothing rebuilt.
            DashConfig c;
            QVERIFY(c.load(path));
            QCOMPARE(c.barRepairCount, 0);
        }

        // Gone from the beta install (a folder that is there partly is the
        // user's, and left as it is).
        QVERIFY(QDir(fx.absolutePath(Rs3Fixture::Beta, coloured)).removeRecursively());
        DashConfig c;
        QVERIFY(c.load(path));
        QCOMPARE(c.barRepairCount, 1);
        QCOMPARE(installs(fx), complete);
        QCOMPARE(param(c, "DE_BARCOLOR_SRC"), QString::fromLatin1(kStock));
        QCOMPARE(c.devices[0]->dirty, !stampInXml);
    }

    // The lit strips the bar's scale names (one with its .png twin, one kept
    // only in the device's format) take the ramp over the picture's lit band
    // in the coloured copy; the unlit strip and the stock item stay as they
    // are. Gone from every install, the folder is drawn again, byte for
    // byte, when the configuration is opened.
    void litStripsTakeTheRamp()
    {
        Rs3Fixture fx;
        installStock(fx);
        const QString stock = QString::fromLatin1(kStock);
        const QImage lit = stockBar(40, 20, 20);
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, stock + "lit.png", pngBytes(lit)));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, stock + "lit.tgz", TgzImage::encode(lit)));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, stock + "solo.tgz", TgzImage::encode(lit)));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, stock + "off.tgz", TgzImage::encode(stockBar(40, 20, 0))));
        const auto step = [](const char* id, const char* strip, const char* position, const char* value) {
            return FixtureElement("StepScale", id).p("PATH_IMG_ON", strip).p("POS_VAL_SCALA", position).p("VAL_SCALA", value);
        };
        ConfigFixture cfg;
        cfg.device().page("Main").mask(
            Fx::mask("mb.01", 10, 20, 120, 30)
                .p("PATH_REL_AiM_MASK", stock)
                .add(Fx::bargraph("b1", 0, 0, 120, 30)
                         .add(FixtureElement("ScaleFSV", "00")
                                  .p("PATH_IMG_OFF", "off.tgz")
                                  .add(step("0", "lit.tgz", "0", "0"))
                                  .add(step("1", "solo.tgz", "100", "9000")))));
        const QString path = cfg.writeTempZip("Race Day.zconf2");
        const auto art0 = installs(fx);
        QString coloured;
        {
            DashConfig c;
            QVERIFY(c.load(path));
            QVERIFY(c.applyBarColor(0, 0));
            coloured = param(c, "PATH_REL_AiM_MASK");
            QVERIFY(c.save(path));
        }
        const auto art1 = installs(fx);
        for (auto it = art0.constBegin(); it != art0.constEnd(); ++it)
            QCOMPARE(art1.value(it.key()), it.value());
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            const QString item = fx.absolutePath(root, coloured);
            for (const QImage& strip : {QImage(item + "lit.png"), TgzImage::decodeFile(item + "lit.tgz"),
                                        TgzImage::decodeFile(item + "solo.tgz")}) {
                QCOMPARE(strip.size(), QSize(120, 30));
                QVERIFY(PixelProbe::near(strip.pixelColor(0, 0), QColor(0, 220, 0), 8));
                QVERIFY(PixelProbe::near(strip.pixelColor(119, 11), QColor(255, 0, 0), 8));
                QVERIFY(PixelProbe::near(strip.pixelColor(60, 25), QColor(220, 220, 220), 8));
            }
            // The unlit strip takes no ramp; it is drawn at the bar's size
            // like the lit ones.
            const QImage off = TgzImage::decodeFile(item + "off.tgz");
            QCOMPARE(off.size(), QSize(120, 30));
            QVERIFY(PixelProbe::near(off.pixelColor(60, 15), QColor(60, 60, 60), 8));
        }

        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta})
            QVERIFY(QDir(fx.absolutePath(root, coloured)).removeRecursively());
        DashConfig c;
        QVERIFY(c.load(path));
        QCOMPARE(c.barRepairCount, 1);
        QCOMPARE(installs(fx), art1);
    }

    // A coloured bar whose set carries no state in its name (named by hand,
    // or by a build that did not name states), missing from the beta
    // install: the open copies the stable install's folder, the user's own
    // picture, and draws no colours; held by no install, it is left.
    void setWithoutStateIsNeverDrawn_data()
    {
        QTest::addColumn<QString>("set");
        QTest::addColumn<bool>("held");
        QTest::newRow("hand-named, held") << "zbar_mine" << true;
        QTest::newRow("without a state, held") << "zbar_Race_Day_dash_p1_m" << true;
        QTest::newRow("hand-named, held nowhere") << "zbar_mine" << false;
    }
    void setWithoutStateIsNeverDrawn()
    {
        QFETCH(QString, set);
        QFETCH(bool, held);
        Rs3Fixture fx;
        installStock(fx);
        const QString folder = "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/" + set + "/Items/b1/";
        if (held) {
            QVERIFY(fx.writeFile(Rs3Fixture::Stable, folder + "mask.png", TestFiles::pngBytes(QSize(40, 20), Qt::blue)));
            QVERIFY(fx.writeFile(Rs3Fixture::Stable, folder + "b1.M2.xml", "<aimDataBase_Mask2/>"));
        }
        ConfigFixture cfg;
        cfg.device().page("Main").mask(Fx::mask("m", 0, 0, 40, 20)
                                           .p("PATH_REL_AiM_MASK", folder)
                                           .p("DE_BARCOLOR_SRC", QString::fromLatin1(kStock))
                                           .add(Fx::bargraph("b", 0, 0, 40, 20)));
        const QString path = cfg.writeTempZip();
        const auto stable = Rs3Fixture::treeSnapshot(fx.root(Rs3Fixture::Stable));
        DashConfig c;
        QVERIFY(c.load(path));
        QCOMPARE(c.barRepairCount, held ? 1 : 0);
        QCOMPARE(Rs3Fixture::treeSnapshot(fx.root(Rs3Fixture::Stable)), stable);
        QCOMPARE(Rs3Fixture::treeSnapshot(fx.absolutePath(Rs3Fixture::Beta, folder)),
                 Rs3Fixture::treeSnapshot(fx.absolutePath(Rs3Fixture::Stable, folder)));
    }

    // Bars that fill another way than from the left keep their way and
    // their edges (a bar spanning its element, whose stock picture is drawn
    // at the element's size); the ramp starts green where the bar starts to
    // fill. Removing the colour gives the
    // stock bar back, and the open draws a lost folder again byte for byte.
    void fillDirections_data()
    {
        QTest::addColumn<QSize>("barSize");
        // XStart1 YStart1 XStart2 YStart2 XEnd1 YEnd1 XEnd2 YEnd2 of a bar 1.5 times the picture's size
        QTest::addColumn<QStringList>("coloured");
        QTest::addColumn<QPoint>("start");         // in the 1.5 times picture
        QTest::addColumn<QPoint>("end");
        QTest::newRow("right to left") << QSize(40, 20) << QStringList{"60", "0", "60", "30", "0", "0", "0", "30"} << QPoint(59, 15)
                                       << QPoint(0, 15);
        QTest::newRow("bottom to top") << QSize(20, 40) << QStringList{"0", "60", "30", "60", "0", "0", "30", "0"} << QPoint(15, 59)
                                       << QPoint(15, 0);
        QTest::newRow("top to bottom") << QSize(20, 40) << QStringList{"0", "0", "30", "0", "0", "60", "30", "60"} << QPoint(15, 0)
                                       << QPoint(15, 59);
    }
    void fillDirections()
    {
        QFETCH(QSize, barSize);
        QFETCH(QStringList, coloured);
        QFETCH(QPoint, start);
        QFETCH(QPoint, end);
        Rs3Fixture fx;
        fx.addDeviceFolder(Rs3Fixture::Stable, "mxg_12");
        const QString stock = "aim/resources/overlay/mxg_12/masks/set/standard/s02/bar/Items/b9/";
        // Lit all over: the ramp covers the whole picture.
        QImage picture = stockBar(barSize.width(), barSize.height(), barSize.height());
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, stock + "mask.png", pngBytes(picture)));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, stock + "mask.tgz", TgzImage::encode(picture)));
        const char* const names[] = {"XStart1", "YStart1", "XStart2", "YStart2", "XEnd1", "YEnd1", "XEnd2", "YEnd2"};
        const QSize size = barSize * 3 / 2;
        FixtureElement bar = Fx::bargraph("b1", 0, 0, size.width(), size.height(), "", true);
        for (int i = 0; i < 8; ++i)
            bar.p(names[i], coloured.at(i));
        ConfigFixture cfg;
        cfg.device().page("Main").mask(
            Fx::mask("mb.01", 0, 0, size.width(), size.height())
                .p("PATH_REL_AiM_MASK", stock)
                .p("PATH_IMAGE", "mask.png")
                .add(bar));
        const QString path = cfg.writeTempZip("Race Day.zconf2");
        DashConfig c;
        QVERIFY(c.load(path));
        const QByteArray xml0 = ConfigSnapshot::documents(c);
        const auto trapezio = [&c] { return c.pages[0].masks[0].node.find_child_by_attribute("e", "c", "BargraphTrapezio"); };

        QUndoStack stack;
        stack.push(new BarColorCommand(&c, 0, 0));
        QStringList now;
        for (const char* name : names)
            now << QString::fromUtf8(paramValue(trapezio(), name));
        QCOMPARE(now, coloured);
        QCOMPARE(paramInt(trapezio(), "WIDTH"), size.width());
        QCOMPARE(paramInt(trapezio(), "HEIGHT"), size.height());
        const QString item = param(c, "PATH_REL_AiM_MASK");
        const QImage art(fx.absolutePath(Rs3Fixture::Stable, item) + "mask.png");
        QCOMPARE(art.size(), size);
        QVERIFY2(PixelProbe::near(art.pixelColor(start), QColor(0, 220, 0), 8), qPrintable(art.pixelColor(start).name()));
        QVERIFY2(PixelProbe::near(art.pixelColor(end), QColor(255, 0, 0), 8), qPrintable(art.pixelColor(end).name()));
        QVERIFY(c.save(path));

        bool removed = false;
        stack.push(new BarColorRemoveCommand(&c, 0, 0, &removed));
        QVERIFY(removed);
        // The stock art fitted to the bar's size; otherwise the bar as it was.
        QCOMPARE(param(c, "DE_FIT_SRC"), stock);
        const QString fitted = param(c, "PATH_REL_AiM_MASK");
        QCOMPARE(QImage(fx.absolutePath(Rs3Fixture::Stable, fitted) + "mask.png").size(), size);
        setParam(c.pages[0].masks[0].node, "PATH_REL_AiM_MASK", stock.toUtf8());
        removeParams(c.pages[0].masks[0].node, "DE_FIT_SRC");
        QCOMPARE(ConfigSnapshot::documents(c), xml0);
        setParam(c.pages[0].masks[0].node, "PATH_REL_AiM_MASK", fitted.toUtf8());
        setParam(c.pages[0].masks[0].node, "DE_FIT_SRC", stock.toUtf8());
        stack.undo();
        const auto made = Rs3Fixture::treeSnapshot(fx.root(Rs3Fixture::Stable));

        QVERIFY(QDir(fx.absolutePath(Rs3Fixture::Stable, item)).removeRecursively());
        DashConfig reopened;
        QVERIFY(reopened.load(path));
        QCOMPARE(reopened.barRepairCount, 1);
        QCOMPARE(Rs3Fixture::treeSnapshot(fx.root(Rs3Fixture::Stable)), made);
    }

    // A ring gauge's bar only carries the ring's scale: it is not coloured,
    // and the refusal says why.
    void ringIsRefused()
    {
        Rs3Fixture fx;
        installStock(fx);
        ConfigFixture cfg;
        cfg.device().page("Main").mask(Fx::mask("ring", 0, 0, 40, 20)
                                           .p("PATH_REL_AiM_MASK", kStock)
                                           .add(FixtureElement(QStringLiteral("Ring"), QStringLiteral("r")))
                                           .add(Fx::bargraph("b", 0, 0, 0, 0)));
        DashConfig c;
        QVERIFY(c.load(cfg.writeTempZip()));
        const QByteArray xml0 = ConfigSnapshot::documents(c);
        const auto art0 = installs(fx);
        QString error;
        QVERIFY(!c.applyBarColor(0, 0, &error));
        QVERIFY2(error.contains("ring"), qPrintable(error));
        QCOMPARE(ConfigSnapshot::documents(c), xml0);
        QCOMPARE(installs(fx), art0);
    }

    void loadNeverWritesOutsideTheInstalls_data()
    {
        QTest::addColumn<QString>("pathRel");
        QTest::addColumn<QString>("origin");
        QTest::addColumn<bool>("warns");
        QTest::newRow("climbing art path")
            << "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbar_x/Items/"
               "../../../../../../../../../../../../evil/"
            << QString::fromLatin1(kStock) << false;
        QTest::newRow("climbing origin")
            << QString::fromLatin1(kColoured) << "aim/resources/overlay/mxg_12/masks/../../../../../../etc/" << true;
        QTest::newRow("absolute origin") << QString::fromLatin1(kColoured) << "/etc/masks/x/" << true;
    }

    void loadNeverWritesOutsideTheInstalls()
    {
        QFETCH(QString, pathRel);
        QFETCH(QString, origin);
        QFETCH(bool, warns);
        Rs3Fixture fx;
        installStock(fx);
        ConfigFixture cfg;
        cfg.device().page("Main").mask(Fx::mask("m", 0, 0, 50, 20)
                                           .p("PATH_REL_AiM_MASK", pathRel)
                                           .p("DE_BARCOLOR_SRC", origin)
                                           .add(Fx::bargraph("b", 0, 0, 50, 20)));
        const QString path = cfg.writeTempZip();
        const QString base = QFileInfo(fx.root(Rs3Fixture::Stable)).absolutePath();
        const QString outside = QFileInfo(base).absolutePath();
        const auto before = ZipFixture::readTree(base);
        const QStringList siblings = QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        if (warns)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^repairMissingColoredBars: refusing origin"));
        DashConfig c;
        QVERIFY(c.load(path));
        QCOMPARE(c.barRepairCount, 0);
        QCOMPARE(ZipFixture::readTree(base), before);
        QCOMPARE(QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), siblings);
    }
};

KORV_GUI_TEST_MAIN(BarColorTest)
#include "tst_barcolor.moc"
