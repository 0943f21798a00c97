#include "check/ConfigCheck.h"
#include "support/ConfigSnapshot.h"
#include "support/DemoStockSteps.h"
#include "window/WidgetClipboard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// A coloured bar copied, its art then removed behind the editor's back (as
// in a mailed file whose art this install lacks): the paste goes ahead as
// one step, the status names the pictures no install holds, and Check
// config lists them in the saved file.
class PasteMissingArtTest : public QObject, DemoStockSteps {
    Q_OBJECT

    static constexpr int kTarget = 0; // md.00, a stock element of Race

    // The pictures the widgets of a mask of the saved file name, each with
    // whether an install holds it in that mask's folder.
    QMap<QString, bool> savedPictures(const QString& file, int mask) const
    {
        DashConfig saved;
        if (!saved.load(file))
            return {{QStringLiteral("<unreadable>"), false}};
        const MaskElement& m = saved.pages[size_t(kRace)].masks[size_t(mask)];
        QMap<QString, bool> pictures;
        for (const WidgetModel& widget : m.widgets) {
            for (const QString& name : DashConfig::collectWidgetAssetReferences(widget.node)) {
                const QString rel = maskPath(saved, kRace, mask) + QLatin1Char('/') + name;
                pictures.insert(widget.id + QLatin1Char(':') + name,
                                QFileInfo(rs3->absolutePath(Rs3Fixture::Stable, rel)).isFile()
                                    || QFileInfo(rs3->absolutePath(Rs3Fixture::Beta, rel)).isFile());
            }
        }
        return pictures;
    }

    void removeFromInstalls(const QString& rel)
    {
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            const QString at = rs3->absolutePath(root, rel);
            if (QFileInfo(at).isDir())
                QVERIFY(QDir(at).removeRecursively());
            else if (QFileInfo::exists(at))
                QVERIFY(QFile::remove(at));
        }
    }

    void pasteThroughMenu()
    {
        for (QAction* action : window->findChildren<QAction*>()) {
            if (action->text() == QLatin1String("&Paste Widget")) {
                action->trigger();
                return;
            }
        }
        QFAIL("no Paste Widget action");
    }

private Q_SLOTS:
    void init()
    {
        openDemo();
        QVERIFY(rs3->addDemoStock(Rs3Fixture::Beta));
        widgetClipboard().clear();
    }
    void cleanup() { closeDemo(); }

    void pastedNamingTheMissingPictures_data()
    {
        QTest::addColumn<QString>("removed"); // "folder", or "one" picture of the bar's
        QTest::addColumn<bool>("undoColour"); // the colour undone between the copy and the paste
        QTest::addColumn<bool>("otherWindow"); // pasted into a second window on another copy
        QTest::newRow("folder removed") << "folder" << false << false;
        QTest::newRow("one picture of several removed") << "one" << false << false;
        QTest::newRow("folder removed after the colour's undo") << "folder" << true << false;
        QTest::newRow("folder removed, into another window's file") << "folder" << false << true;
    }
    void pastedNamingTheMissingPictures()
    {
        QFETCH(QString, removed);
        QFETCH(bool, undoColour);
        QFETCH(bool, otherWindow);
        window->onPageSelected(kRace);
        window->applyColorBar(2);
        const QString coloured = maskPath(*config, kRace, 2);
        QVERIFY2(coloured.contains(QStringLiteral("/zbar_")), qPrintable(status()));
        const int bar = barWidget(kRace, 2);
        QVERIFY(bar >= 0);
        const QStringList names =
            DashConfig::collectWidgetAssetReferences(config->pages[size_t(kRace)].masks[2].widgets[size_t(bar)].node);
        QVERIFY2(names.size() > 1, qPrintable(names.join(',')));
        auto* canvas = window->findChild<DashCanvas*>();
        canvas->setSelectedMask(2);
        canvas->setSelectedWidget(bar);
        window->copyWidget();
        if (undoColour)
            stack->undo();

        QStringList missing = names;
        if (removed == QLatin1String("folder")) {
            removeFromInstalls(coloured);
        } else {
            missing = {names.first()};
            removeFromInstalls(coloured + QLatin1Char('/') + names.first());
        }

        std::unique_ptr<MainWindow> other;
        if (otherWindow) {
            const QString copy = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo-b")));
            QVERIFY(!copy.isEmpty());
            other = std::make_unique<MainWindow>();
            other->show();
            QVERIFY(QTest::qWaitForWindowExposed(other.get()));
            other->loadConfig(copy);
            std::swap(window, other);
            config = window->findChild<DashCanvas*>()->config;
            stack = window->findChild<QUndoStack*>();
            path = copy;
        }
        window->onPageSelected(kRace);
        window->findChild<DashCanvas*>()->setSelectedMask(kTarget);
        const int steps = stack->index();
        const size_t widgets = config->pages[size_t(kRace)].masks[kTarget].widgets.size();

        pasteThroughMenu();

        QCOMPARE(config->pages[size_t(kRace)].masks[kTarget].widgets.size(), widgets + 1);
        QCOMPARE(stack->index(), steps + 1);
        QCOMPARE(stack->count(), steps + 1);
        QVERIFY2(status().contains(QStringLiteral("pictures not found in any install: ") + missing.join(", ")),
                 qPrintable(status()));

        // Saved, the element pasted into names each missing picture, and
        // Check config lists each of them; the others are found.
        QVERIFY(window->save());
        const QMap<QString, bool> pictures = savedPictures(path, kTarget);
        for (auto it = pictures.constBegin(); it != pictures.constEnd(); ++it)
            QCOMPARE(it.value(), !missing.contains(it.key().section(QLatin1Char(':'), 1)));
        DashConfig saved;
        QVERIFY(saved.load(path));
        QStringList listed;
        for (const ConfigFinding& f : ConfigCheck::checkConfig(saved)) {
            if (f.code == QLatin1String("missing-art") && f.pageIndex == kRace && f.elementId == QLatin1String("md.00"))
                listed << f.message;
        }
        for (const QString& name : missing)
            QVERIFY2(listed.join('\n').contains(name), qPrintable(listed.join('\n')));
        if (otherWindow)
            std::swap(window, other);
    }
};

KORV_TEST_MAIN(PasteMissingArtTest)
#include "tst_pastemissingart.moc"
