#include "artwork/ArtworkFiles.h"
#include "artwork/BarShape.h"
#include "artwork/HomebrewItems.h"
#include "artwork/StaleArtRecord.h"
#include "artwork/TgzImage.h"
#include "check/ConfigCheck.h"
#include "editing/BarColorRemoveCommand.h"
#include "editing/MoveCommand.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QUndoStack>
#include <QtTest>

#include <memory>

// "Is this a coloured bar, and what is its origin" is asked by every entry
// that treats a coloured bar apart: the resize, the bar widget's refusal,
// Color... (its origin), Remove color, the stale and lost record checks,
// Check config and the open's rebuild. Each bar below is run through each.
namespace {

const char* const kStock = "aim/resources/overlay/mxg_12/masks/set/standard/s02/bar/Items/b1/";
const char* const kTemplateCopy = "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zt1/Items/b1/";
const char* const kPasteItem =
    "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zpaste_Race_0123abcd/Items/b1/";

// How a bar came to show its art.
enum Made {
    OwnFolder,     // Color...: its own folder, stamped and recorded
    Unstamped,     // coloured by a build that wrote no stamp: the record alone
    TemplateCopy,  // a page added from a template: the stamp alone
    Pasted,        // a picture pasted into the coloured art
    StaleRecord,   // stock art, and a record whose file was never saved
    Stock,         // stock art, nothing else
    FittedStock,   // a resized stock bar, and a stale record
};

QImage stockBar(const QSize& size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(QColor(60, 60, 60));
    for (int y = 0; y < size.height() / 3; ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y, QColor(220, 220, 220));
    return image;
}

QString param(const DashConfig& c, const char* name)
{
    return QString::fromUtf8(paramValue(c.pages[0].masks[0].node, name));
}

} // namespace

class ColouredBarEntriesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Rs3Fixture> m_fx;
    std::unique_ptr<DashConfig> m_c;
    QUndoStack m_stack;

    bool copyItem(const QString& from, const QString& to)
    {
        return ZipFixture::writeTree(m_fx->absolutePath(Rs3Fixture::Stable, to),
                                     ZipFixture::readTree(m_fx->absolutePath(Rs3Fixture::Stable, from)));
    }

    void setRecord(const QString& origin)
    {
        QMap<QString, BarColorRecord> records;
        if (!origin.isEmpty())
            records.insert(m_c->sidecarKey(0, 0, SidecarStore::BarColors),
                           BarColorRecord{true, 9000, origin, QStringLiteral("WIDTH=120;HEIGHT=30")});
        QVERIFY(m_c->saveBarColorSidecar(records));
    }

    // A fresh install and "Race.zconf2" with one bar (120 x 30; its stock
    // pictures have that size) made as `made` says.
    void build(int made)
    {
        m_stack.clear();
        m_c.reset();
        // One install at a time: a fixture going sets the roots back.
        m_fx.reset();
        m_fx = std::make_unique<Rs3Fixture>();
        m_fx->addDeviceFolder(Rs3Fixture::Stable, "mxg_12");
        const QImage bar = stockBar(QSize(120, 30));
        const QString stock = QString::fromLatin1(kStock);
        QVERIFY(ZipFixture::writeTree(m_fx->absolutePath(Rs3Fixture::Stable, stock),
                                      {{"mask.png", pngBytes(bar)}, {"mask.tgz", TgzImage::encode(bar)},
                                       {"m4off.png", pngBytes(bar)}, {"b1.M2.xml", "<aimDataBase_Mask2/>"}}));
        ConfigFixture cfg;
        cfg.device().page("Main").mask(Fx::mask("mb.01", 10, 20, 120, 30)
                                           .p("PATH_REL_AiM_MASK", stock)
                                           .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                                           .add(Fx::bargraph("b1", 0, 0, 120, 30, "a1")
                                                    .add(Fx::stepScale({{"0", "0"}, {"100", "9000"}})
                                                             .p("PATH_IMG_OFF", "m4off.png"))));
        const QString path = TestEnvironment::makeTempDir(QStringLiteral("entries")) + "/Race.zconf2";
        QVERIFY(QFile::copy(cfg.writeTempZip("Race.zconf2"), path));
        m_c = std::make_unique<DashConfig>();
        QVERIFY(m_c->load(path));
        pugi::xml_node node = m_c->pages[0].masks[0].node;
        if (made == OwnFolder || made == Unstamped || made == TemplateCopy || made == Pasted)
            QVERIFY(m_c->applyBarColor(0, 0));
        const QString coloured = param(*m_c, "PATH_REL_AiM_MASK");
        switch (made) {
        case Unstamped:
            removeParams(node, "DE_BARCOLOR_SRC");
            break;
        case TemplateCopy:
            QVERIFY(copyItem(coloured, kTemplateCopy));
            setParam(node, "PATH_REL_AiM_MASK", kTemplateCopy);
            setRecord({});
            break;
        case Pasted:
            QVERIFY(copyItem(coloured, kPasteItem));
            QVERIFY(m_fx->writeFile(Rs3Fixture::Stable, QString(kPasteItem) + "pasted.png", pngBytes(bar)));
            setParam(node, "PATH_REL_AiM_MASK", kPasteItem);
            break;
        case StaleRecord:
            setRecord(stock);
            break;
        case FittedStock: {
            const MaskElement& m = m_c->pages[0].masks[0];
            m_stack.push(new MoveCommand(&m, m.x, m.y, m.w, m.h, m.x, m.y, 100, 30, m_c.get(), 0, 0, false, true));
            QVERIFY(param(*m_c, "PATH_REL_AiM_MASK").contains("/Items/fit_"));
            setRecord(stock);
            break;
        }
        default:
            break;
        }
        m_c->pages[0].masks[0] = m_c->parseMask(node);
    }

