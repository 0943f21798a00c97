#include "artwork/BoxStyleRenderer.h"
#include "artwork/HomebrewItems.h"
#include "editing/MoveCommand.h"
#include "artwork/TgzImage.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"
#include "support/ZipFixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>
#include <memory>

namespace {

const char* const kOrigin = "aim/resources/overlay/mxg_12/masks/set/standard/s01/digit/Items/a/";
const char* const kBoxItem = "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbox_config/Items/box_dash_p1_md_01/";
const char* const kSet = "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbox_config";

QString param(DashConfig& c, const char* name, int mask = 0)
{
    return QString::fromUtf8(paramValue(c.pages[0].masks[size_t(mask)].node, name));
}

// Generated items carry eight hex digits of their picture after the name.
bool isItem(const QString& path, const QString& name)
{
    return QRegularExpression(QStringLiteral("/zbox_[^/]+/Items/%1_[0-9a-f]{8}/$").arg(name)).match(path).hasMatch();
}

bool hasParam(DashConfig& c, const char* name, int mask = 0)
{
    return bool(c.pages[0].masks[size_t(mask)].node.find_child_by_attribute("p", "n", name));
}

void resize(DashConfig& c, int w, int h, int mask = 0)
{
    setParam(c.pages[0].masks[size_t(mask)].node, "WIDTH", QByteArray::number(w));
    setParam(c.pages[0].masks[size_t(mask)].node, "HEIGHT", QByteArray::number(h));
}

QJsonObject sidecar(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object().value("masks").toObject();
}

// The box-style records as the save writes them (they wait for it).
QJsonObject styles(DashConfig& c)
{
    c.writeStagedRecords();
    return sidecar(c.boxStylesSidecarPath());
}

int m2Width(const QString& folder)
{
    pugi::xml_document doc;
    const QString m2 = firstM2File(folder);
    if (m2.isEmpty() || !doc.load_file(QFile::encodeName(m2).constData()))
        return -1;
    return paramInt(doc.child("aimDataBase_Mask2").child("e"), "WIDTH");
}

} // namespace

class BoxArtTest : public QObject {
    Q_OBJECT

    // A Digit mask "md.01" of 120 x 60 on stock art of 100 x 50, and an
    // id-less Digit mask on the same art.
    static QString writeConfig(const QString& origin = QString::fromLatin1(kOrigin), int w = 120, int h = 60)
    {
        ConfigFixture cfg;
        cfg.device().page("Main")
            .mask(Fx::mask("md.01", 10, 20, w, h)
                      .p("PATH_REL_AiM_MASK", origin)
                      .p("PATH_IMAGE_SFONDO_FW", "mask.tgz")
                      .p("M_BCOL", "0xffff0000")
                      .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                      .add(Fx::digit("d1", 0, 0, w, h, "a1")))
            .mask(Fx::mask("", 0, 0, 80, 40)
                      .p("PATH_REL_AiM_MASK", origin)
                      .p("PATH_IMAGE_SFONDO_FW", "mask.tgz")
                      .add(Fx::digit("d2", 0, 0, 80, 40)));
        return cfg.writeTempZip();
    }

    static void installBoth(const Rs3Fixture& fx)
    {
        fx.addDeviceFolder(Rs3Fixture::Stable, "mxg_12");
        fx.addDeviceFolder(Rs3Fixture::Beta, "mxg_12");
        QVERIFY(fx.addArtItem(Rs3Fixture::Stable, kOrigin, QSize(100, 50)));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, QString(kOrigin) + "on.png", "ON"));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, QString(kOrigin) + "Thumbs.db", "junk"));
    }

