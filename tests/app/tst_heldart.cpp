#include "DemoStock.h"
#include "model/InstallRoots.h"
#include "support/DemoStockSteps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// Art a step made goes with its undo or Discard only while nothing else
// reached it: the widget clipboard holding the copied bar, or another
// window that found the same folder and used it. Read back from the saved
// file and both installs.
class HeldArtTest : public QObject, DemoStockSteps {
    Q_OBJECT

    // A second window on its own copy of the demo, swapped in for the
    // session's helpers while it acts.
    struct Other {
        std::unique_ptr<MainWindow> window;
        DashConfig* config = nullptr;
        QUndoStack* stack = nullptr;
        QString path;
    };

    void openOther(Other& b, const QString& folder)
    {
        b.path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(folder));
        QVERIFY(!b.path.isEmpty());
        b.window = std::make_unique<MainWindow>();
        b.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(b.window.get()));
        b.window->loadConfig(b.path);
        b.config = b.window->findChild<DashCanvas*>()->config;
        b.stack = b.window->findChild<QUndoStack*>();
    }

    void swapWith(Other& b)
    {
        std::swap(window, b.window);
        std::swap(config, b.config);
        std::swap(stack, b.stack);
        std::swap(path, b.path);
    }

    int maskOf(const QString& id, const QString& item = QString()) const
    {
        const std::vector<MaskElement>& masks = config->pages[kRace].masks;
        for (size_t k = 0; k < masks.size(); ++k) {
            if (item.isEmpty() ? masks[k].id == id : maskPath(*config, kRace, int(k)) == item)
                return int(k);
        }
        return -1;
    }

    // The step on the Race page's stock bar (md.02): Color... with its
    // defaults, or a panel resize.
    void colourOrResize(bool colour)
    {
        const int bar = maskOf(QString(), DemoStock::barItem());
        QVERIFY(bar >= 0);
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
    void copiedBarKeepsItsArt_data()
    {
        QTest::addColumn<bool>("colour");
        QTest::addColumn<bool>("discard");
        QTest::newRow("Color..., undo") << true << false;
        QTest::newRow("resize, undo") << false << false;
        QTest::newRow("Color..., another file, Discard") << true << true;
        QTest::newRow("resize, another file, Discard") << false << true;
    }
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

    // Two windows on copies of one configuration under the same name in
    // two folders take the same step: A's undo or Discard leaves what B
    // found and uses, and B's save finds every picture.
    void otherWindowKeepsTheArtItUses_data()
    {
        QTest::addColumn<bool>("colour");
        QTest::addColumn<bool>("discard");
        QTest::newRow("Color..., undo") << true << false;
        QTest::newRow("resize, undo") << false << false;
        QTest::newRow("Color..., Discard") << true << true;
        QTest::newRow("resize, Discard") << false << true;
    }
    void otherWindowKeepsTheArtItUses()
    {
        QFETCH(bool, colour);
        QFETCH(bool, discard);
        colourOrResize(colour);
        Other b;
        openOther(b, QStringLiteral("demo-b"));
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
