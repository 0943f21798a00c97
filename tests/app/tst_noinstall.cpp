#include "dialogs/AddPageDialog.h"
#include "window/MainWindow.h"
#include "canvas/DashCanvas.h"
#include "model/InstallRoots.h"
#include "check/ConfigCheck.h"
#include "panels/AddElementDialog.h"
#include "panels/BoxStyleDialog.h"
#include "panels/IconPreviewDialog.h"
#include "templates/PageTemplateLibrary.h"
#include "support/ConfigFixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QUndoStack>
#include <QtTest>

namespace {

const QByteArray kPage = "<aimDataBase_Page2><e c=\"GPageParam\"><p n=\"WIDTH\">800</p>"
                         "<p n=\"HEIGHT\">480</p></e></aimDataBase_Page2>";

// A page template folder as a save or RS3 leaves it.
void writeTemplate(const QString& folder, const QString& label)
{
    PageTemplateLibrary::writeFile(folder + "/pMain.P2.xml", kPage);
    PageTemplateLibrary::writeFile(folder + "/AiM_folder.xml", PageTemplateLibrary::folderMetaXml(label, 99));
    PageTemplateLibrary::writeFile(folder + "/prw.png", TestFiles::pngBytes(QSize(200, 120), Qt::darkCyan));
}

QStringList everythingIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

QListWidget* lastList(const AddPageDialog& dialog)
{
    return qobject_cast<QListWidget*>(dialog.tabs->widget(dialog.tabs->count() - 1));
}

// Chooses the type in the insert dialog and accepts it.
int chooseType(AddElementDialog* dialog, const QString& type)
{
    auto* types = dialog->findChild<QListWidget*>(QStringLiteral("types"));
    types->setCurrentItem(types->findItems(type, Qt::MatchExactly).value(0));
    dialog->onAccept();
    return dialog->result();
}

QString insertTypeFor(const QString& road)
{
    if (road == "icon")
        return QStringLiteral("Icon");
    if (road == "ref time bar")
        return QStringLiteral("+- Ref Time bar");
    return QStringLiteral("Multi-value box");
}

} // namespace

