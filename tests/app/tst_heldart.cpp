#include "DemoStock.h"
#include "model/InstallRoots.h"
#include "support/DemoStockSteps.h"

#include <QFile>
#include <QFileInfo>

// Art a step made goes with its undo or Discard only while nothing else
// reached it: the widget clipboard holding the copied bar, or another
// window that found the same folder and used it. Read back from the model
// as saved and both installs.
class HeldArtTest : public QObject, DemoStockSteps {
    Q_OBJECT

    int maskOf(const QString& id) const
    {
        const std::vector<MaskElement>& masks = config->pages[kRace].masks;
        for (size_t k = 0; k < masks.size(); ++k) {
            if (masks[k].id == id)
                return int(k);
        }
        return -1;
    }

    // The step on the Race page's stock bar (md.02): Color... with its
    // defaults, or a panel resize.
    void colourOrResize(bool colour)
    {
        const int bar = maskOf(QStringLiteral("md.02"));
        QVERIFY(bar >= 0 && maskPath(*config, kRace, bar) == DemoStock::barItem());
        window->onPageSelected(kRace);
        if (colour)
            window->applyColorBar(bar);
        else
            resize(kRace, bar, config->pages[kRace].masks[size_t(bar)].w - 40);
        QCOMPARE(stack->count(), 1);
        QVERIFY(maskPath(*config, kRace, bar).contains(QLatin1String("/s04_homebrew/")));
    }

    // A key with Ctrl, as the user gives it to the canvas.
    void ctrl(Qt::Key key)
    {
        auto* canvas = window->findChild<DashCanvas*>();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        canvas->setFocus();
        QTest::keyClick(canvas, key, Qt::ControlModifier);
    }

    void selectMask(int mask, int widget)
    {
        auto* canvas = window->findChild<DashCanvas*>();
        window->onPageSelected(kRace);
        canvas->setSelectedMask(mask);
        canvas->setSelectedWidget(widget);
    }

    // Each picture a widget of the file just saved names that its mask's
    // folder lacks, in either install. Read from the window's model: a
    // load would draw missing art again.
    QStringList missingPictures() const
    {
        if (window->hasUnsavedChanges())
            return {QStringLiteral("<not saved>")};
        const DashConfig& saved = *config;
        QStringList missing;
        for (int p = 0; p < saved.pageCount(); ++p) {
            for (int m = 0; m < int(saved.pages[size_t(p)].masks.size()); ++m) {
                const QString rel = maskPath(saved, p, m);
                const pugi::xml_node node = saved.pages[size_t(p)].masks[size_t(m)].node;
                for (pugi::xml_node e = node.child("e"); e; e = e.next_sibling("e")) {
                    for (const QString& name : DashConfig::collectWidgetAssetReferences(e)) {
                        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
                            if (!QFileInfo::exists(rs3->absolutePath(root, rel + name)))
                                missing << rel + name;
                        }
                    }
                }
            }
        }
        return missing;
    }

    // Color... or a resize, taken back by an undo or by Discard.
    static void stepRows(const char* discarding)
    {
        QTest::addColumn<bool>("colour");
        QTest::addColumn<bool>("discard");
        for (bool discard : {false, true}) {
            for (bool colour : {true, false})
                QTest::addRow("%s, %s", colour ? "Color..." : "resize", discard ? discarding : "undo") << colour << discard;
        }
    }

private Q_SLOTS:
    void init()
    {
        openDemo();
        QVERIFY(rs3->addDemoStock(Rs3Fixture::Beta));
        QFile::remove(appDataDir() + QStringLiteral("/art-claims.tsv"));
    }
    void cleanup() { closeDemo(); }

    // Copy the bar the step drew, take the step back (Ctrl+Z, or Discard
    // by opening another file), paste into md.00 and save: the pasted bar
    // finds its pictures.
    void copiedBarKeepsItsArt_data() { stepRows("another file, Discard"); }
    void copiedBarKeepsItsArt()
    {
        QFETCH(bool, colour);
        QFETCH(bool, discard);
        colourOrResize(colour);
        const int bar = maskOf(QStringLiteral("md.02"));
        selectMask(bar, barWidget(kRace, bar));
        ctrl(Qt::Key_C);
        if (discard) {
            path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("other")));
            asker->buttons = {QMessageBox::Discard};
            window->loadConfig(path);
            QVERIFY(!window->hasUnsavedChanges());
        } else {
            ctrl(Qt::Key_Z);
            QCOMPARE(stack->index(), 0);
        }
        QCOMPARE(maskPath(*config, kRace, bar), DemoStock::barItem());
        const int into = maskOf(QStringLiteral("md.00"));
        const int widgets = int(config->pages[kRace].masks[size_t(into)].widgets.size());
        selectMask(into, -1);
        ctrl(Qt::Key_V);
        QCOMPARE(int(config->pages[kRace].masks[size_t(into)].widgets.size()), widgets + 1);
        ctrl(Qt::Key_S);
        QCOMPARE(missingPictures(), QStringList());
    }

    // The clipboard holds the bar's art only while it offers the bar: a
    // copy of another widget (md.03's label) lets go, and Color... undone
    // takes its art.
    void nextCopyLetsGo()
    {
        colourOrResize(true);
        const int bar = maskOf(QStringLiteral("md.02"));
        const QString coloured = rs3->absolutePath(Rs3Fixture::Stable, maskPath(*config, kRace, bar));
        selectMask(bar, barWidget(kRace, bar));
        ctrl(Qt::Key_C);
        selectMask(maskOf(QStringLiteral("md.03")), 0);
        ctrl(Qt::Key_C);
        ctrl(Qt::Key_Z);
        QCOMPARE(maskPath(*config, kRace, bar), DemoStock::barItem());
        QVERIFY(!QFileInfo::exists(coloured));
    }

    // Two windows on copies of one configuration under the same name in
    // two folders take the same step: A's undo or Discard leaves what B
    // found and uses, and B's save finds every picture.
    void otherWindowKeepsTheArtItUses_data() { stepRows("Discard"); }
    void otherWindowKeepsTheArtItUses()
    {
        QFETCH(bool, colour);
        QFETCH(bool, discard);
        colourOrResize(colour);
        Other b;
        openOther(b);
        QCOMPARE(QFileInfo(b.path).fileName(), QFileInfo(path).fileName());
        swapWith(b);
        colourOrResize(colour);
        swapWith(b);
        if (!discard)
            ctrl(Qt::Key_Z);
        // The window closes with its file: what its undone steps drew goes
        // now, as far as nothing else holds it.
        asker->buttons = {QMessageBox::Discard};
        QVERIFY(window->close());
        window.reset();
        swapWith(b);
        ctrl(Qt::Key_S);
        QCOMPARE(missingPictures(), QStringList());
    }
};

KORV_TEST_MAIN(HeldArtTest)

#include "tst_heldart.moc"
