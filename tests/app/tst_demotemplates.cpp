#include "DemoStock.h"
#include "dialogs/AddPageDialog.h"
#include "window/MainWindow.h"
#include "artwork/ArtworkFiles.h"
#include "canvas/DashCanvas.h"
#include "check/ConfigCheck.h"
#include "check/ConfigReport.h"
#include "model/XmlParams.h"
#include "panels/AddElementDialog.h"
#include "panels/BarTemplateBrowser.h"
#include "panels/MultiBoxDialog.h"
#include "support/ConfigFixture.h"
#include "support/DemoArtSession.h"
#include "support/PixelProbe.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"

#include <QDialogButtonBox>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QtTest>

#include <algorithm>
#include <memory>

// The demo as the build ships it: its masks name its own install, it passes
// its own check, and each of its page templates adds the page its preview
// shows, on which every element type can be inserted.
class DemoTemplatesTest : public QObject, DemoArtSession {
    Q_OBJECT

    // The install the build wrote beside the demo archive.
    static QString builtInstall()
    {
        return qEnvironmentVariable("KORV_BINARY_DIR")
            + QStringLiteral("/examples/demo-prefix/drive_c/AIM_SPORT/RaceStudio3");
    }

private Q_SLOTS:
    void init() { openDemo(); }
    void cleanup() { closeDemo(); }

    // The demo's masks point at items of its install.
    void demoReferencesItsStock()
    {
        QCOMPARE(maskPath(*config, 0, 1), DemoStock::valueBoxItem());
        QCOMPARE(maskPath(*config, 0, 2), DemoStock::barItem());
        QCOMPARE(maskPath(*config, 1, 0), DemoStock::ringGaugeItem());
    }

    // The install beside the built demo is the one this generator writes.
    void builtInstallIsTheGenerated()
    {
        const QString built = builtInstall();
        if (!QFileInfo::exists(built))
            QSKIP("no demo install in the build folder");
        const auto generated = Rs3Fixture::treeSnapshot(rs3->root(Rs3Fixture::Stable));
        const auto inBuild = Rs3Fixture::treeSnapshot(built);
        QVERIFY(generated.size() > 20);
        for (auto it = generated.begin(); it != generated.end(); ++it)
            QVERIFY2(inBuild.value(it.key()) == it.value(), qPrintable(it.key()));
    }

