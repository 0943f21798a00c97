#include "editing/BarColorCommand.h"
#include "editing/BarColorRemoveCommand.h"
#include "editing/MoveCommand.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QImage>
#include <QUndoStack>
#include <QtTest>

// A coloured bar keeps the geometry the user gives it: a resize made while
// coloured stays when the colour is removed, and a bar the colour band would
// run past (one smaller than its element, two bars in one element) is not
// coloured at all.
namespace {

constexpr int kRace = 0;
constexpr int kLaps = 2;
constexpr int kBar = 2; // Race's lying bar md.02, 340 x 60

pugi::xml_node maskNode(DashConfig& c, int page, int mask)
{
    return c.pages[size_t(page)].masks[size_t(mask)].node;
}

// A bar that runs past its element ("<mask>/<bar>"), or empty.
QString barPastItsElement(DashConfig& c)
{
    for (const PageModel& page : c.pages) {
        for (const MaskElement& m : page.masks) {
            for (pugi::xml_node e = m.node.child("e"); e; e = e.next_sibling("e")) {
                if (!hasClass(e, "Bargraph") && !hasClass(e, "BargraphTrapezio"))
                    continue;
                const int x = paramInt(e, "XPOS");
                const int y = paramInt(e, "YPOS");
                const int right = x + std::max({paramInt(e, "WIDTH"), paramInt(e, "XEnd1"), paramInt(e, "XEnd2")});
                const int bottom = y + std::max({paramInt(e, "HEIGHT"), paramInt(e, "YEnd1"), paramInt(e, "YEnd2")});
                if (x < 0 || y < 0 || right > paramInt(m.node, "WIDTH") || bottom > paramInt(m.node, "HEIGHT"))
                    return m.id + QLatin1Char('/') + QString::fromUtf8(e.attribute("i").value());
            }
        }
    }
    return {};
}

} // namespace

class BarColorGeometryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Rs3Fixture> m_rs3;

    QString demoCopy()
    {
        return ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
    }

    static MoveCommand* resize(DashConfig& c, int page, int mask, const QSize& size, bool rescale)
    {
        const MaskElement& m = c.pages[size_t(page)].masks[size_t(mask)];
        return new MoveCommand(&m, m.x, m.y, m.w, m.h, m.x, m.y, size.width(), size.height(), &c, page, mask, !rescale,
                               rescale);
    }

