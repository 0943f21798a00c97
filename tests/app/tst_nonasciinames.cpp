#include "dialogs/AddPageDialog.h"
#include "dialogs/ExportThemeDialog.h"
#include "dialogs/NewHomebrewThemeDialog.h"
#include "dialogs/OpenThemeDialog.h"
#include "window/MainWindow.h"
#include "canvas/DashCanvas.h"
#include "check/ConfigCheck.h"
#include "gallery/ThemeBundle.h"
#include "gallery/ThemeInstaller.h"
#include "gallery/ThemePackage.h"
#include "model/DeviceFile.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "templates/PageTemplateLibrary.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QtTest>

#include <memory>

namespace {

const QString kTheme = QStringLiteral("Nürburg Øst");
const QString kPage = QStringLiteral("Søndre");
const QString kLabel = QStringLiteral("Ø 2,5");
const QString kFile = QStringLiteral("Jyväskylä.zconf2");

QString homebrewSet(const Rs3Fixture& fx)
{
    return fx.overlayRoot(Rs3Fixture::Stable) + QStringLiteral("/mxg_12/masks/set/standard/s04_homebrew");
}

QStringList folderNames(const QString& folder)
{
    return QDir(folder).entryList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

// The templates of the Add Page dialog's Homebrew tab, by the names shown.
QStringList homebrewListed(AddPageDialog* dialog)
{
    QStringList names;
    const auto* list = qobject_cast<QListWidget*>(dialog->tabs->widget(dialog->tabs->count() - 1));
    for (int i = 0; list && i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

// The real file dialogs, filled in as a user types a name; every other
// question is scripted.
class TypedFileNames : public ScriptedAsker {
public:
    QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override
    {
        return Asker::openFileName(parent, caption, dir, filter);
    }
    QString saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override
    {
        return Asker::saveFileName(parent, caption, dir, filter);
    }
};

} // namespace

// Every flow that takes a name, with names beyond ASCII, in the real window:
// what comes back (folders, zip entries, labels, page names, files) is what
// was typed.
class NonAsciiNamesTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> rs3;
    std::unique_ptr<ScriptedAsker> asker;
    std::unique_ptr<MainWindow> window;
    QString folder;

    DashConfig* config() const { return window->findChild<DashCanvas*>()->config; }
    QString status() const { return window->statusBar()->currentMessage(); }

    void newTheme(const QString& name)
    {
        asker->onExec = [name](QDialog* dialog) {
            dialog->findChild<QLineEdit*>(QStringLiteral("themeName"))->setText(name);
            dialog->findChild<QPushButton*>(QStringLiteral("createButton"))->click();
            return dialog->result();
        };
        window->newHomebrewTheme();
    }

    // Add Page from the Homebrew template of that name; the names the tab
    // listed.
    QStringList addPage(const QString& name)
    {
        QStringList listed;
        asker->onExec = [&](QDialog* d) {
            auto* dialog = qobject_cast<AddPageDialog*>(d);
            if (!dialog)
                return int(QDialog::Rejected);
            listed = homebrewListed(dialog);
            dialog->tabs->setCurrentIndex(dialog->tabs->count() - 1);
            auto* list = qobject_cast<QListWidget*>(dialog->tabs->currentWidget());
            const auto found = list->findItems(name, Qt::MatchExactly);
            if (found.isEmpty())
                return int(QDialog::Rejected);
            list->setCurrentItem(found.first());
            dialog->buttons->button(QDialogButtonBox::Ok)->click();
            return dialog->result();
        };
        window->addPageFromTemplate();
        return listed;
    }

    // Delete Template from the Add Page dialog, answering Yes; the message
    // boxes' titles.
    QStringList deleteTemplate(const QString& name)
    {
        asker->asked.clear();
        asker->buttons = {QMessageBox::Yes};
        asker->onExec = [&](QDialog* d) {
            auto* dialog = qobject_cast<AddPageDialog*>(d);
            if (!dialog)
                return int(QMessageBox::Ok);
            dialog->tabs->setCurrentIndex(dialog->tabs->count() - 1);
            auto* list = qobject_cast<QListWidget*>(dialog->tabs->currentWidget());
            const auto found = list->findItems(name, Qt::MatchExactly);
            if (!found.isEmpty()) {
                list->setCurrentItem(found.first());
                dialog->onDeleteHomebrewTemplate();
            }
            return int(QDialog::Rejected);
        };
        window->addPageFromTemplate();
        QStringList titles;
        for (const auto& asked : std::as_const(asker->asked))
            titles << asked.title + (asked.title.startsWith(QLatin1String("Delete f")) ? ": " + asked.text : QString());
        return titles;
    }

private Q_SLOTS:
    void init()
    {
        QDir(homebrewTemplatesDir()).removeRecursively();
        rs3 = std::make_unique<Rs3Fixture>();
        rs3->addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        asker = std::make_unique<ScriptedAsker>();
        QSettings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto")).setValue("homebrew/suppressAddRedirect", true);
        folder = TestEnvironment::makeTempDir(QStringLiteral("Österreichring"));
        ConfigFixture cfg;
        cfg.device().page("Main").mask(Fx::mask("m1", 10, 20, 200, 80).add(Fx::label("l1", "RPM", 0, 0, 200, 80)));
        QVERIFY(cfg.writeZip(folder + QStringLiteral("/Race.zconf2")));
        window = std::make_unique<MainWindow>();
        window->loadConfig(folder + QStringLiteral("/Race.zconf2"));
        QCOMPARE(config()->pageCount(), 1);
    }
    void cleanup()
    {
        window.reset();
        asker.reset();
        rs3.reset();
    }

    // New Homebrew Theme, Add Page from it, a label, Save page as template
    // and a page from that, Save As, Check config, the install bundle out
    // and back in, and Delete Template refused while used and done when not.
    void configurationFlows()
    {
        newTheme(kTheme);
        const QString slug = NewHomebrewThemeDialog::slugify(kTheme);
        QCOMPARE(slug, QStringLiteral("znürburgøst"));
        QVERIFY(folderNames(homebrewTemplatesDir() + "/mxg_12").contains(slug));
        QVERIFY(folderNames(homebrewSet(*rs3)).contains(slug));
        QVERIFY(addPage(kTheme).contains(kTheme));
        QCOMPARE(config()->pageCount(), 2);
        QCOMPARE(config()->page(1)->name, kTheme);
        window->addLabelHere(40, 40, kLabel);

        asker->texts << qMakePair(true, kPage);
        window->saveCurrentAsTemplate();
        QVERIFY2(status().startsWith(QStringLiteral("Saved template \"") + kPage), qPrintable(status()));
        QVERIFY(folderNames(homebrewSet(*rs3)).contains(QStringLiteral("zsøndre")));
        QVERIFY(addPage(kPage).contains(kPage));
        QCOMPARE(config()->page(2)->name, kPage);

        asker->fileNames = {folder + '/' + kFile};
        QVERIFY(window->saveAs());
        QVERIFY(folderNames(folder).contains(kFile));

        DashConfig reopened;
        QVERIFY(reopened.load(folder + '/' + kFile));
        QCOMPARE(reopened.pageCount(), 3);
        QCOMPARE(reopened.page(1)->name, kTheme);
        QCOMPARE(reopened.page(2)->name, kPage);
        QStringList texts;
        for (const MaskElement& mask : reopened.page(1)->masks)
            for (const WidgetModel& widget : mask.widgets)
                texts << widget.text;
        QVERIFY2(texts.contains(kLabel), qPrintable(texts.join('|')));
        for (int p = 1; p < 3; ++p) {
            QVERIFY2(QFileInfo::exists(reopened.page(p)->backgroundPath), qPrintable(reopened.page(p)->backgroundPath));
            QVERIFY(reopened.page(p)->backgroundPath.contains(p == 1 ? slug : QStringLiteral("zsøndre")));
        }
        // Check config finds every picture of the two pages.
        for (const ConfigFinding& finding : ConfigCheck::checkConfig(reopened)) {
            const bool art = QStringList{"missing-art", "page-background", "cross-set"}.contains(finding.code);
            QVERIFY2(finding.pageIndex < 1 || !art, qPrintable(finding.code + ": " + finding.message));
        }

        // The install bundle: its entries and the installed files keep the
        // names.
        const QString bundle = folder + QStringLiteral("/Jyväskylä_install_bundle.zip");
        asker->fileNames = {bundle};
        window->exportInstallBundle();
        QCOMPARE(asker->asked.last().title, QStringLiteral("Export Install Bundle"));
        QVERIFY2(asker->asked.last().text.startsWith("Install bundle written to:"), qPrintable(asker->asked.last().text));
        QStringList entries;
        QVERIFY(gallery::listZipEntries(TestFiles::readBytes(bundle), &entries));
        const QString themeEntry = "RS3_homebrew_folder/aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/"
                                   + slug + "/bkg.png";
        QVERIFY2(entries.contains(kFile) && entries.contains(themeEntry), qPrintable(entries.join('\n')));
        const QMap<QString, QByteArray> installed = Rs3Fixture::treeSnapshot(homebrewSet(*rs3) + '/' + slug);
        QVERIFY(QDir(homebrewSet(*rs3) + '/' + slug).removeRecursively());
        const QString target = TestEnvironment::makeTempDir(QStringLiteral("鈴鹿"));
        asker->fileNames = {bundle, target};
        asker->buttons = {QMessageBox::No};
        window->installConfigBundle();
        QVERIFY(folderNames(target).contains(kFile));
        QCOMPARE(Rs3Fixture::treeSnapshot(homebrewSet(*rs3) + '/' + slug), installed);

        // Delete Template: refused while the open file or the one the
        // bundle placed uses it, done once neither does.
        QVERIFY(deleteTemplate(kTheme).contains(QStringLiteral("Template is in use")));
        QVERIFY(folderNames(homebrewSet(*rs3)).contains(slug));
        QVERIFY(config()->removePage(1));
        QVERIFY(window->save());
        QVERIFY(deleteTemplate(kTheme).contains(QStringLiteral("Template is in use")));
        QVERIFY(QFile::remove(target + '/' + kFile));
        const QStringList titles = deleteTemplate(kTheme);
        QCOMPARE(titles.join(QLatin1Char('|')), QStringLiteral("Select a Page to Add|Delete Template"));
        QVERIFY(!folderNames(homebrewSet(*rs3)).contains(slug));
        QVERIFY(!folderNames(homebrewTemplatesDir() + "/mxg_12").contains(slug));
    }

    void namesTooLongForTheDisk_data()
    {
        QTest::addColumn<QString>("entry");
        for (const char* entry : {"Save as Template", "Rename Config", "New Homebrew Theme", "Export Theme"})
            QTest::newRow(entry) << QString::fromLatin1(entry);
    }

    // 80 CJK characters pass the length check of a name but take 240 bytes
    // on the disk, too many once a suffix is added: every entry that takes
    // a typed name refuses it with the one message, and nothing is written.
    void namesTooLongForTheDisk()
    {
        QFETCH(QString, entry);
        const QString name(80, QChar(0x65E5));
        if (entry == QLatin1String("Export Theme"))
            newTheme(kTheme);
        const auto store = Rs3Fixture::treeSnapshot(homebrewTemplatesDir());
        const auto set = Rs3Fixture::treeSnapshot(homebrewSet(*rs3));
        const QString configName = config()->newConfigName;
        asker->asked.clear();
        if (entry == QLatin1String("Save as Template")) {
            asker->texts << qMakePair(true, name);
            window->saveCurrentAsTemplate();
        } else if (entry == QLatin1String("Rename Config")) {
            asker->texts << qMakePair(true, name);
            window->renameConfig();
        } else if (entry == QLatin1String("New Homebrew Theme")) {
            newTheme(name);
        } else {
            asker->onExec = [&](QDialog* dialog) {
                auto* exporter = qobject_cast<ExportThemeDialog*>(dialog);
                if (!exporter)
                    return int(QDialog::Rejected);
                exporter->findChild<QLineEdit*>(QStringLiteral("displayNameEdit"))->setText(name);
                exporter->findChild<QPushButton*>(QStringLiteral("exportButton"))->click();
                return exporter->result();
            };
            window->showExportTheme();
        }
        QVERIFY(!asker->asked.isEmpty());
        QCOMPARE(asker->asked.last().text, FolderCopy::whyNameDoesNotFit(name));
        QVERIFY(asker->asked.last().text.contains(name));
        QCOMPARE(Rs3Fixture::treeSnapshot(homebrewTemplatesDir()), store);
        QCOMPARE(Rs3Fixture::treeSnapshot(homebrewSet(*rs3)), set);
        QCOMPARE(config()->newConfigName, configName);
    }

    // Export Theme and Open Theme of it, and the gallery's install of a
    // theme whose id and name are beyond ASCII.
    void themePackageFlows()
    {
        newTheme(kTheme);
        const QString slug = NewHomebrewThemeDialog::slugify(kTheme);
        const QString bundle = folder + '/' + kTheme + QStringLiteral(".dashtheme");
        asker->fileNames = {bundle};
        asker->onExec = [&slug](QDialog* dialog) {
            auto* exporter = qobject_cast<ExportThemeDialog*>(dialog);
            if (!exporter)
                return int(QDialog::Rejected);
            auto* themes = exporter->findChild<QComboBox*>(QStringLiteral("themeCombo"));
            themes->setCurrentIndex(themes->findText(slug));
            exporter->findChild<QPushButton*>(QStringLiteral("exportButton"))->click();
            return exporter->result();
        };
        window->showExportTheme();
        QCOMPARE(asker->asked.last().text, QStringLiteral("Theme written to:\n") + bundle);
        QVERIFY(folderNames(folder).contains(kTheme + QStringLiteral(".dashtheme")));
        ThemePackage package;
        QString error;
        QVERIFY2(openThemePackage(package, bundle, &error), qPrintable(error));
        QCOMPARE(package.name, kTheme);
        QCOMPARE(package.id, slug);

        asker->fileNames = {bundle};
        asker->onExec = [](QDialog* dialog) {
            QMetaObject::invokeMethod(dialog, "onOpenClicked");
            return dialog->result();
        };
        window->openThemeBundle();
        QVERIFY2(status().startsWith(QStringLiteral("Theme '") + kTheme + QStringLiteral("' open for device")),
                 qPrintable(status()));
        // Save As .dashtheme under another name.
        asker->onExec = [](QDialog* dialog) {
            qobject_cast<QInputDialog*>(dialog)->setTextValue(QStringLiteral("Ved Søndre"));
            return int(QDialog::Accepted);
        };
        asker->texts << qMakePair(true, QStringLiteral("Österreichring")) << qMakePair(true, QStringLiteral("Jyrki"));
        asker->fileNames = {folder + QStringLiteral("/Österreichring.dashtheme")};
        window->saveTheme();
        ThemePackage resaved;
        QVERIFY(openThemePackage(resaved, folder + QStringLiteral("/Österreichring.dashtheme")));
        QCOMPARE(resaved.name, QStringLiteral("Österreichring"));
        QCOMPARE(resaved.description, QStringLiteral("Ved Søndre"));
        QCOMPARE(resaved.id, slug);

        // The same package under a name and id of other letters, as the
        // gallery hands it over.
        package.name = QStringLiteral("鈴鹿");
        package.id = QStringLiteral("z鈴鹿");
        const QString gallery = folder + QStringLiteral("/鈴鹿.dashtheme");
        QVERIFY2(writeThemePackage(package, gallery, &error), qPrintable(error));
        gallery::ThemeInstaller installer;
        QSignalSpy installed(&installer, &gallery::ThemeInstaller::installed);
        QVERIFY(installer.installBundleBytes(TestFiles::readBytes(gallery)));
        QCOMPARE(installed.size(), 1);
        QCOMPARE(installed.first().at(1).toString(), QStringLiteral("鈴鹿"));
        QVERIFY(folderNames(homebrewTemplatesDir() + "/mxg_12").contains(QStringLiteral("z鈴鹿")));
        QVERIFY(folderNames(homebrewSet(*rs3)).contains(QStringLiteral("z鈴鹿")));
        QStringList listed = addPage(QStringLiteral("鈴鹿"));
        QVERIFY2(listed.contains(QStringLiteral("鈴鹿")) && listed.contains(kTheme), qPrintable(listed.join('|')));
        QCOMPARE(config()->page(1)->name, QStringLiteral("鈴鹿"));
    }

    // A theme and a page template of the same name, one with markup in it:
    // Add Page tells the two apart, Export Theme shows and writes the name.
    void sameNameThemeAndTemplate()
    {
        const QString name = QStringLiteral("Track & øst");
        newTheme(name);
        asker->texts << qMakePair(true, name);
        window->saveCurrentAsTemplate();
        QStringList listed = addPage(QString());
        listed.sort();
        QCOMPARE(listed, (QStringList{name + QStringLiteral("\n(ztrack__øst)"), name + QStringLiteral("\n(ztrackøst)")}));

        QString shown;
        asker->fileNames = {folder + QStringLiteral("/t.dashtheme")};
        asker->onExec = [&shown](QDialog* dialog) {
            auto* themes = dialog->findChild<QComboBox*>(QStringLiteral("themeCombo"));
            themes->setCurrentIndex(themes->findText(QStringLiteral("ztrackøst")));
            shown = dialog->findChild<QLineEdit*>(QStringLiteral("displayNameEdit"))->text();
            dialog->findChild<QPushButton*>(QStringLiteral("exportButton"))->click();
            return dialog->result();
        };
        window->showExportTheme();
        QCOMPARE(shown, name);
        ThemePackage package;
        QVERIFY(openThemePackage(package, folder + QStringLiteral("/t.dashtheme")));
        QCOMPARE(package.name, name);
    }

    // Save As and Open with the name typed into the file dialog: double
    // quotes are part of the name, and no extension is added.
    void typedFileNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("existing");
        QTest::newRow("quotes") << QStringLiteral("R&D \"Øst\".zconf2") << false;
        QTest::newRow("quotes, no extension") << QStringLiteral("R&D \"Øst\"") << false;
        QTest::newRow("quoted only") << QStringLiteral("\"Øst\".zconf2") << false;
        QTest::newRow("quotes over a file") << QStringLiteral("R&D \"Øst\".zconf2") << true;
        QTest::newRow("no quotes") << QStringLiteral("Track & øst.zconf2") << false;
    }
    void typedFileNames()
    {
        QFETCH(QString, typed);
        QFETCH(bool, existing);
        const QString path = folder + QLatin1Char('/') + typed;
        if (existing)
            QVERIFY(QFile::copy(folder + QStringLiteral("/Race.zconf2"), path));
        asker.reset();
        asker = std::make_unique<TypedFileNames>();
        asker->buttons = {QMessageBox::Yes};
        asker->onExec = [&](QDialog* dialog) {
            auto* files = qobject_cast<QFileDialog*>(dialog);
            if (!files)
                return int(QDialog::Rejected);
            files->show();
            files->setDirectory(folder);
            auto* edit = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!edit)
                return int(QDialog::Rejected);
            // Typed into the field as a user does: it has the focus.
            QApplication::setActiveWindow(files);
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, typed);
            QMetaObject::invokeMethod(files, "accept");
            return files->result();
        };
        QVERIFY(window->saveAs());
        QVERIFY2(folderNames(folder).contains(typed), qPrintable(folderNames(folder).join('|')));
        QCOMPARE(asker->count(QStringLiteral("message")), existing ? 1 : 0);
        DashConfig saved;
        QVERIFY(saved.load(path));

        window->loadConfig(folder + QStringLiteral("/Race.zconf2"));
        window->openFileDialog();
        QVERIFY2(status().startsWith(QStringLiteral("Opened ") + typed + QStringLiteral(" (")), qPrintable(status()));
    }
};

KORV_TEST_MAIN(NonAsciiNamesTest)
#include "tst_nonasciinames.moc"
