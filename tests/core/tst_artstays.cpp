// Art written into the installs stays there whatever the history does:
// steps undone, redone, the history dropped and the file closed leave every
// file a step wrote as written, and nothing is noted in the data folder for
// it. Discard puts back only files that were there before.
#include "DemoStock.h"
#include "artwork/SavedArtFolders.h"
#include "editing/BarColorCommand.h"
#include "editing/BarColorRemoveCommand.h"
#include "editing/BoxStyleCommand.h"
#include "editing/MoveCommand.h"
#include "model/DashConfig.h"
#include "model/InstallRoots.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QGuiApplication>
#include <QUndoStack>
#include <QtTest>

#include <memory>

class ArtStaysTest : public QObject {
    Q_OBJECT

    static constexpr int kRace = 0;
    std::unique_ptr<Rs3Fixture> rs3;
    std::unique_ptr<DashConfig> config;

    int maskShowing(const QString& item) const
    {
        for (size_t k = 0; k < config->pages[kRace].masks.size(); ++k) {
            if (paramValue(config->pages[kRace].masks[k].node, "PATH_REL_AiM_MASK") == item)
                return int(k);
        }
        return -1;
    }

    QUndoCommand* step(const QString& what, int mask)
    {
        const MaskElement& m = config->pages[kRace].masks[size_t(mask)];
        if (what == QLatin1String("colour"))
            return new BarColorCommand(config.get(), kRace, mask);
        if (what == QLatin1String("remove colour"))
            return new BarColorRemoveCommand(config.get(), kRace, mask);
        if (what == QLatin1String("box style"))
            return new BoxStyleCommand(config.get(), kRace, mask, QStringLiteral("solid_blue"), 0, true, 2, QString(), 0);
        return new MoveCommand(&m, m.x, m.y, m.w, m.h, m.x, m.y, m.w - 30, m.h + 4, config.get(), kRace, mask, false,
                               true);
    }

private Q_SLOTS:
    void init()
    {
        rs3 = std::make_unique<Rs3Fixture>();
        QVERIFY(rs3->addDemoStock(Rs3Fixture::Stable));
        QVERIFY(rs3->addDemoStock(Rs3Fixture::Beta));
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("artstays")));
        config = std::make_unique<DashConfig>();
        QVERIFY(config->load(path));
    }
    void cleanup()
    {
        config.reset();
        rs3.reset();
    }

    void stepsLeaveTheirFiles_data()
    {
        QTest::addColumn<QString>("item"); // the stock item of the element stepped on
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("colour") << DemoStock::barItem() << QStringList{"colour"};
        QTest::newRow("resize") << DemoStock::barItem() << QStringList{"resize"};
        QTest::newRow("colour, resize") << DemoStock::barItem() << QStringList{"colour", "resize"};
        QTest::newRow("resize, colour, resize") << DemoStock::barItem() << QStringList{"resize", "colour", "resize"};
        QTest::newRow("colour, remove colour") << DemoStock::barItem() << QStringList{"colour", "remove colour"};
        QTest::newRow("box style, resize") << DemoStock::valueBoxItem() << QStringList{"box style", "resize"};
    }
    void stepsLeaveTheirFiles()
    {
        QFETCH(QString, item);
        QFETCH(QStringList, steps);
        const int mask = maskShowing(item);
        QVERIFY(mask >= 0);
        const QMap<QString, QByteArray> before = rs3->snapshot();
        const QMap<QString, QByteArray> data = Rs3Fixture::treeSnapshot(appDataDir());
        QUndoStack stack;
        for (const QString& what : steps)
            stack.push(step(what, mask));
        QCOMPARE(stack.count(), int(steps.size()));
        const QMap<QString, QByteArray> drawn = rs3->snapshot();
        QVERIFY(drawn != before);
        stack.setIndex(0);
        QCOMPARE(paramValue(config->pages[kRace].masks[size_t(mask)].node, "PATH_REL_AiM_MASK"), item);
        QCOMPARE(rs3->snapshot(), drawn);
        stack.setIndex(stack.count());
        QCOMPARE(rs3->snapshot(), drawn);
        stack.setIndex(0);
        stack.clear();
        config.reset();
        QCOMPARE(rs3->snapshot(), drawn);
        QCOMPARE(Rs3Fixture::treeSnapshot(appDataDir()), data);
    }

    // A file changed in place gets its bytes back; a name written since
    // stays, and a folder removed since is not made again.
    void discardPutsBackOnlyWhatWasThere()
    {
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("inplace"));
        const QString kept = dir + QStringLiteral("/kept");
        const QString gone = dir + QStringLiteral("/gone");
        for (const QString& folder : {kept, gone})
            QVERIFY(QDir().mkpath(folder) && TestFiles::writeBytes(folder + QStringLiteral("/a.png"), "A"));
        SavedArtFolders saved;
        for (const QString& folder : {kept, gone}) {
            saved.aboutToWrite(folder, {QStringLiteral("a.png"), QStringLiteral("b.png")});
            QVERIFY(TestFiles::writeBytes(folder + QStringLiteral("/a.png"), "X"));
            QVERIFY(TestFiles::writeBytes(folder + QStringLiteral("/b.png"), "B"));
        }
        QVERIFY(QDir(gone).removeRecursively());
        QVERIFY(saved.putBack());
        QCOMPARE(TestFiles::readBytes(kept + QStringLiteral("/a.png")), QByteArray("A"));
        QCOMPARE(TestFiles::readBytes(kept + QStringLiteral("/b.png")), QByteArray("B"));
        QVERIFY(!QFileInfo::exists(gone));
    }
};

KORV_GUI_TEST_MAIN(ArtStaysTest)

#include "tst_artstays.moc"
