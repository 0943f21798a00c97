#include "dialogs/AddPageDialog.h"
#include "dialogs/NewHomebrewThemeDialog.h"
#include "window/MainWindow.h"
#include "canvas/DashCanvas.h"
#include "model/DashConfig.h"
#include "model/DeviceFile.h"
#include "model/InstallRoots.h"
#include "templates/PageTemplateLibrary.h"
#include "support/ConfigFixture.h"
#include "support/FifoGuard.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"
#include "app/UsedTheme.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QListWidget>
#include <QMainWindow>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QtTest>

#include <memory>

namespace {

// A template of the store as a save leaves it; without a preview when asked.
void addStoreTemplate(const QString& family, const QString& name, const QString& label, bool preview = true)
{
    const QString folder = homebrewTemplatesDir() + '/' + family + '/' + name;
    PageTemplateLibrary::writeFile(folder + "/pMain.P2.xml", "<aimDataBase_Page2/>");
    PageTemplateLibrary::writeFile(folder + "/AiM_folder.xml", PageTemplateLibrary::folderMetaXml(label, 99));
    if (preview)
        PageTemplateLibrary::writeFile(folder + "/prw.png", TestFiles::pngBytes(QSize(200, 120), Qt::darkCyan));
}

QStringList tabTitles(const AddPageDialog& dialog)
{
    QStringList titles;
    for (int i = 0; i < dialog.tabs->count(); ++i)
        titles << dialog.tabs->tabText(i);
    return titles;
}

} // namespace

class AddPageDialogTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QDir(homebrewTemplatesDir()).removeRecursively(); }

    void dashChoice_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("family");
        QTest::addColumn<bool>("combo");
        QTest::newRow("pdm standard") << "PDM32" << 800 << "pdm/dash2" << true;
        QTest::newRow("pdm wide") << "PDM32" << 1280 << "pdm/dash1" << true;
        QTest::newRow("one family") << "MXG 1.2" << 1280 << "mxg_12" << false;
    }
    void dashChoice()
    {
        QFETCH(QString, device);
        QFETCH(int, width);
        QFETCH(QString, family);
        QFETCH(bool, combo);
        Rs3Fixture fx;
        DashConfig config;
        config.deviceName = device;
        config.displayWidth = width;
        AddPageDialog dialog(&config);
        QCOMPARE(dialog.targetFamily, family);
        QCOMPARE(dialog.dashCombo->isVisibleTo(&dialog), combo);
        QCOMPARE(dialog.deviceBadge->text(), device + " (" + family + ")");
    }

    // One RS3 set, three good store templates and one without a preview.
    void listsSetsAndHidesBrokenTemplates()
    {
        Rs3Fixture fx;
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        fx.addFolderMeta(Rs3Fixture::Stable, "aim/resources/overlay/mxg_12/masks/set/standard/s02", "Race", 2);
        for (const QString name : {"za", "zb", "zc"})
            addStoreTemplate("mxg_12", name, name.toUpper());
        addStoreTemplate("mxg_12", "zbroken", "Broken", false);
        DashConfig config;
        config.deviceName = "MXG 1.2";
        QMainWindow owner;
        owner.statusBar();
        AddPageDialog dialog(&config, &owner);
        QCOMPARE(tabTitles(dialog), QStringList({"Race", "Homebrew"}));
        QCOMPARE(listOf(dialog, 1)->count(), 3);
        QCOMPARE(listOf(dialog, 1)->item(0)->text(), "ZA");
        QVERIFY(!listOf(dialog, 1)->item(0)->icon().isNull());
        QCOMPARE(owner.statusBar()->currentMessage(),
                 "1 broken homebrew template(s) hidden (missing prw.png or AiM_folder.xml).");
    }

    void results_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("chosen");
        QTest::newRow("save current page") << "save" << AddPageDialog::kSaveCurrentAsTemplate << false;
        QTest::newRow("ok without a selection") << "ok" << 1 << false;
        QTest::newRow("ok with a selection") << "select+ok" << 1 << true;
        QTest::newRow("double click") << "double" << 1 << true;
    }
    void results()
    {
        QFETCH(QString, gesture);
        QFETCH(int, result);
        QFETCH(bool, chosen);
        Rs3Fixture fx;
        const QString folder = fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        DashConfig config;
        config.deviceName = "MXG 1.2";
        AddPageDialog dialog(&config);
        dialog.show();
        QListWidget* list = listOf(dialog, 0);
        QPushButton* ok = dialog.buttons->button(QDialogButtonBox::Ok);
        if (gesture == "save") {
            dialog.saveAsTemplateButton->click();
        } else if (gesture == "double") {
            dialog.onDoubleClicked(list->item(0));
        } else {
            // The OK button starts disabled; accepting anyway picks nothing.
            if (gesture == "select+ok") {
                list->setCurrentRow(0);
                QVERIFY(ok->isEnabled());
            }
            emit dialog.buttons->accepted();
        }
        QCOMPARE(dialog.result(), result);
        QCOMPARE(dialog.selectedTemplate.folderPath, chosen ? folder : QString());
    }

    // Device names and install roots are shown as text, never as markup.
    // The tab that explains is the one shown, and it says where templates
    // were looked for and what can be done from the dialog or the menus.
    void noneTab_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("badge");
        QTest::addColumn<int>("setup"); // 0 no family, 1 no install, 2 an install without the family's templates
        QTest::newRow("unknown device") << "<b>X&Y</b>" << "<b>X&Y</b> (no template folder)" << 0;
        QTest::newRow("no install") << "MXG 1.2" << "MXG 1.2 (mxg_12)" << 1;
        QTest::newRow("install without templates") << "MXG 1.2" << "MXG 1.2 (mxg_12)" << 2;
    }
    void noneTab()
    {
        QFETCH(QString, device);
        QFETCH(QString, badge);
        QFETCH(int, setup);
        Rs3Fixture fx;
        QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
        if (setup != 2) {
            settings.setValue("paths/raceStudio3Root", fx.root(Rs3Fixture::Stable) + "/<i>&amp;");
            settings.setValue("paths/raceStudio3BetaRoot", fx.root(Rs3Fixture::Stable) + "/<i>beta");
        }
        DashConfig config;
        config.deviceName = device;
        AddPageDialog dialog(&config);
        QCOMPARE(dialog.deviceBadge->text(), badge);
        QCOMPARE(dialog.deviceBadge->textFormat(), Qt::PlainText);
        QCOMPARE(tabTitles(dialog), QStringList({"(none)", "Homebrew"}));
        QCOMPARE(dialog.tabs->currentIndex(), 0);
        QVERIFY(!dialog.installNote->isVisibleTo(&dialog));
        const QString text = qobject_cast<QLabel*>(dialog.tabs->widget(0))->text();
        QVERIFY2(text.contains("Tools &gt; Preferences") || setup == 2, qPrintable(text));
        QVERIFY(!text.contains("<i>&amp;"));
        QVERIFY(!text.contains("below, or create"));
        if (setup == 0) {
            QVERIFY(configuredRaceStudio3Root().contains("<i>"));
            QVERIFY(text.contains("<code>&lt;b&gt;X&amp;Y&lt;/b&gt;</code>"));
            QVERIFY(text.contains("<code>" + configuredRaceStudio3Root().toHtmlEscaped() + "</code>"));
        } else if (setup == 1) {
            QVERIFY(text.contains("No RaceStudio 3 install found"));
            QVERIFY2(text.contains("<code>" + (configuredRaceStudio3Root() + " or " + configuredRaceStudio3BetaRoot())
                                                   .toHtmlEscaped()
                                   + "</code>"),
                     qPrintable(text));
        } else {
            QVERIFY(text.contains("No built-in templates for this device yet"));
            QVERIFY2(text.contains(fx.absolutePath(Rs3Fixture::Stable,
                                                   "aim/resources/overlay/mxg_12/masks/set/standard")),
                     qPrintable(text));
            QVERIFY(text.contains("Edit &gt; New Blank Page"));
        }
    }

    // Without an install the store's own templates are offered, and the
    // dialog says where an install was looked for.
    void noInstallNote()
    {
        Rs3Fixture fx;
        QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
        settings.setValue("paths/raceStudio3Root", "/nowhere/RaceStudio3");
        settings.setValue("paths/raceStudio3BetaRoot", "/nowhere/RaceStudio3_beta");
        addStoreTemplate("mxg_12", "za", "Mine");
        DashConfig config;
        config.deviceName = "MXG 1.2";
        AddPageDialog dialog(&config);
        QCOMPARE(tabTitles(dialog), QStringList({"Homebrew"}));
        QVERIFY(dialog.installNote->isVisibleTo(&dialog));
        QCOMPARE(dialog.installNote->text(),
                 QStringLiteral("Only your own templates are offered. No RaceStudio 3 install was found at %1 or %2. "
                                "Install RaceStudio 3 there, or set its folders in Tools > Preferences.")
                     .arg(QDir::toNativeSeparators("/nowhere/RaceStudio3"),
                          QDir::toNativeSeparators("/nowhere/RaceStudio3_beta")));
    }

    // A stock set's or template's label linked to a pipe, or a pipe itself,
    // or the homebrew set's: the dialog opens without waiting on it or
    // writing through it, shows the folder's name and says which file it
    // left alone.
    void stockLabelsNeverWaitOnAPipe_data()
    {
        QTest::addColumn<QString>("named"); // relative to the family's standard folder
        QTest::addColumn<bool>("linked");
        QTest::newRow("set label linked to a pipe") << "s02/AiM_folder.xml" << true;
        QTest::newRow("set label a pipe") << "s02/AiM_folder.xml" << false;
        QTest::newRow("template label linked to a pipe") << "s02/p01/AiM_folder.xml" << true;
        QTest::newRow("homebrew set label linked to a pipe") << "s04_homebrew/AiM_folder.xml" << true;
    }
    void stockLabelsNeverWaitOnAPipe()
    {
        QFETCH(QString, named);
        QFETCH(bool, linked);
        Rs3Fixture fx;
        const QString there = QFileInfo(fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01")).path()
            + "/../" + named;
        const QString pipes = TestEnvironment::makeTempDir("pipes");
        const auto gone = qScopeGuard([pipes] { QDir(pipes).removeRecursively(); });
        FifoGuard pipe(linked ? pipes + "/p" : there);
        QVERIFY(pipe.made());
        if (linked)
            QVERIFY(QDir().mkpath(QFileInfo(there).path()) && QFile::link(pipes + "/p", there));
        const bool homebrew = named.startsWith("s04_homebrew");
        if (homebrew)
            addStoreTemplate("mxg_12", "za", "Mine");
        DashConfig config;
        config.deviceName = "MXG 1.2";
        AddPageDialog dialog(&config);
        QVERIFY(!pipe.released());
        QCOMPARE(tabTitles(dialog), QStringList({"s02", "Homebrew"}));
        QCOMPARE(listOf(dialog, 0)->item(0)->text(), "p01");
        QCOMPARE(listOf(dialog, 1)->count(), homebrew ? 1 : 0);
        QVERIFY(dialog.installNote->isVisibleTo(&dialog));
        const QString why = linked ? " is a symbolic link" : " is not a regular file";
        QCOMPARE(dialog.installNote->text(), "Left alone, as links and special files are never followed:\n"
                                                 + QDir::cleanPath(there) + why);
    }

    // Previews of different sizes each show whole: scaled to fit the
    // thumbnail, centred, never cut by another item's size.
    void previewsShownWhole()
    {
        Rs3Fixture fx;
        const QList<QSize> sizes{QSize(300, 60), QSize(200, 120), QSize(195, 117), QSize(120, 200)};
        const QString set = "aim/resources/overlay/mxg_12/masks/set/standard/s02/";
        for (int i = 0; i < sizes.size(); ++i) {
            const QString name = QStringLiteral("p%1").arg(i + 1, 2, 10, QLatin1Char('0'));
            fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", name);
            QImage preview(sizes[i], QImage::Format_RGB32);
            preview.fill(Qt::red);
            QPainter(&preview).fillRect(preview.rect().adjusted(4, 4, -4, -4), Qt::blue);
            QVERIFY(preview.save(fx.absolutePath(Rs3Fixture::Stable, set + name + "/prw.png")));
            fx.addFolderMeta(Rs3Fixture::Stable, set + name, QStringLiteral("Page %1 with a name that wraps").arg(i));
        }
        DashConfig config;
        config.deviceName = "MXG 1.2";
        AddPageDialog dialog(&config);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QListWidget* list = listOf(dialog, 0);
        QCOMPARE(list->count(), sizes.size());
        const QSize box = list->iconSize();
        for (int i = 0; i < list->count(); ++i) {
            QListWidgetItem* item = list->item(i);
            const QImage icon = item->icon().pixmap(box).toImage();
            QCOMPARE(icon.size(), box);
            // The preview's red rim shows on all four sides of the thumbnail.
            const QSize shown = sizes[i].scaled(box, Qt::KeepAspectRatio);
            const QRect rim(QPoint((box.width() - shown.width()) / 2, (box.height() - shown.height()) / 2), shown);
            for (const QPoint& p : {QPoint(rim.left() + 1, rim.center().y()), QPoint(rim.right() - 1, rim.center().y()),
                                    QPoint(rim.center().x(), rim.top() + 1), QPoint(rim.center().x(), rim.bottom() - 1)}) {
                const QColor c = icon.pixelColor(p);
                QVERIFY2(c.red() > 150 && c.blue() < 100, qPrintable(QStringLiteral("item %1 at %2,%3: %4")
                                                                         .arg(i).arg(p.x()).arg(p.y()).arg(c.name())));
            }
            const QRect r = list->visualItemRect(item);
            QVERIFY2(r.height() >= box.height() + list->fontMetrics().height(),
                     qPrintable(QStringLiteral("item %1 is %2 high").arg(i).arg(r.height())));
        }
    }

    // A PDM32 whose first display is 1280 wide and second 800 wide. The
    // user switches the dialog to "Dash 2" and picks a Dash 2 template: the
    // page lands on the second display at its width and refers to the Dash 2
    // tree; the Homebrew tab offers the Dash 2 store templates as Dash 2
    // copies, and nothing of Dash 2 is copied into the Dash 1 tree.
    void secondDashPageStaysOnTheSecondDash()
    {
        Rs3Fixture fx;
        const QString dash1 = fx.overlayRoot(Rs3Fixture::Stable) + "/pdm/dash1/masks/set/standard/";
        const QString dash2 = fx.overlayRoot(Rs3Fixture::Stable) + "/pdm/dash2/masks/set/standard/";
        fx.addTemplate(Rs3Fixture::Stable, "pdm/dash1", "s02", "p25ext", QSize(1280, 480));
        fx.addTemplate(Rs3Fixture::Stable, "pdm/dash2", "s02", "p01", QSize(800, 480));
        addStoreTemplate("pdm/dash1", "widebrew", "Wide brew");
        addStoreTemplate("pdm/dash2", "narrowbrew", "Narrow brew");
        QSettings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto")).setValue("homebrew/suppressAddRedirect", true);

        ConfigFixture cfg;
        cfg.deviceType = "PDM32";
        cfg.device().folder = "dash1";
        cfg.device().family = "pdm/dash1";
        cfg.device().dashNumber = 1;
        cfg.device().dimX = 1280;
        cfg.device().page("Wide").mask(Fx::mask("m1", 1, 1, 50, 50).add(Fx::label("l1", "w", 0, 0, 50, 50)));
        FixtureDevice& second = cfg.addDevice("dash2");
        second.family = "pdm/dash2";
        second.dashNumber = 2;
        second.dimX = 800;
        second.page("Narrow").mask(Fx::mask("m1", 2, 2, 60, 60).add(Fx::label("l1", "n", 0, 0, 60, 60)));

        ScriptedAsker asker;
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.loadConfig(cfg.writeTempZip());
        DashConfig* config = window.findChild<DashCanvas*>()->config;
        QCOMPARE(config->pageCount(), 2);

        QStringList families;
        QStringList tabs;
        QStringList homebrewNames;
        QStringList homebrewFolders;
        asker.onExec = [&](QDialog* d) {
            auto* dialog = qobject_cast<AddPageDialog*>(d);
            if (!dialog)
                return int(QDialog::Rejected);
            families << dialog->targetFamily;
            dialog->dashCombo->setFocus();
            QTest::keyClick(dialog->dashCombo, Qt::Key_Down);
            families << dialog->targetFamily;
            tabs = tabTitles(*dialog);
            QListWidget* homebrew = listOf(*dialog, 1);
            QListWidget* stock = listOf(*dialog, 0);
            if (!homebrew || !stock || stock->count() == 0)
                return int(QDialog::Rejected);
            for (int i = 0; i < homebrew->count(); ++i) {
                homebrewNames << homebrew->item(i)->text();
                homebrewFolders << homebrew->item(i)->toolTip();
            }
            QTest::mouseClick(stock->viewport(), Qt::LeftButton, {}, stock->visualItemRect(stock->item(0)).center());
            QTest::mouseClick(dialog->buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
            return dialog->result();
        };
        window.addPageFromTemplate();

        QCOMPARE(families, QStringList({"pdm/dash1", "pdm/dash2"}));
        QCOMPARE(tabs, QStringList({"s02", "Homebrew"}));
        QCOMPARE(homebrewNames, QStringList{"Narrow brew"});
        QCOMPARE(homebrewFolders, QStringList{dash2 + "s04_homebrew/narrowbrew"});
        QVERIFY(!QFileInfo::exists(dash1 + "s04_homebrew/narrowbrew"));
        QCOMPARE(config->pageCount(), 3);
        const PageModel& added = config->pages[2];
        QCOMPARE(added.relPagePath, QStringLiteral("aim/resources/overlay/pdm/dash2/masks/set/standard/s02/p01/"));
        QCOMPARE(added.width, 800);
        QCOMPARE(added.deviceFileIndex, config->pages[1].deviceFileIndex);
        QCOMPARE(config->devices[size_t(added.deviceFileIndex)]->dashNumber, 2u);
        QVERIFY(!QFileInfo::exists(dash1 + "s02/p01"));
    }

    // "zone" is used twice by one RS3 configuration and once by another,
    // also where the user keeps the user folder, the configurations folder
    // in it, or one configuration, elsewhere through a link (a sync folder).
    void deleteGuard_data()
    {
        QTest::addColumn<bool>("inUse");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("deleted");
        QTest::addColumn<QString>("linked"); // below the stable root, moved elsewhere and linked
        QTest::newRow("in use") << true << int(QMessageBox::Yes) << false << "";
        QTest::newRow("in use, configurations folder linked") << true << int(QMessageBox::Yes) << false
                                                              << "user/cfgs";
        QTest::newRow("in use, configuration linked") << true << int(QMessageBox::Yes) << false
                                                      << "user/cfgs/cfg_a";
        QTest::newRow("in use, user folder linked") << true << int(QMessageBox::Yes) << false << "user";
        QTest::newRow("cancelled") << false << int(QMessageBox::Cancel) << false << "";
        QTest::newRow("confirmed") << false << int(QMessageBox::Yes) << true << "";
    }
    void deleteGuard()
    {
        QFETCH(bool, inUse);
        QFETCH(int, answer);
        QFETCH(bool, deleted);
        QFETCH(QString, linked);
        Rs3Fixture fx;
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        addStoreTemplate("mxg_12", "zone", "One");
        addStoreTemplate("mxg_12", "ztwo", "Two");
        if (inUse) {
            const QByteArray ref =
                "<p n=\"PATH\">aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zone/bkg.tgz</p>";
            fx.addUserConfig(Rs3Fixture::Stable, "cfg_a", "Alpha", {ref + ref});
            fx.addUserConfig(Rs3Fixture::Stable, "cfg_b", "Bravo", {ref});
        }
        if (!linked.isEmpty()) {
            const QString at = fx.root(Rs3Fixture::Stable) + "/" + linked;
            const QString elsewhere = TestEnvironment::makeTempDir("synced") + "/kept";
            QVERIFY(QDir().rename(at, elsewhere));
            QVERIFY(QFile::link(elsewhere, at));
        }
        ScriptedAsker asker;
        asker.buttons << QMessageBox::StandardButton(answer);
        QString refusal;
        asker.onExec = [&refusal](QDialog* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            refusal = box ? box->text() + '\n' + box->informativeText() : QString();
            return 0;
        };
        DashConfig config;
        config.deviceName = "MXG 1.2";
        AddPageDialog dialog(&config);
        dialog.tabs->setCurrentIndex(1);
        QListWidget* list = listOf(dialog, 1);
        QCOMPARE(list->item(0)->text(), "One");
        list->setCurrentRow(0);
        const QMap<QString, QByteArray> before = everything(fx);
        dialog.onDeleteHomebrewTemplate();

        if (inUse) {
            QCOMPARE(asker.asked.size(), 1);
            QCOMPARE(asker.asked[0].title, "Template is in use");
            QVERIFY(refusal.startsWith("\"One\" cannot be deleted - 2 RaceStudio 3 configuration(s) still use it:\n"));
            QVERIFY(refusal.contains("    Alpha  (2 reference(s))"));
            QVERIFY(refusal.contains("    Bravo  (1 reference(s))"));
        } else {
            QCOMPARE(asker.asked.size(), 1);
            QCOMPARE(asker.asked[0].title, "Delete Template");
        }
        QCOMPARE(everything(fx) == before, !deleted);
        QCOMPARE(QFileInfo::exists(homebrewTemplatesDir() + "/mxg_12/zone"), !deleted);
        // The list is rebuilt on the same tab, with nothing chosen to add.
        QCOMPARE(dialog.tabs->currentIndex(), 1);
        QCOMPARE(listOf(dialog, 1)->count(), deleted ? 1 : 2);
        QCOMPARE(dialog.buttons->button(QDialogButtonBox::Ok)->isEnabled(), !deleted);
    }

    // A configuration's dash folder linked elsewhere, its device file a
    // pipe, or the configurations folder kept in a sync folder that is
    // offline (a dangling user/cfgs link): the count neither follows nor
    // waits. Nothing can be known to be unused, so Delete Template asks,
    // naming what it could not read, and does not go ahead unless Yes is
    // chosen.
    void deleteQuestionNamesWhatWasNotSearched_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("answer");
        QTest::newRow("dash folder linked") << "dash" << int(QMessageBox::Cancel);
        QTest::newRow("device file a pipe") << "pipe" << int(QMessageBox::Cancel);
        QTest::newRow("configurations folder a dangling link, default") << "cfgs" << int(QMessageBox::NoButton);
        QTest::newRow("configurations folder a dangling link, yes") << "cfgs" << int(QMessageBox::Yes);
    }
    void deleteQuestionNamesWhatWasNotSearched()
    {
        QFETCH(QString, kind);
        QFETCH(int, answer);
        Rs3Fixture fx;
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        addStoreTemplate("mxg_12", "zone", "One");
        const QByteArray ref = "<p>aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zone/bkg.tgz</p>";
        const QString users = TestEnvironment::makeTempDir("users");
        QVERIFY(TestFiles::writeBytes(users + "/overlay.ov3.xml", ref));
        const QString cfg = fx.addUserConfig(Rs3Fixture::Stable, "cfg_a", "Alpha", {"<p/>"});
        QString there = kind == "pipe" ? cfg + "/dash1/dev/overlay.ov3.xml" : cfg + "/dash2";
        QString why = kind == "pipe" ? " is not a regular file" : " is a symbolic link";
        std::unique_ptr<FifoGuard> guard;
        if (kind == "pipe") {
            QVERIFY(QFile::remove(there));
            QVERIFY((guard = std::make_unique<FifoGuard>(there))->made());
        } else if (kind == "dash") {
            QVERIFY(QFile::link(users, there));
        } else {
            there = QFileInfo(cfg).path();
            why += " to something that is not a folder";
            QVERIFY(QDir(there).removeRecursively());
            QVERIFY(QFile::link(TestEnvironment::makeTempDir("offline") + "/sync/cfgs", there));
        }
        ScriptedAsker asker;
        if (answer != QMessageBox::NoButton)
            asker.buttons << QMessageBox::StandardButton(answer);
        DashConfig config;
        config.deviceName = "MXG 1.2";
        AddPageDialog dialog(&config);
        dialog.tabs->setCurrentIndex(1);
        listOf(dialog, 1)->setCurrentRow(0);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^configsReferencingTemplate: not searched: "));
        dialog.onDeleteHomebrewTemplate();
        if (guard)
            QVERIFY(!guard->released());
        QCOMPARE(asker.asked.size(), 1);
        QCOMPARE(asker.asked[0].title, "Delete Template");
        QCOMPARE(asker.asked[0].defaultButton, QMessageBox::Cancel);
        QVERIFY2(asker.asked[0].text.endsWith("Could not be read, so a configuration there may use it:\n" + there + why),
                 qPrintable(asker.asked[0].text));
        QCOMPARE(QFileInfo::exists(homebrewTemplatesDir() + "/mxg_12/zone"), answer != QMessageBox::Yes);
    }

    // New Homebrew Theme, Add Page from it, then Delete Template from the
    // Add Page dialog: refused while the open configuration uses it, in the
    // window or in its saved file, naming that file; nothing is removed.
    // Names beyond ASCII are found as any other.
    void deleteRefusedWhileTheOpenFileUsesIt_data()
    {
        QTest::addColumn<QString>("theme");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<bool>("removedInWindow");
        QTest::newRow("added and saved") << "Blue Night" << "Race" << true << false;
        QTest::newRow("added, not saved") << "Blue Night" << "Race" << false << false;
        QTest::newRow("saved, then removed in the window") << "Blue Night" << "Race" << true << true;
        QTest::newRow("beyond ASCII, added and saved") << "Nürburg Øst" << "Jyväskylä" << true << false;
        QTest::newRow("beyond ASCII, added, not saved") << "Nürburg Øst" << "Race" << false << false;
        QTest::newRow("beyond ASCII, saved, then removed in the window")
            << "鈴鹿" << "Søndre" << true << true;
    }
    void deleteRefusedWhileTheOpenFileUsesIt()
    {
        QFETCH(QString, theme);
        QFETCH(QString, file);
        QFETCH(bool, saved);
        QFETCH(bool, removedInWindow);
        UsedTheme used;
        QVERIFY(used.make(theme, file + ".zconf2"));
        if (saved)
            QVERIFY(used.window.save());
        if (removedInWindow)
            QVERIFY(used.config->removePage(1));
        const QMap<QString, QByteArray> before = everything(used.fx);

        const QString refusal = used.tryDelete();
        QCOMPARE(used.asker.asked.last().title, QStringLiteral("Template is in use"));
        const QString name = file + ".zconf2";
        QVERIFY2(refusal.startsWith("\"" + theme + "\" cannot be deleted - the open configuration " + name
                                    + " still uses it.\n    " + name + "  ("),
                 qPrintable(refusal));
        QCOMPARE(everything(used.fx), before);
        QCOMPARE(used.artNamedBySavedFile() > 0, saved);
    }

    // The same theme used by a configuration in RaceStudio 3's configurations
    // folder, the open file no longer using it: refused, naming that
    // configuration; nothing is removed.
    void deleteRefusedWhileAnRs3ConfigurationUsesIt_data()
    {
        QTest::addColumn<QString>("theme");
        QTest::addColumn<QString>("configName");
        QTest::newRow("ASCII") << "Blue Night" << "Race";
        QTest::newRow("beyond ASCII") << "Nürburg Øst" << "Österreichring";
        QTest::newRow("CJK") << "鈴鹿" << "鈴鹿 Sunday";
    }
    void deleteRefusedWhileAnRs3ConfigurationUsesIt()
    {
        QFETCH(QString, theme);
        QFETCH(QString, configName);
        UsedTheme used;
        QVERIFY(used.make(theme, "Race.zconf2"));
        QVERIFY(used.window.save());
        // RaceStudio 3 keeps the saved device file as it is; the letter case
        // of the folder in it may differ.
        QByteArray device = used.savedDevice();
        QVERIFY(device.contains(used.slug().toUtf8()));
        device.replace(used.slug().toUtf8(), used.slug().toUpper().toUtf8());
        used.fx.addUserConfig(Rs3Fixture::Stable, "cfg_001", configName, {device});
        QVERIFY(used.config->removePage(1));
        QVERIFY(used.window.save());
        QCOMPARE(used.artNamedBySavedFile(), 0);
        const QMap<QString, QByteArray> before = everything(used.fx);

        const QString refusal = used.tryDelete();
        QCOMPARE(used.asker.asked.last().title, QStringLiteral("Template is in use"));
        QVERIFY2(refusal.startsWith("\"" + theme + "\" cannot be deleted - 1 RaceStudio 3 configuration(s) still use "
                                    "it:\n    " + configName + "  ("),
                 qPrintable(refusal));
        QCOMPARE(everything(used.fx), before);
        QVERIFY(PageTemplateLibrary::configsReferencingTemplate(used.listed()).size() == 1);
    }

    // A template of the store under the name of the editor's own art, or
    // one whose RS3 folder holds something else: opening the Homebrew tab
    // copies nothing over the install's folder, and Delete Template says
    // why it removes nothing.
    void listingLeavesForeignFoldersAlone_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("why");
        QTest::newRow("box art") << "zbox_demo" << "\"zbox_demo\" is a folder name of the editor's own art";
        QTest::newRow("bar art, other case") << "ZBar_md_01_race"
                                             << "\"ZBar_md_01_race\" is a folder name of the editor's own art";
        QTest::newRow("folder of something else") << "zlaps" << QString();
    }
    void listingLeavesForeignFoldersAlone()
    {
        QFETCH(QString, name);
        QFETCH(QString, why);
        Rs3Fixture fx;
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        const QString item = "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/" + name + "/Items/md_01_"
                             + "9f3c2a10/";
        QVERIFY(fx.addArtItem(Rs3Fixture::Stable, item, QSize(120, 60), Qt::yellow));
        addStoreTemplate("mxg_12", name, "Race box");
        const QMap<QString, QByteArray> rs3 = fx.snapshot();

        ScriptedAsker asker;
        asker.buttons << QMessageBox::Yes;
        DashConfig config;
        config.deviceName = "MXG 1.2";
        AddPageDialog dialog(&config);
        dialog.tabs->setCurrentIndex(dialog.tabs->count() - 1);
        QListWidget* list = listOf(dialog, dialog.tabs->count() - 1);
        QCOMPARE(list->count(), 1);
        QCOMPARE(fx.snapshot(), rs3);

        list->setCurrentRow(0);
        const QMap<QString, QByteArray> store = Rs3Fixture::treeSnapshot(homebrewTemplatesDir());
        dialog.onDeleteHomebrewTemplate();
        QCOMPARE(fx.snapshot(), rs3);
        if (why.isEmpty()) {
            // Its own folder in the store goes; the install's is not its.
            QVERIFY(!QFileInfo::exists(homebrewTemplatesDir() + "/mxg_12/" + name));
            return;
        }
        QCOMPARE(Rs3Fixture::treeSnapshot(homebrewTemplatesDir()), store);
        QCOMPARE(asker.asked.last().title, QStringLiteral("Delete failed"));
        QVERIFY2(asker.asked.last().text.contains(why), qPrintable(asker.asked.last().text));
    }

};

KORV_TEST_MAIN(AddPageDialogTest)
#include "tst_addpagedialog.moc"