private Q_SLOTS:
    void everyEntryAsksTheSame_data()
    {
        QTest::addColumn<int>("made");
        QTest::addColumn<bool>("coloured");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<bool>("stale");
        QTest::addColumn<bool>("lost"); // coloured, no record
        QTest::newRow("own folder") << int(OwnFolder) << true << false << false << false;
        QTest::newRow("record alone") << int(Unstamped) << true << false << false << false;
        QTest::newRow("template's copy") << int(TemplateCopy) << true << false << false << true;
        QTest::newRow("paste's item") << int(Pasted) << true << true << false << false;
        QTest::newRow("stale record") << int(StaleRecord) << false << false << true << false;
        QTest::newRow("stock") << int(Stock) << false << false << false << false;
        QTest::newRow("fitted stock, stale record") << int(FittedStock) << false << false << true << false;
    }

    void everyEntryAsksTheSame()
    {
        QFETCH(int, made);
        QFETCH(bool, coloured);
        QFETCH(bool, pasted);
        QFETCH(bool, stale);
        QFETCH(bool, lost);
        const QString stock = QString::fromLatin1(kStock);

        // The answer itself.
        build(made);
        const ColouredBar bar = m_c->colouredBar(0, 0);
        QCOMPARE(bar.coloured, coloured);
        QCOMPARE(bar.pasted, pasted);
        if (coloured)
            QCOMPARE(bar.origin, stock);

        // The bar widget keeps its place and size in a coloured element.
        const pugi::xml_node widget = findBargraphChild(m_c->pages[0].masks[0].node);
        QCOMPARE(!barWidgetGeometryRefusal(m_c.get(), m_c->pages[0].masks[0].node, widget).isEmpty(), coloured);
        // Color... is offered unless it would be refused.
        QCOMPARE(barColorRefusal(m_c.get(), m_c->pages[0].masks[0].node).isEmpty(), !pasted);

        // The stale and lost record checks, and Check config.
        const std::vector<StaleArtRecord> staleRecords = m_c->staleArtRecords();
        QCOMPARE(!staleRecords.empty(), stale);
        QCOMPARE(!m_c->unrecordedEditorArt().empty(), lost);
        QStringList codes;
        for (const ConfigFinding& f : ConfigCheck::checkConfig(*m_c))
            codes << f.code;
        QCOMPARE(codes.contains(QLatin1String("stale-record")), stale);
        QCOMPARE(codes.contains(QLatin1String("lost-record")), lost);

        // A resize draws a coloured bar again into a folder of its own, the
        // stock one fits its stock pictures.
        {
            const QString before = param(*m_c, "PATH_REL_AiM_MASK");
            const MaskElement& m = m_c->pages[0].masks[0];
            m_stack.push(new MoveCommand(&m, m.x, m.y, m.w, m.h, m.x, m.y, 90, 30, m_c.get(), 0, 0, false, true));
            const QString after = param(*m_c, "PATH_REL_AiM_MASK");
            QVERIFY(after != before);
            QCOMPARE(after.contains(QLatin1String("/s04_homebrew/zbar_Race_"))
                         || after.contains(QLatin1String("/s04_homebrew/zpaste_Race_")),
                     coloured);
            QCOMPARE(after.contains(QLatin1String("/Items/fit_")), !coloured);
            // Its pictures at the new size, the unlit strip too.
            for (const char* name : {"mask.png", "m4off.png"})
                QCOMPARE(QImage(m_fx->absolutePath(Rs3Fixture::Stable, after) + name).size(), QSize(90, 30));
            if (pasted)
                QVERIFY(QFile::exists(m_fx->absolutePath(Rs3Fixture::Stable, after) + "pasted.png"));
            m_stack.undo();
            QCOMPARE(param(*m_c, "PATH_REL_AiM_MASK"), before);
        }

        // Color... starts from the stock item, wherever the colours lie.
        build(made);
        QCOMPARE(m_c->applyBarColor(0, 0), !pasted);
        if (!pasted) {
            QCOMPARE(param(*m_c, "DE_BARCOLOR_SRC"), stock);
            QVERIFY(param(*m_c, "PATH_REL_AiM_MASK").contains(QLatin1String("/s04_homebrew/zbar_Race_")));
        }

        // Remove color goes back to the stock item (not from pasted pictures).
        build(made);
        bool removed = false;
        m_stack.push(new BarColorRemoveCommand(m_c.get(), 0, 0, &removed));
        QCOMPARE(removed, coloured && !pasted);
        if (removed)
            QCOMPARE(param(*m_c, "PATH_REL_AiM_MASK"), stock);

        // The open draws a coloured bar's own folder again where it is missing.
        if (made == OwnFolder || made == Unstamped) {
            build(made);
            const QString folder = m_fx->absolutePath(Rs3Fixture::Stable, param(*m_c, "PATH_REL_AiM_MASK"));
            QVERIFY(QDir(folder).removeRecursively());
            QCOMPARE(m_c->repairMissingColoredBars(), 1);
            QVERIFY(QFile::exists(folder + "mask.png"));
        }
    }
};

KORV_GUI_TEST_MAIN(ColouredBarEntriesTest)

#include "tst_colouredbarentries.moc"