// The default RS3 installs are the Windows folders inside the Wine prefix.
// Without one there is no install, and nothing is ever created for it:
// neither in the prefix nor in the folder the program was started from.
class NoInstallTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
        settings.remove("paths");
        settings.setValue("homebrew/suppressAddRedirect", true);
        // The tree beside the program is not an install; keep it out of reach.
        setLocalOverlayRootOverride(TestEnvironment::makeTempDir("program") + "/aim/resources/overlay");
    }

    void nothingIsCreatedWithoutAnInstall()
    {
        const QString prefix = QString::fromLocal8Bit(qgetenv("WINEPREFIX"));
        QVERIFY(!prefix.isEmpty());
        QCOMPARE(raceStudio3Root(), QString());
        writeTemplate(homebrewTemplatesDir() + "/mxg_12/zlap", "Lap");
        ConfigFixture cfg;
        cfg.channel(1, "RPM");
        cfg.device().page("Main").mask(Fx::mask("vb", 10, 20, 200, 80)
                                           .set("PATH_REL_AiM_MASK", "aim/resources/overlay/mxg_12/masks/set/"
                                                                     "standard/s02/p01/Items/a/")
                                           .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                                           .add(Fx::digit("d1", 0, 0, 200, 60, "a1")));
        const QString archive = cfg.writeTempZip();

        const QString start = TestEnvironment::makeTempDir("start");
        const QString saved = QDir::currentPath();
        QVERIFY(QDir::setCurrent(start));
        ScriptedAsker asker;
        QString insertType;
        int checks = 0;
        asker.onExec = [&](QDialog* dialog) {
            if (auto* add = qobject_cast<AddPageDialog*>(dialog)) {
                QListWidget* list = lastList(*add);
                if (!list || list->count() == 0)
                    return int(QDialog::Rejected);
                list->setCurrentRow(0);
                add->buttons->button(QDialogButtonBox::Ok)->click();
                return add->result();
            }
            if (auto* insert = qobject_cast<AddElementDialog*>(dialog))
                return chooseType(insert, insertType);
            if (dialog && dialog->windowTitle() == QStringLiteral("Check config"))
                ++checks;
            return int(QDialog::Accepted);
        };
        {
            MainWindow window;
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.loadConfig(archive);
            DashConfig* config = window.findChild<DashCanvas*>()->config;
            QCOMPARE(config->pageCount(), 1);
            window.addPageFromTemplate();
            QCOMPARE(config->pageCount(), 2);
            window.showCheckConfig();
            QCOMPARE(checks, 1);
            // The box is inserted although its art cannot be drawn.
            asker.buttons << QMessageBox::Yes;
            for (const QString type : {"Multi-value box", "Icon", "+- Ref Time bar"}) {
                insertType = type;
                window.insertElement();
            }
            QVERIFY(window.findChild<QUndoStack*>()->count() >= 2);
        }
        QDir::setCurrent(saved);
        QCOMPARE(everythingIn(start), QStringList());
        QCOMPARE(everythingIn(prefix), QStringList());
    }

    // Every road that meets the missing install says where it looked and
    // that the folders are set in Tools > Preferences.
    void everyRoadNamesWhereItLooked_data()
    {
        QTest::addColumn<QString>("road");
        for (const char* road : {"add page", "add page, own templates", "insert element", "icon", "ref time bar", "multi-value box", "check",
                                 "box style", "bar colour", "icon preview", "save as template", "homebrew notice"})
            QTest::newRow(road) << QString::fromLatin1(road);
    }
    void everyRoadNamesWhereItLooked()
    {
        QFETCH(QString, road);
        const QString nowhere = TestEnvironment::makeTempDir("nowhere") + "/RaceStudio3";
        QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
        settings.setValue("paths/raceStudio3Root", nowhere);
        settings.setValue("paths/raceStudio3BetaRoot", nowhere + "_beta");
        const QString item = "aim/resources/overlay/mxg_12/masks/set/standard/s02/p01/Items/";
        ConfigFixture cfg;
        cfg.channel(1, "RPM");
        cfg.device().page("Main").mask(Fx::mask("vb", 10, 20, 200, 80)
                                           .set("PATH_REL_AiM_MASK", item + "a/")
                                           .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                                           .add(Fx::digit("d1", 0, 0, 200, 60, "a1")));
        cfg.device().pages[0].mask(Fx::mask("bar", 10, 200, 200, 40)
                                       .set("PATH_REL_AiM_MASK", item + "b/")
                                       .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                                       .add(Fx::bargraph("b1", 0, 0, 200, 40, "a1", true)));

        ScriptedAsker asker;
        QString shown;
        asker.onExec = [&](QDialog* dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
                shown = box->text();
                return int(QDialog::Rejected);
            }
            if (auto* add = qobject_cast<AddPageDialog*>(dialog); add && road == "homebrew notice") {
                lastList(*add)->setCurrentRow(0);
                add->buttons->button(QDialogButtonBox::Ok)->click();
                return add->result();
            }
            if (auto* add = qobject_cast<AddPageDialog*>(dialog)) {
                // The note above the tabs when the store offers templates,
                // else the tab that explains the empty list.
                auto* explanation = qobject_cast<QLabel*>(add->tabs->currentWidget());
                shown = add->installNote->isVisibleTo(add) ? add->installNote->text()
                                                           : (explanation ? explanation->text() : QString());
                return int(QDialog::Rejected);
            }
            if (auto* insert = qobject_cast<AddElementDialog*>(dialog)) {
                shown = insert->findChild<QLabel*>(QStringLiteral("installNote"))->text();
                return road == "insert element" ? int(QDialog::Rejected) : chooseType(insert, insertTypeFor(road));
            }
            if (auto* designer = qobject_cast<BoxStyleDialog*>(dialog)) {
                auto* styles = designer->findChild<QListWidget*>();
                styles->setCurrentRow(styles->count() - 1);
                designer->onAccept();
                return designer->result();
            }
            return int(QDialog::Accepted);
        };
        QDir(homebrewTemplatesDir()).removeRecursively();
        if (road.contains("own templates") || road == "homebrew notice")
            writeTemplate(homebrewTemplatesDir() + "/mxg_12/zlap", "Lap");
        settings.setValue("homebrew/suppressAddRedirect", road != "homebrew notice");
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.loadConfig(cfg.writeTempZip());
        DashConfig* config = window.findChild<DashCanvas*>()->config;
        QCOMPARE(config->pageCount(), 1);
        if (road.startsWith("add page") || road == "insert element") {
            road.startsWith("add page") ? window.addPageFromTemplate() : window.insertElement();
        } else if (road == "save as template") {
            asker.texts << qMakePair(true, QStringLiteral("Lap"));
            window.saveCurrentAsTemplate();
            QCOMPARE(asker.count("message"), 1);
            shown = asker.asked.last().text;
        } else if (road == "homebrew notice") {
            // It does not send the user to RS3's Homebrew tab, which the
            // message of the save said RS3 will not show.
            window.addPageFromTemplate();
            QVERIFY2(!shown.contains("Add New Page"), qPrintable(shown));
            QCOMPARE(config->pageCount(), 1);
        } else if (road == "check") {
            const ConfigFindings findings = ConfigCheck::checkConfig(*config);
            QVERIFY(!findings.isEmpty());
            shown = findings.first().message;
        } else if (road == "icon preview") {
            IconPreviewDialog dialog(item + "i/", QString());
            shown = dialog.findChildren<QLabel*>().value(1)->text();
        } else {
            if (road == "box style")
                window.applyBoxStyle(0);
            else if (road == "bar colour")
                window.applyColorBar(1);
            else
                window.insertElement();
            QCOMPARE(asker.count("message"), 1);
            shown = asker.asked.last().text;
        }
        shown.replace("&gt;", ">");
        QVERIFY2(shown.contains(QDir::toNativeSeparators(nowhere)), qPrintable(shown));
        QVERIFY2(shown.contains("Tools > Preferences"), qPrintable(shown));
    }

    // Nothing set: the install inside $WINEPREFIX is the one used.
    void winePrefixInstallIsFoundWithoutASetting()
    {
        const QByteArray savedPrefix = qgetenv("WINEPREFIX");
        const QString prefix = TestEnvironment::makeTempDir("prefix");
        const QString root = prefix + "/drive_c/AIM_SPORT/RaceStudio3";
        writeTemplate(root + "/aim/resources/overlay/mxg_12/masks/set/standard/s02/p01", "Laps");
        qputenv("WINEPREFIX", QFile::encodeName(prefix));
        QCOMPARE(raceStudio3Root(), root);
        DashConfig config;
        config.deviceName = "MXG 1.2";
        AddPageDialog dialog(&config);
        qputenv("WINEPREFIX", savedPrefix);
        QCOMPARE(dialog.tabs->tabText(0), QStringLiteral("s02"));
        auto* list = qobject_cast<QListWidget*>(dialog.tabs->widget(0));
        QCOMPARE(list->item(0)->toolTip(), root + "/aim/resources/overlay/mxg_12/masks/set/standard/s02/p01");
    }
};

KORV_TEST_MAIN(NoInstallTest)
#include "tst_noinstall.moc"
