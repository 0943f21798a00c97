// Installing from the online gallery in the window, against a local fake of
// the gallery service: the File menu's dialog, the RaceStudio 3 check, the
// progress dialog and the outcome boxes.
#include "window/MainWindow.h"
#include "dialogs/OnlineGalleryDialog.h"
#include "gallery/RaceStudio3Check.h"
#include "gallery/ThemeInstaller.h"
#include "templates/PageTemplateLibrary.h"
#include "support/ConfigFixture.h"
#include "support/FakeWebService.h"
#include "support/FileSizeLimit.h"
#include "support/QuestionBox.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"
#include "support/ZipFixture.h"

#include <QAction>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

#include <memory>
#include <optional>

using Reply = FakeWebService::Reply;

namespace {

const QString kArtItem = "RS3_homebrew_folder/aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/Track/"
                         "Items/md1/mask.png";

QByteArray png(const QColor& colour)
{
    return TestFiles::pngBytes(QSize(80, 48), colour);
}

QByteArray zipBytes(const QMap<QString, QByteArray>& files)
{
    const QString path = TestEnvironment::makeTempDir("zip") + "/b.zip";
    QFile file(path);
    return ZipFixture::writeZip(path, files) && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QMap<QString, QByteArray> themeFiles()
{
    const QJsonObject manifest{{"name", "Neon"}, {"id", "zneon"}, {"devices", QJsonArray{"mxs_12", "mxp"}}};
    return {{"theme-manifest.json", QJsonDocument(manifest).toJson()},
            {"mxs_12/bkg.png", png(Qt::red)},
            {"mxp/bkg.png", png(Qt::green)}};
}

} // namespace

class GalleryInstallTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> rs3;
    std::unique_ptr<FakeWebService> web;
    std::unique_ptr<ScriptedAsker> asker;
    std::unique_ptr<MainWindow> window;
    QList<bool> running; // the probe's next answers; then RaceStudio 3 is closed
    QString pick;        // the gallery row to install
    bool deleteBeforeShow = false;
    int shownBottom = -1; // where the last box run through exec() ends on the screen
    QString shownText;    // and what it says

    QString status() const { return window->statusBar()->currentMessage(); }
    QList<QProgressDialog*> progressDialogs() const { return window->findChildren<QProgressDialog*>(); }

    int requestsTo(const QByteArray& path) const
    {
        int n = 0;
        for (const FakeWebService::Request& r : web->requests())
            n += r.path == path;
        return n;
    }

    // The first question with this title, or an empty record.
    ScriptedAsker::Asked askedWith(const QString& title) const
    {
        for (const ScriptedAsker::Asked& a : asker->asked)
            if (a.title == title)
                return a;
        return {};
    }

    bool waitForTitle(const QString& title)
    {
        return QTest::qWaitFor([&] { return !askedWith(title).kind.isEmpty(); }, 20000);
    }

