#include "dialogs/ConfigCheckDialog.h"
#include "dialogs/FileCountProgress.h"
#include "canvas/DashCanvas.h"
#include "window/MainWindow.h"
#include "gallery/ConfigBundleInstall.h"
#include "check/ConfigRepair.h"
#include "gallery/RaceStudio3Check.h"
#include "model/DashConfig.h"
#include "model/ZipArchive.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"
#include "support/ZipFixture.h"
#include "support/ConfigFixture.h"
#include "support/FileSizeLimit.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QUndoStack>
#include <QtTest>

#include <memory>

namespace {

QAction* menuAction(MainWindow& window, const QString& menuText, const QString& text)
{
    for (QAction* menu : window.menuBar()->actions()) {
        if (menu->text() != menuText)
            continue;
        for (QAction* action : menu->menu()->actions()) {
            if (action->text() == text)
                return action;
        }
    }
    return nullptr;
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One page with a label whose outline marker sits 10 units right of it, and
// a mask off the page that the repair leaves alone.
QString clubWithMarkerMismatch()
{
    ConfigFixture cfg;
    FixtureElement label(QStringLiteral("Label"), QStringLiteral("l1"));
    label.p("XPOS", 50).p("YPOS", 0).p("WIDTH", 100).p("HEIGHT", 40).p("LINES_X_HOT_MOUSE", "60,5,170,5");
    cfg.device().page(QStringLiteral("Main")).masks = {Fx::mask("m1", 0, 0, 200, 80).add(label)};
    return cfg.writeTempZip(QStringLiteral("Club.zconf2"));
}

// How many masks the first page of the configuration at path has beyond
// those of clubWithMarkerMismatch(); -1000 when either cannot be read.
int masksAddedTo(const QString& path)
{
    DashConfig saved;
    DashConfig before;
    if (!saved.load(path) || !before.load(clubWithMarkerMismatch()))
        return -1000;
    return int(saved.pages[0].masks.size()) - int(before.pages[0].masks.size());
}

QPushButton* buttonStartingWith(QDialog* dialog, const QString& prefix)
{
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text().startsWith(prefix))
            return b;
    return nullptr;
}

// The configuration a bundle brings: `pages` empty pages.
QByteArray incomingConfig(int pages = 1)
{
    ConfigFixture incoming;
    for (int page = 0; page < pages; ++page)
        incoming.device().page(page == 0 ? QStringLiteral("One") : QStringLiteral("Two"));
    return bytesOf(incoming.writeTempZip(QStringLiteral("race.zconf2")));
}

// A config install bundle whose configuration is named race.zconf2, with a
// box-style store when one is given.
QString raceBundle(const QByteArray& config = incomingConfig(), const QByteArray& boxStyles = QByteArray(),
                   const QString& art = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/"
                                                       "s04_homebrew/Over/mask.png"))
{
    QMap<QString, QByteArray> files{{QStringLiteral("race.zconf2"), config},
                                    {QStringLiteral("RS3_homebrew_folder/") + art, "art"}};
    if (!boxStyles.isEmpty())
        files.insert(QStringLiteral("race.boxstyles.json"), boxStyles);
    const QString zip = TestEnvironment::makeTempDir(QStringLiteral("bundle")) + QStringLiteral("/race.zip");
    return ZipFixture::writeZip(zip, files) ? zip : QString();
}

// A record the open configuration's masks agree with: a save keeps it as it
// is (one that said the label mask was coloured would go with the save).
const QByteArray kBarColors = R"({"masks": {"dash/p1/m1": {"colored": false}}, "version": 1})";
const QByteArray kBoxStyles = R"({"masks": {"m9": {"styleId": "panel_dark"}}, "version": 1})";


} // namespace

// The Tools menu's check, repair and box refresh on a window opened on real files.
class ConfigCheckActionsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> m_rs3;

    std::unique_ptr<MainWindow> openedWindow(ScriptedAsker& asker, const QString& path)
    {
        auto window = std::make_unique<MainWindow>();
        asker.fileNames = {path};
        menuAction(*window, QStringLiteral("&File"), QStringLiteral("&Open..."))->trigger();
        return window->currentFile() == path ? std::move(window) : nullptr;
    }

    // `name` in a new folder with a bar-colour store, open in a window with
    // an unsaved label; the asker then answers Install Config Bundle's file
    // and folder questions with the bundle and that folder.
    std::unique_ptr<MainWindow> editedRaceWindow(ScriptedAsker& asker, const QString& name, const QString& zip,
                                                 QString* open)
    {
        const QString folder = TestEnvironment::makeTempDir(QStringLiteral("cfg"));
        *open = folder + QLatin1Char('/') + name;
        if (!QFile::copy(clubWithMarkerMismatch(), *open)
            || !ZipFixture::writeTree(folder, {{QStringLiteral("race.barcolor.json"), kBarColors}}))
            return nullptr;
        auto window = openedWindow(asker, *open);
        if (!window)
            return nullptr;
        window->addLabelHere(10, 10, QStringLiteral("unsaved"));
        asker.asked.clear();
        asker.fileNames = {zip, folder};
        return window;
    }

