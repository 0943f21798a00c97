#pragma once

// A homebrew theme or template made in the real window and used by a page of
// the open configuration, for the tests of what a template's users keep.

#include "dialogs/AddPageDialog.h"
#include "dialogs/NewHomebrewThemeDialog.h"
#include "editing/HeldXml.h"
#include "gallery/ThemeInstaller.h"
#include "window/MainWindow.h"
#include "canvas/DashCanvas.h"
#include "model/DashConfig.h"
#include "model/DeviceFile.h"
#include "model/InstallRoots.h"
#include "templates/PageTemplateLibrary.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"
#include "support/ZipFixture.h"

#include <QCursor>
#include <QDialogButtonBox>
#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTabWidget>
#include <QUndoStack>

inline QListWidget* listOf(const AddPageDialog& dialog, int tab)
{
    return qobject_cast<QListWidget*>(dialog.tabs->widget(tab));
}

inline QMap<QString, QByteArray> everything(const Rs3Fixture& fx)
{
    QMap<QString, QByteArray> all = fx.snapshot();
    const QMap<QString, QByteArray> store = Rs3Fixture::treeSnapshot(homebrewTemplatesDir());
    for (auto it = store.begin(); it != store.end(); ++it)
        all.insert("store/" + it.key(), it.value());
    return all;
}

// A theme made with New Homebrew Theme in the window and a page added from
// it to an open configuration.
struct UsedTheme {
    Rs3Fixture fx;
    ScriptedAsker asker;
    MainWindow window;
    DashConfig* config = nullptr;
    QString theme;
    QString path;

    // The folder the theme or template lives in; the New Homebrew Theme
    // slug unless another way of making it named it.
    QString folder;
    QString slug() const { return folder.isEmpty() ? NewHomebrewThemeDialog::slugify(theme) : folder; }

    // Delete Template's count: how often it walked the undo history, and
    // whether the cursor said busy while it did and not at any question.
    int walks = 0;
    bool busyWhileCounting = false;
    bool busyAtQuestion = false;

    bool make(const QString& name, const QString& fileName)
    {
        return open(name, fileName) && makeTheme() && addPage();
    }