private Q_SLOTS:
    void applyWritesTheItemIntoEveryInstall()
    {
        Rs3Fixture fx;
        installBoth(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        QVERIFY(config.applyBoxStyle(0, 0, "accent_bottom", 0xFF00FF00u, false, 0, "RPM", 0));

        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            const QString item = fx.absolutePath(root, param(config, "PATH_REL_AiM_MASK"));
            const QImage tgz = TgzImage::decodeFile(item + "mask.tgz");
            QCOMPARE(tgz.size(), QSize(120, 60));
            QCOMPARE(QImage(item + "mask.png").size(), QSize(120, 60));
            // The origin's descriptor travels and is updated; its extras too,
            // junk files not.
            QVERIFY(QFileInfo::exists(item + "a.M2.xml"));
            QCOMPARE(m2Width(item), 120);
            QVERIFY(QFileInfo::exists(item + "on.png"));
            QVERIFY(!QFileInfo::exists(item + "Thumbs.db"));
            QVERIFY(QFileInfo::exists(fx.absolutePath(root, kSet) + "/AiM_folder.xml"));
            // Temporaries were renamed over their targets.
            QCOMPARE(QDir(item).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                     QStringList({"a.M2.xml", "mask.png", "mask.tgz", "on.png"}));
        }
        QVERIFY(isItem(param(config, "PATH_REL_AiM_MASK"), "box_dash_p1_md_01"));
        QCOMPARE(param(config, "PATH_IMAGE_SFONDO_FW"), QStringLiteral("mask.tgz"));
        QVERIFY(!hasParam(config, "M_BCOL"));
        QVERIFY(config.devices[0]->dirty);

        const QJsonObject rec = styles(config).value("dash/p1/md.01").toObject();
        QCOMPARE(rec.value("styleId").toString(), QStringLiteral("accent_bottom"));
        QCOMPARE(rec.value("originalPathRel").toString(), QString::fromLatin1(kOrigin));
        QVERIFY(!rec.contains("showDividers")); // a single box always stores true
        QCOMPARE(config.boxStyleRecord(0, 0).styleName, QStringLiteral("Accent Bottom"));
        QCOMPARE(config.renderBoxStyleImage(0, 0).size(), QSize(120, 60));

        const BoxStyleSnapshot snap = config.boxStyleSnapshot(0, 0);
        QVERIFY(snap.recordPresent);
        QCOMPARE(snap.params.relPath, param(config, "PATH_REL_AiM_MASK"));
        QVERIFY(!snap.params.borderColourPresent);
    }

    void removalRestoresTheOrigin()
    {
        Rs3Fixture fx;
        installBoth(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        QVERIFY(config.applyBoxStyle(0, 0, "panel_dark", 0, true, 0, QString(), 0));
        // Re-applying a style reuses the item and its already updated descriptor.
        QVERIFY(config.applyBoxStyle(0, 0, "solid_blue", 0, true, 0, QString(), 0));
        QCOMPARE(styles(config).value("dash/p1/md.01").toObject().value("originalPathRel").toString(),
                 QString::fromLatin1(kOrigin));

        QVERIFY(config.applyBoxStyle(0, 0, "clean", 0, true, 0, QString(), 0));
        QCOMPARE(param(config, "PATH_REL_AiM_MASK"), QString::fromLatin1(kOrigin));
        QVERIFY(!hasParam(config, "PATH_IMAGE_SFONDO_FW"));
        QVERIFY(!config.boxStyleRecord(0, 0).present);
        // The record stays for the saved file until the next save.
        QVERIFY(styles(config).contains("dash/p1/md.01"));

        // Without a record, a box item cannot be removed: nothing to go back to.
        QVERIFY(config.saveBoxStyleSidecar({}));
        setParam(config.pages[0].masks[0].node, "PATH_REL_AiM_MASK", kBoxItem);
        QVERIFY(!config.applyBoxStyle(0, 0, QString(), 0, true, 0, QString(), 0));
        QCOMPARE(param(config, "PATH_REL_AiM_MASK"), QString::fromLatin1(kBoxItem));
    }

    void failureInTheSecondInstallIsReported()
    {
        Rs3Fixture fx;
        installBoth(fx);
        // A folder where the beta mask.tgz of the item belongs cannot be
        // replaced (this also holds when the tests run as root). The item is
        // named after its picture.
        const QImage picture = BoxStyleRenderer::render(QSize(120, 60), "panel_dark", QColor(), 0, QString(), QColor());
        const QString item =
            QString::fromLatin1(kSet) + "/Items/" + artItemName(QStringLiteral("box_dash_p1_md_01"), picture, kOrigin) + '/';
        QVERIFY(QDir().mkpath(fx.absolutePath(Rs3Fixture::Beta, item) + "mask.tgz"));
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^writeMaskPanel: mask.tgz write failed"));
        QVERIFY(!config.applyBoxStyle(0, 0, "panel_dark", 0, true, 0, QString(), 0));

        // The item written into the stable install first is taken away
        // again, with the set made for it.
        QVERIFY(!QFileInfo::exists(fx.absolutePath(Rs3Fixture::Stable, kSet)));
        // The mask and the sidecar are untouched.
        QCOMPARE(param(config, "PATH_REL_AiM_MASK"), QString::fromLatin1(kOrigin));
        QVERIFY(hasParam(config, "M_BCOL"));
        QVERIFY(styles(config).isEmpty());
    }

    // The record waits for the save: a store that cannot be written stops
    // the save, which leaves the file as it was, not the style.
    void unrecordedStyleStopsTheSave()
    {
        Rs3Fixture fx;
        installBoth(fx);
        DashConfig config;
        const QString path = writeConfig();
        QVERIFY(config.load(path));
        const QByteArray saved = TestFiles::readBytes(path);
        QVERIFY(QDir().mkpath(config.boxStylesSidecarPath() + "/blocker"));
        QVERIFY(config.applyBoxStyle(0, 0, "panel_dark", 0, true, 0, QString(), 0));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^saveSidecar:"));
        QVERIFY(!config.save(path));
        QCOMPARE(TestFiles::readBytes(path), saved);
        QCOMPARE(config.boxStyleRecord(0, 0).styleId, QStringLiteral("panel_dark"));
    }

    // A restyle draws into an item of its own: the earlier style's item, in
    // both installs, keeps its art for the undo step that points at it.
    void restyleKeepsTheEarlierItem()
    {
        Rs3Fixture fx;
        installBoth(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        QVERIFY(config.applyBoxStyle(0, 0, "panel_dark", 0, true, 0, QString(), 0));
        const QString dark = param(config, "PATH_REL_AiM_MASK");
        const auto before = ZipFixture::readTree(fx.absolutePath(Rs3Fixture::Beta, dark));
        resize(config, 140, 70);
        QVERIFY(config.applyBoxStyle(0, 0, "solid_blue", 0, true, 0, QString(), 0));
        const QString blue = param(config, "PATH_REL_AiM_MASK");
        QVERIFY(blue != dark);
        QVERIFY(isItem(blue, "box_dash_p1_md_01"));
        QCOMPARE(ZipFixture::readTree(fx.absolutePath(Rs3Fixture::Beta, dark)), before);
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            QCOMPARE(TgzImage::decodeFile(fx.absolutePath(root, dark) + "mask.tgz").size(), QSize(120, 60));
            QCOMPARE(TgzImage::decodeFile(fx.absolutePath(root, blue) + "mask.tgz").size(), QSize(140, 70));
        }
        QCOMPARE(styles(config).value("dash/p1/md.01").toObject().value("styleId").toString(),
                 QStringLiteral("solid_blue"));
    }

    void installsWithoutTheDevice()
    {
        Rs3Fixture fx;
        QVERIFY(fx.addArtItem(Rs3Fixture::Beta, kOrigin, QSize(100, 50)));
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        // Only the beta install holds the device: written there alone.
        QVERIFY(config.applyBoxStyle(0, 0, "panel_dark", 0, true, 0, QString(), 0));
        const QString item = param(config, "PATH_REL_AiM_MASK");
        QVERIFY(QFileInfo::exists(fx.absolutePath(Rs3Fixture::Beta, item) + "mask.tgz"));
        QVERIFY(!QFileInfo::exists(fx.absolutePath(Rs3Fixture::Stable, item)));

        QVERIFY(QDir(fx.overlayRoot(Rs3Fixture::Beta) + "/mxg_12").removeRecursively());
        DashConfig other;
        QVERIFY(other.load(writeConfig()));
        QVERIFY(!other.applyBoxStyle(0, 0, "panel_dark", 0, true, 0, QString(), 0));
        QCOMPARE(param(other, "PATH_REL_AiM_MASK"), QString::fromLatin1(kOrigin));
    }

    void maskWithoutIdIsKeyedByIndex()
    {
        Rs3Fixture fx;
        installBoth(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        QVERIFY(config.applyBoxStyle(0, 1, "panel_dark", 0, true, 0, QString(), 0));
        QVERIFY(isItem(param(config, "PATH_REL_AiM_MASK", 1), "box_dash_p1_box1"));
        QVERIFY(styles(config).contains("dash/p1/box1"));
    }

    // A multi-value box without an id: its multi-box record and its own
    // style record both live under ".../mbox%1", and a resize leaves its panel
    // to the multi-value box layout.
    void multiValueBoxWithoutIdKeepsItsPanel()
    {
        Rs3Fixture fx;
        installBoth(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        QVERIFY(config.saveMultiBoxEntry("dash/p1/mbox1", 1, 2, "top"));
        QCOMPARE(config.boxStyleKey(0, 1), QStringLiteral("dash/p1/mbox1"));
        QCOMPARE(config.boxStyleKey(0, 0), QStringLiteral("dash/p1/md.01"));
        QVERIFY(config.applyBoxStyle(0, 1, "solid_blue", 0, true, 0, QString(), 0));
        const QString panel = param(config, "PATH_REL_AiM_MASK", 1);
        QVERIFY2(isItem(panel, "mbox_dash_p1_mbox1"), qPrintable(panel));
        QCOMPARE(styles(config).keys(), QStringList{"dash/p1/mbox1"});
        QCOMPARE(config.boxStyleRecord(0, 1).styleId, QStringLiteral("solid_blue"));
        QCOMPARE(config.boxStyleSnapshot(0, 1).styleId, QStringLiteral("solid_blue"));

        const MaskElement& m = config.pages[0].masks[1];
        MoveCommand cmd(&m, m.x, m.y, m.w, m.h, m.x, m.y, 120, 60, &config, 0, 1, false, false);
        cmd.redo();
        QCOMPARE(param(config, "PATH_REL_AiM_MASK", 1), panel);
        QVERIFY(!hasParam(config, "DE_FIT_SRC", 1));
    }

    void refusedInput_data()
    {
        QTest::addColumn<QString>("origin");
        QTest::addColumn<QString>("style");
        QTest::addColumn<int>("width");
        QTest::newRow("unknown style") << QString(kOrigin) << "no_such_style" << 120;
        QTest::newRow("escaping origin") << "aim/resources/overlay/../../../../outside/Items/a/" << "panel_dark" << 120;
        QTest::newRow("escaping device")
            << "aim/resources/overlay/mxg_12/../../../../x/masks/set/standard/s01/digit/Items/a/" << "panel_dark" << 120;
        QTest::newRow("huge mask") << QString(kOrigin) << "panel_dark" << 100000;
    }
    void refusedInput()
    {
        QFETCH(QString, origin);
        QFETCH(QString, style);
        QFETCH(int, width);
        Rs3Fixture fx;
        installBoth(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig(origin, width, 60)));
        QVERIFY(!config.applyBoxStyle(0, 0, style, 0, true, 0, QString(), 0));
        QCOMPARE(param(config, "PATH_REL_AiM_MASK"), origin);
        QVERIFY(!QFileInfo::exists(fx.absolutePath(Rs3Fixture::Stable, kSet)));
        QVERIFY(!QFileInfo::exists(fx.root(Rs3Fixture::Stable) + "/../outside"));
    }

    void damagedMultiBoxRecordIsNoRecord()
    {
        Rs3Fixture fx;
        installBoth(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        QVERIFY(config.saveMultiBoxEntry("dash/p1/md.01", 0, 5, "left"));
        // Treated as a single box: no division by a zero count.
        QVERIFY(config.applyBoxStyle(0, 0, "panel_dark", 0, true, 0, QString(), 0));
        QCOMPARE(config.renderBoxStyleImage(0, 0).size(), QSize(120, 60));
        QVERIFY(config.saveMultiBoxEntry("dash/p1/md.01", 2, 1, "left"));
        QVERIFY(config.applyBoxStyle(0, 0, "panel_dark", 0, true, 0, QString(), 0));
        QVERIFY(isItem(param(config, "PATH_REL_AiM_MASK"), "mbox_dash_p1_md_01"));
    }

    void fitScalesFromTheOriginAndBack()
    {
        Rs3Fixture fx;
        installBoth(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig(QString::fromLatin1(kOrigin), 100, 50)));
        QCOMPARE(config.fitMaskArtToGeometry(0, 0), 0); // art already has the size

        resize(config, 120, 60);
        QCOMPARE(config.fitMaskArtToGeometry(0, 0), 1);
        const QString fitted = param(config, "PATH_REL_AiM_MASK");
        QVERIFY2(fitted.contains(QRegularExpression("/zbox_config/Items/fit_dash_p1_md_01_120x60_[0-9a-f]{8}/$")),
                 qPrintable(fitted));
        QCOMPARE(param(config, "DE_FIT_SRC"), QString::fromLatin1(kOrigin));
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            QCOMPARE(TgzImage::decodeFile(fx.absolutePath(root, fitted) + "mask.tgz").size(), QSize(120, 60));
            QCOMPARE(QImage(fx.absolutePath(root, fitted) + "mask.png").size(), QSize(120, 60));
        }
        QCOMPARE(config.fitMaskArtToGeometry(0, 0), 0);

        // A second fit scales from the stamped origin, never from the fit item.
        resize(config, 90, 30);
        QCOMPARE(config.fitMaskArtToGeometry(0, 0), 1);
        QCOMPARE(param(config, "DE_FIT_SRC"), QString::fromLatin1(kOrigin));
        resize(config, 120, 60);
        QCOMPARE(config.fitMaskArtToGeometry(0, 0), 1);
        QCOMPARE(param(config, "PATH_REL_AiM_MASK"), fitted); // same size, same item

        resize(config, 100, 50);
        QCOMPARE(config.fitMaskArtToGeometry(0, 0), 1);
        QCOMPARE(param(config, "PATH_REL_AiM_MASK"), QString::fromLatin1(kOrigin));
        QVERIFY(!hasParam(config, "DE_FIT_SRC"));
    }

    // The fit item's name hashes the origin in lower case with the picture:
    // the same art named with other letter case is the same item, other art
    // at the same size another one.
    void fitHashIgnoresLetterCase()
    {
        Rs3Fixture fx;
        installBoth(fx);
        const QString origin = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/S01/Digit/Items/A/");
        QVERIFY(fx.addArtItem(Rs3Fixture::Stable, origin, QSize(100, 50)));
        QVERIFY(fx.addArtItem(Rs3Fixture::Stable, origin.toLower(), QSize(100, 50)));
        const auto fittedItem = [&](const QString& from) {
            DashConfig config;
            if (!config.load(writeConfig(from, 100, 50)))
                return QString();
            resize(config, 120, 60);
            return config.fitMaskArtToGeometry(0, 0) == 1 ? param(config, "PATH_REL_AiM_MASK") : QString();
        };
        const QString upper = fittedItem(origin);
        QVERIFY2(upper.contains("/Items/fit_dash_p1_md_01_120x60_"), qPrintable(upper));
        QCOMPARE(fittedItem(origin.toLower()), upper);
        // The stock art replaced in place: a fit to the same size is a new item.
        QVERIFY(fx.addArtItem(Rs3Fixture::Stable, origin, QSize(100, 50), Qt::blue));
        const QString repainted = fittedItem(origin);
        QVERIFY(!repainted.isEmpty());
        QVERIFY(repainted != upper);
    }

    void fitRerendersAStyledBox()
    {
        Rs3Fixture fx;
        installBoth(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        QVERIFY(config.applyBoxStyle(0, 0, "panel_dark", 0, true, 0, QString(), 0));
        const QString styled = param(config, "PATH_REL_AiM_MASK");
        QCOMPARE(config.fitMaskArtToGeometry(0, 0), 0);
        const auto before = ZipFixture::readTree(fx.absolutePath(Rs3Fixture::Beta, styled));
        resize(config, 140, 70);
        QCOMPARE(config.fitMaskArtToGeometry(0, 0), 1);
        // A new item for the new size, with the styled item's descriptor and
        // extras; the earlier one stays as it was for the state that shows it.
        const QString sized = param(config, "PATH_REL_AiM_MASK");
        QVERIFY(sized != styled);
        QVERIFY(isItem(sized, "box_dash_p1_md_01"));
        const QString item = fx.absolutePath(Rs3Fixture::Beta, sized);
        QCOMPARE(TgzImage::decodeFile(item + "mask.tgz").size(), QSize(140, 70));
        QCOMPARE(m2Width(item), 140);
        QVERIFY(QFileInfo::exists(item + "on.png"));
        QCOMPARE(ZipFixture::readTree(fx.absolutePath(Rs3Fixture::Beta, styled)), before);
        QVERIFY(!hasParam(config, "DE_FIT_SRC"));
        // Back at the first size: the first item again.
        resize(config, 120, 60);
        QCOMPARE(config.fitMaskArtToGeometry(0, 0), 1);
        QCOMPARE(param(config, "PATH_REL_AiM_MASK"), styled);
    }

    void fitLeavesOthersAlone_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("warned");
        QTest::newRow("huge size") << 100000 << 2 << true;
        QTest::newRow("zero size") << 0 << 0 << false;
    }
    void fitLeavesOthersAlone()
    {
        QFETCH(int, width);
        QFETCH(int, result);
        QFETCH(bool, warned);
        Rs3Fixture fx;
        installBoth(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig(QString::fromLatin1(kOrigin), 100, 50)));
        resize(config, width, 50);
        if (warned)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^fitMaskArtToGeometry: could not fit"));
        QCOMPARE(config.fitMaskArtToGeometry(0, 0), result);
        QCOMPARE(!config.fitWarning.isEmpty(), warned);
        QCOMPARE(param(config, "PATH_REL_AiM_MASK"), QString::fromLatin1(kOrigin));
        QVERIFY(!QFileInfo::exists(fx.absolutePath(Rs3Fixture::Stable, kSet)));
    }

    void refitRebuildsAnItem()
    {
        Rs3Fixture fx;
        installBoth(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        // A name given to another picture is never drawn under.
        QVERIFY(!config.refitHomebrewItem(0, 0, kOrigin, 60, 30, "config", "fit_md_01_60x30_0badc0de"));
        QVERIFY(!QFileInfo::exists(fx.absolutePath(Rs3Fixture::Stable, kSet)));
        QVERIFY(config.refitHomebrewItem(0, 0, kOrigin, 60, 30, "config", "fit_md_01_60x30"));
        const QString rel = homebrewItemPath("mxg_12", "config", "fit_md_01_60x30");
        QCOMPARE(param(config, "PATH_REL_AiM_MASK"), rel);
        QCOMPARE(TgzImage::decodeFile(fx.absolutePath(Rs3Fixture::Beta, rel) + "mask.tgz").size(), QSize(60, 30));
        QVERIFY(hasParam(config, "M_BCOL")); // a refit keeps the border colour

        QVERIFY(!config.refitHomebrewItem(0, 0, "aim/resources/overlay/../../x/", 60, 30, "config", "fit_y"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^writeMaskPanel: refusing item path"));
        QVERIFY(!config.refitHomebrewItem(0, 0, kOrigin, 60, 30, "../..", "fit_y"));
        QVERIFY(!config.refitHomebrewItem(0, 0, kOrigin, 70000, 30, "config", "fit_y"));
        QCOMPARE(param(config, "PATH_REL_AiM_MASK"), rel);
    }

    void resizeCommandRefitsAndUndoes()
    {
        Rs3Fixture fx;
        installBoth(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig(QString::fromLatin1(kOrigin), 100, 50)));
        const auto resizeTo = [&config](int w, int h) {
            const MaskElement& m = config.pages[0].masks[0];
            return new MoveCommand(&m, m.x, m.y, m.w, m.h, m.x, m.y, w, h, &config, 0, 0, false, false);
        };
        std::unique_ptr<MoveCommand> grow(resizeTo(120, 60));
        grow->redo();
        const QString fitted = param(config, "PATH_REL_AiM_MASK");
        QVERIFY(fitted.contains("/Items/fit_dash_p1_md_01_120x60_"));
        QCOMPARE(param(config, "DE_FIT_SRC"), QString::fromLatin1(kOrigin));
        grow->undo();
        QCOMPARE(param(config, "PATH_REL_AiM_MASK"), QString::fromLatin1(kOrigin));
        QVERIFY(!hasParam(config, "DE_FIT_SRC"));
        grow->redo();
        QCOMPARE(param(config, "PATH_REL_AiM_MASK"), fitted);

        // Resizing back with a new command returns to the origin art.
        std::unique_ptr<MoveCommand> shrink(resizeTo(100, 50));
        shrink->redo();
        QCOMPARE(param(config, "PATH_REL_AiM_MASK"), QString::fromLatin1(kOrigin));
        QVERIFY(!hasParam(config, "DE_FIT_SRC"));
        shrink->undo();
        QCOMPARE(param(config, "PATH_REL_AiM_MASK"), fitted);
        QCOMPARE(param(config, "DE_FIT_SRC"), QString::fromLatin1(kOrigin));
    }

    void resizeCommandRedrawsAStyledBox()
    {
        Rs3Fixture fx;
        installBoth(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig()));
        QVERIFY(config.applyBoxStyle(0, 0, "panel_dark", 0, true, 0, QString(), 0));
        const MaskElement& m = config.pages[0].masks[0];
        MoveCommand cmd(&m, m.x, m.y, m.w, m.h, m.x, m.y, 150, 80, &config, 0, 0, false, false);
        const QString styled = param(config, "PATH_REL_AiM_MASK");
        const QString item = fx.absolutePath(Rs3Fixture::Stable, styled) + "mask.tgz";
        const auto before = ZipFixture::readTree(fx.absolutePath(Rs3Fixture::Stable, styled));
        cmd.redo();
        const QString sized = param(config, "PATH_REL_AiM_MASK");
        QCOMPARE(TgzImage::decodeFile(fx.absolutePath(Rs3Fixture::Stable, sized) + "mask.tgz").size(), QSize(150, 80));
        cmd.undo();
        QCOMPARE(param(config, "PATH_REL_AiM_MASK"), styled);
        // The item the undo points at was never drawn over.
        QCOMPARE(ZipFixture::readTree(fx.absolutePath(Rs3Fixture::Stable, styled)), before);
        QCOMPARE(TgzImage::decodeFile(item).size(), QSize(120, 60));
        cmd.redo();
        QCOMPARE(param(config, "PATH_REL_AiM_MASK"), sized);
    }

    void fitSkipsBarsAndMultiBoxes()
    {
        Rs3Fixture fx;
        installBoth(fx);
        DashConfig config;
        QVERIFY(config.load(writeConfig(QString::fromLatin1(kOrigin), 100, 50)));
        resize(config, 120, 60);
        QVERIFY(config.saveMultiBoxEntry("dash/p1/md.01", 0, 0, QString())); // even a damaged record
        QCOMPARE(config.fitMaskArtToGeometry(0, 0), 0);
        QVERIFY(!QFileInfo::exists(fx.absolutePath(Rs3Fixture::Stable, kSet)));
    }
};

KORV_GUI_TEST_MAIN(BoxArtTest)
#include "tst_boxart.moc"
