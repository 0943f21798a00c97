// What uses a homebrew template or theme keeps it: pages Undo can bring
// back, names the files store escaped, and a replace or overwrite of one in
// use (Save as Template, New Homebrew Theme, the gallery's install).
#include "app/UsedTheme.h"
#include "editing/RemovePageCommand.h"
#include "gallery/ConfigBundleExport.h"
#include "support/QuestionBox.h"
#include "templates/TemplateReferenceCount.h"
#include "templates/SavedConfigsSearch.h"
#include "dialogs/FileCountProgress.h"

#include <QApplication>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <QtTest>

namespace {

const QString kHomebrewSet = "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/";

// A bundle exported on another computer, from its own RS3 install, whose
// page template has the same folder name and art of its own. The settings
// point at this computer's installs again afterwards.
QString bundleFromAnotherHome(const Rs3Fixture& here, const QString& folder,
                             const QByteArray& whose = "the other computer's")
{
    const QString home = TestEnvironment::makeTempDir("other-home") + "/RaceStudio3";
    const QString tpl = kHomebrewSet + folder + "/";
    if (!ZipFixture::writeTree(home, {{tpl + "pMain.P2.xml", "<page/>"},
                                      {tpl + "bkg.png", whose + " background"},
                                      {tpl + "Items/md1/mask.png", whose + " art"}}))
        return {};
    QSettings settings("Tindrel AS", "Korvelanto");
    settings.setValue("paths/raceStudio3Root", home);
    settings.setValue("paths/raceStudio3BetaRoot", home);
    ConfigFixture cfg;
    cfg.device().page("Main").mask(Fx::mask("m1", 1, 1, 50, 50)
                                       .p("PATH_REL_AiM_MASK", tpl + "Items/md1/")
                                       .p("PATH_IMAGE", "mask.png")
                                       .add(Fx::label("l1", "x", 0, 0, 50, 50)));
    const QString folderOfConfig = TestEnvironment::makeTempDir("other-config");
    DashConfig config;
    const QString zip = folderOfConfig + "/bundle.zip";
    const bool exported = cfg.writeZip(folderOfConfig + "/Their Race.zconf2")
        && config.load(folderOfConfig + "/Their Race.zconf2") && exportConfigInstallBundle(config, zip);
    settings.setValue("paths/raceStudio3Root", here.root(Rs3Fixture::Stable));
    settings.setValue("paths/raceStudio3BetaRoot", here.root(Rs3Fixture::Beta));
    return exported ? zip : QString();
}

// Another file opened in the window; the file saved before is no longer
// open anywhere.
bool openAnother(UsedTheme& used)
{
    ConfigFixture other;
    other.device().page("Other").mask(Fx::mask("m1", 1, 1, 50, 50).add(Fx::label("l1", "y", 0, 0, 50, 50)));
    const QString otherPath = TestEnvironment::makeTempDir("second") + "/Other.zconf2";
    if (!other.writeZip(otherPath))
        return false;
    used.window.loadConfig(otherPath);
    used.config = used.window.findChild<DashCanvas*>()->config;
    return used.config->pageCount() == 1;
}

// The saved file moved by hand where no search looks (a kept copy).
bool moveOutOfSight(UsedTheme& used)
{
    const QString kept = TestEnvironment::makeTempDir("kept") + "/Nordring.zconf2";
    if (!QFile::rename(used.path, kept))
        return false;
    used.path = kept;
    return true;
}

// The saved file's folder taken away (a stick pulled out, a share not
// mounted) or brought back.
bool folderAway(const UsedTheme& used, bool away)
{
    const QString folder = QFileInfo(used.path).path();
    return away ? QDir().rename(folder, folder + ".away") : QDir().rename(folder + ".away", folder);
}

} // namespace

class TemplateUsersTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The page that uses the theme is gone from the window and from the saved
    // file, but Undo (or Redo) can bring it back: Delete Template is refused
    // and says so; after the refusal Undo brings the page back with its art.
    // The count walks the history once per gesture, under a busy cursor that
    // is gone by the time anything is asked.
    void deleteRefusedWhileUndoCanBringItBack_data()
    {
        QTest::addColumn<bool>("deleted"); // else: the adding undone
        QTest::newRow("page deleted, file saved") << true;
        QTest::newRow("adding undone") << false;
    }
    void deleteRefusedWhileUndoCanBringItBack()
    {
        QFETCH(bool, deleted);
        UsedTheme used;
        QVERIFY(used.make("Blue Night", "Race.zconf2"));
        if (deleted) {
            QVERIFY(used.window.save());
            used.history()->push(new RemovePageCommand(used.config, 1));
            QVERIFY(used.window.save());
            QCOMPARE(used.artNamedBySavedFile(), 0);
        } else {
            used.history()->undo();
        }
        QCOMPARE(used.config->pageCount(), 1);
        const QMap<QString, QByteArray> before = everything(used.fx);
        used.asker.buttons << QMessageBox::Yes;

        const QString refusal = used.tryDelete();
        QCOMPARE(used.asker.asked.last().title, QStringLiteral("Template is in use"));
        QVERIFY2(refusal.contains("Undo or Redo can bring back"), qPrintable(refusal));
        QCOMPARE(everything(used.fx), before);
        QCOMPARE(used.walks, 1);
        QVERIFY(used.busyWhileCounting);
        QVERIFY(!used.busyAtQuestion);
        QVERIFY(!QGuiApplication::overrideCursor());

        deleted ? used.history()->undo() : used.history()->redo();
        QCOMPARE(used.config->pageCount(), 2);
        QVERIFY(used.window.save());
        QVERIFY(used.artNamedBySavedFile() > 0);
    }

    // A theme bundle whose id holds "&" (the files store it as "&amp;"),
    // used by the open file and by an RS3 configuration: Delete Template is
    // refused, naming both, and nothing is removed.
    void deleteRefusedForANameWithAnAmpersand()
    {
        UsedTheme used;
        QVERIFY(used.open("R&D", "Lab.zconf2"));
        QVERIFY(used.installBundle("R&D"));
        QVERIFY(used.addPage());
        QVERIFY(used.window.save());
        QVERIFY(used.savedDevice().contains("s04_homebrew/R&amp;D/"));
        used.fx.addUserConfig(Rs3Fixture::Stable, "cfg_001", "Bench & Co", {used.savedDevice()});
        const QMap<QString, QByteArray> before = everything(used.fx);
        used.asker.buttons << QMessageBox::Yes;

        const QString refusal = used.tryDelete();
        QCOMPARE(used.asker.asked.last().title, QStringLiteral("Template is in use"));
        QVERIFY2(refusal.startsWith("\"R&D\" cannot be deleted - the open configuration Lab.zconf2 still uses it."),
                 qPrintable(refusal));
        QVERIFY2(refusal.contains("    Bench & Co  ("), qPrintable(refusal));
        QCOMPARE(everything(used.fx), before);
        // The gallery installing the bundle again would replace it whole: it
        // asks, naming the users; Cancel writes nothing.
        QStringList users;
        used.themeQuestion = [&users](const ArtFolderInUse& theme) {
            users = theme.users.lines();
            return ArtInUseAnswer::Cancel;
        };
        QVERIFY(!used.installBundle("R&D"));
        QVERIFY2(users.join('\n').contains("    Bench & Co  ("), qPrintable(users.join('\n')));
        QCOMPARE(everything(used.fx), before);
    }

    // A page added from a homebrew template and the file saved (or the page
    // deleted, so only Undo can bring it back); then the user saves a page as
    // a template of the same name, or makes a theme of that name, and says
    // Yes to every question: refused, naming the file; every file the saved
    // configuration points at stays as it was.
    void replaceRefusedWhileInUse_data()
    {
        QTest::addColumn<bool>("asTheme");
        QTest::addColumn<bool>("onlyUndo");
        QTest::addColumn<QString>("named");
        QTest::newRow("save as template, file saved") << false << false << "Nordring.zconf2";
        QTest::newRow("new theme, file saved") << true << false << "Nordring.zconf2";
        QTest::newRow("save as template, page deleted") << false << true << "Undo or Redo can bring back";
        QTest::newRow("new theme, page deleted") << true << true << "Undo or Redo can bring back";
    }
    void replaceRefusedWhileInUse()
    {
        QFETCH(bool, asTheme);
        QFETCH(bool, onlyUndo);
        QFETCH(QString, named);
        UsedTheme used;
        QVERIFY(used.saveUsedTemplate());
        QVERIFY(used.artNamedBySavedFile() > 0);
        if (onlyUndo) {
            used.history()->push(new RemovePageCommand(used.config, 1));
            QVERIFY(used.window.save());
        }
        const QMap<QString, QByteArray> before = everything(used.fx);
        const QByteArray savedBefore = TestFiles::readBytes(used.path);
        for (int i = 0; i < 6; ++i)
            used.asker.buttons << QMessageBox::Yes;
        used.asker.asked.clear();

        used.makeAgain(asTheme);
        QString shown;
        for (const ScriptedAsker::Asked& a : std::as_const(used.asker.asked))
            shown += a.title + ": " + a.text + '\n';
        QCOMPARE(everything(used.fx), before);
        QCOMPARE(TestFiles::readBytes(used.path), savedBefore);
        QVERIFY2(shown.contains("is in use") && shown.contains(named), qPrintable(shown));
        if (onlyUndo) {
            used.history()->undo();
            QVERIFY(used.window.save());
        }
        QVERIFY(used.artNamedBySavedFile() > 0);
    }

    // Only a file outside RS3's configurations, no longer open and moved
    // away from where it was saved, uses the template: the question says
    // what was not searched; Cancel changes nothing, Yes keeps the old
    // version whole in the artwork backups.
    void replaceOfATemplateFoundUnusedSaysWhatWasNotSearched_data()
    {
        QTest::addColumn<bool>("asTheme");
        QTest::newRow("save as template") << false;
        QTest::newRow("new theme") << true;
    }
    void replaceOfATemplateFoundUnusedSaysWhatWasNotSearched()
    {
        QFETCH(bool, asTheme);
        UsedTheme used;
        QVERIFY(used.saveUsedTemplate());
        QVERIFY(openAnother(used) && moveOutOfSight(used));
        const QMap<QString, QByteArray> before = everything(used.fx);
        used.asker.asked.clear();
        used.asker.buttons << QMessageBox::Cancel;

        used.makeAgain(asTheme);
        QVERIFY(!used.asker.asked.isEmpty());
        const QString question = used.asker.asked.last().text;
        QVERIFY2(question.contains("open in another window"), qPrintable(question));
        QCOMPARE(everything(used.fx), before);
        QVERIFY(used.artNamedBySavedFile() > 0);
        if (asTheme)
            return;

        // Yes: the old version, store and install copy, is kept whole.
        const QString store = homebrewTemplatesDir() + "/mxg_12/znordring";
        const QString copy = DashConfig::resolveRs3Path("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/znordring");
        QList<QMap<QString, QByteArray>> old{Rs3Fixture::treeSnapshot(store), Rs3Fixture::treeSnapshot(copy)};
        QVERIFY(!old[0].isEmpty() && !old[1].isEmpty());
        // No backup can be made (a file where its folder goes): not replaced.
        const QString backups = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/artwork_backups";
        QVERIFY(TestFiles::writeBytes(backups, "in the way"));
        used.asker.buttons << QMessageBox::Yes;
        used.makeAgain(false);
        QVERIFY2(used.asker.asked.last().text.contains("could not be kept"), qPrintable(used.asker.asked.last().text));
        QCOMPARE(everything(used.fx), before);
        QVERIFY(QFile::remove(backups));

        used.asker.buttons << QMessageBox::Yes;
        used.makeAgain(false);
        QVERIFY(Rs3Fixture::treeSnapshot(copy) != old[1]);
        const QStringList roots = QDir(backups).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(roots.size(), 1);
        QList<QMap<QString, QByteArray>> kept;
        for (const char* n : {"1", "2"})
            kept << Rs3Fixture::treeSnapshot(backups + '/' + roots[0] + '/' + n);
        QCOMPARE(kept, old);
    }
    // RaceStudio 3's cfg_0001 keeps 25,000 logged-data files in Logs/,
    // which sorts before its dash folders, and uses the template; the file
    // the window saved with it is gone. Delete Template and Save as
    // Template over the name refuse, naming the configuration; nothing
    // changes.
    void refusedForAConfigurationWithManyFiles_data()
    {
        QTest::addColumn<bool>("saveOver");
        QTest::newRow("delete template") << false;
        QTest::newRow("save as template over the name") << true;
    }
    void refusedForAConfigurationWithManyFiles()
    {
        QFETCH(bool, saveOver);
        UsedTheme used;
        QVERIFY(used.saveUsedTemplate());
        const QString cfg = used.fx.addUserConfig(Rs3Fixture::Stable, "cfg_0001", "Race1", {used.savedDevice()});
        QVERIFY(QDir().mkpath(cfg + "/Logs"));
        for (int i = 0; i < 25000; ++i) {
            QFile log(cfg + QString("/Logs/%1.drk").arg(i));
            QVERIFY(log.open(QIODevice::WriteOnly));
        }
        QVERIFY(openAnother(used) && QFile::remove(used.path));
        const QMap<QString, QByteArray> before = everything(used.fx);
        for (int i = 0; i < 3; ++i)
            used.asker.buttons << QMessageBox::Yes;
        used.asker.asked.clear();

        QString refusal;
        if (saveOver)
            used.makeAgain(false);
        else
            refusal = used.tryDelete();
        const ScriptedAsker::Asked said = used.asker.asked.last();
        if (saveOver)
            refusal = said.text;
        QCOMPARE(said.title, saveOver ? QStringLiteral("Save as Template") : QStringLiteral("Template is in use"));
        QVERIFY2(refusal.contains(saveOver ? "is in use" : "cannot be deleted"), qPrintable(refusal));
        QVERIFY2(refusal.contains("    Race1  ("), qPrintable(refusal));
        QCOMPARE(everything(used.fx), before);
    }

    // A configuration that uses the template, saved by the window into a
    // folder of its own, and another file opened: Delete Template refuses,
    // naming that file. Once the file is moved where no search looks, the
    // question comes: it defaults to Cancel, and Yes keeps the template
    // whole in a dated artwork backup.
    void deleteRefusedWhileAFileThisEditorSavedUsesIt()
    {
        UsedTheme used;
        QVERIFY(used.saveUsedTemplate());
        QVERIFY(openAnother(used));
        const QMap<QString, QByteArray> before = everything(used.fx);
        used.asker.buttons << QMessageBox::Yes;
        const QString refusal = used.tryDelete();
        QCOMPARE(used.asker.asked.last().title, QStringLiteral("Template is in use"));
        QVERIFY2(refusal.contains("    " + QDir::toNativeSeparators(used.path) + "  (") && refusal.contains("saved"),
                 qPrintable(refusal));
        QCOMPARE(everything(used.fx), before);

        QVERIFY(moveOutOfSight(used));
        used.asker.buttons.clear();
        used.tryDelete();
        QCOMPARE(used.asker.asked.last().title, QStringLiteral("Delete Template"));
        QCOMPARE(used.asker.asked.last().defaultButton, QMessageBox::Cancel);
        QCOMPARE(everything(used.fx), before);

        const QString store = homebrewTemplatesDir() + "/mxg_12/znordring";
        const QMap<QString, QByteArray> old = Rs3Fixture::treeSnapshot(store);
        const QString backups = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/artwork_backups";
        QStringList roots = QDir(backups).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        used.asker.buttons << QMessageBox::Yes;
        used.tryDelete();
        QVERIFY(!QFileInfo::exists(store));
        const QStringList after = QDir(backups).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString& earlier : std::as_const(roots))
            QVERIFY(after.contains(earlier));
        QCOMPARE(after.size(), roots.size() + 1);
        QString made;
        for (const QString& root : after)
            made = roots.contains(root) ? made : root;
        QVERIFY2(QRegularExpression("^\\d{8}_\\d{6}_\\d{3}").match(made).hasMatch(), qPrintable(made));
        QCOMPARE(Rs3Fixture::treeSnapshot(backups + '/' + made + "/1"), old);
        QVERIFY(TestFiles::readBytes(backups + '/' + made + "/kept.txt").contains(store.toUtf8()));
    }

    // The file that uses the template lies in a folder that goes away for a
    // while, and another file is saved meanwhile; or the list's first line
    // is damaged before that save. Once the folder is back, Delete Template
    // refuses, naming the file.
    void aFileAwayForAWhileIsNotForgotten_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("folder away during a save") << false;
        QTest::newRow("list's first line damaged") << true;
    }
    void aFileAwayForAWhileIsNotForgotten()
    {
        QFETCH(bool, damaged);
        UsedTheme used;
        QVERIFY(used.saveUsedTemplate());
        QVERIFY(openAnother(used));
        const QString list = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/saved-configs.tsv";
        QByteArray bytes = TestFiles::readBytes(list);
        QVERIFY(bytes.count('\n') >= 2);
        if (damaged)
            QVERIFY(TestFiles::writeBytes(list, bytes.replace(0, 10, "\x01garbled\xff")));
        QVERIFY(folderAway(used, true));
        QVERIFY(used.window.save());
        QVERIFY(folderAway(used, false));
        const QMap<QString, QByteArray> before = everything(used.fx);
        used.asker.buttons << QMessageBox::Yes;
        const QString refusal = used.tryDelete();
        QCOMPARE(used.asker.asked.last().title, QStringLiteral("Template is in use"));
        QVERIFY2(refusal.contains(QDir::toNativeSeparators(used.path)), qPrintable(refusal));
        QCOMPARE(everything(used.fx), before);
    }

    // The only file found to use the template lies in a sync folder that
    // is offline: Save as Template or New Homebrew Theme over the name asks,
    // Cancel first, naming the file it could not search; Cancel changes
    // nothing.
    void replaceWithASyncFolderOfflineAsks_data()
    {
        QTest::addColumn<bool>("asTheme");
        QTest::newRow("save as template") << false;
        QTest::newRow("new theme") << true;
    }
    void replaceWithASyncFolderOfflineAsks()
    {
        QFETCH(bool, asTheme);
        UsedTheme used;
        QVERIFY(used.saveUsedTemplate());
        QVERIFY(openAnother(used) && folderAway(used, true));
        const QMap<QString, QByteArray> before = everything(used.fx);
        used.asker.asked.clear();
        used.asker.buttons << QMessageBox::Cancel;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^TemplateUsers: not read: "));

        used.makeAgain(asTheme);
        QVERIFY(!used.asker.asked.isEmpty());
        const ScriptedAsker::Asked asked = used.asker.asked.last();
        QCOMPARE(asked.title, asTheme ? QStringLiteral("Theme exists") : QStringLiteral("Save as Template"));
        QCOMPARE(asked.defaultButton, QMessageBox::Cancel);
        QVERIFY2(!asked.text.contains("is in use") && asked.text.contains("may still be in use")
                     && asked.text.contains(QDir::toNativeSeparators(used.path)),
                 qPrintable(asked.text));
        QCOMPARE(everything(used.fx), before);
        QVERIFY(folderAway(used, false));
    }

    // Delete Template's search takes long (a saved file on a slow share): a
    // progress window shows, with Cancel; Cancel leaves the answer
    // incomplete, so the question says so and defaults to Cancel.
    void aLongSearchShowsProgressWithCancel()
    {
        UsedTheme used;
        QVERIFY(used.saveUsedTemplate());
        QVERIFY(openAnother(used));
        FileCountProgress::setTimingForTesting(0, 0);
        SavedConfigsSearch::setAnswerBoundForTesting(3000, [](const QString& file) {
            if (file.endsWith("Nordring.zconf2"))
                QThread::msleep(400);
        });
        bool offered = false;
        QTimer::singleShot(100, [&offered] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* shown = qobject_cast<QProgressDialog*>(w);
                if (shown && shown->isVisible() && shown->findChild<QPushButton*>()) {
                    offered = true;
                    shown->cancel();
                }
            }
        });
        const QMap<QString, QByteArray> before = everything(used.fx);
        used.asker.buttons << QMessageBox::Cancel;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^TemplateUsers: not read: .*cancelled"));
        used.tryDelete();
        QThread::msleep(500);
        FileCountProgress::setTimingForTesting(400, 50);
        SavedConfigsSearch::setAnswerBoundForTesting(3000, {});
        QVERIFY(offered);
        const ScriptedAsker::Asked asked = used.asker.asked.last();
        QCOMPARE(asked.title, QStringLiteral("Delete Template"));
        QCOMPARE(asked.defaultButton, QMessageBox::Cancel);
        QVERIFY2(asked.text.contains("may still be in use") && asked.text.contains("cancelled"), qPrintable(asked.text));
        QCOMPARE(everything(used.fx), before);
    }

    // Two computers each save a page as the template of one name and a
    // configuration that uses it; the first exports an install bundle and
    // the second installs it from the File menu while its saved file is
    // open. The question names that file and the folder that would change;
    // unless the user chose to replace, every file of the template folder
    // the saved file points at is as it was.
    void installConfigBundleAsksWhileTheSavedFileUsesTheTemplate_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<int>("answer");
        QTest::newRow("keep") << "Track One" << "Race.zconf2" << int(QMessageBox::Yes);
        QTest::newRow("replace") << "Track One" << "Race.zconf2" << int(QMessageBox::No);
        QTest::newRow("cancel") << "Track One" << "Race.zconf2" << int(QMessageBox::Cancel);
        QTest::newRow("keep, names with & quotes and kanji")
            << "R&D \"Öl\" 鈴鹿" << "R&D \"Öl\" 鈴鹿.zconf2" << int(QMessageBox::Yes);
    }
    void installConfigBundleAsksWhileTheSavedFileUsesTheTemplate()
    {
        QFETCH(QString, name);
        QFETCH(QString, fileName);
        QFETCH(int, answer);
        // Each row's computer starts without templates of its own.
        QVERIFY(QDir(homebrewTemplatesDir()).removeRecursively());
        UsedTheme used;
        QVERIFY(used.open(name, fileName));
        const QDir store(homebrewTemplatesDir() + "/mxg_12");
        const QStringList earlier = store.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        used.makeAgain(false);
        for (const QString& made : store.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (!earlier.contains(made))
                used.folder = made;
        }
        QVERIFY(!used.folder.isEmpty());
        QVERIFY(used.addPage() && used.window.save());
        QVERIFY(used.artNamedBySavedFile() > 0);
        const QString zip = bundleFromAnotherHome(used.fx, used.folder);
        QVERIFY(!zip.isEmpty());
        // The stable install has the family, so the template was copied there.
        const QString mine = used.fx.absolutePath(Rs3Fixture::Stable, kHomebrewSet + used.folder);
        const QMap<QString, QByteArray> before = Rs3Fixture::treeSnapshot(mine);
        QVERIFY(before.contains("bkg.png"));
        const QByteArray saved = TestFiles::readBytes(used.path);
        const QString placed = TestEnvironment::makeTempDir("placed");
        used.asker.fileNames << zip << placed;
        used.asker.buttons << QMessageBox::StandardButton(answer) << QMessageBox::No;
        used.asker.asked.clear();

        used.window.installConfigBundle();
        QCOMPARE(TestFiles::readBytes(used.path), saved);
        if (answer != QMessageBox::No)
            QCOMPARE(Rs3Fixture::treeSnapshot(mine), before);
        const QString question = used.asker.asked.value(2).text;
        QVERIFY2(question.contains("is used by") && question.contains(fileName)
                     && question.contains("    \"" + used.folder + "\"  (2 file(s))"),
                 qPrintable(question));
        if (answer == QMessageBox::No) {
            QCOMPARE(TestFiles::readBytes(mine + "/bkg.png"), QByteArray("the other computer's background"));
            return;
        }
        if (answer == QMessageBox::Cancel) {
            QCOMPARE(used.asker.asked.size(), 3);
            QCOMPARE(QDir(placed).entryList(QDir::Files), QStringList());
            return;
        }
        // The bundle's art under a name of its own, which its configuration names.
        const QString own = used.folder + "_2";
        QCOMPARE(TestFiles::readBytes(mine + "_2/bkg.png"), QByteArray("the other computer's background"));
        QVERIFY2(used.asker.asked.last().text.contains(own), qPrintable(used.asker.asked.last().text));
        DashConfig installed;
        QVERIFY(installed.load(placed + "/Their Race.zconf2"));
        int toOwn = 0;
        int toMine = 0;
        for (const DeviceFile* device : installed.devices) {
            toOwn += TemplateReferenceCount::inDeviceBytes(TestFiles::readBytes(device->filePath), own);
            toMine += TemplateReferenceCount::inDeviceBytes(TestFiles::readBytes(device->filePath), used.folder);
        }
        QCOMPARE(toMine, 0);
        QVERIFY(toOwn > 0);
    }

    // A bundle whose template of the same name differs from the one an
    // earlier configuration uses, installed from the File menu while that
    // configuration is closed and lies outside RaceStudio 3's folders:
    // saved by the user in a folder of their own, or placed by an earlier
    // gallery install. The search finds it there, and the install asks,
    // saying what it could not search too; unless the
    // user chose to replace, every file that configuration points at is as
    // it was.
    void installAsksWhateverTheSearchFound_data()
    {
        QTest::addColumn<bool>("fromGallery");
        QTest::addColumn<int>("answer");
        for (const bool gallery : {false, true}) {
            const char* where = gallery ? "placed by the gallery" : "saved in a folder of the user's";
            QTest::addRow("%s, keep", where) << gallery << int(QMessageBox::Yes);
            QTest::addRow("%s, replace", where) << gallery << int(QMessageBox::No);
            QTest::addRow("%s, cancel", where) << gallery << int(QMessageBox::Cancel);
        }
    }
    void installAsksWhateverTheSearchFound()
    {
        QFETCH(bool, fromGallery);
        QFETCH(int, answer);
        QVERIFY(QDir(homebrewTemplatesDir()).removeRecursively());
        UsedTheme used;
        QVERIFY(used.open("Track One", "Race.zconf2"));
        QString userFile;
        if (fromGallery) {
            used.folder = "ztrack_one";
            const QString first = bundleFromAnotherHome(used.fx, used.folder, "the first bundle's");
            QDir(gallery::ThemeInstaller::defaultConfigFolder()).removeRecursively();
            gallery::ThemeInstaller installer;
            QVERIFY(installer.installBundleBytes(TestFiles::readBytes(first)));
            userFile = gallery::ThemeInstaller::defaultConfigFolder() + "/Their Race.zconf2";
        } else {
            used.makeAgain(false);
            used.folder = QDir(homebrewTemplatesDir() + "/mxg_12").entryList(QDir::Dirs | QDir::NoDotAndDotDot).value(0);
            QVERIFY(!used.folder.isEmpty() && used.addPage() && used.window.save());
            QVERIFY(used.artNamedBySavedFile() > 0);
            userFile = used.path;
            // Another file is opened: the user's is closed, in a folder of its own.
            QVERIFY(openAnother(used));
        }
        QVERIFY(TemplateUsers::ofFolderName(used.folder, nullptr, {}).configs.isEmpty());
        const QString zip = bundleFromAnotherHome(used.fx, used.folder);
        QVERIFY(!zip.isEmpty());
        QMap<QString, QByteArray> pointedAt;
        for (const auto which : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            const QString folder = used.fx.absolutePath(which, kHomebrewSet + used.folder);
            const QMap<QString, QByteArray> files = Rs3Fixture::treeSnapshot(folder);
            for (auto it = files.cbegin(); it != files.cend(); ++it) {
                if (it.value() != "<dir>")
                    pointedAt.insert(folder + '/' + it.key(), it.value());
            }
        }
        QVERIFY(pointedAt.size() >= 3);
        const QByteArray saved = TestFiles::readBytes(userFile);
        used.asker.fileNames << zip << TestEnvironment::makeTempDir("placed");
        used.asker.buttons << QMessageBox::StandardButton(answer) << QMessageBox::No;
        used.asker.asked.clear();

        used.window.installConfigBundle();
        QCOMPARE(TestFiles::readBytes(userFile), saved);
        const QString bkg = used.fx.absolutePath(Rs3Fixture::Stable, kHomebrewSet + used.folder + "/bkg.png");
        QVERIFY(pointedAt.contains(bkg));
        if (answer == QMessageBox::No) {
            QCOMPARE(TestFiles::readBytes(bkg), QByteArray("the other computer's background"));
        } else {
            for (auto it = pointedAt.cbegin(); it != pointedAt.cend(); ++it)
                QCOMPARE(TestFiles::readBytes(it.key()), it.value());
        }
        const QString question = used.asker.asked.value(2).text;
        // The file the window saved, or an install placed, is found wherever it lies.
        const QString users = '"' + used.folder + "\" is used by:\n    " + QDir::toNativeSeparators(userFile) + "  (";
        QVERIFY2(question.contains(users) && question.contains(TemplateUsers().notSearched()), qPrintable(question));
    }

    // Every question that lists a template's users, asked with 200 users
    // of 50 template folders, keeps its buttons on a 1,000-pixel screen; a
    // box of that many lines uncut would not (the measure sees it).
    void questionsWithManyUsersFitTheScreen_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::newRow("install config bundle") << "install";
        QTest::newRow("save as template") << "template";
        QTest::newRow("the same lines uncut") << "uncut";
    }
    void questionsWithManyUsersFitTheScreen()
    {
        QFETCH(QString, entry);
        UsedTheme used;
        QVERIFY(used.saveUsedTemplate());
        QStringList folders{used.folder};
        for (int i = 1; i < 50; ++i)
            folders << QString("zfolder %1").arg(i);
        QByteArray device;
        for (const QString& folder : folders)
            device += "<e c=\"GMaskParam\"><p n=\"PATH_REL_AiM_MASK\">" + (kHomebrewSet + folder).toUtf8()
                + "/Items/md1/</p></e>";
        for (int i = 0; i < 200; ++i)
            QVERIFY(!used.fx.addUserConfig(Rs3Fixture::Stable, QString("cfg_%1").arg(i), QString("Race %1").arg(i),
                                          {device}).isEmpty());
        used.asker.asked.clear();
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        if (entry == "install") {
            QMap<QString, QByteArray> bundle{{"Their Race.zconf2", TestFiles::readBytes(used.path)}};
            for (const QString& folder : folders) {
                const QString art = kHomebrewSet + folder + "/Items/md1/mask.png";
                bundle.insert("RS3_homebrew_folder/" + art, "the bundle's art");
                for (const auto which : {Rs3Fixture::Stable, Rs3Fixture::Beta})
                    QVERIFY(used.fx.writeFile(which, art, "the user's art"));
            }
            const QString zip = TestEnvironment::makeTempDir("many") + "/many.zip";
            QVERIFY(ZipFixture::writeZip(zip, bundle));
            used.asker.fileNames << zip << TestEnvironment::makeTempDir("placed");
            used.asker.buttons << QMessageBox::Cancel;
            used.window.installConfigBundle();
            buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        } else {
            used.makeAgain(false);
        }
        const ScriptedAsker::Asked question = used.asker.asked.last();
        if (entry == "uncut") {
            QVERIFY(QuestionBox::bottom({"message", "uncut", used.fx.snapshot().keys().join('\n')}, buttons) > 1000);
            return;
        }
        QVERIFY2(question.text.contains("Race 199") || question.text.contains("more"), qPrintable(question.text));
        QVERIFY2(QuestionBox::bottom(question, buttons) <= 1000, qPrintable(question.text));
    }
};

KORV_TEST_MAIN(TemplateUsersTest)
#include "tst_templateusers.moc"
