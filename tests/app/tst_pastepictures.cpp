#include "DemoStock.h"
#include "check/ConfigCheck.h"
#include "support/ConfigSnapshot.h"
#include "support/DemoStockSteps.h"
#include "support/TestFiles.h"
#include "window/WidgetClipboard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// Where a pasted bar's pictures end up: read through the links the user
// keeps folders by, given an item of its own by an element without art and
// by a new element, and in every case found by the saved file.
class PastePicturesTest : public QObject, DemoStockSteps {
    Q_OBJECT

    // "page/mask/widget:name" of every picture the saved file's widgets name
    // that no install holds in their mask's folder (read through links).
    QStringList savedMissing(const QString& file) const
    {
        DashConfig saved;
        if (!saved.load(file))
            return {QStringLiteral("<unreadable>")};
        QStringList missing;
        for (int p = 0; p < saved.pageCount(); ++p) {
            for (int m = 0; m < int(saved.pages[size_t(p)].masks.size()); ++m) {
                QString rel = maskPath(saved, p, m);
                if (!rel.isEmpty() && !rel.endsWith(QLatin1Char('/')))
                    rel += QLatin1Char('/');
                for (const WidgetModel& widget : saved.pages[size_t(p)].masks[size_t(m)].widgets) {
                    for (const QString& name : DashConfig::collectWidgetAssetReferences(widget.node)) {
                        const bool found = !rel.isEmpty()
                            && (QFileInfo(rs3->absolutePath(Rs3Fixture::Stable, rel + name)).isFile()
                                || QFileInfo(rs3->absolutePath(Rs3Fixture::Beta, rel + name)).isFile());
                        if (!found)
                            missing << QStringLiteral("%1/%2/%3:%4").arg(p).arg(m).arg(widget.id, name);
                    }
                }
            }
        }
        return missing;
    }

    void copyBar(int page, int mask)
    {
        auto* canvas = window->findChild<DashCanvas*>();
        window->onPageSelected(page);
        canvas->setSelectedMask(mask);
        canvas->setSelectedWidget(barWidget(page, mask));
        window->copyWidget();
        QVERIFY(!widgetClipboard().isEmpty());
    }

    // Pastes into the mask (-1: none selected) of the page; the widgets the
    // page's masks hold afterwards, less before.
    int pasteInto(int page, int mask)
    {
        window->onPageSelected(page);
        auto* canvas = window->findChild<DashCanvas*>();
        canvas->setSelectedMask(mask);
        canvas->setSelectedWidget(-1);
        const auto widgets = [&] {
            int n = 0;
            for (const MaskElement& m : config->pages[size_t(page)].masks)
                n += int(m.widgets.size());
            return n;
        };
        const int before = widgets();
        window->pasteWidget();
        return widgets() - before;
    }

    QString stableHomebrew() const
    {
        return rs3->absolutePath(Rs3Fixture::Stable, DemoStock::itemPath(QStringLiteral("s04_homebrew")));
    }

private Q_SLOTS:
    void init()
    {
        openDemo();
        widgetClipboard().clear();
    }
    void cleanup() { closeDemo(); }

    // The stable install's homebrew set moved to another disk and linked
    // back after Race's bar was fitted; the beta install has the device but
    // not the fitted bar. Pasted into its own element and into a
    // stock one: pasted, and the saved file finds every picture.
    void linkedHomebrewSet_data()
    {
        QTest::addColumn<int>("target");
        QTest::newRow("into the same element") << 2;
        QTest::newRow("into another element") << 0;
    }
    void linkedHomebrewSet()
    {
        QFETCH(int, target);
        window->onPageSelected(kRace);
        resize(kRace, 2, 300);
        QVERIFY2(maskPath(*config, kRace, 2).contains(QStringLiteral("/s04_homebrew/")), qPrintable(status()));
        const QString moved =
            TestEnvironment::makeTempDir(QStringLiteral("other-disk")) + QStringLiteral("/s04_homebrew");
        QVERIFY(QDir().rename(stableHomebrew(), moved));
        QVERIFY(QFile::link(moved, stableHomebrew()));
        QVERIFY(rs3->addDemoStock(Rs3Fixture::Beta));
        copyBar(kRace, 2);

        QVERIFY2(pasteInto(kRace, target) == 1, qPrintable(status()));
        QVERIFY2(status().startsWith(QStringLiteral("Pasted")),
                 qPrintable(status()));
        QVERIFY(window->save());
        QCOMPARE(savedMissing(path), QStringList());
        QVERIFY(QFileInfo(stableHomebrew()).isSymLink());
    }

