#include "dialogs/AddPageDialog.h"
#include "window/MainWindow.h"
#include "dialogs/OpenThemeDialog.h"
#include "canvas/DashCanvas.h"
#include "check/ConfigCheck.h"
#include "gallery/ThemeExport.h"
#include "gallery/ThemePackage.h"
#include "model/InstallRoots.h"
#include "templates/PageTemplateLibrary.h"
#include "support/ConfigFixture.h"
#include "support/FifoGuard.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QUndoStack>
#include <QtTest>

#include <memory>

namespace {

QString storeFolder(const QString& family, const QString& slug)
{
    return homebrewTemplatesDir() + '/' + family + '/' + slug;
}

QString mirrorFolder(const Rs3Fixture& fx, const QString& family, const QString& slug)
{
    return fx.overlayRoot(Rs3Fixture::Stable) + '/' + family + "/masks/set/standard/s04_homebrew/" + slug;
}

QString lastMessage(const ScriptedAsker& asker)
{
    for (qsizetype i = asker.asked.size() - 1; i >= 0; --i) {
        if (asker.asked[i].kind == "message")
            return asker.asked[i].title + '|' + asker.asked[i].text;
    }
    return {};
}

QString lastAuthor()
{
    return QSettings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto")).value("export/lastAuthor").toString();
}

void setLastAuthor(const QString& author)
{
    QSettings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto")).setValue("export/lastAuthor", author);
}

// A store theme as the theme creator leaves it.
void addStoreTheme(const QString& family, const QString& slug, const QString& label)
{
    PageTemplateLibrary::writeFile(storeFolder(family, slug) + "/bkg.png",
                                   TestFiles::pngBytes(QSize(800, 480), Qt::darkMagenta));
    PageTemplateLibrary::writeFile(storeFolder(family, slug) + "/AiM_folder.xml",
                                   PageTemplateLibrary::folderMetaXml(label, 99));
}

} // namespace

// Saving the page on screen as a homebrew template, adding it back as a
// page, and the theme package export and re-save, on a shown window.
class TemplateActionsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> rs3;
    std::unique_ptr<ScriptedAsker> asker;
    std::unique_ptr<MainWindow> window;

    QString status() const { return window->statusBar()->currentMessage(); }
    DashConfig* config() const { return window->findChild<DashCanvas*>()->config; }

    // An MXG 1.2 configuration (or the device given) with one page holding
    // a label, and the stock set of its family in the stable install.
    void open(const QString& deviceType = "MXG 1.2", int width = 800, bool withSets = true,
              const QString& artFolder = QString())
    {
        ConfigFixture cfg;
        cfg.deviceType = deviceType;
        cfg.device().dimX = width;
        if (deviceType == "PDM32")
            cfg.device().family = "pdm";
        FixtureElement mask = Fx::mask("m1", 10, 20, 200, 80);
        if (!artFolder.isEmpty())
            mask.p("PATH_REL_AiM_MASK", artFolder);
        cfg.device().page("Main").mask(mask.add(Fx::label("l1", "RPM", 0, 0, 200, 80)));
        if (withSets) {
            const QStringList families = PageTemplateLibrary::familyFolderCandidates(deviceType);
            for (const QString& family : families)
                rs3->addTemplate(Rs3Fixture::Stable, family, "s02", "p01", QSize(width, 480));
        }
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->loadConfig(cfg.writeTempZip());
        QCOMPARE(config()->pageCount(), 1);
    }

    void saveAs(const QString& name)
    {
        asker->texts << qMakePair(true, name);
        window->saveCurrentAsTemplate();
    }

