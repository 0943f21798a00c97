#include "DemoStock.h"
#include "model/InstallRoots.h"
#include "support/DemoStockSteps.h"

#include <QFile>
#include <QFileInfo>

// Art a step wrote stays in the installs whatever the history does: undo,
// redo, Discard and the close leave it for whatever reached it (the widget
// clipboard holding the copied bar, another window that found the same
// folder and used it, a file saved from it). Read back from the model as
// saved and both installs.
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

    // The clipboard offering another widget (md.03's label) since changes
    // nothing: Color... undone leaves its art all the same.
    void nextCopyChangesNothing()
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
        QVERIFY(QFileInfo::exists(coloured + QStringLiteral("mask.png")));
    }

    // Color... and a panel resize of the bar, in either order; then undo,
    // redo, undo again, Discard (another file opened) and the close. Every
    // file the steps wrote is still in both installs as written and a redo
    // draws nothing; a second window taking the same steps finds them all,
    // and the file it saves finds every picture.
    void stepsLeaveTheirArt_data()
    {
        QTest::addColumn<bool>("colourFirst");
        QTest::newRow("Color..., then resize") << true;
        QTest::newRow("resize, then Color...") << false;
    }
    void stepsLeaveTheirArt()
    {
        QFETCH(bool, colourFirst);
        const QMap<QString, QByteArray> before = rs3->snapshot();
        const auto steps = [&] {
            colourOrResize(colourFirst);
            const int bar = maskOf(QStringLiteral("md.02"));
            if (colourFirst)
                resize(kRace, bar, config->pages[kRace].masks[size_t(bar)].w - 40);
            else
                window->applyColorBar(bar);
            QCOMPARE(stack->count(), 2);
        };
        steps();
        const QMap<QString, QByteArray> drawn = rs3->snapshot();
        QMap<QString, QByteArray> written;
        for (auto it = drawn.cbegin(); it != drawn.cend(); ++it) {
            if (!before.contains(it.key()))
                written.insert(it.key(), it.value());
        }
        // Both steps drew an item, each in both installs.
        QMap<QString, int> items;
        for (auto it = written.cbegin(); it != written.cend(); ++it) {
            const QString rel = it.key().mid(it.key().indexOf(QLatin1String("aim/resources/overlay/")));
            if (it.value() == "<dir>" && rel.contains(QLatin1String("/Items/"))
                && !rel.section(QLatin1String("/Items/"), 1).contains(QLatin1Char('/')))
                ++items[rel];
        }
        QCOMPARE(items.size(), 2);
        QCOMPARE(items.values(), QList<int>({2, 2}));

        ctrl(Qt::Key_Z);
        ctrl(Qt::Key_Z);
        QCOMPARE(maskPath(*config, kRace, maskOf(QStringLiteral("md.02"))), DemoStock::barItem());
        window->stepHistory(false);
        window->stepHistory(false);
        QCOMPARE(stack->index(), 2);
        QCOMPARE(rs3->snapshot(), drawn);
        ctrl(Qt::Key_Z);
        asker->buttons = {QMessageBox::Discard};
        window->loadConfig(ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("next"))));
        QVERIFY(!window->hasUnsavedChanges());
        asker->buttons = {QMessageBox::Discard};
        QVERIFY(window->close());
        window.reset();
        const QMap<QString, QByteArray> after = rs3->snapshot();
        for (auto it = written.cbegin(); it != written.cend(); ++it)
            QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key()));

        Other b;
        openOther(b);
        swapWith(b);
        steps();
        QCOMPARE(rs3->snapshot(), drawn);
        ctrl(Qt::Key_S);
        QCOMPARE(missingPictures(), QStringList());
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
