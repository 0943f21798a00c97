#include "DemoStock.h"
#include "artwork/HomebrewItems.h"
#include "artwork/TgzImage.h"
#include "editing/BarColorCommand.h"
#include "editing/MoveCommand.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QGuiApplication>
#include <QDirIterator>
#include <QUndoStack>
#include <QtTest>

#include <memory>

// The art a resize fits or a colouring draws stays in the installs: undoing
// the step points the element back, redoing it points it at that art again.
class FitUndoTest : public QObject {
    Q_OBJECT

    static constexpr int kRace = 0;

    std::unique_ptr<Rs3Fixture> rs3;
    std::unique_ptr<DashConfig> owned;
    int bar = -1;

    // The editor-made folders (fitted items, coloured bars) in both installs.
    QStringList madeFolders() const
    {
        QStringList found;
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            QDirIterator it(rs3->root(root), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString folder = it.next();
                const QString name = it.fileName();
                if (name.startsWith(QLatin1String("fit_")) || name.startsWith(QLatin1String("zbar_")))
                    found << folder;
            }
        }
        found.sort();
        return found;
    }

    MoveCommand* widthTo(int width)
    {
        const MaskElement& m = owned->pages[kRace].masks[size_t(bar)];
        return new MoveCommand(&m, m.x, m.y, m.w, m.h, m.x, m.y, width, m.h, owned.get(), kRace, bar, false, true);
    }