private Q_SLOTS:
    void init()
    {
        QDir(homebrewTemplatesDir()).removeRecursively();
        rs3 = std::make_unique<Rs3Fixture>();
        asker = std::make_unique<ScriptedAsker>();
    }
    void cleanup()
    {
        window.reset();
        asker.reset();
        rs3.reset();
    }

    void saveWritesStoreAndMirror_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("slug");
        QTest::newRow("punctuation") << "My Page-2!" << "zmy_page_2";
        QTest::newRow("nothing usable") << "?!" << "zpage";
        QTest::newRow("starts with z") << "zeta" << "zeta";
        // The names of the editor's own art sets stay theirs.
        QTest::newRow("box art name") << "Box Race" << "zzbox_race";
        QTest::newRow("bar art name") << "ZBar_x" << "zzbar_x";
        QTest::newRow("chrome art name") << "zchrome-race" << "zzchrome_race";
    }
    void saveWritesStoreAndMirror()
    {
        QFETCH(QString, name);
        QFETCH(QString, slug);
        open();
        saveAs(name);
        const QString folder = storeFolder("mxg_12", slug);
        QCOMPARE(asker->count("message"), 0);
        QCOMPARE(status(), "Saved template \"" + name + "\" (" + folder + ")");
        const QImage preview(folder + "/prw.png");
        QVERIFY(!preview.isNull());
        QVERIFY(preview.width() <= 200 && preview.height() <= 120);
        QVERIFY(QFileInfo(folder + "/AiM_folder.xml").size() > 0);
        for (const QString file : {"prw.png", "AiM_folder.xml", "pMain.P2.xml"})
            QCOMPARE(TestFiles::readBytes(mirrorFolder(*rs3, "mxg_12", slug) + '/' + file),
                     TestFiles::readBytes(folder + '/' + file));
    }

    // A folder of the template's name in the install that holds other art:
    // the template is saved in the store only, the user is told why, and
    // the art stays as it was.
    void saveLeavesForeignFolderInTheInstall()
    {
        open();
        const QString foreign = mirrorFolder(*rs3, "mxg_12", "zmine");
        QVERIFY(PageTemplateLibrary::writeFile(foreign + "/Items/md1/mask.png", "their art"));
        const auto before = Rs3Fixture::treeSnapshot(foreign);
        asker->buttons << QMessageBox::Yes;
        saveAs("Mine");
        QVERIFY(QFileInfo::exists(storeFolder("mxg_12", "zmine") + "/pMain.P2.xml"));
        QCOMPARE(Rs3Fixture::treeSnapshot(foreign), before);
        const QString shown = lastMessage(*asker);
        QVERIFY2(shown.startsWith("Save as Template|Template \"Mine\" was saved, but not copied into RaceStudio3, "
                                  "where a folder of its name holds something else:\n\n" + foreign
                                  + " holds no pMain.P2.xml"),
                 qPrintable(shown));
    }

    // A link or a pipe among the page's stock art, or in the homebrew set's
    // label: what it holds never reaches the store or the installs, nothing
    // waits on the pipe, nothing is written where a link points, and the
    // user is told which.
    void saveLeavesWhatLinksHold_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("named"); // relative to the stable overlay tree
        QTest::addColumn<QString>("why");
        const QString item = "mxg_12/masks/set/standard/s02/p01/Items/";
        const QString set = "mxg_12/masks/set/standard/s04_homebrew/AiM_folder.xml";
        QTest::newRow("picture linked to a photo") << "photo" << item + "md1/glow.png" << " is a symbolic link";
        QTest::newRow("picture a pipe") << "pipe" << item + "md1/glow.png" << " is not a regular file";
        QTest::newRow("picture linked to a pipe") << "pipe link" << item + "md1/glow.png" << " is a symbolic link";
        QTest::newRow("art folder linked to a file") << "folder" << item + "md1"
                                                     << " is a symbolic link to something that is not a folder";
        QTest::newRow("set label linked") << "label" << set << " is a symbolic link";
        QTest::newRow("set label a pipe") << "label pipe" << set << " is not a regular file";
    }
    void saveLeavesWhatLinksHold()
    {
        QFETCH(QString, kind);
        QFETCH(QString, named);
        QFETCH(QString, why);
        const QString users = TestEnvironment::makeTempDir("users");
        QVERIFY(TestFiles::writeBytes(users + "/mask.png", "the user's photo"));
        const QString pipes = TestEnvironment::makeTempDir("pipes");
        const auto gone = qScopeGuard([pipes] { QDir(pipes).removeRecursively(); });
        const QString itemRel = "aim/resources/overlay/mxg_12/masks/set/standard/s02/p01/Items/md1/";
        const QString there = rs3->overlayRoot(Rs3Fixture::Stable) + '/' + named;
        std::unique_ptr<FifoGuard> pipe;
        if (kind == "folder") {
            QVERIFY(QDir().mkpath(QFileInfo(there).path()));
            QVERIFY(QFile::link(users + "/mask.png", there));
        } else {
            QVERIFY(rs3->addArtItem(Rs3Fixture::Stable, itemRel, QSize(200, 80)));
            QVERIFY(QDir().mkpath(QFileInfo(there).path()));
            if (kind == "photo" || kind == "label")
                QVERIFY(QFile::link(users + (kind == "photo" ? "/mask.png" : "/label.xml"), there));
            else if (kind == "pipe link")
                QVERIFY((pipe = std::make_unique<FifoGuard>(pipes + "/p"))->made() && QFile::link(pipes + "/p", there));
            else
                QVERIFY((pipe = std::make_unique<FifoGuard>(there))->made());
        }
        open("MXG 1.2", 800, true, itemRel);
        const auto usersBefore = Rs3Fixture::treeSnapshot(users);
        asker->buttons << QMessageBox::Ok << QMessageBox::Ok;
        saveAs("Mine");

        if (pipe)
            QVERIFY(!pipe->released());
        QCOMPARE(Rs3Fixture::treeSnapshot(users), usersBefore);
        const QString store = storeFolder("mxg_12", "zmine");
        const QString mirror = mirrorFolder(*rs3, "mxg_12", "zmine");
        QVERIFY(QFileInfo::exists(store + "/pMain.P2.xml") && QFileInfo::exists(mirror + "/pMain.P2.xml"));
        for (const QString& folder : {store, mirror}) {
            const auto copied = Rs3Fixture::treeSnapshot(folder);
            for (auto it = copied.cbegin(); it != copied.cend(); ++it)
                QVERIFY2(!it.value().contains("the user's photo") && !it.key().contains("glow"), qPrintable(it.key()));
            QCOMPARE(QFileInfo::exists(folder + "/Items/md1/mask.png"), kind != "folder");
        }
        const QString shown = lastMessage(*asker);
        QVERIFY2(shown.startsWith("Save as Template|Template \"Mine\" was saved without what these links and special "
                                  "files hold")
                     && shown.contains("\n" + there + why),
                 qPrintable(shown));
    }

    // The page's Items folder kept on another disk through a link: its art
    // travels into the template as from a plain folder, and nothing is
    // said to be left out.
    void saveCarriesArtOfAKeptItemsFolder()
    {
        const QString itemRel = "aim/resources/overlay/mxg_12/masks/set/standard/s02/p01/Items/md1/";
        QVERIFY(rs3->addArtItem(Rs3Fixture::Stable, itemRel, QSize(200, 80)));
        const QString items = QFileInfo(rs3->absolutePath(Rs3Fixture::Stable, itemRel + "mask.png")).path() + "/..";
        const QString away = TestEnvironment::makeTempDir("other-disk") + "/Items";
        QVERIFY(QDir().rename(QDir::cleanPath(items), away));
        QVERIFY(QFile::link(away, QDir::cleanPath(items)));
        open("MXG 1.2", 800, true, itemRel);
        asker->buttons << QMessageBox::Ok << QMessageBox::Ok;
        saveAs("Mine");

        const QByteArray art = TestFiles::readBytes(away + "/md1/mask.png");
        QVERIFY(!art.isEmpty());
        for (const QString& folder : {storeFolder("mxg_12", "zmine"), mirrorFolder(*rs3, "mxg_12", "zmine")})
            QCOMPARE(TestFiles::readBytes(folder + "/Items/md1/mask.png"), art);
        QVERIFY2(!lastMessage(*asker).contains("links and special files"), qPrintable(lastMessage(*asker)));
    }

    // A wide PDM page goes to the wide dash, a standard one to the other;
    // the add-page dialog opens on the same dash and lists it.
    void pdmDashes_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("other");
        QTest::newRow("wide") << 1280 << "pdm/dash1" << "pdm/dash2";
        QTest::newRow("standard") << 800 << "pdm/dash2" << "pdm/dash1";
    }
    void pdmDashes()
    {
        QFETCH(int, width);
        QFETCH(QString, family);
        QFETCH(QString, other);
        open("PDM32", width);
        saveAs("Pit");
        QVERIFY(QFileInfo(storeFolder(family, "zpit") + "/prw.png").size() > 0);
        QVERIFY(!QFileInfo::exists(storeFolder(other, "zpit")));

        QStringList listed;
        asker->onExec = [&listed](QDialog* dialog) {
            auto* addPage = qobject_cast<AddPageDialog*>(dialog);
            const auto* homebrew = qobject_cast<QListWidget*>(addPage->tabs->widget(addPage->tabs->count() - 1));
            for (int i = 0; i < homebrew->count(); ++i)
                listed << homebrew->item(i)->text();
            addPage->saveAsTemplateButton->click();
            return addPage->result();
        };
        const AddPageChoice choice = window->runAddPageDialog();
        QCOMPARE(choice.result, AddPageDialog::kSaveCurrentAsTemplate);
        QCOMPARE(choice.targetFamily, family);
        QCOMPARE(listed, QStringList{"Pit"});
    }

    void saveProblems_data()
    {
        QTest::addColumn<QString>("problem");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty canvas grab")
            << "grab" << QString()
            << "Saved template \"My Page-2!\" (using placeholder preview — re-save once the canvas has rendered for a "
               "real thumbnail)";
        QTest::newRow("preview missing on disk")
            << "prw" << "Save as Template|Template saved, but one or more files appear empty or missing on disk:\n\n"
                        "  prw.png: MISSING\n  AiM_folder.xml: OK\n\nThe template may not appear in 'Add Page from "
                        "Template'. Try saving again, or check disk space / write permissions."
            << QString();
        QTest::newRow("no RS3 set for the family")
            << "rs3" << "Save as Template|Template \"My Page-2!\" was saved, but it could NOT be registered in "
                        "RaceStudio3."
            << "Saved template \"My Page-2!\" (" + storeFolder("mxg_12", "zmy_page_2") + ")";
    }
    void saveProblems()
    {
        QFETCH(QString, problem);
        QFETCH(QString, message);
        QFETCH(QString, shown);
        open("MXG 1.2", 800, problem != "rs3");
        if (problem == "grab") {
            // A canvas with nothing to show yet grabs as a null picture.
            auto* canvas = window->findChild<DashCanvas*>();
            canvas->setMinimumSize(0, 0);
            canvas->resize(0, 0);
        }
        if (problem == "prw") {
            // A folder where the preview goes: the save cannot write it.
            QDir().mkpath(storeFolder("mxg_12", "zmy_page_2") + "/prw.png");
            asker->buttons << QMessageBox::Yes;
        }
        window->statusBar()->clearMessage();
        saveAs("My Page-2!");
        QVERIFY2(lastMessage(*asker).startsWith(message), qPrintable(lastMessage(*asker)));
        if (message.isEmpty())
            QCOMPARE(asker->count("message"), 0);
        QCOMPARE(status(), shown);
        if (problem == "grab") {
            const QImage preview(storeFolder("mxg_12", "zmy_page_2") + "/prw.png");
            QCOMPARE(preview.size(), QSize(200, 120));
            QCOMPARE(preview.pixelColor(2, 2), QColor(40, 40, 40));
        }
    }

    // Saving under a name that already has a folder asks first.
    void saveAgainAsks_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("cancel") << int(QMessageBox::Cancel);
        QTest::newRow("replace") << int(QMessageBox::Yes);
    }
    void saveAgainAsks()
    {
        QFETCH(int, answer);
        open();
        saveAs("My Page-2!");
        // An item the current page no longer has, left from the first save.
        const QString stale = storeFolder("mxg_12", "zmy_page_2") + "/Items/item99/mask.png";
        QVERIFY(QDir().mkpath(QFileInfo(stale).absolutePath()));
        QVERIFY(TestFiles::writeBytes(stale, "old art"));
        const QMap<QString, QByteArray> first = rs3->snapshot();
        const QMap<QString, QByteArray> firstStore = Rs3Fixture::treeSnapshot(homebrewTemplatesDir());
        window->statusBar()->clearMessage();
        asker->buttons << QMessageBox::StandardButton(answer);
        saveAs("My Page-2!");
        QCOMPARE(asker->count("message"), 1);
        QCOMPARE(asker->asked.last().title, "Save as Template");
        QVERIFY(asker->asked.last().text.contains(storeFolder("mxg_12", "zmy_page_2")));
        QVERIFY(asker->asked.last().text.contains(mirrorFolder(*rs3, "mxg_12", "zmy_page_2")));
        if (answer == QMessageBox::Cancel) {
            QCOMPARE(rs3->snapshot(), first);
            QCOMPARE(Rs3Fixture::treeSnapshot(homebrewTemplatesDir()), firstStore);
            QCOMPARE(status(), QString());
        } else {
            QVERIFY(status().startsWith("Saved template"));
            QVERIFY(!QFileInfo::exists(stale));
            QVERIFY(!QFileInfo::exists(storeFolder("mxg_12", "zmy_page_2") + ".old-items"));
            const QString mirrored = mirrorFolder(*rs3, "mxg_12", "zmy_page_2");
            QVERIFY(QFileInfo::exists(mirrored + "/prw.png"));
            QVERIFY(!QFileInfo::exists(mirrored + "/Items/item99"));
        }
    }

    // A saved template comes back through Add Page from Template as one
    // undoable page.
    void addedTemplateIsOnePageAndUndoes()
    {
        open();
        saveAs("My Page-2!");
        QStringList listed;
        asker->onExec = [&listed](QDialog* dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
                for (QAbstractButton* button : box->buttons()) {
                    if (button->text().startsWith("Add in Korvelanto anyway"))
                        button->click();
                }
                return box->result();
            }
            auto* addPage = qobject_cast<AddPageDialog*>(dialog);
            if (!addPage)
                return 0;
            const int homebrew = addPage->tabs->count() - 1;
            addPage->tabs->setCurrentIndex(homebrew);
            auto* list = qobject_cast<QListWidget*>(addPage->tabs->widget(homebrew));
            for (int i = 0; i < list->count(); ++i)
                listed << list->item(i)->text();
            list->setCurrentRow(0);
            emit addPage->buttons->accepted();
            return addPage->result();
        };
        auto* stack = window->findChild<QUndoStack*>();
        window->addPageFromTemplate();
        QCOMPARE(listed, QStringList{"My Page-2!"});
        QCOMPARE(config()->pageCount(), 2);
        stack->undo();
        QCOMPARE(config()->pageCount(), 1);
    }

    // A page added from a template names only pictures that are there: a
    // label saved without art, and a box whose art is in the install, come
    // back without a picture and with their picture.
    void templatePageNamesOnlyPicturesThatExist()
    {
        const QString item = "aim/resources/overlay/mxg_12/masks/set/standard/s02/p01/Items/box/";
        QVERIFY(rs3->addArtItem(Rs3Fixture::Stable, item, QSize(200, 80)));
        rs3->addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        ConfigFixture cfg;
        cfg.device().page("Main").mask(Fx::mask("m1", 10, 20, 200, 80).add(Fx::label("l1", "RPM", 0, 0, 200, 80)));
        cfg.device().pages[0].mask(Fx::mask("m2", 10, 120, 200, 80)
                                       .p("PATH_REL_AiM_MASK", item)
                                       .p("PATH_IMAGE", "mask.png")
                                       .add(Fx::label("l2", "OIL", 0, 0, 200, 80)));
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->loadConfig(cfg.writeTempZip());
        saveAs("Two boxes");
        PageTemplate tpl;
        tpl.folderPath = mirrorFolder(*rs3, "mxg_12", "ztwo_boxes");
        window->setAddPageDialogFactory([&] { return AddPageChoice{1, tpl, QStringLiteral("mxg_12")}; });
        window->addPageFromTemplate();
        QCOMPARE(config()->pageCount(), 2);

        const PageModel& page = *config()->page(1);
        QCOMPARE(page.masks.size(), size_t(2));
        QStringList named;
        for (const MaskElement& mask : page.masks) {
            const QString rel = ConfigCheck::paramText(mask.node, "PATH_REL_AiM_MASK");
            QStringList pictures;
            ConfigCheck::collectNamedImages(mask.node, pictures);
            if (rel.isEmpty()) {
                QCOMPARE(pictures, QStringList());
                continue;
            }
            for (const QString& picture : pictures) {
                named << picture;
                QVERIFY2(!resolveAssetPath(rel + picture).isEmpty(), qPrintable(rel + picture));
            }
        }
        QCOMPARE(named, QStringList{"mask.png"});
        for (const ConfigFinding& finding : ConfigCheck::checkConfig(*config()))
            QVERIFY2(finding.code != "missing-art", qPrintable(finding.message));
    }

    void exportTheme_data()
    {
        QTest::addColumn<QString>("store");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("expectedAuthor");
        QTest::newRow("empty store") << "" << QString() << "Old";
        QTest::newRow("theme without variants")
            << "nofamily" << "Export Failed|Could not export theme:\nno device assets found for 'zneon'" << "Old";
        QTest::newRow("exported") << "mxg_12" << "Export|Theme written to:\n" << "New";
    }
    void exportTheme()
    {
        QFETCH(QString, store);
        QFETCH(QString, message);
        QFETCH(QString, expectedAuthor);
        if (!store.isEmpty())
            addStoreTheme(store, "zneon", "Neon");
        setLastAuthor("Old");
        open();
        const QString target = TestEnvironment::makeTempDir("export") + "/neon.dashtheme";
        asker->fileNames << target;
        bool enabled = false;
        QString summary;
        asker->onExec = [&](QDialog* dialog) {
            auto* button = dialog->findChild<QPushButton*>("exportButton");
            enabled = button->isEnabled();
            summary = dialog->findChild<QLabel*>("summaryLabel")->text();
            dialog->findChild<QLineEdit*>("authorEdit")->setText("  New ");
            button->click();
            return dialog->result();
        };
        window->showExportTheme();
        QCOMPARE(enabled, !store.isEmpty());
        if (store.isEmpty())
            QCOMPARE(summary, "No homebrew themes found to export.");
        QVERIFY2(lastMessage(*asker).startsWith(message), qPrintable(lastMessage(*asker)));
        QCOMPARE(lastAuthor(), expectedAuthor);
        QCOMPARE(QFileInfo::exists(target), store == "mxg_12");
        if (store == "mxg_12") {
            ThemePackage package;
            QVERIFY(openThemePackage(package, target));
            QCOMPARE(package.name, "Neon");
            QCOMPARE(package.author, "New");
            QCOMPARE(package.devices, QStringList{"mxg_12"});
        }
    }

    // The three texts stay in the open package once all three were given,
    // also when no file is chosen; an earlier cancel changes nothing.
    void saveThemeKeepsEdits_data()
    {
        QTest::addColumn<bool>("authorCancelled");
        QTest::addColumn<QStringList>("presets");
        QTest::addColumn<QString>("description");
        QTest::newRow("author cancelled") << true << QStringList{"Neon", "Ann"} << "Orig";
        QTest::newRow("file dialog cancelled") << false << QStringList{"N1", "A1"} << "D1";
    }
    void saveThemeKeepsEdits()
    {
        QFETCH(bool, authorCancelled);
        QFETCH(QStringList, presets);
        QFETCH(QString, description);
        addStoreTheme("mxg_12", "zneon", "Neon");
        const QString folder = TestEnvironment::makeTempDir("themes");
        QVERIFY(exportThemeBundle("zneon", "Neon", "Ann", "Orig", folder + "/neon.dashtheme"));
        open();
        asker->fileNames << folder + "/neon.dashtheme";
        asker->onExec = [](QDialog* dialog) {
            QMetaObject::invokeMethod(dialog, "onOpenClicked");
            return dialog->result();
        };
        window->openThemeBundle();

        QString describedAs;
        asker->onExec = [&describedAs](QDialog* dialog) {
            auto* input = qobject_cast<QInputDialog*>(dialog);
            describedAs = input->textValue();
            input->setTextValue(" D1 ");
            return int(QDialog::Accepted);
        };
        asker->texts << qMakePair(true, QString(" N1 ")) << qMakePair(!authorCancelled, QString(" A1 "));
        window->saveTheme();
        QCOMPARE(asker->count("save"), authorCancelled ? 0 : 1);

        asker->textPresets.clear();
        asker->texts << qMakePair(true, QString("N2")) << qMakePair(true, QString("A2"));
        asker->fileNames << folder + "/out.dashtheme";
        window->saveTheme();
        QCOMPARE(asker->textPresets, presets);
        QCOMPARE(describedAs, description);
        QCOMPARE(status(), "Saved theme to out.dashtheme");
        ThemePackage written;
        QVERIFY(openThemePackage(written, folder + "/out.dashtheme"));
        QCOMPARE(written.name, "N2");
        QCOMPARE(written.author, "A2");
        QCOMPARE(written.description, "D1");
    }
};

KORV_TEST_MAIN(TemplateActionsTest)
#include "tst_templateactions.moc"