private Q_SLOTS:
    void init()
    {
        m_rs3 = std::make_unique<Rs3Fixture>();
        QVERIFY(m_rs3->addDemoStock(Rs3Fixture::Stable));
    }
    void cleanup() { m_rs3.reset(); }

    // Color…, a resize (the panel or a drag), Remove color, Save: the saved
    // element is the one the panel's resize makes of the uncoloured bar (a
    // coloured bar's edges follow its pictures on a drag too, so Remove
    // color keeps them). Undo takes each step back exactly.
    void removeKeepsTheResize_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("rescale");
        QTest::newRow("panel, narrower") << QSize(200, 60) << true;
        QTest::newRow("panel, both ways") << QSize(510, 45) << true;
        QTest::newRow("drag, narrower") << QSize(200, 60) << false;
    }
    void removeKeepsTheResize()
    {
        QFETCH(QSize, size);
        QFETCH(bool, rescale);
        const QString plainPath = demoCopy();
        const QString colouredPath = demoCopy();
        QVERIFY(!plainPath.isEmpty() && !colouredPath.isEmpty());
        {
            DashConfig plain;
            QVERIFY(plain.load(plainPath));
            QUndoStack stack;
            stack.push(resize(plain, kRace, kBar, size, true));
            QVERIFY(plain.save(plainPath));
        }

        DashConfig c;
        QVERIFY(c.load(colouredPath));
        QUndoStack stack;
        bool applied = false;
        stack.push(new BarColorCommand(&c, kRace, kBar, &applied));
        QVERIFY(applied);
        const QByteArray colouredXml = ConfigSnapshot::documents(c);
        const QByteArray colouredRecord = TestFiles::readBytes(c.barColorSidecarPath());
        stack.push(resize(c, kRace, kBar, size, rescale));
        const QByteArray resizedXml = ConfigSnapshot::documents(c);
        bool removed = false;
        stack.push(new BarColorRemoveCommand(&c, kRace, kBar, &removed));
        QVERIFY(removed);
        QVERIFY(c.save(colouredPath));

        DashConfig plain;
        DashConfig saved;
        QVERIFY(plain.load(plainPath));
        QVERIFY(saved.load(colouredPath));
        // The element and its bar as the plain resize left them (the mask
        // keeps the PATH_IMAGE the colouring gave it).
        const auto bar = [](DashConfig& c) {
            return ConfigSnapshot::xml(maskNode(c, kRace, kBar).find_child_by_attribute("e", "c", "BargraphTrapezio"));
        };
        QCOMPARE(bar(saved), bar(plain));
        for (const char* name : {"XPOS", "YPOS", "WIDTH", "HEIGHT"})
            QCOMPARE(paramValue(maskNode(saved, kRace, kBar), name), paramValue(maskNode(plain, kRace, kBar), name));

        stack.undo(); // Remove color
        QCOMPARE(ConfigSnapshot::documents(c), resizedXml);
        stack.undo(); // the resize
        QCOMPARE(ConfigSnapshot::documents(c), colouredXml);
        QCOMPARE(TestFiles::readBytes(c.barColorSidecarPath()), colouredRecord);
        stack.redo();
        QCOMPARE(ConfigSnapshot::documents(c), resizedXml);
    }

    // A file from a build that resized a coloured bar without drawing it
    // again: its folder is named after the size the colouring drew, which
    // its record still tells. The open elsewhere draws it at that size.
    void olderResizedBarIsDrawnAtItsRecordedSize()
    {
        const QString path = demoCopy();
        QString folder;
        {
            DashConfig c;
            QVERIFY(c.load(path));
            QVERIFY(c.applyBarColor(kRace, kBar));
            folder = QString::fromUtf8(paramValue(maskNode(c, kRace, kBar), "PATH_REL_AiM_MASK"));
            setParamInt(maskNode(c, kRace, kBar), "WIDTH", 200);
            c.pages[kRace].masks[kBar].w = 200;
            c.markPageDirty(kRace);
            QVERIFY(c.save(path));
        }
        QVERIFY(QDir(m_rs3->absolutePath(Rs3Fixture::Stable, folder)).removeRecursively());
        DashConfig c;
        QVERIFY(c.load(path));
        QCOMPARE(paramInt(maskNode(c, kRace, kBar), "WIDTH"), 200);
        QCOMPARE(c.barRepairCount, 1);
        QCOMPARE(QImage(m_rs3->absolutePath(Rs3Fixture::Stable, folder) + "mask.png").size(), QSize(340, 60));
    }

    // Art the user put in place of a bar's colours follows a resize as a
    // stock bar's does: its own pictures (here one magenta strip) are fitted
    // to the new size, the colours are not drawn over them, the replaced
    // folder stays as it was, and a second resize still starts from it.
    // Undo and redo give each state back.
    void replacedColoursFollowAResize()
    {
        DashConfig c;
        QVERIFY(c.load(demoCopy()));
        QVERIFY(c.applyBarColor(kRace, kBar));
        const QString coloured = QString::fromUtf8(paramValue(maskNode(c, kRace, kBar), "PATH_REL_AiM_MASK"));
        QString replaced = coloured;
        replaced.replace(QStringLiteral("/Items/"), QStringLiteral("_r0123abcd/Items/"));
        const QString replacedDir = m_rs3->absolutePath(Rs3Fixture::Stable, replaced);
        QVERIFY(QDir().mkpath(replacedDir));
        QVERIFY(QDir().rmdir(replacedDir));
        QVERIFY(QDir().rename(m_rs3->absolutePath(Rs3Fixture::Stable, coloured), replacedDir));
        QImage magenta(340, 60, QImage::Format_ARGB32);
        magenta.fill(Qt::magenta);
        QVERIFY(magenta.save(replacedDir + "mask.png"));
        setParam(maskNode(c, kRace, kBar), "PATH_REL_AiM_MASK", replaced.toUtf8());
        const auto before = Rs3Fixture::treeSnapshot(replacedDir);
        const QByteArray start = ConfigSnapshot::documents(c);
        QUndoStack stack;
        const auto shown = [&] {
            const QString rel = QString::fromUtf8(paramValue(maskNode(c, kRace, kBar), "PATH_REL_AiM_MASK"));
            return QImage(m_rs3->absolutePath(Rs3Fixture::Stable, rel) + "mask.png");
        };
        for (const int width : {200, 300}) {
            stack.push(resize(c, kRace, kBar, QSize(width, 60), true));
            QCOMPARE(QString::fromUtf8(paramValue(maskNode(c, kRace, kBar), "DE_FIT_SRC")), replaced);
            QCOMPARE(shown().size(), QSize(width, 60));
            QCOMPARE(shown().pixelColor(width / 2, 30), QColor(Qt::magenta));
            QVERIFY(c.colouredBar(kRace, kBar).coloured);
        }
        QVERIFY(Rs3Fixture::treeSnapshot(replacedDir) == before);
        const QByteArray at300 = ConfigSnapshot::documents(c);
        stack.undo();
        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(c), start);
        stack.redo();
        stack.redo();
        QCOMPARE(ConfigSnapshot::documents(c), at300);
    }

    // The +- Ref Time bar holds two bars, each a part of its element: Color…
    // is refused with its reason and leaves no step; nothing runs past its
    // element in the saved file. A lone bar smaller than its element is
    // refused the same way.
    void barsTheBandWouldRunPast()
    {
        const QString path = demoCopy();
        DashConfig c;
        QVERIFY(c.load(path));
        const int refTime = c.insertRefTimeBar(kLaps, QRect(130, 195, 1, 1), QColor(), QColor(), 2.0);
        QVERIFY(refTime >= 0);
        QVERIFY(c.save(path));
        QVERIFY(c.load(path));
        const QByteArray xml = ConfigSnapshot::documents(c);

        QUndoStack stack;
        bool applied = true;
        stack.push(new BarColorCommand(&c, kLaps, refTime, &applied));
        QVERIFY(c.save(path));
        DashConfig saved;
        QVERIFY(saved.load(path));
        QCOMPARE(barPastItsElement(saved), QString());
        QVERIFY(!applied);
        QCOMPARE(stack.count(), 0);
        QString why;
        QVERIFY(!c.applyBarColor(kLaps, refTime, &why));
        QVERIFY2(why.startsWith(QStringLiteral("elements with more than one bar")), qPrintable(why));
        QCOMPARE(ConfigSnapshot::documents(c), xml);

        // The Race bar narrowed inside its element.
        pugi::xml_node bar = maskNode(c, kRace, kBar).find_child_by_attribute("e", "c", "BargraphTrapezio");
        setParamInt(bar, "WIDTH", 300);
        QVERIFY(!c.applyBarColor(kRace, kBar, &why));
        QVERIFY2(why.startsWith(QStringLiteral("a bar smaller than its element (300 x 60 at 0, 0 in 340 x 60)")),
                 qPrintable(why));
        setParamInt(bar, "WIDTH", 340);
        QVERIFY(c.applyBarColor(kRace, kBar, &why));
        QCOMPARE(barPastItsElement(c), QString());
    }
};

KORV_GUI_TEST_MAIN(BarColorGeometryTest)

#include "tst_barcolorgeometry.moc"
