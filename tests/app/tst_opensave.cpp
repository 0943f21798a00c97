#include "DemoStock.h"
#include "window/MainWindow.h"
#include "dialogs/OpenThemeDialog.h"
#include "app/WindowedStart.h"
#include "artwork/TgzImage.h"
#include "canvas/DashCanvas.h"
#include "dialogs/AddPageDialog.h"
#include "panels/AddElementDialog.h"
#include "panels/BarTemplateBrowser.h"
#include "check/ConfigRepair.h"
#include "editing/NewPageCommand.h"
#include "gallery/ThemePackage.h"
#include "panels/PageListPanel.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"
#include "support/ZipFixture.h"

#include <QAction>
#include <QBuffer>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QUndoStack>
#include <QtTest>

#include <memory>

// The window's open and save roads on real files, and the Open Theme dialog.
class OpenSaveTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> m_rs3;

    static QString demoCopy()
    {
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        if (path.isEmpty())
            qFatal("the demo configuration is not built");
        return path;
    }

    static QByteArray bytesOf(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static QAction* fileAction(MainWindow& window, const QString& text)
    {
        for (QAction* menu : window.menuBar()->actions()) {
            if (menu->text() != QLatin1String("&File"))
                continue;
            for (QAction* action : menu->menu()->actions()) {
                if (action->text() == text)
                    return action;
            }
        }
        return nullptr;
    }

    // A window opened on path through File > Open.
    static std::unique_ptr<MainWindow> openedWindow(ScriptedAsker& asker, const QString& path)
    {
        auto window = std::make_unique<MainWindow>();
        asker.fileNames = {path};
        fileAction(*window, QStringLiteral("&Open..."))->trigger();
        return window->currentFile() == path ? std::move(window) : nullptr;
    }

    static DashConfig& configOf(MainWindow& window) { return *window.findChild<DashCanvas*>()->config; }

    // The box style record of the mask `id` beside the configuration file,
    // from which a box without its art is drawn again.
    static bool writePanelStyle(const QString& path, const QByteArray& id)
    {
        const QFileInfo file(path);
        return TestFiles::writeBytes(file.absolutePath() + '/' + file.completeBaseName() + ".boxstyles.json",
                                     "{\"version\":1,\"masks\":{\"" + id + "\":{\"styleId\":\"panel_dark\"}}}");
    }

    static QString themeFile(const QJsonObject& manifest, const QMap<QString, QByteArray>& files)
    {
        QMap<QString, QByteArray> entries = files;
        entries.insert(QStringLiteral("theme-manifest.json"), QJsonDocument(manifest).toJson());
        const QString path = TestEnvironment::makeTempDir(QStringLiteral("theme")) + QStringLiteral("/t.dashtheme");
        return ZipFixture::writeZip(path, entries) ? path : QString();
    }

    static std::unique_ptr<ThemePackage> openedPackage(const QJsonObject& manifest,
                                                       const QMap<QString, QByteArray>& files)
    {
        auto package = std::make_unique<ThemePackage>();
        QString error;
        if (!openThemePackage(*package, themeFile(manifest, files), &error)) {
            qWarning() << error;
            return nullptr;
        }
        return package;
    }

private Q_SLOTS:
    void initTestCase() { m_rs3 = std::make_unique<Rs3Fixture>(); }

    // Pages and elements added, saved, undone and redone to the save: the
    // document is the saved one again (the save's own touches included),
    // and closing asks nothing.
    void undoneAndRedoneToTheSaveIsSaved_data()
    {
        QTest::addColumn<QStringList>("edits");
        const QStringList all{"template page", "Analog gauge", "Horizontal bar", "Icon", "Numeric value"};
        for (const QString& edit : all)
            QTest::newRow(qPrintable(edit)) << QStringList{edit};
        QTest::newRow("all of them") << all;
    }
    void undoneAndRedoneToTheSaveIsSaved()
    {
        QFETCH(QStringList, edits);
        // The demo's stock for this test alone: the others lay out the
        // same family's sets their own way.
        const QString family = m_rs3->absolutePath(Rs3Fixture::Stable, DemoStock::itemPath(QString()).section('/', 0, 3));
        const auto tidy = qScopeGuard([&family] { QDir(family).removeRecursively(); });
        QVERIFY(!QFileInfo::exists(family));
        QVERIFY(m_rs3->addDemoStock(Rs3Fixture::Stable));
        ScriptedAsker asker;
        QString type;
        asker.onExec = [&type](QDialog* dialog) {
            if (auto* add = qobject_cast<AddPageDialog*>(dialog)) {
                qobject_cast<QListWidget*>(add->tabs->widget(0))->setCurrentRow(0);
                add->buttons->button(QDialogButtonBox::Ok)->click();
            } else if (auto* insert = qobject_cast<AddElementDialog*>(dialog)) {
                auto* types = insert->findChild<QListWidget*>(QStringLiteral("types"));
                types->setCurrentItem(types->findItems(type, Qt::MatchExactly).value(0));
                insert->findChild<QListWidget*>(QStringLiteral("channels"))->setCurrentRow(0);
                insert->onAccept();
            } else if (auto* bars = qobject_cast<BarTemplateBrowser*>(dialog)) {
                bars->selectTemplate(QStringLiteral("generic"));
                bars->onAccept();
            }
            return dialog->result();
        };
        std::unique_ptr<MainWindow> window = openedWindow(asker, demoCopy());
        QVERIFY(window);
        auto* stack = window->findChild<QUndoStack*>();
        for (const QString& edit : edits) {
            const int steps = stack->count();
            type = edit;
            edit == "template page" ? window->addPageFromTemplate() : window->insertElement();
            QCOMPARE(stack->count(), steps + 1);
        }
        QVERIFY(window->save());
        const int saved = stack->index();
        stack->setIndex(0);
        QVERIFY(window->hasUnsavedChanges());
        stack->setIndex(saved);
        QVERIFY(!window->hasUnsavedChanges());
        asker.onExec = {};
        QVERIFY(window->close());
        QCOMPARE(asker.count(QStringLiteral("message")), 0);
    }

    void openReportsAndTitles()
    {
        ScriptedAsker asker;
        {
            // Nothing open: no name, no device.
            MainWindow empty;
            empty.updateWindowTitle();
            QCOMPARE(empty.windowTitle(), QStringLiteral("Korvelanto"));
        }
        const QString path = demoCopy();
        auto window = openedWindow(asker, path);
        QVERIFY(window);
        QCOMPARE(asker.count(QStringLiteral("message")), 0);
        // The bare install holds none of the demo's templates: its pages'
        // backgrounds are not on this machine, and the open says so.
        QCOMPARE(window->statusBar()->currentMessage(),
                 QStringLiteral("3 page(s) declare a background image that is not on this machine \u2014 RaceStudio "
                                "3 will report an image error every time this file is opened. Tools \u25b8 Check "
                                "config for detail."));
        const DashConfig& config = configOf(*window);
        QVERIFY(!config.deviceName.isEmpty());
        const QString name = config.newConfigName.isEmpty() ? QFileInfo(path).fileName() : config.newConfigName;
        QCOMPARE(window->windowTitle(), QStringLiteral("Korvelanto - %1 [%2]").arg(name, config.deviceName));
        QLabel* badge = nullptr;
        for (QLabel* label : window->statusBar()->findChildren<QLabel*>()) {
            if (label->text() == config.deviceName)
                badge = label;
        }
        QVERIFY(badge);
        QVERIFY(!badge->isHidden());
        QCOMPARE(badge->toolTip(), QStringLiteral("Target device (TypeCode %1)").arg(config.typeCode));
        QVERIFY(window->findChild<QUndoStack*>()->isClean());
    }

    // The title names the configuration (its pending new name first, else
    // the file) and the device; the badge shows only with a device.
    void titleCases_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("title");
        QTest::newRow("name and device") << "Club" << "MXS 1.2" << "Korvelanto - Club [MXS 1.2]";
        QTest::newRow("file and device") << "" << "MXS 1.2" << "Korvelanto - FILE [MXS 1.2]";
        QTest::newRow("name, no device") << "Club" << "" << "Korvelanto - Club";
    }

    void titleCases()
    {
        QFETCH(QString, name);
        QFETCH(QString, device);
        QFETCH(QString, title);
        ScriptedAsker asker;
        const QString path = demoCopy();
        auto window = openedWindow(asker, path);
        QVERIFY(window);
        DashConfig& config = configOf(*window);
        config.newConfigName = name;
        config.deviceName = device;
        window->updateWindowTitle();
        QCOMPARE(window->windowTitle(), QString(title).replace("FILE", QFileInfo(path).fileName()));
        bool badgeShown = false;
        for (QLabel* label : window->statusBar()->findChildren<QLabel*>())
            badgeShown |= !device.isEmpty() && label->text() == device && !label->isHidden();
        QCOMPARE(badgeShown, !device.isEmpty());
    }

    // What the load rebuilt and the page backgrounds, in the status bar: a
    // missing background outranks a switched-off one and the rebuild report.
    void loadStatusReports_data()
    {
        QTest::addColumn<bool>("missing");
        QTest::addColumn<bool>("switchedOff");
        QTest::addColumn<QString>("status");
        const QString rebuilt = QStringLiteral("Opened Race.zconf2 (3 pages) \u2014 rebuilt 1 box graphic(s)");
        QTest::newRow("rebuilt only") << false << false << rebuilt;
        QTest::newRow("both kinds of background")
            << true << true
            << QStringLiteral("1 page(s) declare a background image that is not on this machine \u2014 RaceStudio 3 "
                              "will report an image error every time this file is opened. Tools \u25b8 Check config "
                              "for detail.");
        QTest::newRow("switched off")
            << false << true
            << QStringLiteral("1 page(s): the background picture is not switched on for the dash, so it shows black "
                              "behind your boxes. Your boxes and data are fine. Tools \u25b8 Check config \u25b8 "
                              "Repair switches it on.");
    }

    void loadStatusReports()
    {
        QFETCH(bool, missing);
        QFETCH(bool, switchedOff);
        QFETCH(QString, status);
        const QString sets = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/");
        m_rs3->addDeviceFolder(Rs3Fixture::Stable, QStringLiteral("mxg_12"));
        m_rs3->addDeviceFolder(Rs3Fixture::Beta, QStringLiteral("mxg_12"));
        QVERIFY(m_rs3->writeFile(Rs3Fixture::Stable, sets + QStringLiteral("s02/p01/bkg.png"), "x"));
        QVERIFY(m_rs3->writeFile(Rs3Fixture::Stable, sets + QStringLiteral("s02/p02/bkg.tgz"), "x"));
        QVERIFY(m_rs3->writeFile(Rs3Fixture::Stable, sets + QStringLiteral("s02/p03/bkg.png"), "x"));

        ConfigFixture cfg;
        // A homebrew panel whose art is not installed (a new one per row, since
        // the load installs it): drawn again at load.
        cfg.device().page(QStringLiteral("Panel")).pagePath = sets + QStringLiteral("s02/p03");
        cfg.device().pages[0].mask(Fx::mask("mb", 10, 10, 200, 100)
                                       .p("PATH_REL_AiM_MASK", sets + QStringLiteral("s04_homebrew/zbox_Race/Items/mbox_%1/").arg(QTest::currentDataTag()).replace(' ', '_'))
                                       .p("PATH_IMAGE_SFONDO_FW", "mask.tgz")
                                       .add(Fx::digit("d", 10, 40, 40, 20)));
        FixturePage& declared = cfg.device().page(QStringLiteral("Declared"));
        declared.pagePath = sets + (missing ? QStringLiteral("s02/p01") : QStringLiteral("s02/p03"));
        declared.mask(Fx::mask("m1", 0, 0, 100, 50));
        if (missing)
            declared.param(QStringLiteral("PATH_IMAGE_SFONDO_FW"), QStringLiteral("bkg.tgz"));
        FixturePage& off = cfg.device().page(QStringLiteral("Off"));
        off.pagePath = sets + (switchedOff ? QStringLiteral("s02/p02") : QStringLiteral("s02/p03"));
        off.mask(Fx::mask("m2", 0, 0, 100, 50));
        const QString path = cfg.writeTempZip(QStringLiteral("Race.zconf2"));
        QVERIFY(writePanelStyle(path, "mb"));

        ScriptedAsker asker;
        auto window = openedWindow(asker, path);
        QVERIFY(window);
        QCOMPARE(configOf(*window).homebrewRepairCount, 1);
        QCOMPARE(window->statusBar()->currentMessage(), status);
    }

    // A file mailed without its records leaves many boxes undrawn: the box
    // that says so fits the screen, naming the first and counting the rest.
    void longListsOfLeftBoxesAreCut()
    {
        m_rs3->addDeviceFolder(Rs3Fixture::Stable, QStringLiteral("mxg_12"));
        ConfigFixture cfg;
        auto& page = cfg.device().page(QStringLiteral("Boxes"));
        for (int i = 0; i < 30; ++i) {
            const QString id = QStringLiteral("b%1").arg(i);
            page.mask(Fx::mask(id, 10, 10 + i * 10, 100, 10)
                          .p("PATH_REL_AiM_MASK", "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/"
                                                  "zbox_Mailed/Items/box_" + id + "/")
                          .p("PATH_IMAGE_SFONDO_FW", "mask.tgz"));
        }
        const QString path = cfg.writeTempZip(QStringLiteral("Mailed.zconf2"));
        ScriptedAsker asker;
        auto window = openedWindow(asker, path);
        QVERIFY(window);
        QCOMPARE(asker.count("message"), 1);
        const QString text = asker.asked.last().text;
        QVERIFY2(text.contains(QStringLiteral("and 18 more")), qPrintable(text));
        QVERIFY2(text.count(QStringLiteral("Boxes / b")) == 12, qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("they are drawn as styled")), qPrintable(text));
    }

    // The beta install's copy of a box is a link to the user's own folder:
    // the open leaves it and says so once, with the reason.
    void openNamesWhatItsCopiesLeft()
    {
        const QString item = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/"
                                            "zbox_Race/Items/mbox_linked/");
        m_rs3->addDeviceFolder(Rs3Fixture::Stable, QStringLiteral("mxg_12"));
        m_rs3->addDeviceFolder(Rs3Fixture::Beta, QStringLiteral("mxg_12"));
        ConfigFixture cfg;
        cfg.device().page(QStringLiteral("Panel")).mask(Fx::mask("mb", 10, 10, 200, 100)
                                                            .p("PATH_REL_AiM_MASK", item)
                                                            .p("PATH_IMAGE_SFONDO_FW", "mask.tgz")
                                                            .add(Fx::digit("d", 10, 40, 40, 20)));
        const QString path = cfg.writeTempZip(QStringLiteral("Race.zconf2"));
        QVERIFY(writePanelStyle(path, "mb"));
        const QString linked = m_rs3->absolutePath(Rs3Fixture::Beta, item).chopped(1);
        const auto tidy = qScopeGuard([&] {
            QFile::remove(linked);
            QDir(m_rs3->absolutePath(Rs3Fixture::Stable, item)).removeRecursively();
        });
        {
            DashConfig first;
            QVERIFY(first.load(path));
        }
        const QString outside = TestEnvironment::makeTempDir(QStringLiteral("users"));
        QVERIFY(TestFiles::writeBytes(outside + "/notes.txt", "mine"));
        QVERIFY(QDir(linked).removeRecursively());
        QVERIFY(QFile::link(outside, linked));

        ScriptedAsker asker;
        auto window = openedWindow(asker, path);
        QVERIFY(window);
        QCOMPARE(asker.count("message"), 1);
        QCOMPARE(asker.asked.last().title, QStringLiteral("Open"));
        QVERIFY2(asker.asked.last().text.contains(linked + " was left as it is: " + linked + " is a symbolic link"),
                 qPrintable(asker.asked.last().text));
        QCOMPARE(TestFiles::readBytes(outside + "/notes.txt"), QByteArray("mine"));
        QVERIFY(QFileInfo(linked).isSymLink());

        // Refresh box artwork says it again, once.
        asker.asked.clear();
        window->refreshBoxArtwork();
        QCOMPARE(asker.count("message"), 1);
        QCOMPARE(asker.asked.last().title, QStringLiteral("Refresh box artwork"));
        QVERIFY(asker.asked.last().text.contains(linked + " is a symbolic link"));
        QCOMPARE(TestFiles::readBytes(outside + "/notes.txt"), QByteArray("mine"));
        QVERIFY(QFileInfo(linked).isSymLink());
    }

    // Both load repairs counted: coloured bar art and a homebrew panel, each
    // missing from the installs when the window opens the file.
    void loadStatusBothRebuilds_data()
    {
        QTest::addColumn<bool>("withPanel");
        QTest::addColumn<QString>("rebuilt");
        QTest::newRow("bars only") << false << "1 colored bar(s)";
        QTest::newRow("both") << true << "1 box graphic(s) and 1 colored bar(s)";
    }

    void loadStatusBothRebuilds()
    {
        QFETCH(bool, withPanel);
        QFETCH(QString, rebuilt);
        const QString sets = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/");
        const QString stock = sets + QStringLiteral("s02/bar/Items/b1/");
        m_rs3->addDeviceFolder(Rs3Fixture::Stable, QStringLiteral("mxg_12"));
        m_rs3->addDeviceFolder(Rs3Fixture::Beta, QStringLiteral("mxg_12"));
        QImage bar(40, 20, QImage::Format_ARGB32);
        bar.fill(QColor(220, 220, 220));
        QByteArray png;
        QBuffer buffer(&png);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && bar.save(&buffer, "PNG"));
        QVERIFY(m_rs3->writeFile(Rs3Fixture::Stable, stock + QStringLiteral("mask.png"), png));
        QVERIFY(m_rs3->writeFile(Rs3Fixture::Stable, stock + QStringLiteral("mask.tgz"), TgzImage::encode(bar)));

        ConfigFixture cfg;
        const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_');
        FixturePage& page = cfg.device().page(QStringLiteral("Main"));
        page.mask(Fx::mask("mb" + tag, 10, 20, 120, 30)
                      .p("PATH_REL_AiM_MASK", stock)
                      .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                      .add(Fx::bargraph("b1", 0, 0, 120, 30, "a1")
                               .p("XEnd1", 100)
                               .p("XEnd2", 100)
                               .p("LINES_X_HOT_MOUSE", "0,0,120,0,120,30,0,30,0,0")
                               .add(Fx::stepScale({{"0", "0"}, {"100", "9000"}}))));
        const QString panel = sets + QStringLiteral("s04_homebrew/zbox_Race/Items/mboxb_%1/").arg(tag);
        if (withPanel) {
            page.mask(Fx::mask("mp", 10, 100, 200, 100)
                          .p("PATH_REL_AiM_MASK", panel)
                          .p("PATH_IMAGE_SFONDO_FW", "mask.tgz")
                          .add(Fx::digit("d", 10, 40, 40, 20)));
        }
        const QString path = cfg.writeTempZip(QStringLiteral("Race.zconf2"));
        QString colouredRel;
        {
            DashConfig c;
            QVERIFY(c.load(path));
            QVERIFY(c.applyBarColor(0, 0));
            colouredRel = QString::fromUtf8(
                c.pages[0].masks[0].node.find_child_by_attribute("p", "n", "PATH_REL_AiM_MASK").text().get());
            QVERIFY(c.save(path));
        }
        QVERIFY(writePanelStyle(path, "mp"));
        QVERIFY(colouredRel != stock);
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            QDir(m_rs3->absolutePath(root, colouredRel)).removeRecursively();
            QDir(m_rs3->absolutePath(root, panel)).removeRecursively();
        }

        ScriptedAsker asker;
        auto window = openedWindow(asker, path);
        QVERIFY(window);
        QCOMPARE(window->statusBar()->currentMessage(),
                 QStringLiteral("Opened Race.zconf2 (1 pages) \u2014 rebuilt ") + rebuilt);
    }

    // Edit, Save, reopen; then the repaired-file backup in its three cases.
    void saveKeepsEditAndPreRepairCopy_data()
    {
        QTest::addColumn<bool>("repaired");
        QTest::addColumn<bool>("backupExists");
        QTest::addColumn<bool>("copyMade");
        QTest::newRow("plain save") << false << false << false;
        QTest::newRow("repaired: copy made once") << true << false << true;
        QTest::newRow("repaired, earlier copy kept") << true << true << false;
    }

    void saveKeepsEditAndPreRepairCopy()
    {
        QFETCH(bool, repaired);
        QFETCH(bool, backupExists);
        QFETCH(bool, copyMade);
        ScriptedAsker asker;
        const QString path = demoCopy();
        const QByteArray before = bytesOf(path);
        const QString backup = ConfigCheck::preRepairBackupPath(path);
        if (backupExists)
            QVERIFY(TestFiles::writeBytes(backup, "older backup"));
        auto window = openedWindow(asker, path);
        QVERIFY(window);
        window->findChild<QUndoStack*>()->push(new NewPageCommand(&configOf(*window), QStringLiteral("Extra")));
        if (repaired)
            window->markRepairedFile();

        QVERIFY(window->save());
        const QString name = QFileInfo(path).fileName();
        if (copyMade) {
            QCOMPARE(window->statusBar()->currentMessage(),
                     QStringLiteral("Saved %1 \u2014 original kept as %2").arg(name, QFileInfo(backup).fileName()));
            QCOMPARE(bytesOf(backup), before);
        } else {
            QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Saved %1").arg(name));
            QCOMPARE(QFileInfo::exists(backup), backupExists);
            if (backupExists)
                QCOMPARE(bytesOf(backup), QByteArray("older backup"));
        }
        QVERIFY(!window->hasUnsavedChanges());
        const QByteArray backupBytes = bytesOf(backup);
        // A second save finds the repair settled: no new copy.
        QVERIFY(window->save());
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Saved %1").arg(name));
        QCOMPARE(bytesOf(backup), backupBytes);

        DashConfig reread;
        QVERIFY(reread.load(path));
        QCOMPARE(reread.pageCount(), 4);
        QCOMPARE(asker.count(QStringLiteral("message")), 0);
    }

    // A directory where the archive's temporary file goes: the error box,
    // and nothing lost on disk or in the window.
    void failedSaveLosesNothing()
    {
        ScriptedAsker asker;
        const QString path = demoCopy();
        const QByteArray before = bytesOf(path);
        auto window = openedWindow(asker, path);
        QVERIFY(window);
        window->findChild<QUndoStack*>()->push(new NewPageCommand(&configOf(*window), QStringLiteral("Extra")));
        QVERIFY(QDir().mkpath(path + QStringLiteral(".tmp/blocker")));
        QVERIFY(!window->save());
        QCOMPARE(asker.asked.last().title, QStringLiteral("Error"));
        QCOMPARE(asker.asked.last().text,
                 QStringLiteral("Failed to save file:\n%1\n\nCould not write %1: %1.tmp: Is a directory").arg(path));
        QCOMPARE(bytesOf(path), before);
        QVERIFY(window->hasUnsavedChanges());
        QCOMPARE(configOf(*window).pageCount(), 4);
        QVERIFY(QDir(path + QStringLiteral(".tmp")).removeRecursively());
        QVERIFY(window->save());
        DashConfig reread;
        QVERIFY(reread.load(path));
        QCOMPARE(reread.pageCount(), 4);
    }

    // Save As elsewhere after a repair: no copy of either file, the sidecars
    // follow the name (stale ones there replaced or removed), the title follows.
    void saveAsCarriesSidecars()
    {
        ScriptedAsker asker;
        const QString path = demoCopy();
        const QString folder = QFileInfo(path).absolutePath();
        const QString base = QFileInfo(path).completeBaseName();
        QVERIFY(TestFiles::writeBytes(folder + '/' + base + QStringLiteral(".boxstyles.json"), "{\"fresh\":1}"));
        const QString target = TestEnvironment::makeTempDir(QStringLiteral("other")) + QStringLiteral("/Club.zconf2");
        const QString targetStyles = QFileInfo(target).absolutePath() + QStringLiteral("/Club.boxstyles.json");
        const QString targetBars = QFileInfo(target).absolutePath() + QStringLiteral("/Club.barcolor.json");
        QVERIFY(TestFiles::writeBytes(targetStyles, "stale"));
        QVERIFY(TestFiles::writeBytes(targetBars, "stale"));
        const QByteArray before = bytesOf(path);

        auto window = openedWindow(asker, path);
        QVERIFY(window);
        window->findChild<QUndoStack*>()->push(new NewPageCommand(&configOf(*window), QStringLiteral("Extra")));
        window->markRepairedFile();
        asker.fileNames = {target};
        fileAction(*window, QStringLiteral("Save &As..."))->trigger();
        QCOMPARE(window->currentFile(), target);
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Saved Club.zconf2"));
        QVERIFY(window->windowTitle().contains(configOf(*window).newConfigName.isEmpty() ? QStringLiteral("Club.zconf2")
                                                                                        : configOf(*window).newConfigName));
        QVERIFY(!QFileInfo::exists(ConfigCheck::preRepairBackupPath(path)));
        QVERIFY(!QFileInfo::exists(ConfigCheck::preRepairBackupPath(target)));
        QCOMPARE(bytesOf(path), before);
        QCOMPARE(bytesOf(targetStyles), QByteArray("{\"fresh\":1}"));
        // One the old name lacks belonged to the file that was overwritten.
        QVERIFY(!QFileInfo::exists(targetBars));
        QVERIFY(!window->hasUnsavedChanges());
        DashConfig reread;
        QVERIFY(reread.load(target));
        QCOMPARE(reread.pageCount(), 4);

        // The repair was settled by that save: a Save over the new name
        // makes no copy either.
        QVERIFY(window->save());
        QVERIFY(!QFileInfo::exists(ConfigCheck::preRepairBackupPath(target)));
    }

    // The user's read-only mark is kept: the save is refused with a reason
    // and the edits stay; a writable file keeps its own mode across a save.
    void readOnlyFileIsNotReplaced()
    {
        ScriptedAsker asker;
        const QString path = demoCopy();
        const QByteArray before = bytesOf(path);
        auto window = openedWindow(asker, path);
        QVERIFY(window);
        window->findChild<QUndoStack*>()->push(new NewPageCommand(&configOf(*window), QStringLiteral("Extra")));
        const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
        QVERIFY(QFile::setPermissions(path, readOnly));
        QVERIFY(!window->save());
        QCOMPARE(asker.asked.last().text,
                 QStringLiteral("Failed to save file:\n%1\n\n%1 is read-only; it was left as it is. Save under another "
                                "name, or clear its read-only mark first.")
                     .arg(path));
        QCOMPARE(bytesOf(path), before);
        // The "User" bits are what the running user may do, which for an
        // administrator is everything: only the file's own bits count.
        const QFile::Permissions userBits = QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
        QCOMPARE(QFile::permissions(path) & ~userBits, readOnly);
        QVERIFY(window->hasUnsavedChanges());

        const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
        QVERIFY(QFile::setPermissions(path, ownerOnly));
        QVERIFY(window->save());
        QVERIFY(bytesOf(path) != before);
        QCOMPARE(QFile::permissions(path) & ~userBits, ownerOnly);
    }

    // A rename that cannot be written into the device description: the
    // archive is saved, the window says what was not done, and the document
    // stays changed so closing still asks.
    void pendingRenameWarnsAndStaysDirty()
    {
        ScriptedAsker asker;
        ConfigFixture fixture;
        fixture.device().page("Main").mask(Fx::mask("m1", 10, 20, 200, 80));
        fixture.file(fixture.aimcfgPath, "not a device description");
        const QString path = fixture.writeTempZip(QStringLiteral("Broken.zconf2"));
        auto window = openedWindow(asker, path);
        QVERIFY(window);
        QVERIFY(configOf(*window).setConfigName(QStringLiteral("Renamed")));
        QVERIFY(window->hasUnsavedChanges());
        QVERIFY(window->save());
        QCOMPARE(asker.asked.last().title, QStringLiteral("Save"));
        QVERIFY2(asker.asked.last().text.contains(QStringLiteral("the new name \"Renamed\" could not be written")),
                 qPrintable(asker.asked.last().text));
        QCOMPARE(window->statusBar()->currentMessage(), asker.asked.last().text);
        QVERIFY(configOf(*window).renamePending);
        QVERIFY(window->hasUnsavedChanges());
    }

    void failedSaveAsKeepsName()
    {
        ScriptedAsker asker;
        const QString path = demoCopy();
        auto window = openedWindow(asker, path);
        QVERIFY(window);
        const QString title = window->windowTitle();
        const QString target = TestEnvironment::makeTempDir(QStringLiteral("other")) + QStringLiteral("/Club.zconf2");
        QVERIFY(QDir().mkpath(target + QStringLiteral(".tmp/blocker")));
        asker.fileNames = {target};
        QVERIFY(!window->saveAs());
        QCOMPARE(asker.asked.last().text,
                 QStringLiteral("Failed to save file:\n%1\n\nCould not write %1: %1.tmp: Is a directory").arg(target));
        QCOMPARE(window->currentFile(), path);
        QCOMPARE(window->windowTitle(), title);
        // Cancelling the dialog says nothing.
        const int asked = asker.asked.size();
        QVERIFY(!window->saveAs());
        QCOMPARE(asker.asked.size(), asked + 1);
        QCOMPARE(window->currentFile(), path);
    }

    // A sidecar that cannot be written at the new name (here a folder in its
    // way, at a name the old file has a sidecar for and at one it has not):
    // Save As fails saying so before anything is written, and the window
    // stays with its file, changes unsaved.
    void saveAsWithoutItsSidecarsFails_data()
    {
        QTest::addColumn<QString>("blocked");
        QTest::newRow("a sidecar to copy") << QStringLiteral(".boxstyles.json");
        QTest::newRow("a stale sidecar to remove") << QStringLiteral(".barcolor.json");
    }

    void saveAsWithoutItsSidecarsFails()
    {
        QFETCH(QString, blocked);
        ScriptedAsker asker;
        const QString path = demoCopy();
        const QString base = QFileInfo(path).absolutePath() + '/' + QFileInfo(path).completeBaseName();
        QVERIFY(TestFiles::writeBytes(base + QStringLiteral(".boxstyles.json"), "{\"fresh\":1}"));
        const QString folder = TestEnvironment::makeTempDir(QStringLiteral("other"));
        const QString target = folder + QStringLiteral("/Club.zconf2");
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/Club") + blocked + QStringLiteral("/x")));
        auto window = openedWindow(asker, path);
        QVERIFY(window);
        const QString title = window->windowTitle();
        window->findChild<QUndoStack*>()->push(new NewPageCommand(&configOf(*window), QStringLiteral("Extra")));
        asker.fileNames = {target};
        QVERIFY(!window->saveAs());
        QCOMPARE(asker.asked.last().title, QStringLiteral("Error"));
        QCOMPARE(asker.asked.last().text,
                 QStringLiteral("Failed to save file:\n%1\n\nThe records kept beside the configuration could not be "
                                "copied to the new name, so nothing was saved: %2 is in the way: it is not a file.")
                     .arg(target, folder + QStringLiteral("/Club") + blocked));
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(window->currentFile(), path);
        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(configOf(*window).boxStylesSidecarPath(), base + QStringLiteral(".boxstyles.json"));
        QVERIFY(window->hasUnsavedChanges());
    }

    void themeDialogEscapesAndWarns()
    {
        QJsonObject manifest{{"id", "a<b&c"},
                             {"name", ""},
                             {"author", "Tom & <Jerry>"},
                             {"license", "CC<0>"},
                             {"devices", QJsonArray{"mxs_12", "mxg_12"}}};
        auto package = openedPackage(manifest, {{QStringLiteral("mxs_12/bkg.png"), QByteArray("png")}});
        QVERIFY(package);
        ThemePackage* raw = package.get();
        auto dialog = std::make_unique<OpenThemeDialog>(std::move(package));
        const QList<QLabel*> labels = dialog->findChildren<QLabel*>();
        QVERIFY(labels.size() >= 4);
        QCOMPARE(labels[0]->text(), QStringLiteral("<span style='font-size:14pt; font-weight:bold;'>a&lt;b&amp;c</span>"));
        QCOMPARE(labels[1]->text(), QStringLiteral("<span style='color:#888;'>by Tom &amp; &lt;Jerry&gt; &middot; "
                                                   "CC&lt;0&gt; &middot; id: a&lt;b&amp;c</span>"));
        auto* combo = dialog->findChild<QComboBox*>();
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QStringLiteral("mxs_12"));
        QCOMPARE(combo->itemText(1), QStringLiteral("mxg_12  (no assets)"));
        QVERIFY(labels.last()->text().contains(QStringLiteral("Some devices in this manifest have no assets")));

        // The device without assets can still be chosen, by its bare id.
        combo->setCurrentIndex(1);
        QPushButton* open = nullptr;
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            open = button->text() == QLatin1String("Open") ? button : open;
        QVERIFY(open && open->isEnabled());
        QTest::mouseClick(open, Qt::LeftButton);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->selectedDevice, QStringLiteral("mxg_12"));

        // Taken back, the package outlives the dialog (ASan reads it).
        std::unique_ptr<ThemePackage> taken = dialog->takePackage();
        QCOMPARE(taken.get(), raw);
        QVERIFY(!dialog->takePackage());
        dialog.reset();
        QCOMPARE(taken->id, QStringLiteral("a<b&c"));
        QVERIFY(taken->hasAssetsFor(QStringLiteral("mxs_12")));
    }

    void themeDialogWithoutDevices()
    {
        auto package = openedPackage({{"id", "t"}, {"name", "Neon"}}, {{QStringLiteral("x.txt"), QByteArray("x")}});
        QVERIFY(package);
        OpenThemeDialog dialog(std::move(package));
        QCOMPARE(dialog.findChild<QComboBox*>()->count(), 0);
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            if (button->text() == QLatin1String("Open")) {
                QVERIFY(!button->isEnabled());
                QCOMPARE(button->toolTip(), QStringLiteral("This theme declares no devices."));
            } else {
                QTest::mouseClick(button, Qt::LeftButton);
            }
        }
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    // Open .dashtheme through the window: a bad file, a cancelled dialog that
    // leaves the earlier package, and a device without assets.
    void openThemeBundleInWindow()
    {
        ScriptedAsker asker;
        MainWindow window;
        QAction* saveTheme = fileAction(window, QStringLiteral("Save As .dashtheme..."));
        QAction* openTheme = fileAction(window, QStringLiteral("Open .dash&theme..."));
        const QString bad = TestEnvironment::makeTempDir(QStringLiteral("bad")) + QStringLiteral("/x.dashtheme");
        QVERIFY(TestFiles::writeBytes(bad, "not a zip"));
        asker.fileNames = {bad};
        openTheme->trigger();
        QCOMPARE(asker.asked.last().title, QStringLiteral("Open Theme"));
        QVERIFY(asker.asked.last().text.startsWith(QStringLiteral("Could not open theme bundle:\n")));
        QVERIFY(!saveTheme->isEnabled());

        const QString good = themeFile({{"id", "neon"}, {"name", "Neon <1>"}, {"devices", QJsonArray{"mxs_12", "pdm"}}},
                                       {{QStringLiteral("mxs_12/bkg.png"), QByteArray("png")}});
        asker.onExec = [](QDialog* dialog) {
            dialog->findChild<QComboBox*>()->setCurrentIndex(1);
            for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
                if (button->text() == QLatin1String("Open"))
                    QTest::mouseClick(button, Qt::LeftButton);
            }
            return dialog->result();
        };
        asker.fileNames = {good};
        openTheme->trigger();
        QVERIFY(saveTheme->isEnabled());
        QCOMPARE(asker.asked.size(), 6);
        QCOMPARE(asker.asked[4].text,
                 QStringLiteral("The chosen device 'pdm' has no assets in this bundle. The canvas may not render "
                                "correctly."));
        QCOMPARE(asker.asked[5].title, QStringLiteral("Theme Opened"));
        QVERIFY(asker.asked[5].text.startsWith(QStringLiteral("<qt>Opened theme <b>Neon &lt;1&gt;</b> (device: pdm).")));
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Theme 'Neon <1>' open for device pdm"));

        // A cancelled second open changes nothing.
        asker.onExec = nullptr;
        asker.fileNames = {good};
        openTheme->trigger();
        QCOMPARE(asker.asked.last().kind, QStringLiteral("exec"));
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Theme 'Neon <1>' open for device pdm"));
        QVERIFY(saveTheme->isEnabled());
    }
};

QTEST_MAIN(OpenSaveTest)
#include "tst_opensave.moc"