private Q_SLOTS:
    void initTestCase() { m_rs3 = std::make_unique<Rs3Fixture>(); }

    void checkWithNothingOpen()
    {
        ScriptedAsker asker;
        MainWindow window;
        menuAction(window, QStringLiteral("&Tools"), QStringLiteral("&Check config..."))->trigger();
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Open a config first"));
        QCOMPARE(asker.count(QStringLiteral("exec")), 0);
    }

    // Save and the bundle export both go through the window's save, so both
    // keep the file as it was before the repair.
    void repairKeepsOriginalAtSave_data()
    {
        QTest::addColumn<bool>("viaExport");
        QTest::newRow("save") << false;
        QTest::newRow("export install bundle") << true;
    }

    void repairKeepsOriginalAtSave()
    {
        QFETCH(bool, viaExport);
        ScriptedAsker asker;
        // The page's template folder is installed: the marker is the one finding.
        QVERIFY(m_rs3->writeFile(Rs3Fixture::Stable,
                                 QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/p01/bkg.png"), "x"));
        const QString path = clubWithMarkerMismatch();
        QVERIFY(!path.isEmpty());
        const QByteArray before = bytesOf(path);
        auto window = openedWindow(asker, path);
        QVERIFY(window);

        int rowsBefore = -1;
        int rowsAfter = -1;
        bool repairEnabledAfter = true;
        asker.onExec = [&](QDialog* dialog) {
            auto* tree = dialog->findChild<QTreeWidget*>();
            rowsBefore = tree->topLevelItemCount();
            QTest::mouseClick(buttonStartingWith(dialog, QStringLiteral("Repair 1")), Qt::LeftButton);
            rowsAfter = tree->topLevelItemCount();
            repairEnabledAfter = buttonStartingWith(dialog, QStringLiteral("Repair"))->isEnabled();
            return int(QDialog::Rejected);
        };
        menuAction(*window, QStringLiteral("&Tools"), QStringLiteral("&Check config..."))->trigger();
        QCOMPARE(rowsBefore, 1);
        QCOMPARE(rowsAfter, 0);
        QVERIFY(!repairEnabledAfter);
        QVERIFY(window->statusBar()->currentMessage().endsWith(
            QStringLiteral("the original will be kept as Club.pre-repair.zconf2")));

        if (viaExport) {
            const QString zip = QFileInfo(path).absolutePath() + QStringLiteral("/out.zip");
            asker.fileNames = {zip};
            menuAction(*window, QStringLiteral("&File"), QStringLiteral("Export &Install Bundle..."))->trigger();
            QVERIFY(QFileInfo::exists(zip));
            QVERIFY(!window->hasUnsavedChanges());
        } else {
            QVERIFY(window->save());
        }
        const QString backup = ConfigCheck::preRepairBackupPath(path);
        QCOMPARE(bytesOf(backup), before);
        QVERIFY(bytesOf(path) != before);
    }

    // Every editor-drawn box with a record of its style is drawn again, also
    // when its art exists; one without is left and named.
    void refreshBoxArtworkCounts_data()
    {
        QTest::addColumn<int>("boxes");
        QTest::addColumn<bool>("recorded");
        QTest::addColumn<QString>("status");
        QTest::newRow("one") << 1 << true << QStringLiteral("Re-rendered 1 box with the current styling");
        QTest::newRow("three") << 3 << true << QStringLiteral("Re-rendered 3 boxes with the current styling");
        QTest::newRow("two without a record")
            << 2 << false
            << QStringLiteral("No box was re-rendered \u2014 2 box(es) left as they are (no readable record of their "
                              "style)");
    }

    void refreshBoxArtworkCounts()
    {
        QFETCH(int, boxes);
        QFETCH(bool, recorded);
        QFETCH(QString, status);
        const QString sets = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/");
        m_rs3->addDeviceFolder(Rs3Fixture::Stable, QStringLiteral("mxg_12"));
        ConfigFixture cfg;
        FixturePage& page = cfg.device().page(QStringLiteral("Panel"));
        QByteArrayList records;
        for (int i = 0; i < boxes; ++i) {
            const QString folder = QStringLiteral("s04_homebrew/zbox_Refresh/Items/mbox_%1_%2/").arg(boxes).arg(i);
            page.mask(Fx::mask(QStringLiteral("mb%1").arg(i), 10, 10 + 110 * i, 200, 100)
                          .p("PATH_REL_AiM_MASK", sets + folder)
                          .p("PATH_IMAGE_SFONDO_FW", "mask.tgz")
                          .add(Fx::digit(QStringLiteral("d%1").arg(i), 10, 40, 40, 20)));
            records << "\"mb" + QByteArray::number(i) + "\":{\"styleId\":\"panel_dark\"}";
        }
        const QString path = cfg.writeTempZip(QStringLiteral("Boxes.zconf2"));
        if (recorded)
            QVERIFY(TestFiles::writeBytes(QFileInfo(path).absolutePath() + QStringLiteral("/Boxes.boxstyles.json"),
                                          "{\"version\":1,\"masks\":{" + records.join(',') + "}}"));
        ScriptedAsker asker;
        auto window = openedWindow(asker, path);
        QVERIFY(window);
        asker.asked.clear();
        menuAction(*window, QStringLiteral("&Tools"), QStringLiteral("Re&fresh box artwork"))->trigger();
        QCOMPARE(window->statusBar()->currentMessage(), status);
        QCOMPARE(asker.count(QStringLiteral("message")), recorded ? 0 : 1);
        if (!recorded)
            QVERIFY(asker.asked.last().text.startsWith(QStringLiteral("Left 2 box(es) as they are:\n\nPanel / mb0\n"
                                                                      "Panel / mb1\n\nThere is no record")));
    }

    // The generator with fake interpreters: a folder holding only shell
    // scripts named python3 and python is the whole PATH.
    void invisibleChrome_data()
    {
        QTest::addColumn<QString>("python3");  // empty: no python3 at all
        QTest::addColumn<QString>("python");
        QTest::addColumn<bool>("written");
        QTest::addColumn<QString>("box");      // start of the last box's text
        const QString writes = QStringLiteral("echo step one; echo 'writing pages'; printf out > \"$5\"; exit 0");
        const QString fails = QStringLiteral("echo 'Please close racestudio3 first'; exit 2");
        QTest::newRow("success") << QStringLiteral("Python 3.12.1|") + writes << QString() << true
                                 << QStringLiteral("Invisible chrome config saved to:\n");
        QTest::newRow("folder in use") << QStringLiteral("Python 3.10.0|") + fails << QString() << false
                                       << QStringLiteral("The invisible-chrome output folder could not be cleaned");
        QTest::newRow("too old") << QStringLiteral("Python 3.9.1|") + writes << QString() << false
                                 << QStringLiteral("Python 3.10 or later is required (found Python 3.9.1).");
        QTest::newRow("python only") << QString() << QStringLiteral("Python 3.11.2|") + writes << true
                                     << QStringLiteral("Invisible chrome config saved to:\n");
        QTest::newRow("long output cut")
            << QStringLiteral("Python 3.12.1|i=0; while [ $i -lt 300 ]; do echo 0123456789; i=$((i+1)); done; "
                              "echo END; exit 1")
            << QString() << false
            << QStringLiteral("The invisible-chrome generator failed (exit code 1).\n\nScript output:\n");
    }

    void invisibleChrome()
    {
        QFETCH(QString, python3);
        QFETCH(QString, python);
        QFETCH(bool, written);
        QFETCH(QString, box);
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("chrome"));
        const QString fakes = work + QStringLiteral("/bin");
        QVERIFY(QDir().mkpath(fakes) && QDir().mkpath(work + QStringLiteral("/app/tools")));
        QVERIFY(ZipFixture::writeTree(work + QStringLiteral("/app/tools"), {{"make_invisible_chrome.py", "# fake"}}));
        const auto writeFake = [&](const QString& name, const QString& script) {
            const QString version = script.section(QLatin1Char('|'), 0, 0);
            const QString body = script.section(QLatin1Char('|'), 1);
            const QString text = QStringLiteral("#!/bin/sh\nif [ \"$1\" = --version ]; then echo '%1'; exit 0; fi\n%2\n")
                                     .arg(version, body);
            QFile f(fakes + QLatin1Char('/') + name);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) > 0);
            f.setPermissions(f.permissions() | QFile::ExeOwner | QFile::ExeUser);
        };
        if (!python3.isEmpty())
            writeFake(QStringLiteral("python3"), python3);
        if (!python.isEmpty())
            writeFake(QStringLiteral("python"), python);

        ScriptedAsker asker;
        auto window = openedWindow(asker, clubWithMarkerMismatch());
        QVERIFY(window);
        asker.onExec = [](QDialog*) { return int(QDialog::Accepted); };
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", fakes.toLocal8Bit());
        window->generateInvisibleChrome(work + QStringLiteral("/app"));
        qputenv("PATH", oldPath);

        const QString output = QFileInfo(window->currentFile()).absolutePath()
            + QStringLiteral("/Club_invisible_chrome.zconf2");
        QCOMPARE(QFileInfo::exists(output), written);
        QVERIFY(!asker.asked.isEmpty());
        const QString text = asker.asked.last().text;
        QVERIFY2(text.startsWith(box), qPrintable(text));
        if (written)
            QCOMPARE(window->statusBar()->currentMessage(),
                     QStringLiteral("Invisible chrome saved to Club_invisible_chrome.zconf2"));
        if (QByteArray(QTest::currentDataTag()) == "long output cut") {
            const QString shown = text.mid(box.size());
            QCOMPARE(shown.size(), 2000);
            QVERIFY(shown.endsWith(QStringLiteral("0123456789\nEND\n")));
        }
    }

    // RS3 answers running, running, then not: two Retry questions, then the
    // install; Cancel at the first question extracts nothing.
    void installWaitsForRaceStudio3_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("retry twice") << false;
        QTest::newRow("cancel") << true;
    }

    void installWaitsForRaceStudio3()
    {
        QFETCH(bool, cancel);
        ScriptedAsker asker;
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("bundle"));
        const QString zip = work + QStringLiteral("/club.zip");
        const QString art = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/T_%1/mask.png").arg(cancel);
        QVERIFY(ZipFixture::writeZip(zip, {{QStringLiteral("Club.zconf2"), "config"},
                                           {QStringLiteral("RS3_homebrew_folder/") + art, "art"}}));
        QList<bool> answers{true, true, false};
        setRaceStudio3RunningProbe([&answers] { return answers.isEmpty() ? false : answers.takeFirst(); });
        const QString placed = work + QStringLiteral("/placed");
        QVERIFY(QDir().mkpath(placed));
        asker.fileNames = {zip, placed};
        asker.buttons = cancel ? QList<QMessageBox::StandardButton>{QMessageBox::Cancel}
                               : QList<QMessageBox::StandardButton>{QMessageBox::Retry, QMessageBox::Retry,
                                                                    QMessageBox::No};
        MainWindow window;
        menuAction(window, QStringLiteral("&File"), QStringLiteral("Install &Config Bundle..."))->trigger();
        setRaceStudio3RunningProbe({});
        QCOMPARE(asker.count(QStringLiteral("message")), cancel ? 1 : 3);
        QCOMPARE(QFileInfo::exists(placed + QStringLiteral("/Club.zconf2")), !cancel);
        QCOMPARE(QFileInfo::exists(m_rs3->absolutePath(Rs3Fixture::Stable, art)), !cancel);
    }

    // A record store that does not parse is reported once, at the open,
    // naming the file and why; Color bar and Remove color say it again and
    // leave it as it is, and so does a save.
    void unreadableStoreIsReportedAndKept()
    {
        const QString folder = TestEnvironment::makeTempDir(QStringLiteral("cfg"));
        ConfigFixture cfg;
        cfg.device().page(QStringLiteral("Main")).mask(
            Fx::mask(QStringLiteral("mb"), 0, 0, 120, 30)
                .p("PATH_REL_AiM_MASK", "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbar_x/Items/b/")
                .add(Fx::bargraph(QStringLiteral("b1"), 0, 0, 120, 30)));
        const QString open = folder + QStringLiteral("/race.zconf2");
        QVERIFY(cfg.writeZip(open));
        const QString store = folder + QStringLiteral("/race.barcolor.json");
        const QByteArray broken = R"({"masks": {"dash/p1/mb": {"colored": true},}, "version": 1})";
        QVERIFY(ZipFixture::writeTree(folder, {{QStringLiteral("race.barcolor.json"), broken}}));
        const QString named = QDir::toNativeSeparators(store) + QStringLiteral(" cannot be read (");
        ScriptedAsker asker;
        auto window = openedWindow(asker, open);
        QVERIFY(window);
        QCOMPARE(asker.count(QStringLiteral("message")), 1);
        QVERIFY2(asker.asked.last().text.startsWith(named), qPrintable(asker.asked.last().text));

        window->findChild<DashCanvas*>()->setSelectedMask(0);
        QVERIFY(window->findChild<QPushButton*>(QStringLiteral("barColorRemoveButton"))->isEnabled());
        window->applyColorBar(0);
        window->removeBarColor(0);
        QCOMPARE(asker.count(QStringLiteral("message")), 3);
        QVERIFY2(asker.asked[2].text.startsWith(QStringLiteral("Bar color apply failed \u2014 ") + named),
                 qPrintable(asker.asked[2].text));
        QVERIFY2(asker.asked[3].text.startsWith(QStringLiteral("Remove bar color failed \u2014 ") + named),
                 qPrintable(asker.asked[3].text));
        QVERIFY(window->findChild<QUndoStack*>()->count() == 0);
        menuAction(*window, QStringLiteral("&File"), QStringLiteral("&Save"))->trigger();
        QCOMPARE(bytesOf(store), broken);
    }

    // A bundle whose configuration has the open file's name, installed into
    // its folder: asked first, naming the file; whatever the answers after
    // the install, the installed configuration and its sidecars are what
    // lies at that name, and the window's earlier document is in the copy
    // the message names (saved there, taken back to its last save, or still
    // open on it).
    void installOverTheOpenConfiguration_data()
    {
        QTest::addColumn<QString>("answer"); // to the unsaved-changes question; "No": not opened
        QTest::newRow("open it, save the edits") << "Save";
        QTest::newRow("open it, discard the edits") << "Discard";
        QTest::newRow("do not open it") << "No";
    }

    // After an install over the open configuration the window saves into
    // the kept copy, and an entry the save copies from the archive as stored
    // (a second entry of the same path) comes from that copy: it is kept,
    // and the save says nothing was left out.
    void keptCopyKeepsEveryEntry()
    {
        const QString folder = TestEnvironment::makeTempDir(QStringLiteral("cfg"));
        const QString open = folder + QStringLiteral("/race.zconf2");
        ConfigFixture cfg;
        cfg.device().page(QStringLiteral("Main")).mask(Fx::mask(QStringLiteral("m1"), 10, 20, 200, 80));
        const QMap<QString, QByteArray> files = cfg.files();
        QList<ZipFixtureEntry> entries;
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            entries.append({it.key().toUtf8(), it.value()});
        const QByteArray second("art/K\x8e.png");
        entries << ZipFixtureEntry{"art/K\xc3\x84.png", "first"} << ZipFixtureEntry{second, "second"};
        QVERIFY(ZipFixture::writeZip(open, entries));
        const QString zip = raceBundle();
        QVERIFY(!zip.isEmpty());

        ScriptedAsker asker;
        auto window = openedWindow(asker, open);
        QVERIFY(window);
        window->addLabelHere(10, 10, QStringLiteral("unsaved"));
        asker.asked.clear();
        asker.fileNames = {zip, folder};
        asker.buttons = {QMessageBox::Yes, QMessageBox::No};
        menuAction(*window, QStringLiteral("&File"), QStringLiteral("Install &Config Bundle..."))->trigger();
        const QString copy = folder + QStringLiteral("/race.bak.zconf2");
        QCOMPARE(window->currentFile(), copy);
        const int asked = asker.count(QStringLiteral("message"));
        menuAction(*window, QStringLiteral("&File"), QStringLiteral("&Save"))->trigger();
        QCOMPARE(asker.count(QStringLiteral("message")), asked);
        QVERIFY(!window->hasUnsavedChanges());
        QByteArray kept;
        for (const ZipFixtureEntry& entry : ZipFixture::readZipEntries(copy)) {
            if (entry.name == second)
                kept = entry.data;
        }
        QCOMPARE(kept, QByteArray("second"));
    }

    // A value still being typed when the install asks counts among the
    // unsaved changes the question names.
    void installOverAsksWithWhatIsBeingTyped()
    {
        const QString folder = TestEnvironment::makeTempDir(QStringLiteral("cfg"));
        const QString open = folder + QStringLiteral("/race.zconf2");
        QVERIFY(QFile::copy(clubWithMarkerMismatch(), open));
        const QByteArray openBytes = bytesOf(open);
        const QString zip = raceBundle();
        QVERIFY(!zip.isEmpty());
        ScriptedAsker asker;
        auto window = openedWindow(asker, open);
        QVERIFY(window);
        window->findChild<DashCanvas*>()->setSelectedMask(0);
        auto* y = window->findChild<QSpinBox*>(QStringLiteral("ySpin"));
        QVERIFY(y && y->isEnabled());
        y->selectAll();
        QTest::keyClicks(y, QStringLiteral("123"));
        asker.asked.clear();
        asker.fileNames = {zip, folder};
        asker.buttons = {QMessageBox::Cancel};
        menuAction(*window, QStringLiteral("&File"), QStringLiteral("Install &Config Bundle..."))->trigger();
        QCOMPARE(asker.count(QStringLiteral("message")), 1);
        QVERIFY2(asker.asked.last().text.contains(QStringLiteral("The open configuration, with its unsaved changes,")),
                 qPrintable(asker.asked.last().text));
        QVERIFY(window->hasUnsavedChanges());
        QCOMPARE(bytesOf(open), openBytes);
    }

    // The same bundle installed twice over the open configuration: the
    // question and the result say the saved files already were the bundle's,
    // no copy is kept, and the window goes on with the file and its edits.
    void installTwiceOverTheOpenConfiguration_data()
    {
        QTest::addColumn<bool>("unsaved");
        QTest::newRow("saved") << false;
        QTest::newRow("with unsaved changes") << true;
    }
    void installTwiceOverTheOpenConfiguration()
    {
        QFETCH(bool, unsaved);
        const QString folder = TestEnvironment::makeTempDir(QStringLiteral("cfg"));
        const QString open = folder + QStringLiteral("/race.zconf2");
        const QString zip = raceBundle();
        QString error;
        QVERIFY2(installConfigInstallBundle(zip, folder, nullptr, &error), qPrintable(error));
        const QByteArray installed = bytesOf(open);
        ScriptedAsker asker;
        auto window = openedWindow(asker, open);
        QVERIFY(window);
        if (unsaved)
            window->addLabelHere(10, 10, QStringLiteral("unsaved"));
        asker.asked.clear();
        asker.fileNames = {zip, folder};
        asker.buttons = {QMessageBox::Yes, QMessageBox::No};
        menuAction(*window, QStringLiteral("&File"), QStringLiteral("Install &Config Bundle..."))->trigger();

        QVERIFY(asker.asked.size() >= 4);
        const QString question = asker.asked[2].text;
        QVERIFY2(question.contains(QStringLiteral("nothing of it is replaced and this window goes on with it")),
                 qPrintable(question));
        QVERIFY2(!question.contains(QStringLiteral("copy")), qPrintable(question));
        QCOMPARE(question.contains(QStringLiteral("unsaved changes")), unsaved);
        const QString result = asker.asked[3].text;
        QVERIFY2(result.contains(QStringLiteral("it was left as it was, and this window goes on with it")),
                 qPrintable(result));
        QVERIFY2(!result.contains(QStringLiteral("kept")), qPrintable(result));
        QCOMPARE(window->currentFile(), open);
        QCOMPARE(window->hasUnsavedChanges(), unsaved);
        QCOMPARE(bytesOf(open), installed);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("race.zconf2")});
    }

    void installOverTheOpenConfiguration()
    {
        QFETCH(QString, answer);
        const QByteArray barColors = kBarColors;
        const QByteArray config = incomingConfig(2);
        const QByteArray boxStyles = kBoxStyles;
        const QString zip = raceBundle(config, boxStyles);
        QVERIFY(!zip.isEmpty());
        ScriptedAsker asker;
        QString open;
        auto window = editedRaceWindow(asker, QStringLiteral("race.zconf2"), zip, &open);
        QVERIFY(window);
        const QString folder = QFileInfo(open).absolutePath();
        const QByteArray openBytes = bytesOf(open);
        asker.buttons = {QMessageBox::Yes, answer == "No" ? QMessageBox::No : QMessageBox::Yes,
                         answer == "Save" ? QMessageBox::Save : QMessageBox::Discard};
        menuAction(*window, QStringLiteral("&File"), QStringLiteral("Install &Config Bundle..."))->trigger();

        const QString copy = folder + QStringLiteral("/race.bak.zconf2");
        QVERIFY(asker.asked.size() >= 4);
        QVERIFY2(asker.asked[2].text.startsWith(QStringLiteral("The bundle's configuration replaces race.zconf2, "
                                                                 "which is open in this window.")),
                 qPrintable(asker.asked[2].text));
        QVERIFY2(asker.asked[3].text.contains(QStringLiteral("The configuration that was open is kept as %1")
                                                  .arg(QDir::toNativeSeparators(copy))),
                 qPrintable(asker.asked[3].text));
        if (answer == "No") {
            QCOMPARE(window->currentFile(), copy);
            menuAction(*window, QStringLiteral("&File"), QStringLiteral("&Save"))->trigger();
        } else {
            QCOMPARE(window->currentFile(), open);
        }
        QCOMPARE(bytesOf(open), config);
        QCOMPARE(bytesOf(folder + QStringLiteral("/race.boxstyles.json")), boxStyles);
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/race.barcolor.json")));
        QCOMPARE(bytesOf(folder + QStringLiteral("/race.bak.barcolor.json")), barColors);
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/race.bak.boxstyles.json")));
        DashConfig earlier;
        QVERIFY(earlier.load(copy));
        DashConfig before;
        QVERIFY(before.load(clubWithMarkerMismatch()));
        QCOMPARE(earlier.pages[0].masks.size(), before.pages[0].masks.size() + (answer == "Discard" ? 0 : 1));
        if (answer == "Discard")
            QCOMPARE(bytesOf(copy), openBytes);
    }

    // The disk fills while the install writes the bundle's files (a file
    // size limit, from the moment the user says Yes): afterwards the folder
    // holds the earlier files as they were, the message says so, and the
    // window, still on the earlier file, saves its document there, never
    // over an installed file.
    void fullDiskDuringAnInstallOverTheOpenConfiguration()
    {
        const QByteArray config = incomingConfig(2);
        const QByteArray boxStyles = QByteArray("{\"masks\": {\"m9\": {\"caption\": \"") + QByteArray(12000, 'x')
            + QByteArray("\", \"styleId\": \"panel_dark\"}}}");
        const QString zip = raceBundle(config, boxStyles);
        QVERIFY(!zip.isEmpty());
        ScriptedAsker asker;
        QString open;
        auto window = editedRaceWindow(asker, QStringLiteral("race.zconf2"), zip, &open);
        QVERIFY(window);
        const QString folder = QFileInfo(open).absolutePath();
        const QByteArray openBytes = bytesOf(open);
        const qint64 limit = 8192;
        QVERIFY(openBytes.size() < limit && config.size() < limit);
        asker.buttons = {QMessageBox::Yes};
        asker.onMessage = [limit](const ScriptedAsker::Asked& asked) {
            if (asked.text.startsWith(QStringLiteral("The bundle's configuration replaces race.zconf2")))
                FileSizeLimit::setSoftLimit(limit);
        };
        // What the folder holds after the install: one configuration's files.
        const auto state = [&] {
            const QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
            if (files == QStringList{QStringLiteral("race.barcolor.json"), QStringLiteral("race.zconf2")}
                && bytesOf(open) == openBytes && bytesOf(folder + QStringLiteral("/race.barcolor.json")) == kBarColors)
                return QStringLiteral("earlier");
            if (bytesOf(open) == config && bytesOf(folder + QStringLiteral("/race.boxstyles.json")) == boxStyles
                && !files.contains(QStringLiteral("race.barcolor.json")))
                return QStringLiteral("installed");
            return QStringLiteral("mixed: ") + files.join(QLatin1Char(' '));
        };
        QString report;
        const auto outcome = FileSizeLimit::run(
            qint64(1) << 30,
            [&](QString* text) {
                menuAction(*window, QStringLiteral("&File"), QStringLiteral("Install &Config Bundle..."))->trigger();
                FileSizeLimit::setSoftLimit(qint64(1) << 30);
                *text = QStringList{state(), window->currentFile(), asker.asked.last().text}.join(QLatin1Char('\n'));
                menuAction(*window, QStringLiteral("&File"), QStringLiteral("&Save"))->trigger();
                return !window->hasUnsavedChanges();
            },
            &report);
        QCOMPARE(outcome, FileSizeLimit::Outcome::ReportedSuccess);
        const QStringList said = report.split(QLatin1Char('\n'));
        QVERIFY2(said.size() >= 3, qPrintable(report));
        QCOMPARE(said[0], QStringLiteral("earlier"));
        QCOMPARE(said[1], open);
        QVERIFY2(report.contains(QStringLiteral("could not place %1/race.boxstyles.json: cannot write %1/"
                                                "race.boxstyles.json: File too large; every file it had replaced was "
                                                "put back")
                                     .arg(folder)),
                 qPrintable(report));

        // The save wrote the window's document, earlier file and edit, to
        // its own name; the earlier records are still beside it.
        DashConfig saved;
        QVERIFY(saved.load(open));
        DashConfig before;
        QVERIFY(before.load(clubWithMarkerMismatch()));
        QCOMPARE(saved.pages[0].masks.size(), before.pages[0].masks.size() + 1);
        QCOMPARE(bytesOf(folder + QStringLiteral("/race.barcolor.json")), kBarColors);
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/race.boxstyles.json")));
    }

    // A failed install whose configuration cannot be put back (its renames
    // refused): the message names the copies, and the window follows the
    // copy of the open file as after an install, so its save never lands
    // where the installed file was.
    void failedInstallThatCannotPutBackFollowsTheCopy()
    {
        const QString zip = raceBundle(incomingConfig(2), kBoxStyles);
        QVERIFY(!zip.isEmpty());
        ScriptedAsker asker;
        QString open;
        auto window = editedRaceWindow(asker, QStringLiteral("race.zconf2"), zip, &open);
        QVERIFY(window);
        const QString folder = QFileInfo(open).absolutePath();
        asker.buttons = {QMessageBox::Yes};
        setArchiveRenameFunction([&](const QString& from, const QString& to) {
            const bool refused = (to == folder + QStringLiteral("/race.boxstyles.json") && from.contains(".incoming-"))
                || (to == open && from.contains(".replaced-"));
            return !refused && QFile::rename(from, to);
        });
        menuAction(*window, QStringLiteral("&File"), QStringLiteral("Install &Config Bundle..."))->trigger();
        setArchiveRenameFunction({});

        const QString copy = folder + QStringLiteral("/race.bak.zconf2");
        const QString said = asker.asked.last().text;
        QVERIFY2(said.startsWith(QStringLiteral("Install failed:\n")), qPrintable(said));
        QVERIFY2(said.contains(QDir::toNativeSeparators(copy) + QLatin1Char('\n')
                               + QDir::toNativeSeparators(folder + QStringLiteral("/race.bak.barcolor.json"))),
                 qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("this window now edits that copy")), qPrintable(said));
        QCOMPARE(window->currentFile(), copy);
        menuAction(*window, QStringLiteral("&File"), QStringLiteral("&Save"))->trigger();
        QVERIFY(!window->hasUnsavedChanges());
        QVERIFY(!QFileInfo::exists(open));
        DashConfig saved;
        QVERIFY(saved.load(copy));
        DashConfig before;
        QVERIFY(before.load(clubWithMarkerMismatch()));
        QCOMPARE(saved.pages[0].masks.size(), before.pages[0].masks.size() + 1);
        QCOMPARE(bytesOf(folder + QStringLiteral("/race.bak.barcolor.json")), kBarColors);
    }

    // A failed install whose art cannot be put back (a folder took its name
    // meanwhile): the message names the art left, and says nothing about the
    // open configuration, which is back as it was and stays open.
    void failedInstallNamesTheArtItLeft_data()
    {
        QTest::addColumn<bool>("replacesArt");
        QTest::newRow("replaced art") << true;
        QTest::newRow("added art") << false;
    }
    void failedInstallNamesTheArtItLeft()
    {
        QFETCH(bool, replacesArt);
        const QString art =
            QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/Left%1/mask.png").arg(replacesArt);
        const QString zip = raceBundle(incomingConfig(2), kBoxStyles, art);
        QVERIFY(!zip.isEmpty());
        const QString installed = m_rs3->absolutePath(Rs3Fixture::Stable, art);
        if (replacesArt)
            QVERIFY(ZipFixture::writeTree(QFileInfo(installed).absolutePath(), {{QStringLiteral("mask.png"), "stock"}}));
        ScriptedAsker asker;
        QString open;
        auto window = editedRaceWindow(asker, QStringLiteral("race.zconf2"), zip, &open);
        QVERIFY(window);
        const QString folder = QFileInfo(open).absolutePath();
        const QByteArray openBytes = bytesOf(open);
        // Replacing art an install holds is asked first, then replacing the
        // open configuration.
        asker.buttons = {QMessageBox::Yes};
        if (replacesArt)
            asker.buttons.prepend(QMessageBox::No);
        setArchiveRenameFunction([&](const QString& from, const QString& to) {
            if (to != folder + QStringLiteral("/race.boxstyles.json") || !from.contains(".incoming-"))
                return QFile::rename(from, to);
            QFile::remove(installed);
            QDir().mkpath(installed + QStringLiteral("/inside"));
            return false;
        });
        menuAction(*window, QStringLiteral("&File"), QStringLiteral("Install &Config Bundle..."))->trigger();
        setArchiveRenameFunction({});
        QDir(installed).removeRecursively();

        const QString said = asker.asked.last().text;
        QVERIFY2(said.startsWith(QStringLiteral("Install failed:\n")), qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("could not all be put back:\n") + QDir::toNativeSeparators(installed)),
                 qPrintable(said));
        QVERIFY2(!said.contains(QStringLiteral("already held")), qPrintable(said));
        QCOMPARE(window->currentFile(), open);
        QCOMPARE(bytesOf(open), openBytes);
        QCOMPARE(bytesOf(folder + QStringLiteral("/race.barcolor.json")), kBarColors);
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/race.boxstyles.json")));
    }

    // A configuration without record stores open, and a bundle installed
    // into an unrelated folder: nothing of the open one is touched, so
    // nothing is asked about it, kept or followed.
    void installIntoAnUnrelatedFolder()
    {
        const QString folder = TestEnvironment::makeTempDir(QStringLiteral("cfg"));
        const QString open = folder + QStringLiteral("/demo.zconf2");
        QVERIFY(QFile::copy(clubWithMarkerMismatch(), open));
        const QString zip = raceBundle(incomingConfig(), kBoxStyles);
        QVERIFY(!zip.isEmpty());
        const QString elsewhere = TestEnvironment::makeTempDir(QStringLiteral("elsewhere"));
        ScriptedAsker asker;
        auto window = openedWindow(asker, open);
        QVERIFY(window);
        asker.asked.clear();
        asker.fileNames = {zip, elsewhere};
        asker.buttons = {QMessageBox::No};
        menuAction(*window, QStringLiteral("&File"), QStringLiteral("Install &Config Bundle..."))->trigger();

        QCOMPARE(asker.count(QStringLiteral("message")), 1);
        const QString said = asker.asked.last().text;
        QVERIFY2(said.startsWith(QStringLiteral("Installed ")) && said.contains(QStringLiteral("Open it now")),
                 qPrintable(said));
        QVERIFY2(!said.contains(QStringLiteral("open in this window")) && !said.contains(QStringLiteral("kept")),
                 qPrintable(said));
        QCOMPARE(window->currentFile(), open);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("demo.zconf2")});
        QCOMPARE(bytesOf(elsewhere + QStringLiteral("/race.boxstyles.json")), kBoxStyles);
    }

    // While a bundle installs, the window shows how far it is: a dialog
    // counting the files done of the total, before the configuration is
    // placed; it is gone when the install ends.
    void installShowsItsProgress()
    {
        QMap<QString, QByteArray> files{{QStringLiteral("race.zconf2"), incomingConfig()}};
        for (int i = 0; i < 40; ++i)
            files.insert(QStringLiteral("RS3_homebrew_folder/aim/resources/overlay/mxg_12/masks/set/standard/"
                                        "s04_homebrew/Shown/f%1.png")
                             .arg(i),
                         "art");
        const QString zip = TestEnvironment::makeTempDir(QStringLiteral("bundle")) + QStringLiteral("/race.zip");
        QVERIFY(ZipFixture::writeZip(zip, files));
        const QString placed = TestEnvironment::makeTempDir(QStringLiteral("placed")) + QStringLiteral("/race.zconf2");
        ScriptedAsker asker;
        MainWindow window;
        asker.fileNames = {zip, QFileInfo(placed).absolutePath()};
        asker.buttons = {QMessageBox::No};
        struct Seen {
            int value;
            int maximum;
            bool placed;
        };
        QList<Seen> seen;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            for (const QProgressDialog* dialog : window.findChildren<QProgressDialog*>()) {
                if (dialog->isVisible())
                    seen.append({dialog->value(), dialog->maximum(), QFileInfo::exists(placed)});
            }
        });
        watch.start(0);
        FileCountProgress::setTimingForTesting(0, 0);
        menuAction(window, QStringLiteral("&File"), QStringLiteral("Install &Config Bundle..."))->trigger();
        FileCountProgress::setTimingForTesting(400, 50);
        watch.stop();

        QVERIFY(QFileInfo::exists(placed));
        QVERIFY(!seen.isEmpty());
        const bool midway = std::any_of(seen.cbegin(), seen.cend(), [](const Seen& s) {
            return s.maximum >= 80 && s.value > 0 && s.value < s.maximum && !s.placed;
        });
        QVERIFY(midway);
        QVERIFY(window.findChildren<QProgressDialog*>().isEmpty());
    }

    // Fifteen device folders kept as links in the stable install, above the
    // template folders the bundle brings: nothing is written through a link,
    // and the closing question names the first dozen links in the way and
    // counts the rest, so its buttons stay on the screen; the log holds
    // every file.
    void artLeftOutIsCutAtADozen()
    {
        const QString overlay = QStringLiteral("aim/resources/overlay/");
        QMap<QString, QByteArray> files{{QStringLiteral("race.zconf2"), incomingConfig()}};
        const QString elsewhere = TestEnvironment::makeTempDir(QStringLiteral("elsewhere"));
        QStringList links;
        for (int i = 0; i < 15; ++i) {
            const QString name = QStringLiteral("Linked%1").arg(i, 2, 10, QLatin1Char('0'));
            files.insert(QStringLiteral("RS3_homebrew_folder/%1%2/masks/set/standard/s04_homebrew/Own/f.png")
                             .arg(overlay, name),
                         "art");
            links << m_rs3->absolutePath(Rs3Fixture::Stable, overlay + name);
            QVERIFY(QDir().mkpath(elsewhere + QLatin1Char('/') + name));
            QVERIFY(QFile::link(elsewhere + QLatin1Char('/') + name, links.last()));
        }
        const QString zip = TestEnvironment::makeTempDir(QStringLiteral("bundle")) + QStringLiteral("/race.zip");
        QVERIFY(ZipFixture::writeZip(zip, files));
        ScriptedAsker asker;
        MainWindow window;
        asker.fileNames = {zip, TestEnvironment::makeTempDir(QStringLiteral("placed"))};
        asker.buttons = {QMessageBox::No};
        for (int i = 0; i < 15; ++i)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^installConfigInstallBundle: ")));
        menuAction(window, QStringLiteral("&File"), QStringLiteral("Install &Config Bundle..."))->trigger();
        for (const QString& link : std::as_const(links))
            QFile::remove(link);

        QCOMPARE(asker.count(QStringLiteral("message")), 1);
        const QString said = asker.asked.last().text;
        // A long path is shown by its ends; the folder's own name stays.
        QVERIFY2(said.contains(QStringLiteral("overlay") + QDir::separator() + QStringLiteral("Linked11"))
                     && !said.contains(QStringLiteral("Linked12"))
                     && said.contains(QStringLiteral("\u2026 and 3 more (all of them are in the log file)")),
                 qPrintable(said));
        QCOMPARE(Rs3Fixture::treeSnapshot(elsewhere).size(), 15);
        QVERIFY(!Rs3Fixture::treeSnapshot(elsewhere).values().contains("art"));
    }

    // Template folders the user keeps elsewhere through a link, which no
    // install writes through: the question names them and says their art
    // always takes a name of its own. No is offered only where a folder
    // can be replaced, and then replaces just those; the placed
    // configuration shows the bundle's art in every folder, and the user's
    // linked art is as it was.
    void installOverALinkedTemplateFolder_data()
    {
        QTest::addColumn<bool>("withPlainFolder");
        QTest::addColumn<int>("answer");
        QTest::newRow("only a linked folder") << false << int(QMessageBox::Yes);
        QTest::newRow("a linked and a plain folder, replace") << true << int(QMessageBox::No);
    }
    void installOverALinkedTemplateFolder()
    {
        QFETCH(bool, withPlainFolder);
        QFETCH(int, answer);
        const QString set = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/");
        const QString tag = withPlainFolder ? QStringLiteral("Both") : QStringLiteral("One");
        const QString linkedName = QStringLiteral("Away") + tag;
        const QString plainName = QStringLiteral("Here") + tag;
        QMap<QString, QByteArray> files{{QStringLiteral("race.zconf2"), incomingConfig()},
                                        {QStringLiteral("RS3_homebrew_folder/") + set + linkedName + "/f.png", "art"}};
        const QString mine = TestEnvironment::makeTempDir(QStringLiteral("mine"));
        QVERIFY(TestFiles::writeBytes(mine + QStringLiteral("/f.png"), "my art"));
        const QString link = m_rs3->absolutePath(Rs3Fixture::Stable, set + linkedName);
        QVERIFY(QDir().mkpath(QFileInfo(link).absolutePath()));
        QVERIFY(QFile::link(mine, link));
        const auto removeLink = qScopeGuard([link] { QFile::remove(link); });
        if (withPlainFolder) {
            files.insert(QStringLiteral("RS3_homebrew_folder/") + set + plainName + "/f.png", "art");
            QVERIFY(m_rs3->writeFile(Rs3Fixture::Stable, set + plainName + "/f.png", "plain art"));
        }
        const QString zip = TestEnvironment::makeTempDir(QStringLiteral("bundle")) + QStringLiteral("/race.zip");
        QVERIFY(ZipFixture::writeZip(zip, files));
        ScriptedAsker asker;
        MainWindow window;
        asker.fileNames = {zip, TestEnvironment::makeTempDir(QStringLiteral("placed"))};
        asker.buttons = {QMessageBox::StandardButton(answer), QMessageBox::No};
        menuAction(window, QStringLiteral("&File"), QStringLiteral("Install &Config Bundle..."))->trigger();

        QCOMPARE(asker.count(QStringLiteral("message")), 2);
        const ScriptedAsker::Asked question = asker.asked.value(2);
        // The link is named by its ends, as every path the box shows.
        const QString linkedPart = question.text.section(QStringLiteral("Kept through a symbolic link"), 1);
        QVERIFY2(linkedPart.contains(QDir::toNativeSeparators("s04_homebrew/" + linkedName + '\n'))
                     && !linkedPart.contains(plainName),
                 qPrintable(question.text));
        const QMessageBox::StandardButtons offered =
            QMessageBox::Yes | QMessageBox::Cancel | (withPlainFolder ? QMessageBox::No : QMessageBox::NoButton);
        QCOMPARE(int(question.offered), int(offered));
        const QString said = asker.asked.value(3).text;
        QVERIFY2(said.startsWith(QStringLiteral("Installed ")) && !said.contains(QStringLiteral("Art left out"))
                     && said.contains(QStringLiteral("\"%1\" installed as \"%1_2\"").arg(linkedName)),
                 qPrintable(said));
        QCOMPARE(TestFiles::readBytes(mine + QStringLiteral("/f.png")), QByteArray("my art"));
        QCOMPARE(QDir(mine).entryList(QDir::Files), QStringList{QStringLiteral("f.png")});
        for (const auto which : {Rs3Fixture::Stable, Rs3Fixture::Beta})
            QCOMPARE(TestFiles::readBytes(m_rs3->absolutePath(which, set + linkedName + "_2/f.png")),
                     QByteArray("art"));
        if (withPlainFolder)
            QCOMPARE(TestFiles::readBytes(m_rs3->absolutePath(Rs3Fixture::Stable, set + plainName + "/f.png")),
                     QByteArray("art"));
    }

    // The open file was moved away by another program, and a bundle of its
    // name is installed into its folder: the question says so and promises
    // no copy of a file that is not there; the window goes on under a new
    // name beside it (that of the stores kept, when there were any), and a
    // save writes there, never over the installed configuration.
    void installOverAnOpenFileThatWasMovedAway_data()
    {
        QTest::addColumn<bool>("stores");
        QTest::newRow("without stores") << false;
        QTest::newRow("with a store") << true;
    }
    void installOverAnOpenFileThatWasMovedAway()
    {
        QFETCH(bool, stores);
        const QByteArray config = incomingConfig(2);
        const QString zip = raceBundle(config);
        QVERIFY(!zip.isEmpty());
        ScriptedAsker asker;
        QString open;
        auto window = editedRaceWindow(asker, QStringLiteral("race.zconf2"), zip, &open);
        QVERIFY(window);
        const QString folder = QFileInfo(open).absolutePath();
        if (!stores)
            QVERIFY(QFile::remove(folder + QStringLiteral("/race.barcolor.json")));
        QVERIFY(QFile::rename(open, TestEnvironment::makeTempDir(QStringLiteral("moved")) + QStringLiteral("/race.zconf2")));
        asker.buttons = {QMessageBox::Yes, QMessageBox::No};
        menuAction(*window, QStringLiteral("&File"), QStringLiteral("Install &Config Bundle..."))->trigger();

        QVERIFY(asker.asked.size() >= 4);
        const QString question = asker.asked[2].text;
        QVERIFY2(question.startsWith(QStringLiteral("race.zconf2, which is open in this window, is no longer on "
                                                    "disk: the bundle's configuration is placed under its name.")),
                 qPrintable(question));
        QVERIFY2(question.contains(QStringLiteral("with its unsaved changes")) && !question.contains("copy"),
                 qPrintable(question));
        const QString copy = folder + QStringLiteral("/race.bak.zconf2");
        const QString result = asker.asked[3].text;
        QVERIFY2(result.contains(QStringLiteral("The configuration open in this window was no longer on disk: this "
                                                "window now edits it as %1")
                                     .arg(QDir::toNativeSeparators(copy))),
                 qPrintable(result));
        QVERIFY2(!result.contains(QStringLiteral("already held")), qPrintable(result));
        QCOMPARE(window->currentFile(), copy);
        menuAction(*window, QStringLiteral("&File"), QStringLiteral("&Save"))->trigger();
        QVERIFY(!window->hasUnsavedChanges());
        QCOMPARE(bytesOf(open), config);
        QCOMPARE(masksAddedTo(copy), 1);
        QCOMPARE(bytesOf(folder + QStringLiteral("/race.bak.barcolor.json")), stores ? kBarColors : QByteArray());
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/race.barcolor.json")));
    }

    // A bundle of race.zconf2 installed beside an open race.zconfig: the
    // record stores are named by the base name alone, so they are the open
    // configuration's. Asked first; Cancel changes nothing; Yes keeps the
    // open configuration with its stores in a copy the window goes on with,
    // and a save writes that copy, not the installed files.
    void installBesideAnOpenZconfig_data()
    {
        QTest::addColumn<bool>("install");
        QTest::newRow("cancel") << false;
        QTest::newRow("install") << true;
    }
    void installBesideAnOpenZconfig()
    {
        QFETCH(bool, install);
        const QByteArray config = incomingConfig();
        const QString zip = raceBundle(config, kBoxStyles);
        QVERIFY(!zip.isEmpty());
        ScriptedAsker asker;
        QString open;
        auto window = editedRaceWindow(asker, QStringLiteral("race.zconfig"), zip, &open);
        QVERIFY(window);
        const QString folder = QFileInfo(open).absolutePath();
        const QMap<QString, QByteArray> before = ZipFixture::readTree(folder);
        asker.buttons = {install ? QMessageBox::Yes : QMessageBox::Cancel, QMessageBox::No};
        menuAction(*window, QStringLiteral("&File"), QStringLiteral("Install &Config Bundle..."))->trigger();

        QVERIFY(asker.asked.size() >= 3);
        QVERIFY2(asker.asked[2].text.startsWith(QStringLiteral("The bundle's configuration race.zconf2 replaces the "
                                                                 "record stores of race.zconfig, which is open in "
                                                                 "this window")),
                 qPrintable(asker.asked[2].text));
        QVERIFY(asker.asked[2].text.contains(QStringLiteral("with its unsaved changes")));
        if (!install) {
            QCOMPARE(ZipFixture::readTree(folder), before);
            QCOMPARE(window->currentFile(), open);
            return;
        }
        const QString copy = folder + QStringLiteral("/race.bak.zconfig");
        QVERIFY2(asker.asked.last().text.contains(QStringLiteral("The configuration that was open is kept as %1")
                                                      .arg(QDir::toNativeSeparators(copy))),
                 qPrintable(asker.asked.last().text));
        QVERIFY(asker.asked.last().text.contains(QDir::toNativeSeparators(folder + "/race.bak.barcolor.json")));
        QCOMPARE(window->currentFile(), copy);
        QCOMPARE(window->findChild<DashCanvas*>()->config->barColorSidecarPath(),
                 folder + QStringLiteral("/race.bak.barcolor.json"));
        menuAction(*window, QStringLiteral("&File"), QStringLiteral("&Save"))->trigger();
        QVERIFY(!window->hasUnsavedChanges());
        QCOMPARE(bytesOf(folder + QStringLiteral("/race.bak.barcolor.json")), kBarColors);
        QCOMPARE(bytesOf(folder + QStringLiteral("/race.zconf2")), config);
        QCOMPARE(bytesOf(folder + QStringLiteral("/race.boxstyles.json")), kBoxStyles);
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/race.barcolor.json")));
        QCOMPARE(bytesOf(open), before.value(QStringLiteral("race.zconfig")));
        DashConfig saved;
        QVERIFY(saved.load(copy));
        DashConfig earlier;
        QVERIFY(earlier.load(open));
        QCOMPARE(saved.pages[0].masks.size(), earlier.pages[0].masks.size() + 1);
    }

    // Discard after an edit puts the stores back as they were at the open,
    // but one it cannot read, then or now, is left exactly as it is: neither
    // removed nor written; so is one it did not write. "later" puts the file
    // there while the window holds the configuration (a hand edit, the
    // records copied from the sender of a mailed file), over no store or
    // over a readable one.
    void discardKeepsAStoreItDidNotWrite_data()
    {
        QTest::addColumn<QString>("store");
        QTest::addColumn<QString>("kind"); // "socket", "folder" or "broken" JSON
        QTest::addColumn<QString>("when"); // "open", "later", "over a store later" or "over its own later"
        for (const QString store : {"boxstyles", "multibox", "barcolor", "iconpreview"})
            QTest::newRow(qPrintable(store + QStringLiteral(", cannot be opened"))) << store << "socket" << "open";
        QTest::newRow("barcolor, a folder") << "barcolor" << "folder" << "open";
        QTest::newRow("barcolor, does not parse") << "barcolor" << "broken" << "open";
        QTest::newRow("boxstyles, does not parse, placed later") << "boxstyles" << "broken" << "later";
        QTest::newRow("barcolor, does not parse, over a store later") << "barcolor" << "broken" << "over a store later";
        QTest::newRow("boxstyles, a store placed later") << "boxstyles" << "store" << "later";
        QTest::newRow("barcolor, another store over a store later") << "barcolor" << "store" << "over a store later";
        QTest::newRow("barcolor, written by the window, then broken") << "barcolor" << "broken" << "over its own later";
    }
    void discardKeepsAStoreItDidNotWrite()
    {
        QFETCH(QString, store);
        QFETCH(QString, kind);
        QFETCH(QString, when);
        const QString folder = TestEnvironment::makeTempDir(QStringLiteral("cfg"));
        const QString open = folder + QStringLiteral("/race.zconf2");
        QVERIFY(QFile::copy(clubWithMarkerMismatch(), open));
        const QString path = folder + QStringLiteral("/race.%1.json").arg(store);
        const QByteArray placed = kind == "store" ? R"({"masks": {"dash/p1/m1": {"colored": true}}, "version": 1})"
                                                  : R"({"masks": {"dash/p1/m1": {"colored": true},}, "version": 1})";
        const auto place = [&] {
            if (kind == "socket")
                return TestFiles::makeSocket(path);
            if (kind == "folder")
                return QDir().mkpath(path);
            return ZipFixture::writeTree(folder, {{QFileInfo(path).fileName(), placed}});
        };
        if (when == "open")
            QVERIFY(place());
        else if (when == "over a store later")
            QVERIFY(ZipFixture::writeTree(folder, {{QFileInfo(path).fileName(), R"({"masks": {}, "version": 1})"}}));
        ScriptedAsker asker;
        auto window = openedWindow(asker, open);
        QVERIFY(window);
        // The open names it, unless it is a folder: that one reads as no store.
        QCOMPARE(asker.count(QStringLiteral("message")), kind == "folder" || when != "open" ? 0 : 1);
        if (kind != "folder" && when == "open")
            QVERIFY2(asker.asked.last().text.startsWith(QDir::toNativeSeparators(path) + " cannot be read ("),
                     qPrintable(asker.asked.last().text));
        if (when == "over its own later") {
            BarColorRecord record;
            record.colored = true;
            QVERIFY(window->findChild<DashCanvas*>()->config->saveBarColorSidecar({{"dash/p1/m1", record}}));
        }
        if (when != "open")
            QVERIFY(place());
        window->addLabelHere(10, 10, QStringLiteral("unsaved"));
        asker.buttons = {QMessageBox::Discard};
        QVERIFY(window->close());
        const QFileInfo left(path);
        QVERIFY2(left.exists(), qPrintable(kind));
        if (kind == "socket")
            QVERIFY(!left.isFile() && !left.isDir());
        else if (kind == "folder")
            QVERIFY(left.isDir());
        else
            QCOMPARE(bytesOf(path), placed);
    }
};

QTEST_MAIN(ConfigCheckActionsTest)
#include "tst_configtools.moc"
