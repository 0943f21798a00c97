#include "window/MainWindow.h"
#include "dialogs/NewHomebrewThemeDialog.h"
#include "model/DeviceRegistry.h"
#include "templates/HomebrewThemeRenderer.h"
#include "templates/PageTemplateLibrary.h"
#include "support/FifoGuard.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

namespace {

QString setFolder(const Rs3Fixture& fx, Rs3Fixture::Root which, const QString& family)
{
    return fx.overlayRoot(which) + QLatin1Char('/') + family + QStringLiteral("/masks/set/standard/s04_homebrew");
}

QString storeFolder(const QString& family, const QString& slug)
{
    return homebrewTemplatesDir() + QLatin1Char('/') + family + QLatin1Char('/') + slug;
}

template <typename T>
T* child(QWidget* dialog, const char* name)
{
    T* widget = dialog->findChild<T*>(QLatin1String(name));
    if (!widget)
        qFatal("no child %s", name);
    return widget;
}

void create(QWidget* dialog)
{
    child<QPushButton>(dialog, "createButton")->click();
}

QString lastMessage(const ScriptedAsker& asker)
{
    return asker.asked.isEmpty() ? QString() : asker.asked.last().title + QLatin1Char('|') + asker.asked.last().text;
}

// The whole store and both RS3 trees, to show that nothing was touched.
QMap<QString, QByteArray> everything(const Rs3Fixture& fx)
{
    QMap<QString, QByteArray> all = fx.snapshot();
    const QMap<QString, QByteArray> store = Rs3Fixture::treeSnapshot(homebrewTemplatesDir());
    for (auto it = store.begin(); it != store.end(); ++it)
        all.insert(QStringLiteral("store/") + it.key(), it.value());
    return all;
}

} // namespace

class NewHomebrewThemeDialogTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QDir(homebrewTemplatesDir()).removeRecursively(); }

    void slugify_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("slug");
        QTest::newRow("spaces and digits") << "My Theme 2" << "zmytheme2";
        QTest::newRow("starts with z") << "Zebra" << "zebra";
        QTest::newRow("punctuation only") << "!!" << "ztheme";
        QTest::newRow("other scripts") << "Café Ωmega/../x" << QString::fromUtf8("zcaféωmegax");
    }
    void slugify()
    {
        QFETCH(QString, name);
        QFETCH(QString, slug);
        QCOMPARE(NewHomebrewThemeDialog::slugify(name), slug);
    }

    // Stable and beta both hold mxg_12; beta alone holds mxt for "two".
    void createWritesEveryFamily_data()
    {
        QTest::addColumn<bool>("withMxt");
        QTest::addColumn<QString>("counted");
        QTest::newRow("one device") << false << "1 device variant written.";
        QTest::newRow("two devices") << true << "2 device variants written.";
    }
    void createWritesEveryFamily()
    {
        QFETCH(bool, withMxt);
        QFETCH(QString, counted);
        Rs3Fixture fx;
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        fx.addTemplate(Rs3Fixture::Beta, "mxg_12", "s02", "p01");
        if (withMxt)
            fx.addTemplate(Rs3Fixture::Beta, "mxt", "s02", "p25ext", QSize(1280, 480));
        ScriptedAsker asker;
        NewHomebrewThemeDialog dialog;
        dialog.show();
        child<QLineEdit>(&dialog, "themeName")->setText("  Neon Nights ");
        create(&dialog);

        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QStringList skipped;
        for (const DeviceRow& row : DeviceRegistry::devices()) {
            if (row.family != "mxg_12" && (row.family != "mxt" || !withMxt))
                skipped << row.family;
        }
        QCOMPARE(lastMessage(asker), "Theme created|Created \"Neon Nights\" - " + counted
                                         + "\n\nSkipped (no base template present): " + skipped.join(", "));
        const QImage bkg(storeFolder("mxg_12", "zneonnights") + "/bkg.png");
        QCOMPARE(bkg.size(), QSize(800, 480));
        QCOMPARE(QImage(storeFolder("mxg_12", "zneonnights") + "/prw.png").size(), QSize(195, 117));
        for (Rs3Fixture::Root which : {Rs3Fixture::Stable, Rs3Fixture::Beta})
            QCOMPARE(QImage(setFolder(fx, which, "mxg_12") + "/zneonnights/bkg.png"), bkg);
        QCOMPARE(QFileInfo::exists(storeFolder("mxt", "zneonnights") + "/bkg.png"), withMxt);
        if (withMxt)
            QCOMPARE(QImage(setFolder(fx, Rs3Fixture::Beta, "mxt") + "/zneonnights/bkg.png").size(),
                     QSize(1280, 480));
        QCOMPARE(QDir(homebrewTemplatesDir()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 withMxt ? QStringList({"mxg_12", "mxt"}) : QStringList({"mxg_12"}));
    }

    // The name is the user's text: a "%2" in it is shown as typed, not
    // taken as a place for the count.
    void percentInTheName()
    {
        Rs3Fixture fx;
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        ScriptedAsker asker;
        NewHomebrewThemeDialog dialog;
        dialog.show();
        child<QLineEdit>(&dialog, "themeName")->setText("Q%2x");
        create(&dialog);
        QVERIFY2(lastMessage(asker).startsWith("Theme created|Created \"Q%2x\" - 1 device variant written."),
                 qPrintable(lastMessage(asker)));
    }

    // A folder of the theme's name in the install that holds other art is
    // left alone, and the report says so.
    void foreignFolderInTheInstallIsNamed()
    {
        Rs3Fixture fx;
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        const QString foreign = fx.overlayRoot(Rs3Fixture::Stable) + "/mxg_12/masks/set/standard/s04_homebrew/zlaps";
        QVERIFY(PageTemplateLibrary::writeFile(foreign + "/Items/md1/mask.png", "their art"));
        ScriptedAsker asker;
        asker.buttons << QMessageBox::Yes;
        NewHomebrewThemeDialog dialog;
        dialog.show();
        child<QLineEdit>(&dialog, "themeName")->setText("Laps");
        create(&dialog);
        QCOMPARE(TestFiles::readBytes(foreign + "/Items/md1/mask.png"), QByteArray("their art"));
        QVERIFY2(lastMessage(asker).endsWith("\n\nNot written into RaceStudio3, where a folder of its name holds "
                                             "something else:\n" + foreign + " holds no pMain.P2.xml: it is not a "
                                             "template folder, and what it holds may be art that saved "
                                             "configurations use."),
                 qPrintable(lastMessage(asker)));
    }

    void nothingWrittenKeepsTheDialogOpen()
    {
        Rs3Fixture fx;
        ScriptedAsker asker;
        NewHomebrewThemeDialog dialog;
        dialog.show();
        child<QLineEdit>(&dialog, "themeName")->setText("Neon");
        create(&dialog);
        QVERIFY(dialog.isVisible());
        QCOMPARE(asker.asked.size(), 1);
        QCOMPARE(asker.asked[0].title, QStringLiteral("Nothing written"));
        QVERIFY(asker.asked[0].text.contains("  Stable: " + fx.root(Rs3Fixture::Stable) + "\n"));
        QVERIFY(asker.asked[0].text.contains("  Beta:   " + fx.root(Rs3Fixture::Beta) + "\n"));
        QVERIFY(!QFileInfo::exists(homebrewTemplatesDir()));
    }

    void refusals_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::newRow("blank name") << 0 << "   " << "Theme name required";
        QTest::newRow("name on the other tab") << 1 << "" << "Theme name required";
        QTest::newRow("no picture") << 1 << "Photo" << "Background required";
    }
    void refusals()
    {
        QFETCH(int, tab);
        QFETCH(QString, name);
        QFETCH(QString, title);
        Rs3Fixture fx;
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        ScriptedAsker asker;
        NewHomebrewThemeDialog dialog;
        dialog.show();
        child<QLineEdit>(&dialog, "themeName")->setText("Parametric");
        child<QTabWidget>(&dialog, "")->setCurrentIndex(tab);
        child<QLineEdit>(&dialog, tab ? "importThemeName" : "themeName")->setText(name);
        create(&dialog);
        QVERIFY(dialog.isVisible());
        QCOMPARE(asker.asked.size(), 1);
        QCOMPARE(asker.asked[0].title, title);
        QVERIFY(!QFileInfo::exists(homebrewTemplatesDir()));
    }

    // A page template saved as "Race" in one family of the store only makes
    // the theme "Race" ask; Cancel leaves everything, Yes replaces it.
    void replacingAsksFirst()
    {
        Rs3Fixture fx;
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        fx.addTemplate(Rs3Fixture::Stable, "pdm/dash1", "s02", "p25ext", QSize(1280, 480));
        QVERIFY(PageTemplateLibrary::writeFile(storeFolder("pdm/dash1", "zrace") + "/pMain.P2.xml", "<page/>"));
        const QMap<QString, QByteArray> before = everything(fx);
        ScriptedAsker asker;
        asker.buttons = {QMessageBox::Cancel};
        NewHomebrewThemeDialog dialog;
        dialog.show();
        child<QLineEdit>(&dialog, "themeName")->setText("Race");
        create(&dialog);
        QVERIFY(lastMessage(asker).startsWith(
            QStringLiteral("Theme exists|A theme named \"Race\" (slug: zrace) already exists. Overwrite?\n\n")));
        QVERIFY(dialog.isVisible());
        QCOMPARE(everything(fx), before);

        asker.buttons = {QMessageBox::Yes};
        create(&dialog);
        QVERIFY(!dialog.isVisible());
        QFile page(storeFolder("pdm/dash1", "zrace") + "/pMain.P2.xml");
        QVERIFY(page.open(QIODevice::ReadOnly));
        QVERIFY(page.readAll() != "<page/>");
        QCOMPARE(QImage(storeFolder("pdm/dash1", "zrace") + "/bkg.png").size(), QSize(1280, 480));
    }

    // The picture is read upright: a 40 x 20 JPEG tagged "rotate 90" is a
    // 20 x 40 picture. An undecodable file keeps the earlier picture.
    void importHonoursOrientation()
    {
        const QString dir = TestEnvironment::makeTempDir("pictures");
        QImage picture(40, 20, QImage::Format_RGB32);
        picture.fill(Qt::green);
        QImageWriter writer(dir + "/tagged.jpg");
        writer.setTransformation(QImageIOHandler::TransformationRotate90);
        QVERIFY2(writer.write(picture), qPrintable(writer.errorString()));
        QVERIFY(PageTemplateLibrary::writeFile(dir + "/broken.png", "not a picture"));

        ScriptedAsker asker;
        asker.fileNames = {dir + "/tagged.jpg", dir + "/broken.png", QString()};
        NewHomebrewThemeDialog dialog;
        child<QTabWidget>(&dialog, "")->setCurrentIndex(1);
        QPushButton* pick = child<QPushButton>(&dialog, "backgroundButton");
        QLabel* thumb = child<QLabel>(&dialog, "backgroundThumb");
        pick->click();
        QCOMPARE(thumb->pixmap().size(), QSize(47, 94));
        pick->click();
        QCOMPARE(lastMessage(asker), QStringLiteral("Import failed|Qt couldn't decode that file as an image."));
        pick->click();
        QCOMPARE(thumb->pixmap().size(), QSize(47, 94));
        QCOMPARE(asker.count("open"), 3);
    }

    // A device change shows at once; a field change after 120 ms of quiet.
    void previewFollowsTheForm()
    {
        ScriptedAsker asker;
        asker.colors = {QColor(255, 0, 0)};
        NewHomebrewThemeDialog dialog;
        QLabel* preview = child<QLabel>(&dialog, "preview");
        QCOMPARE(preview->pixmap().size(), QSize(476, 286));
        auto* device = child<QComboBox>(&dialog, "device");
        QCOMPARE(device->count(), int(DeviceRegistry::devices().size()));
        QCOMPARE(device->itemText(9), QStringLiteral("solo2dl (238x99)"));
        device->setCurrentIndex(9);
        QCOMPARE(preview->pixmap().size(), QSize(478, 198));

        const qint64 shown = preview->pixmap().cacheKey();
        QPushButton* primary = nullptr;
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            if (button->text() == QStringLiteral("#1E3A5F"))
                primary = button;
        }
        QVERIFY(primary);
        primary->click();
        QCOMPARE(primary->text(), QStringLiteral("#FF0000"));
        QVERIFY(primary->styleSheet().contains("background: #ff0000; color: #fff;"));
        QCOMPARE(preview->pixmap().cacheKey(), shown);
        QTRY_VERIFY_WITH_TIMEOUT(preview->pixmap().cacheKey() != shown, 2000);
        const QImage header = preview->pixmap().toImage();
        QVERIFY(header.pixelColor(2, 2).red() > 200);
    }

    // A pipe or a link someone put at the install's theme font: the dialog
    // starts without waiting on it, names it, and sets its texts in the
    // stand-in face.
    void fontInTheWay_data()
    {
        QTest::addColumn<QString>("hazard");
        QTest::addColumn<QString>("named");
        QTest::newRow("pipe") << "pipe" << "is not a regular file";
        QTest::newRow("link to a user's file") << "link" << "is a symbolic link";
    }
    void fontInTheWay()
    {
        QFETCH(QString, hazard);
        QFETCH(QString, named);
        Rs3Fixture fx;
        const QString fonts = fx.absolutePath(Rs3Fixture::Stable, "aim/resources/overlay/mxg_12/fonts");
        QVERIFY(QDir().mkpath(fonts));
        const QString font = fonts + "/AgencyFB_Bold_Wide.ttf";
        std::unique_ptr<FifoGuard> pipe;
        if (hazard == "pipe") {
            QVERIFY((pipe = std::make_unique<FifoGuard>(font))->made());
        } else {
            const QString users = TestEnvironment::makeTempDir("users") + "/letter.ttf";
            QVERIFY(TestFiles::writeBytes(users, "the user's file"));
            QVERIFY(QFile::link(users, font));
        }
        HomebrewThemeRenderer::resetFontCachesForTests();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^loadFontFamily: font not read: "
                                                              + QRegularExpression::escape(font + " " + named)));
        NewHomebrewThemeDialog dialog;
        QVERIFY(!child<QLabel>(&dialog, "preview")->pixmap().isNull());
        QCOMPARE(HomebrewThemeRenderer::themeFont("mxg_12", "AgencyFB_Bold_Wide.ttf", 28).family(),
                 QStringLiteral("Arial Black"));
        if (pipe)
            QVERIFY(!pipe->released());
        HomebrewThemeRenderer::resetFontCachesForTests();
    }

    void mainWindowAction_data()
    {
        QTest::addColumn<bool>("created");
        QTest::newRow("created") << true;
        QTest::newRow("cancelled") << false;
    }
    void mainWindowAction()
    {
        QFETCH(bool, created);
        Rs3Fixture fx;
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        ScriptedAsker asker;
        asker.onExec = [created](QDialog* dialog) {
            child<QLineEdit>(dialog, "themeName")->setText("Window");
            if (created)
                create(dialog);
            return dialog->result();
        };
        MainWindow window;
        window.newHomebrewTheme();
        QCOMPARE(asker.count("exec"), 1);
        QCOMPARE(asker.asked[0].title, QStringLiteral("New Homebrew Theme"));
        QCOMPARE(window.statusBar()->currentMessage() == QStringLiteral("Homebrew theme created"), created);
        QCOMPARE(QFileInfo::exists(storeFolder("mxg_12", "zwindow")), created);
    }
};

KORV_TEST_MAIN(NewHomebrewThemeDialogTest)
#include "tst_newhomebrewthemedialog.moc"