    // The unedited demo passes its own check: with the install the tests
    // write, and with the one the build wrote beside the demo archive.
    void demoPassesItsOwnCheck_data()
    {
        QTest::addColumn<bool>("buildInstall");
        QTest::newRow("generated install") << false;
        QTest::newRow("the build's install") << true;
    }
    void demoPassesItsOwnCheck()
    {
        QFETCH(bool, buildInstall);
        if (buildInstall) {
            const QString built = builtInstall();
            if (!QFileInfo::exists(built))
                QSKIP("no demo install in the build folder");
            QSettings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"))
                .setValue(QStringLiteral("paths/raceStudio3Root"), built);
        }
        DashConfig demo;
        QVERIFY(demo.load(ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("check")))));
        const ConfigFindings findings = ConfigCheck::checkConfig(demo);
        QVERIFY2(findings.isEmpty(), qPrintable(ConfigCheck::formatReport(findings, QStringLiteral("Demo"))));
    }

    // The demo's page templates come with their names and previews, as
    // RS3's do: Add Page offers both with a picture each.
    void addPageShowsTheTemplatesWithPreviews()
    {
        AddPageDialog dialog(config);
        QCOMPARE(dialog.tabs->tabText(0), QStringLiteral("Pages"));
        auto* list = qobject_cast<QListWidget*>(dialog.tabs->widget(0));
        QVERIFY(list);
        QStringList names;
        for (int i = 0; i < list->count(); ++i) {
            names << list->item(i)->text();
            QVERIFY2(!list->item(i)->icon().isNull(), qPrintable(list->item(i)->text()));
        }
        QCOMPARE(names, QStringList({"Dark", "Dark red"}));
    }

    // A page from each demo template, one element of each type the demo
    // offers inserted onto it: the check finds nothing, with the install the
    // tests write and with the one the build wrote; and the page added shows
    // what the template's preview showed.
    void templatePagesPassTheCheck_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("buildInstall");
        for (const char* name : {"Dark", "Dark red"}) {
            QTest::addRow("%s, generated install", name) << QString::fromLatin1(name) << false;
            QTest::addRow("%s, the build's install", name) << QString::fromLatin1(name) << true;
        }
    }
    void templatePagesPassTheCheck()
    {
        QFETCH(QString, name);
        QFETCH(bool, buildInstall);
        if (buildInstall) {
            // A copy: the inserts draw their art into the install.
            const QString built = builtInstall();
            if (!QFileInfo::exists(built))
                QSKIP("no demo install in the build folder");
            QVERIFY(QDir(rs3->root(Rs3Fixture::Stable)).removeRecursively());
            QVERIFY(copyDirOver(built, rs3->root(Rs3Fixture::Stable)));
        }
        PageTemplate chosen;
        asker->onExec = [&](QDialog* dialog) {
            auto* add = qobject_cast<AddPageDialog*>(dialog);
            auto* list = add ? qobject_cast<QListWidget*>(add->tabs->widget(0)) : nullptr;
            if (!list || list->findItems(name, Qt::MatchExactly).isEmpty())
                return int(QDialog::Rejected);
            list->setCurrentItem(list->findItems(name, Qt::MatchExactly).first());
            add->buttons->button(QDialogButtonBox::Ok)->click();
            chosen = add->selectedTemplate;
            return add->result();
        };
        const int page = config->pageCount();
        window->addPageFromTemplate();
        QCOMPARE(config->pageCount(), page + 1);
        QVERIFY(!config->pages[size_t(page)].masks.empty());

        // The page as the dash shows it has its content where the preview
        // has (the values drawn on it aside).
        const QImage shown(chosen.prwPath);
        QVERIFY(!shown.isNull());
        int contentCells = 0;
        const QString mismatch = PixelProbe::contentMismatch(shown, DashCanvas::renderPageForPreview(config, page, false, 1),
                                                             shown.pixelColor(0, 0), QSize(20, 12), &contentCells);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        QVERIFY(contentCells > 20);

        QStringList types;
        window->onPageSelected(page);
        asker->onExec = [&types](QDialog* dialog) {
            auto* list = dialog->findChild<QListWidget*>(QStringLiteral("types"));
            for (int i = 0; list && i < list->count(); ++i)
                types << list->item(i)->text();
            return int(QDialog::Rejected);
        };
        window->insertElement();
        QVERIFY2(types.size() >= 8, qPrintable(types.join(", ")));
        for (const QString& type : types) {
            asker->onExec = [&type](QDialog* dialog) {
                if (auto* add = qobject_cast<AddElementDialog*>(dialog)) {
                    auto* list = add->findChild<QListWidget*>(QStringLiteral("types"));
                    list->setCurrentItem(list->findItems(type, Qt::MatchExactly).value(0));
                    auto* channels = add->findChild<QListWidget*>(QStringLiteral("channels"));
                    if (channels->count() > 0)
                        channels->setCurrentRow(0);
                    add->onAccept();
                    return add->result();
                }
                if (auto* bars = qobject_cast<BarTemplateBrowser*>(dialog)) {
                    bars->selectTemplate(QStringLiteral("generic"));
                    bars->onAccept();
                    return bars->result();
                }
                if (auto* box = qobject_cast<MultiBoxDialog*>(dialog))
                    box->parseArrangement(QStringLiteral("2x2"));
                dialog->accept();
                return dialog->result();
            };
            const size_t masks = config->pages[size_t(page)].masks.size();
            window->insertElement();
            QVERIFY2(config->pages[size_t(page)].masks.size() == masks + 1, qPrintable(type + ": " + status()));
        }
        QCOMPARE(asker->count(QStringLiteral("message")), 0);
        // Inserted elements take a firmware slot of the editor's making,
        // which the check mentions as worth knowing; nothing else is found.
        ConfigFindings findings = ConfigCheck::checkConfig(*config);
        const QString report = ConfigCheck::formatReport(findings, QStringLiteral("Demo"));
        const auto invented = std::remove_if(findings.begin(), findings.end(), [&](const ConfigFinding& f) {
            return f.code == QLatin1String("invented-slot") && f.severity == 1 && f.pageIndex == page;
        });
        QCOMPARE(int(findings.end() - invented), types.size());
        findings.erase(invented, findings.end());
        QVERIFY2(findings.isEmpty(), qPrintable(report));
    }
};

KORV_TEST_MAIN(DemoTemplatesTest)
#include "tst_demotemplates.moc"