private Q_SLOTS:
    void init()
    {
        rs3 = std::make_unique<Rs3Fixture>();
        QVERIFY(rs3->addDemoStock(Rs3Fixture::Stable));
        QVERIFY(rs3->addDemoStock(Rs3Fixture::Beta));
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("fitundo")));
        QVERIFY(!path.isEmpty());
        owned = std::make_unique<DashConfig>();
        QVERIFY(owned->load(path));
        bar = -1;
        for (size_t k = 0; k < owned->pages[kRace].masks.size(); ++k) {
            if (paramValue(owned->pages[kRace].masks[k].node, "PATH_REL_AiM_MASK") == DemoStock::barItem())
                bar = int(k);
        }
        QVERIFY(bar >= 0);
    }

    void cleanup()
    {
        owned.reset();
        rs3.reset();
    }

    // Twelve widths in a row, each a fitted item in both installs; undone
    // step by step, they stay for a redo, which finds them as they were and
    // gives the mask the same parameters; undone again and the file closed,
    // every one of them is still there.
    void undoneResizesKeepTheirFittedItems()
    {
        const QStringList before = madeFolders();
        QUndoStack stack;
        for (int i = 0; i < 12; ++i)
            stack.push(widthTo(300 - 10 * i));
        QCOMPARE(stack.count(), 12);
        const QStringList fits = madeFolders();
        QVERIFY(fits.size() >= before.size() + 24);
        const auto maskXml = [this] {
            pugi::xml_document doc;
            doc.append_copy(owned->pages[kRace].masks[size_t(bar)].node);
            return xmlDocumentBytes(doc, " ");
        };
        const QByteArray fitted = maskXml();
        const QMap<QString, QByteArray> drawn = rs3->snapshot();
        while (stack.canUndo())
            stack.undo();
        QCOMPARE(paramValue(owned->pages[kRace].masks[size_t(bar)].node, "PATH_REL_AiM_MASK"), DemoStock::barItem());
        while (stack.canRedo())
            stack.redo();
        QCOMPARE(maskXml(), fitted);
        QCOMPARE(rs3->snapshot(), drawn);
        while (stack.canUndo())
            stack.undo();
        stack.clear();
        owned.reset();
        QCOMPARE(madeFolders(), fits);
        QCOMPARE(rs3->snapshot(), drawn);
    }

    // The item's pictures the bar does not show stay out of its fitted
    // item: a resize costs what the element shows.
    void fitHoldsOnlyWhatTheBarShows()
    {
        const QString stock = rs3->absolutePath(Rs3Fixture::Stable, DemoStock::barItem());
        const QByteArray picture = TestFiles::readBytes(stock + QStringLiteral("mask.png"));
        QVERIFY(!picture.isEmpty());
        for (int i = 0; i < 20; ++i)
            QVERIFY(rs3->writeFile(Rs3Fixture::Stable, DemoStock::barItem() + QStringLiteral("unused_%1.png").arg(i),
                                   picture));
        QUndoStack stack;
        stack.push(widthTo(200));
        const QString fitted = DashConfig::resolveOverlayDir(
            QString::fromUtf8(paramValue(owned->pages[kRace].masks[size_t(bar)].node, "PATH_REL_AiM_MASK")));
        QVERIFY(fitted.contains(QLatin1String("/fit_")));
        const QStringList held = QDir(fitted).entryList(QDir::Files);
        QVERIFY2(held.filter(QStringLiteral("unused_")).isEmpty(), qPrintable(held.join(QLatin1Char(' '))));
        const pugi::xml_node node = owned->pages[kRace].masks[size_t(bar)].node;
        const QStringList shown = DashConfig::collectWidgetAssetReferences(findBargraphChild(node));
        QVERIFY(!shown.isEmpty());
        for (const QString& name : shown)
            QVERIFY2(held.contains(name), qPrintable(name));
    }

    // A fitted item whose strips kept the stock size (as an older build's
    // repair left them) is drawn again at the open, like a missing one.
    void misfitItemIsRebuiltAtOpen()
    {
        QUndoStack stack;
        stack.push(widthTo(200));
        QVERIFY(owned->save(owned->zconf2Path));
        const pugi::xml_node node = owned->pages[kRace].masks[size_t(bar)].node;
        const QString rel = QString::fromUtf8(paramValue(node, "PATH_REL_AiM_MASK"));
        const QStringList shown = DashConfig::collectWidgetAssetReferences(findBargraphChild(node));
        QVERIFY(rel.contains(QLatin1String("/fit_")) && !shown.isEmpty());
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            for (const QString& name : shown) {
                const QByteArray stock = TestFiles::readBytes(rs3->absolutePath(root, DemoStock::barItem() + name));
                QVERIFY(!stock.isEmpty());
                QVERIFY(rs3->writeFile(root, rel + name, stock));
            }
        }
        const QString path = owned->zconf2Path;
        owned = std::make_unique<DashConfig>();
        QVERIFY(owned->load(path));
        QVERIFY(owned->homebrewRepairCount >= 1);
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            for (const QString& name : shown) {
                const QString file = rs3->absolutePath(root, rel + name);
                const QImage image = name.endsWith(QLatin1String(".tgz")) ? TgzImage::decodeFile(file) : QImage(file);
                QCOMPARE(image.width(), 200);
            }
        }
    }

    // A resize that was saved keeps its item: a saved file points at it.
    void savedResizeKeepsItsItem()
    {
        QUndoStack stack;
        stack.push(widthTo(250));
        QVERIFY(owned->save(owned->zconf2Path));
        const QStringList saved = madeFolders();
        stack.undo();
        QCOMPARE(madeFolders(), saved);
    }

    // Color... undone before any save leaves its coloured folders; redone,
    // the bar points at them again and nothing is drawn.
    void undoneColourKeepsItsFolders()
    {
        const QStringList before = madeFolders();
        QUndoStack stack;
        bool applied = false;
        stack.push(new BarColorCommand(owned.get(), kRace, bar, &applied));
        QVERIFY(applied);
        QVERIFY(madeFolders() != before);
        const QMap<QString, QByteArray> drawn = rs3->snapshot();
        stack.undo();
        QCOMPARE(rs3->snapshot(), drawn);
        stack.redo();
        QCOMPARE(rs3->snapshot(), drawn);
        QVERIFY(owned->colouredBar(kRace, bar).coloured);
        const QString rel = QString::fromUtf8(paramValue(owned->pages[kRace].masks[size_t(bar)].node,
                                                         "PATH_REL_AiM_MASK"));
        QVERIFY(!DashConfig::resolveOverlayDir(rel).isEmpty());
    }
};

KORV_GUI_TEST_MAIN(FitUndoTest)

#include "tst_fitundo.moc"