    bool open(const QString& name, const QString& fileName)
    {
        theme = name;
        fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "p01");
        QSettings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto")).setValue("homebrew/suppressAddRedirect", true);
        ConfigFixture cfg;
        cfg.device().page("Main").mask(Fx::mask("m1", 1, 1, 50, 50).add(Fx::label("l1", "x", 0, 0, 50, 50)));
        path = TestEnvironment::makeTempDir("openuser") + '/' + fileName;
        if (!cfg.writeZip(path))
            return false;
        window.loadConfig(path);
        config = window.findChild<DashCanvas*>()->config;
        return config->pageCount() == 1;
    }

    bool makeTheme()
    {
        newTheme(theme);
        // The folder comes back under the name it was given.
        return QDir(homebrewTemplatesDir() + "/mxg_12").entryList(QDir::Dirs).contains(slug());
    }

    void newTheme(const QString& name)
    {
        asker.onExec = [name](QDialog* dialog) {
            dialog->findChild<QLineEdit*>("themeName")->setText(name);
            dialog->findChild<QPushButton*>("createButton")->click();
            return dialog->result();
        };
        window.newHomebrewTheme();
    }

    // Save as Template, or New Homebrew Theme, under the theme's name.
    void makeAgain(bool asTheme)
    {
        if (asTheme)
            return newTheme(theme);
        asker.texts << qMakePair(true, theme);
        window.saveCurrentAsTemplate();
    }

    // The page the user is on saved as a homebrew template of the name.
    bool makeTemplate()
    {
        makeAgain(false);
        folder = "z" + theme.toLower();
        return QFileInfo::exists(homebrewTemplatesDir() + "/mxg_12/" + folder + "/pMain.P2.xml");
    }

    // Asked by installBundle before the theme replaces folders of its id.
    gallery::ThemeInstaller::ThemeInUseQuestion themeQuestion;

    // A theme bundle as the gallery hands one over, its id the folder name.
    bool installBundle(const QString& id)
    {
        const QByteArray manifest =
            QJsonDocument(QJsonObject{{"id", id}, {"name", theme}, {"devices", QJsonArray{"mxg_12"}}}).toJson();
        const QString zip = TestEnvironment::makeTempDir("bundle") + "/theme.zip";
        if (!ZipFixture::writeZip(zip, QMap<QString, QByteArray>{
                                           {"theme-manifest.json", manifest},
                                           {"mxg_12/bkg.png", TestFiles::pngBytes(QSize(800, 480), Qt::darkRed)},
                                           {"mxg_12/prw.png", TestFiles::pngBytes(QSize(196, 117), Qt::darkRed)}}))
            return false;
        gallery::ThemeInstaller installer;
        installer.setThemeInUseQuestion(themeQuestion);
        folder = id;
        return installer.installBundleBytes(TestFiles::readBytes(zip))
               && QFileInfo::exists(homebrewTemplatesDir() + "/mxg_12/" + id + "/pMain.P2.xml");
    }

    // "Nordring.zconf2" saved with a page from the homebrew template
    // "Nordring".
    bool saveUsedTemplate()
    {
        return open("Nordring", "Nordring.zconf2") && makeTemplate() && addPage() && window.save();
    }

    bool addPage()
    {
        const int pages = config->pageCount();
        asker.onExec = [this](QDialog* d) {
            auto* dialog = qobject_cast<AddPageDialog*>(d);
            if (!dialog || !choose(dialog))
                return int(QDialog::Rejected);
            dialog->buttons->button(QDialogButtonBox::Ok)->click();
            return dialog->result();
        };
        window.addPageFromTemplate();
        return config->pageCount() == pages + 1 && config->page(pages)->name == theme;
    }

    QUndoStack* history() const { return window.findChild<QUndoStack*>(); }

    QListWidget* choose(AddPageDialog* dialog) const
    {
        dialog->tabs->setCurrentIndex(dialog->tabs->count() - 1);
        QListWidget* list = listOf(*dialog, dialog->tabs->count() - 1);
        const QList<QListWidgetItem*> found = list->findItems(theme, Qt::MatchExactly);
        if (found.isEmpty())
            return nullptr;
        list->setCurrentItem(found.first());
        return list;
    }

    // The theme as the Homebrew tab lists it.
    PageTemplate listed() const
    {
        for (const PageTemplate& t : PageTemplateLibrary::listHomebrewTemplates("mxg_12", QString()).templates) {
            if (t.displayName == theme)
                return t;
        }
        return {};
    }

    // Delete Template from the Add Page dialog; the text of the message box
    // it shows.
    QString tryDelete()
    {
        QString shown;
        asker.asked.clear();
        walks = 0;
        busyWhileCounting = busyAtQuestion = false;
        asker.onMessage = [this](const ScriptedAsker::Asked&) { busyAtQuestion |= busy(); };
        asker.onExec = [&](QDialog* d) {
            if (auto* box = qobject_cast<QMessageBox*>(d)) {
                busyAtQuestion |= busy();
                shown = box->text() + '\n' + box->informativeText();
                return int(QMessageBox::Ok);
            }
            auto* dialog = qobject_cast<AddPageDialog*>(d);
            if (!dialog || !choose(dialog))
                return int(QDialog::Rejected);
            const HeldXmlWalk walk = dialog->heldXml;
            dialog->heldXml = [this, walk](const HeldXmlVisitor& visit) {
                ++walks;
                busyWhileCounting = busy();
                if (walk)
                    walk(visit);
            };
            dialog->onDeleteHomebrewTemplate();
            return int(QDialog::Rejected);
        };
        window.addPageFromTemplate();
        asker.onMessage = nullptr;
        return shown;
    }

    static bool busy()
    {
        return QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
    }

    // The first device file of the saved configuration, as saved.
    QByteArray savedDevice() const
    {
        DashConfig reopened;
        if (!reopened.load(path) || reopened.devices.empty())
            return {};
        return TestFiles::readBytes(reopened.devices.front()->filePath);
    }

    // How many art paths of the theme the saved file names; each must lie in
    // the install (else -1).
    int artNamedBySavedFile() const
    {
        DashConfig reopened;
        if (!reopened.load(path))
            return -1;
        const QRegularExpression art("aim/resources/overlay/[^<\"]*s04_homebrew/" + QRegularExpression::escape(slug())
                                     + "/[^<\"]*");
        int named = 0;
        for (const DeviceFile* device : reopened.devices) {
            const QString xml = QString::fromUtf8(TestFiles::readBytes(device->filePath));
            for (auto m = art.globalMatch(xml); m.hasNext(); ++named) {
                if (!QFileInfo::exists(DashConfig::resolveRs3Path(m.next().captured())))
                    return -1;
            }
        }
        return named;
    }
};