    // The user in front of the dialogs the window runs.
    int answer(QDialog* dialog)
    {
        if (auto* gallery = qobject_cast<gallery::OnlineGalleryDialog*>(dialog)) {
            auto* list = gallery->findChild<QListWidget*>("itemList");
            if (!QTest::qWaitFor([list] { return list->count() > 0; }, 10000))
                return QDialog::Rejected;
            for (int row = 0; row < list->count(); ++row)
                if (list->item(row)->text().endsWith(pick))
                    list->setCurrentRow(row);
            gallery->findChild<QPushButton*>("installButton")->click();
            const bool accepted = QTest::qWaitFor([gallery] { return gallery->result() == QDialog::Accepted; }, 10000);
            return accepted ? int(QDialog::Accepted) : int(QDialog::Rejected);
        }
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            shownBottom = QuestionBox::bottom(*box);
            shownText = box->text();
            if (deleteBeforeShow)
                QFile::remove(gallery::ThemeInstaller::defaultConfigFolder() + "/Track.zconf2");
            for (QAbstractButton* button : box->buttons())
                if (button->text() == QStringLiteral("Show in Folder"))
                    button->click();
            return box->result();
        }
        return QDialog::Rejected;
    }

    void openOnlineThemesFromMenu()
    {
        for (QAction* action : window->findChildren<QAction*>())
            if (action->text() == QStringLiteral("&Online Themes..."))
                action->trigger();
    }

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationVersion(QStringLiteral("0.5.8.0")); }

    void init()
    {
        QDir(homebrewTemplatesDir()).removeRecursively();
        rs3 = std::make_unique<Rs3Fixture>();
        for (Rs3Fixture::Root which : {Rs3Fixture::Stable, Rs3Fixture::Beta})
            for (const QString family : {"mxs_12", "mxp"})
                rs3->addTemplate(which, family, "s02", "p01");
        web = std::make_unique<FakeWebService>();
        QVERIFY(web->start());
        asker = std::make_unique<ScriptedAsker>();
        asker->onExec = [this](QDialog* dialog) { return answer(dialog); };
        running.clear();
        deleteBeforeShow = false;
        shownBottom = -1;
        setRaceStudio3RunningProbe([this] { return !running.isEmpty() && running.takeFirst(); });
        window = std::make_unique<MainWindow>();
        window->setGalleryBaseUrl(web->baseUrl());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup()
    {
        window.reset();
        asker.reset();
        web.reset();
        rs3.reset();
        setRaceStudio3RunningProbe({});
    }

    void themeThenConfigFromFileMenu()
    {
        web->setReply("/api/catalog",
                      FakeWebService::okReply("{\"items\":[{\"slug\":\"zneon\",\"name\":\"Neon\",\"kind\":\"theme\"},"
                                              "{\"slug\":\"track\",\"name\":\"Track\",\"kind\":\"config\"}]}"));
        web->setReply("/api/templates/zneon/install-url", FakeWebService::okReply("{\"nonce\":\"n-1\"}"));
        web->setReply("/api/templates/track/install-url", FakeWebService::okReply("{\"nonce\":\"n-2\"}"));
        const QMap<QString, QByteArray> theme = themeFiles();
        web->setReply("/api/templates/zneon/bundle", FakeWebService::okReply(zipBytes(theme), "application/zip"));
        web->setReply("/api/templates/track/bundle",
                      FakeWebService::okReply(zipBytes({{"Track.zconf2", "config"}, {kArtItem, "art"}}),
                                              "application/zip"));

        pick = "Neon";
        openOnlineThemesFromMenu();
        QVERIFY(waitForTitle("Theme Installed"));
        QCOMPARE(askedWith("Theme Installed").text,
                 QStringLiteral("'Neon' has been installed to 2 device variants.\n\nOpen a .zconf2 file and use Edit > "
                                "Add Page from Template to pick a page from the Homebrew tab."));
        QCOMPARE(status(), QStringLiteral("Installed 'Neon' - 2 device variants"));
        QCOMPARE(web->requests().last().formFields.value("nonce"), QByteArray("n-1"));
        for (const QString family : {"mxs_12", "mxp"}) {
            const QByteArray bkg = theme.value(family + "/bkg.png");
            QCOMPARE(TestFiles::readBytes(homebrewTemplatesDir() + '/' + family + "/zneon/bkg.png"), bkg);
            for (Rs3Fixture::Root which : {Rs3Fixture::Stable, Rs3Fixture::Beta})
                QCOMPARE(TestFiles::readBytes(rs3->overlayRoot(which) + '/' + family
                                              + "/masks/set/standard/s04_homebrew/zneon/bkg.png"),
                         bkg);
        }
        QCOMPARE(progressDialogs().size(), 1);
        QProgressDialog* progress = progressDialogs().first();
        QVERIFY(!progress->isVisible());
        QCOMPARE(progress->windowTitle(), QStringLiteral("Installing Theme"));

        // The second install reuses installer and progress dialog; the user
        // asks for the folder of a file that has gone meanwhile.
        pick = "Track";
        deleteBeforeShow = true;
        openOnlineThemesFromMenu();
        QVERIFY(waitForTitle("Config Installed"));
        const QString folder = gallery::ThemeInstaller::defaultConfigFolder();
        QVERIFY(folder.startsWith(TestEnvironment::homeDir()));
        QCOMPARE(asker->count("folder-open"), 1);
        QCOMPARE(asker->asked.last().kind, QStringLiteral("folder-open"));
        QCOMPARE(asker->asked.last().text, folder);
        QCOMPARE(status(), QStringLiteral("Installed config 'Track' - 2 art files into RaceStudio 3"));
        QCOMPARE(progressDialogs(), QList<QProgressDialog*>{progress});
        QVERIFY(!progress->isVisible());
        QCOMPARE(window->findChildren<gallery::ThemeInstaller*>().size(), 1);
        QCOMPARE(requestsTo("/api/templates/track/bundle"), 1);
    }

    // Asked again while RaceStudio 3 runs; Cancel starts nothing.
    void raceStudioRunning_data()
    {
        QTest::addColumn<QList<QMessageBox::StandardButton>>("buttons");
        QTest::addColumn<bool>("installs");
        QTest::newRow("closed after two retries") << QList{QMessageBox::Retry, QMessageBox::Retry} << true;
        QTest::newRow("cancelled at the second box") << QList{QMessageBox::Retry, QMessageBox::Cancel} << false;
    }

    void raceStudioRunning()
    {
        QFETCH(QList<QMessageBox::StandardButton>, buttons);
        QFETCH(bool, installs);
        web->setReply("/api/templates/zneon/bundle",
                      FakeWebService::okReply(zipBytes(themeFiles()), "application/zip"));
        running = {true, true};
        asker->buttons = buttons;
        window->installThemeFromGallery("zneon", "n-1");
        QCOMPARE(asker->count("message"), 2);
        for (const ScriptedAsker::Asked& a : asker->asked)
            QCOMPARE(a.text, QStringLiteral("RaceStudio 3 is currently running.\n\nPlease close RaceStudio 3 before "
                                            "installing, then click Retry."));
        QCOMPARE(progressDialogs().size(), installs ? 1 : 0);
        if (installs)
            QVERIFY(waitForTitle("Theme Installed"));
        QCOMPARE(requestsTo("/api/templates/zneon/bundle"), installs ? 1 : 0);
    }

    // A theme installed again asks first, whoever was found to use it; with
    // 200 configurations in RaceStudio 3's folder using it, the question
    // names them with its buttons on a 1,000-pixel screen. Cancel writes
    // nothing, Yes leaves the installed theme whole and puts the new one
    // under a name of its own, No replaces it.
    void themeInstalledAgainAsks_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("cancel") << int(QMessageBox::Cancel);
        QTest::newRow("keep") << int(QMessageBox::Yes);
        QTest::newRow("replace") << int(QMessageBox::No);
    }
    void themeInstalledAgainAsks()
    {
        QFETCH(int, answer);
        web->setReply("/api/templates/zneon/bundle",
                      FakeWebService::okReply(zipBytes(themeFiles()), "application/zip"));
        window->installThemeFromGallery("zneon", "n-1");
        QVERIFY(waitForTitle("Theme Installed"));
        const QByteArray device = "<e c=\"GPageParam\"><p n=\"PATH_IMAGE\">aim/resources/overlay/mxp/masks/set/"
                                  "standard/s04_homebrew/zneon/bkg.tgz</p></e>";
        for (int i = 0; i < 200; ++i)
            QVERIFY(!rs3->addUserConfig(Rs3Fixture::Stable, QString("cfg_%1").arg(i), QString("Race %1").arg(i),
                                        {device}).isEmpty());
        const auto written = [this] {
            return qMakePair(rs3->snapshot(), Rs3Fixture::treeSnapshot(homebrewTemplatesDir()));
        };
        const auto before = written();
        const QString installed = rs3->overlayRoot(Rs3Fixture::Stable) + "/mxp/masks/set/standard/s04_homebrew/zneon";
        const auto theme = Rs3Fixture::treeSnapshot(installed);
        asker->asked.clear();
        asker->buttons = {QMessageBox::StandardButton(answer)};
        QMap<QString, QByteArray> other = themeFiles();
        other.insert("mxp/bkg.png", png(Qt::blue));
        web->setReply("/api/templates/zneon/bundle", FakeWebService::okReply(zipBytes(other), "application/zip"));

        window->installThemeFromGallery("zneon", "n-1");
        QVERIFY(QTest::qWaitFor([this] { return !window->findChild<QProgressDialog*>()->isVisible(); }, 20000));
        const ScriptedAsker::Asked question = askedWith("Install Theme");
        QVERIFY2(question.text.contains("\"zneon\" is used by:\n    Race 0  (1 reference(s))")
                     && question.text.contains("were searched"),
                 qPrintable(question.text));
        QVERIFY(QuestionBox::bottom(question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) <= 1000);
        if (answer == QMessageBox::Cancel) {
            QCOMPARE(written(), before);
            QCOMPARE(status(), QStringLiteral("Install cancelled; nothing was installed."));
            return;
        }
        QVERIFY(!askedWith("Theme Installed").kind.isEmpty());
        const bool kept = answer == QMessageBox::Yes;
        QCOMPARE(Rs3Fixture::treeSnapshot(installed) == theme, kept);
        QCOMPARE(QFileInfo::exists(installed + "_2/bkg.png"), kept);
        QCOMPARE(askedWith("Theme Installed").text.contains("kept in"), !kept);
    }

    // Each way a configuration bundle installs (the menu, the gallery) ends
    // in a box whose buttons stay on a 1,000-pixel screen with 200 files:
    // kept as folders of their own and left out beside RaceStudio 3's own
    // art, or a disk that fills after the user chose to replace them.
    void installBoxesFitTheScreen_data()
    {
        QTest::addColumn<bool>("fromGallery");
        QTest::addColumn<bool>("fullDisk");
        QTest::newRow("menu, installed") << false << false;
        QTest::newRow("menu, full disk") << false << true;
        QTest::newRow("gallery, installed") << true << false;
        QTest::newRow("gallery, full disk") << true << true;
    }
    void installBoxesFitTheScreen()
    {
        QFETCH(bool, fromGallery);
        QFETCH(bool, fullDisk);
        const QString standard = "aim/resources/overlay/mxg_12/masks/set/standard/";
        ConfigFixture cfg;
        cfg.device().page("Main").mask(Fx::mask("m1", 0, 0, 100, 40)
                                           .p("PATH_REL_AiM_MASK", standard + "s04_homebrew/folder 000/Items/md1/")
                                           .p("PATH_IMAGE", "mask.png"));
        const QString config = TestEnvironment::makeTempDir("cfg") + "/Track.zconf2";
        QVERIFY(cfg.writeZip(config));
        QMap<QString, QByteArray> bundle{{"Track.zconf2", TestFiles::readBytes(config)}};
        const QByteArray mine(4096, 'm');
        for (int i = 0; i < 200; ++i) {
            const QString n = QString::number(i).rightJustified(3, '0');
            const QString art = standard + "s04_homebrew/folder " + n + "/Items/md1/mask.png";
            // Half the bundle's art fits the small disk, the rest does not.
            bundle.insert("RS3_homebrew_folder/" + art,
                          i < 100 ? QByteArray("theirs " + n.toUtf8()) : QByteArray(4096, 't'));
            QVERIFY(rs3->writeFile(Rs3Fixture::Stable, art, mine));
            const QString stock = standard + "s02/p01/Items/b" + n + "/mask.png";
            bundle.insert("RS3_homebrew_folder/" + stock, "their bar");
            QVERIFY(rs3->writeFile(Rs3Fixture::Stable, stock, "RaceStudio 3's bar"));
        }
        const QByteArray zip = zipBytes(bundle);
        QVERIFY(!zip.isEmpty());
        std::optional<FileSizeLimit::Scope> smallDisk;
        asker->buttons = {fullDisk ? QMessageBox::No : QMessageBox::Yes};
        asker->onMessage = [&](const ScriptedAsker::Asked& asked) {
            if (fullDisk && asked.text.startsWith("The bundle brings other art"))
                smallDisk.emplace(1024);
        };
        QString title;
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        if (fromGallery) {
            web->setReply("/api/templates/track/bundle", FakeWebService::okReply(zip, "application/zip"));
            window->installThemeFromGallery("track", "n-1");
            title = fullDisk ? "Config Install Failed" : "Config Installed";
            QVERIFY(QTest::qWaitFor([&] { return !askedWith(title).kind.isEmpty(); }, 60000));
        } else {
            const QString path = TestEnvironment::makeTempDir("zip") + "/bundle.zip";
            QVERIFY(TestFiles::writeBytes(path, zip));
            asker->fileNames << path << TestEnvironment::makeTempDir("placed");
            window->installConfigBundle();
            title = "Install Config Bundle";
            buttons = fullDisk ? QMessageBox::Ok : QMessageBox::Yes | QMessageBox::No;
        }
        smallDisk.reset();
        asker->onMessage = nullptr;
        const bool shown = fromGallery && !fullDisk; // run through exec()
        const ScriptedAsker::Asked box = fromGallery ? askedWith(title) : asker->asked.last();
        QCOMPARE(box.title, title);
        const QString text = shown ? shownText : box.text;
        QVERIFY2(text.contains(fullDisk ? "File too large" : "installed as"), qPrintable(text));
        const int bottom = shown ? shownBottom : QuestionBox::bottom(box, buttons);
        QVERIFY2(bottom > 0 && bottom <= 1000, qPrintable(QString("%1 px:\n%2").arg(bottom).arg(text)));
    }

    void malformedRequests_data()
    {
        QTest::addColumn<QString>("slug");
        QTest::addColumn<QString>("nonce");
        QTest::newRow("no slug") << "" << "n-1";
        QTest::newRow("no nonce") << "zneon" << "";
        QTest::newRow("climbs out") << "../x" << "n-1";
        QTest::newRow("dot dot") << ".." << "n-1";
        QTest::newRow("backslash") << "a\\b" << "n-1";
        QTest::newRow("drive") << "c:x" << "n-1";
    }

    void malformedRequests()
    {
        QFETCH(QString, slug);
        QFETCH(QString, nonce);
        const auto written = [this] {
            return qMakePair(rs3->snapshot(), Rs3Fixture::treeSnapshot(homebrewTemplatesDir()));
        };
        const auto before = written();
        running = {true};
        window->installThemeFromGallery(slug, nonce);
        QTest::qWait(200);
        QCOMPARE(asker->asked.size(), 1);
        QCOMPARE(asker->asked.first().title, QStringLiteral("Install Theme"));
        QCOMPARE(asker->asked.first().text,
                 QStringLiteral("Install URL was malformed. Please click Install again from the gallery."));
        QVERIFY(web->requests().isEmpty());
        QVERIFY(progressDialogs().isEmpty());
        QVERIFY(written() == before);
    }

    // A server that trickles its bundle: Cancel on the progress dialog stops
    // the install, nothing is installed, and the next install goes through.
    void cancelStopsATricklingInstall()
    {
        Reply trickle = FakeWebService::okReply(zipBytes(themeFiles()), "application/zip");
        trickle.trickleMs = 3000;
        web->setReply("/api/templates/zneon/bundle", trickle);
        window->installThemeFromGallery("zneon", "n-1");
        QVERIFY(QTest::qWaitFor([this] { return requestsTo("/api/templates/zneon/bundle") == 1; }, 10000));
        QProgressDialog* progress = progressDialogs().first();
        QVERIFY(progress->isVisible());
        QPushButton* cancel = nullptr;
        for (QPushButton* button : progress->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("Cancel"))
                cancel = button;
        QVERIFY(cancel);
        QTest::mouseClick(cancel, Qt::LeftButton);
        // The user's own Cancel is no failure: the status says so, no box.
        QVERIFY(QTest::qWaitFor([progress] { return !progress->isVisible(); }, 20000));
        QCOMPARE(status(), QStringLiteral("Install cancelled; nothing was installed."));
        QCOMPARE(asker->count("message"), 0);
        QVERIFY(!QFileInfo::exists(homebrewTemplatesDir() + "/mxs_12/zneon"));

        web->setReply("/api/templates/zneon/bundle",
                      FakeWebService::okReply(zipBytes(themeFiles()), "application/zip"));
        window->installThemeFromGallery("zneon", "n-2");
        QVERIFY(waitForTitle("Theme Installed"));
        QVERIFY(QFileInfo::exists(homebrewTemplatesDir() + "/mxs_12/zneon/bkg.png"));
    }

    // A configuration from the gallery lands on the one open in the window:
    // asked first. Cancel writes nothing and is no failure; Yes installs it
    // and the window goes on with the copy of the open one.
    void configOverTheOpenConfiguration_data()
    {
        QTest::addColumn<bool>("install");
        QTest::newRow("cancel") << false;
        QTest::newRow("install") << true;
    }
    void configOverTheOpenConfiguration()
    {
        QFETCH(bool, install);
        const QString folder = gallery::ThemeInstaller::defaultConfigFolder();
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder));
        const QString open = folder + "/Track.zconf2";
        ConfigFixture cfg;
        cfg.device().page("Main").mask(Fx::mask("m1", 0, 0, 100, 40));
        QVERIFY(cfg.writeZip(open));
        const QByteArray before = TestFiles::readBytes(open);
        window->loadConfig(open);
        QCOMPARE(window->currentFile(), open);
        web->setReply("/api/templates/track/bundle",
                      FakeWebService::okReply(zipBytes({{"Track.zconf2", "config"}, {kArtItem, "art"}}),
                                              "application/zip"));
        asker->buttons = {install ? QMessageBox::Yes : QMessageBox::Cancel};
        window->installThemeFromGallery("track", "n-1");
        if (!install) {
            const QString cancelled = QStringLiteral("Install cancelled; nothing was installed.");
            QVERIFY2(QTest::qWaitFor([&] { return status() == cancelled; }, 20000), qPrintable(status()));
            QCOMPARE(asker->count("message"), 1);
            QCOMPARE(asker->asked.first().title, QStringLiteral("Install Config Bundle"));
            QCOMPARE(window->currentFile(), open);
            QCOMPARE(TestFiles::readBytes(open), before);
            QVERIFY(!QFileInfo::exists(folder + "/Track.bak.zconf2"));
            return;
        }
        QVERIFY(waitForTitle("Config Installed"));
        const QString copy = folder + "/Track.bak.zconf2";
        QVERIFY2(status().contains(QDir::toNativeSeparators(copy)), qPrintable(status()));
        QCOMPARE(window->currentFile(), copy);
        QCOMPARE(TestFiles::readBytes(open), QByteArray("config"));
        QCOMPARE(TestFiles::readBytes(copy), before);
    }

    // A configuration from the gallery, with a record store, while one
    // without stores is open in another folder: nothing is asked, and the
    // window stays with its own file.
    void configBesideAnUnrelatedOpenConfiguration()
    {
        const QString folder = gallery::ThemeInstaller::defaultConfigFolder();
        QDir(folder).removeRecursively();
        const QString open = TestEnvironment::makeTempDir("mine") + "/Mine.zconf2";
        ConfigFixture cfg;
        cfg.device().page("Main").mask(Fx::mask("m1", 0, 0, 100, 40));
        QVERIFY(cfg.writeZip(open));
        window->loadConfig(open);
        QCOMPARE(window->currentFile(), open);
        web->setReply("/api/templates/track/bundle",
                      FakeWebService::okReply(zipBytes({{"Track.zconf2", "config"},
                                                        {"Track.boxstyles.json", "{}"},
                                                        {kArtItem, "art"}}),
                                              "application/zip"));
        window->installThemeFromGallery("track", "n-1");
        QVERIFY(waitForTitle("Config Installed"));
        for (const auto& asked : asker->asked)
            QVERIFY2(asked.title != QStringLiteral("Install Config Bundle"), qPrintable(asked.text));
        QCOMPARE(window->currentFile(), open);
        QCOMPARE(TestFiles::readBytes(folder + "/Track.boxstyles.json"), QByteArray("{}"));
    }

    // A second request while one downloads is refused; a failure hides the
    // progress and lets the next install start.
    void oneInstallAtATime()
    {
        Reply expired;
        expired.status = 403;
        expired.delayMs = 800;
        web->setReply("/api/templates/slow/bundle", expired);
        window->installThemeFromGallery("slow", "n-1");
        QVERIFY(progressDialogs().first()->isVisible());
        window->installThemeFromGallery("other", "n-2");
        QCOMPARE(asker->asked.size(), 1);
        QCOMPARE(asker->asked.first().title, QStringLiteral("Install Theme"));

        QVERIFY(waitForTitle("Theme Install Failed"));
        const QString reason = QStringLiteral("Nonce expired or invalid -- click Install again from the gallery.");
        QCOMPARE(askedWith("Theme Install Failed").text, reason);
        QCOMPARE(status(), "Theme install failed: " + reason);
        QVERIFY(!progressDialogs().first()->isVisible());
        QCOMPARE(requestsTo("/api/templates/other/bundle"), 0);

        window->installThemeFromGallery("other", "n-2");
        QVERIFY(QTest::qWaitFor([this] { return asker->count("message") == 3; }, 20000));
        QCOMPARE(asker->asked.last().text, QStringLiteral("Theme 'other' not found on the server."));
        QCOMPARE(requestsTo("/api/templates/other/bundle"), 1);

        // The window closes while a download hangs: it goes quietly.
        Reply stalled;
        stalled.stall = true;
        web->setReply("/api/templates/stalled/bundle", stalled);
        window->installThemeFromGallery("stalled", "n-3");
        QVERIFY(QTest::qWaitFor([this] { return requestsTo("/api/templates/stalled/bundle") == 1; }, 10000));
        window.reset();
        QCOMPARE(asker->count("message"), 3);
    }
};

KORV_TEST_MAIN(GalleryInstallTest)
#include "tst_galleryinstall.moc"