    // Race's bar into Laps md.01, an element with no art folder: it gets an
    // item of its own with the bar's pictures and no mask picture, so it
    // shows what it showed; undo puts it back as it was. With the homebrew
    // set behind a link, where nothing is written, the paste is refused
    // with the reason and the history stays as it was.
    void intoElementWithoutArtFolder_data()
    {
        QTest::addColumn<bool>("linked");
        QTest::newRow("item of its own") << false;
        QTest::newRow("homebrew set behind a link: refused") << true;
    }
    void intoElementWithoutArtFolder()
    {
        QFETCH(bool, linked);
        QVERIFY(maskPath(*config, kLaps, 1).isEmpty());
        if (linked)
            QVERIFY(QFile::link(TestEnvironment::makeTempDir(QStringLiteral("other-disk")), stableHomebrew()));
        copyBar(kRace, 2);
        const QByteArray before = ConfigSnapshot::documents(*config);
        const int steps = stack->count();
        if (linked) {
            QCOMPARE(pasteInto(kLaps, 1), 0);
            QVERIFY2(status().startsWith(QStringLiteral("Paste refused -- the element has no art folder")),
                     qPrintable(status()));
            QVERIFY2(status().contains(stableHomebrew()), qPrintable(status()));
            QCOMPARE(stack->count(), steps);
            QCOMPARE(ConfigSnapshot::documents(*config), before);
            return;
        }
        QCOMPARE(pasteInto(kLaps, 1), 1);
        const QString own = maskPath(*config, kLaps, 1);
        QVERIFY2(own.contains(QStringLiteral("/s04_homebrew/zpaste_")), qPrintable(own + ' ' + status()));
        QVERIFY(!QFileInfo::exists(rs3->absolutePath(Rs3Fixture::Stable, own + QStringLiteral("mask.png"))));
        QVERIFY(window->save());
        QCOMPARE(savedMissing(path), QStringList());
        stack->undo();
        QCOMPARE(ConfigSnapshot::documents(*config), before);
    }

    // A fitted and a coloured bar pasted into a new element on a blank page:
    // the element gets an item of its own holding the copied pictures, byte
    // for byte, never the page's stock item.
    void intoNewElement_data()
    {
        QTest::addColumn<QString>("made");
        QTest::newRow("fitted bar") << "fit";
        QTest::newRow("coloured bar") << "colour";
    }
    void intoNewElement()
    {
        QFETCH(QString, made);
        window->onPageSelected(kRace);
        if (made == QLatin1String("fit"))
            resize(kRace, 2, 300);
        else
            window->applyColorBar(2);
        const QString source = maskPath(*config, kRace, 2);
        QVERIFY2(source.contains(QStringLiteral("/s04_homebrew/")), qPrintable(source));
        copyBar(kRace, 2);
        asker->texts << qMakePair(true, QStringLiteral("Blank"));
        window->newBlankPage();
        const int blank = config->pageCount() - 1;
        QVERIFY(config->pages[size_t(blank)].masks.empty());

        QCOMPARE(pasteInto(blank, -1), 1);
        QCOMPARE(status(), QStringLiteral("Created new mask and pasted 1 widget(s)."));
        const QString own = maskPath(*config, blank, 0);
        QVERIFY2(own.contains(QStringLiteral("/s04_homebrew/zpaste_")) && own != source, qPrintable(own));
        const MaskElement& pasted = config->pages[size_t(blank)].masks[0];
        const QStringList names = DashConfig::collectWidgetAssetReferences(pasted.widgets.back().node);
        QVERIFY(!names.isEmpty());
        for (const QString& name : names + QStringList{QStringLiteral("mask.png")}) {
            const QByteArray copied = TestFiles::readBytes(rs3->absolutePath(Rs3Fixture::Stable, source + name));
            QVERIFY2(!copied.isEmpty(), qPrintable(name));
            QCOMPARE(TestFiles::readBytes(rs3->absolutePath(Rs3Fixture::Stable, own + name)), copied);
        }
        // Another new element gets a folder of its own.
        asker->texts << qMakePair(true, QStringLiteral("Blank 2"));
        window->newBlankPage();
        QCOMPARE(pasteInto(blank + 1, -1), 1);
        const QString second = maskPath(*config, blank + 1, 0);
        QVERIFY2(second.contains(QStringLiteral("/s04_homebrew/zpaste_")) && second != own, qPrintable(second));
        QVERIFY(window->save());
        QCOMPARE(savedMissing(path), QStringList());
    }
};

KORV_TEST_MAIN(PastePicturesTest)
#include "tst_pastepictures.moc"
