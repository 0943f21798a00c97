#include "window/MainWindow.h"
#include "artwork/TgzImage.h"
#include "canvas/DashCanvas.h"
#include "panels/MultiBoxDialog.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/FifoGuard.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TemplateFixture.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTextDocument>
#include <QUndoStack>
#include <QtTest>

#include <memory>

namespace {

const char* const kArt = "aim/resources/overlay/mxg_12/masks/set/standard/s01/box/Items/a/";

// Masks: 0 a value box bound to RPM, 1 a box that has a bar already, 2 a
// Digit without an Axis, 3 Labels only, 4 a box that has no rectangle.
ConfigFixture fixture()
{
    ConfigFixture cfg;
    cfg.channel(1, QStringLiteral("RPM"));
    cfg.device().page(QStringLiteral("Main"))
        .mask(Fx::mask("vb", 10, 20, 200, 80)
                  .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                  .add(Fx::digit("d1", 0, 0, 200, 60, "a1")))
        .mask(Fx::mask("bar", 10, 120, 200, 80)
                  .add(Fx::axis("a1", "RPM"))
                  .add(Fx::digit("d1", 0, 0, 200, 40, "a1"))
                  .add(Fx::bargraph("b1", 0, 40, 200, 40, "a1")))
        .mask(Fx::mask("noaxis", 300, 20, 200, 80).add(Fx::digit("d1", 0, 0, 200, 60)))
        .mask(Fx::mask("lbl", 300, 120, 200, 80)
                  .add(Fx::label("l1", "A", 0, 0, 100, 40))
                  .add(Fx::label("l2", "B", 0, 40, 100, 40)))
        .mask(Fx::mask("flat", 300, 300, 0, 80).add(Fx::label("l1", "A", 0, 0, 10, 10)));
    return cfg;
}

// Presses the message box button with that text, ticking "Don't show this
// again" first when asked to.
std::function<int(QDialog*)> pressButton(const QString& text, bool tick = false)
{
    return [text, tick](QDialog* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        if (!box)
            return int(QDialog::Rejected);
        if (tick && box->checkBox())
            box->checkBox()->setChecked(true);
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == text)
                button->click();
        }
        return box->result();
    };
}

} // namespace

// The add, convert and export actions on a shown window opened on a small
// configuration inside a temporary RS3 install.
class AddActionsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> rs3;
    std::unique_ptr<ScriptedAsker> asker;
    std::unique_ptr<MainWindow> window;
    DashConfig* config = nullptr;
    QUndoStack* stack = nullptr;

    QString status() const { return window->statusBar()->currentMessage(); }
    QByteArray xml() const { return ConfigSnapshot::documents(*config); }

    void open(const ConfigFixture& cfg)
    {
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->loadConfig(cfg.writeTempZip());
        config = window->findChild<DashCanvas*>()->config;
        stack = window->findChild<QUndoStack*>();
        QCOMPARE(config->pageCount(), 1);
        asker->asked.clear();
    }

private Q_SLOTS:
    void init()
    {
        rs3 = std::make_unique<Rs3Fixture>();
        rs3->addDeviceFolder(Rs3Fixture::Stable, QStringLiteral("mxg_12"));
        asker = std::make_unique<ScriptedAsker>();
        QSettings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto")).remove("homebrew/suppressAddRedirect");
        open(fixture());
    }

    void cleanup()
    {
        window.reset();
        asker.reset();
        rs3.reset();
    }

    void addPage_data()
    {
        QTest::addColumn<QString>("displayName");
        QTest::addColumn<QString>("listedFamily");
        QTest::addColumn<QString>("pageName");
        const QString name32(32, QLatin1Char('n'));
        QTest::newRow("32 characters") << name32 << "mxg_12" << name32;
        QTest::newRow("33 characters") << QString(33, QLatin1Char('n')) << "mxg_12" << "Page 2";
        QTest::newRow("empty") << "" << "mxg_12" << "Page 2";
        QTest::newRow("trimmed") << "  Laps  " << "mxg_12" << "Laps";
        QTest::newRow("other family is relocated") << "Laps" << "mxs_12" << "Laps";
    }
    void addPage()
    {
        QFETCH(QString, displayName);
        QFETCH(QString, listedFamily);
        QFETCH(QString, pageName);
        const QString folder = rs3->addTemplate(Rs3Fixture::Stable, listedFamily, "s01", "tpl");
        PageTemplate tpl;
        tpl.folderPath = folder;
        tpl.displayName = displayName;
        tpl.folderName = QStringLiteral("tpl");
        window->setAddPageDialogFactory([&] { return AddPageChoice{1, tpl, listedFamily}; });
        const QByteArray before = xml();

        window->addPageFromTemplate();
        QCOMPARE(config->pageCount(), 2);
        QCOMPARE(config->pages[1].name, pageName);
        QCOMPARE(window->currentPageIndex(), 1);
        // A template listed under another family is copied into the
        // configuration's own before the page refers to it.
        const QString rel = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s01/tpl/");
        QCOMPARE(config->pages[1].relPagePath, rel);
        QVERIFY(QFileInfo::exists(rs3->absolutePath(Rs3Fixture::Stable, rel + "pMain.P2.xml")));
        QCOMPARE(status(), QStringLiteral("Added page \"%1\" from template tpl").arg(pageName));
        QCOMPARE(stack->count(), 1);
        stack->undo();
        QCOMPARE(xml(), before);
    }

    void addPageRefusals_data()
    {
        QTest::addColumn<QString>("deviceType");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing open") << "" << "Open a .zconf2 file first -- template insert needs a base config.";
        QTest::newRow("Solo 2 DL") << "Solo 2 DL"
                                   << "Adding new pages on Solo 2 DL is not yet supported in this version of "
                                      "Korvelanto. You can edit existing pages, or add the page in RaceStudio3 "
                                      "first and then edit it here.";
    }
    void addPageRefusals()
    {
        QFETCH(QString, deviceType);
        QFETCH(QString, text);
        if (deviceType.isEmpty()) {
            window = std::make_unique<MainWindow>();
        } else {
            ConfigFixture cfg = fixture();
            cfg.deviceType = deviceType;
            open(cfg);
        }
        int runs = 0;
        window->setAddPageDialogFactory([&runs] { return AddPageChoice{++runs, {}, {}}; });
        window->addPageFromTemplate();
        QCOMPARE(runs, 0);
        QCOMPARE(asker->asked.size(), 1);
        QCOMPARE(asker->asked.first().title, QStringLiteral("Add Page"));
        QCOMPARE(asker->asked.first().text, text);
    }

    // A template folder without its page file: nothing added, no undo step.
    void addPageFailure()
    {
        PageTemplate tpl;
        tpl.folderPath = TestEnvironment::makeTempDir(QStringLiteral("empty"));
        window->setAddPageDialogFactory([&] { return AddPageChoice{1, tpl, QStringLiteral("mxg_12")}; });
        const QByteArray before = xml();
        window->addPageFromTemplate();
        QCOMPARE(status(), QStringLiteral("Add page failed"));
        QCOMPARE(stack->count(), 0);
        QCOMPARE(xml(), before);
        QCOMPARE(window->currentPageIndex(), 0);
    }

    // A stock template's item file a pipe, or a link to a file of the
    // user's: Add Page neither waits on the pipe nor takes the linked
    // file's text into the configuration; the page comes without that
    // item's widgets and the log names the file left alone.
    void addPageLeavesAHazardousItemAlone_data()
    {
        QTest::addColumn<bool>("pipe");
        QTest::newRow("item a pipe") << true;
        QTest::newRow("item linked to the user's file") << false;
    }
    void addPageLeavesAHazardousItemAlone()
    {
        QFETCH(bool, pipe);
        const QString folder = rs3->addTemplate(Rs3Fixture::Stable, "mxg_12", "s01", "tpl");
        TemplateFixture page;
        page.mask(FixtureElement("GMaskParam").p("ORDINE", 1),
                  Fx::mask("m1", 10, 20, 100, 40).add(Fx::label("l1", "stock", 0, 0, 100, 40)));
        QVERIFY(page.writeTo(folder));
        const QString item = folder + "/Items/md1/md1.M2.xml";
        QVERIFY(QFile::remove(item));
        const QString users = TestEnvironment::makeTempDir("users");
        TemplateFixture theirs;
        theirs.mask(FixtureElement("GMaskParam"),
                    Fx::mask("m1", 0, 0, 100, 40).add(Fx::label("l1", "the user's notes", 0, 0, 100, 40)));
        QVERIFY(theirs.writeTo(users));
        std::unique_ptr<FifoGuard> guard;
        if (pipe)
            QVERIFY((guard = std::make_unique<FifoGuard>(item))->made());
        else
            QVERIFY(QFile::link(users + "/Items/md1/md1.M2.xml", item));
        PageTemplate tpl;
        tpl.folderPath = folder;
        tpl.displayName = QStringLiteral("Laps");
        tpl.folderName = QStringLiteral("tpl");
        window->setAddPageDialogFactory([&] { return AddPageChoice{1, tpl, QStringLiteral("mxg_12")}; });
        QTest::ignoreMessage(QtWarningMsg,
                             "XML file not read: " + item.toUtf8()
                                 + (pipe ? " is not a regular file" : " is a symbolic link"));

        window->addPageFromTemplate();
        if (guard)
            QVERIFY(!guard->released());
        QCOMPARE(config->pageCount(), 2);
        QCOMPARE(config->pages[1].masks.size(), size_t(1));
        QVERIFY(config->pages[1].masks[0].widgets.empty());
        QVERIFY(!xml().contains("the user's notes"));
        QCOMPARE(status(), QStringLiteral("Added page \"Laps\" from template tpl"));
    }

    // The dialog answers "Save Current Page as Template..." once, then a
    // template: the save runs between the two runs and the page is added.
    void saveAsTemplateThenAdd()
    {
        PageTemplate tpl;
        tpl.folderPath = rs3->addTemplate(Rs3Fixture::Stable, "mxg_12", "s01", "tpl");
        QList<int> answers{42, 1};
        int runs = 0;
        window->setAddPageDialogFactory([&] {
            ++runs;
            return AddPageChoice{answers.takeFirst(), tpl, QStringLiteral("mxg_12")};
        });
        window->addPageFromTemplate();
        QCOMPARE(runs, 2);
        // The save-as-template slot ran once in between: it asked for a name.
        QCOMPARE(asker->count(QStringLiteral("text")), 1);
        QCOMPARE(config->pageCount(), 2);
        QCOMPARE(stack->count(), 1);
    }

    void homebrewNotice_data()
    {
        QTest::addColumn<bool>("suppressed");
        QTest::addColumn<bool>("tick");
        QTest::addColumn<QString>("press");
        QTest::addColumn<bool>("added");
        QTest::newRow("tick and cancel") << false << true << "Cancel" << false;
        QTest::newRow("anyway") << false << false << "Add in Korvelanto anyway (may fail in RS3)" << true;
        QTest::newRow("tick and anyway") << false << true << "Add in Korvelanto anyway (may fail in RS3)" << true;
        QTest::newRow("already suppressed") << true << false << "" << true;
    }
    void homebrewNotice()
    {
        QFETCH(bool, suppressed);
        QFETCH(bool, tick);
        QFETCH(QString, press);
        QFETCH(bool, added);
        QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
        if (suppressed)
            settings.setValue("homebrew/suppressAddRedirect", true);
        PageTemplate tpl;
        tpl.folderPath = rs3->addTemplate(Rs3Fixture::Stable, "mxg_12", "s04_homebrew", "zmine");
        tpl.displayName = QStringLiteral("  ");
        tpl.folderName = QStringLiteral("zmine");
        tpl.homebrew = true;
        window->setAddPageDialogFactory([&] { return AddPageChoice{1, tpl, QStringLiteral("mxg_12")}; });
        QString noticeText;
        const auto pressIt = pressButton(press, tick);
        asker->onExec = [&](QDialog* dialog) {
            noticeText = static_cast<QMessageBox*>(dialog)->text();
            return pressIt(dialog);
        };
        window->addPageFromTemplate();
        QCOMPARE(asker->count("exec"), suppressed ? 0 : 1);
        if (!suppressed)
            QCOMPARE(noticeText, QStringLiteral("Adding a homebrew page directly in Korvelanto does not yet render "
                                                "correctly in RaceStudio3.\n\nAdd this page in RS3 instead:  Add "
                                                "New Page → Homebrew → \"zmine\"."));
        QCOMPARE(config->pageCount(), added ? 2 : 1);
        QCOMPARE(stack->count(), added ? 1 : 0);
        settings.sync();
        QCOMPARE(settings.value("homebrew/suppressAddRedirect", false).toBool(), suppressed || tick);
    }

    void valueBar_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<bool>("refused");
        QTest::newRow("bar already") << 1 << true;
        QTest::newRow("no Axis") << 2 << true;
        QTest::newRow("Labels only") << 3 << true;
        QTest::newRow("value box") << 0 << false;
    }
    void valueBar()
    {
        QFETCH(int, mask);
        QFETCH(bool, refused);
        const QByteArray before = xml();
        const int widgets = int(config->pages[0].masks[size_t(mask)].widgets.size());
        asker->onExec = [](QDialog* dialog) {
            dialog->accept();
            return dialog->result();
        };
        window->addValueBar(mask);
        if (refused) {
            QCOMPARE(status(), QStringLiteral("Value bar is only available for single-value boxes without an "
                                              "existing bar"));
            QCOMPARE(asker->count("exec"), 0);
            QCOMPARE(stack->count(), 0);
            QCOMPARE(xml(), before);
            return;
        }
        QCOMPARE(status(), QStringLiteral("Added value bar"));
        QCOMPARE(int(config->pages[0].masks[size_t(mask)].widgets.size()), widgets + 1);
        QCOMPARE(stack->count(), 1);
        QCOMPARE(stack->text(0), QStringLiteral("Add value bar"));
        stack->undo();
        QCOMPARE(xml(), before);
    }

    void textBoxes_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("mask");
        QTest::addColumn<QString>("message");
        QTest::newRow("label here") << 0 << 5 << "Added label \"Oil\" -- double-click in outliner to rename";
        QTest::newRow("text box in box") << 1 << 3 << "Added text box -- double-click in outliner to rename";
        QTest::newRow("in box past the end") << 2 << 5 << "before";
    }
    void textBoxes()
    {
        QFETCH(int, action);
        QFETCH(int, mask);
        QFETCH(QString, message);
        window->statusBar()->showMessage(QStringLiteral("before"));
        const QByteArray before = xml();
        if (action == 0)
            window->addLabelHere(40, 50, QStringLiteral("Oil"));
        else
            window->addTextBoxInBox(mask, 5, 5);
        QCOMPARE(status(), message);
        QCOMPARE(stack->count(), action == 2 ? 0 : 1);
        DashCanvas* canvas = window->findChild<DashCanvas*>();
        if (action == 2)
            return;
        QCOMPARE(canvas->selectedMask(), mask);
        const auto& widgets = config->pages[0].masks[size_t(mask)].widgets;
        QCOMPARE(widgets[size_t(canvas->selectedWidget())].text, action == 0 ? "Oil" : "Label");
        stack->undo();
        QCOMPARE(xml(), before);
    }

    void convert_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<QString>("arrangement"); // empty: cancel the dialog
        QTest::addColumn<QString>("message");
        QTest::newRow("keeps the channel") << 0 << "2x3" << "Converted to a 2x3 multi-value box (kept RPM)";
        QTest::newRow("labels keep nothing") << 3 << "1x2" << "Converted to a 1x2 multi-value box";
        QTest::newRow("cancelled") << 0 << "" << "before";
        QTest::newRow("no rectangle") << 4 << "2x2" << "before";
        QTest::newRow("add fails") << 0 << "65x1" << "Convert to multi-value box failed";
    }
    void convert()
    {
        QFETCH(int, mask);
        QFETCH(QString, arrangement);
        QFETCH(QString, message);
        window->statusBar()->showMessage(QStringLiteral("before"));
        const QByteArray before = xml();
        const QByteArray records = ConfigSnapshot::records(*config);
        const int masks = int(config->pages[0].masks.size());
        const QRect rect(config->pages[0].masks[size_t(mask)].x, config->pages[0].masks[size_t(mask)].y,
                         config->pages[0].masks[size_t(mask)].w, config->pages[0].masks[size_t(mask)].h);
        asker->onExec = [arrangement](QDialog* dialog) {
            if (arrangement.isEmpty())
                return int(QDialog::Rejected);
            static_cast<MultiBoxDialog*>(dialog)->parseArrangement(arrangement);
            dialog->accept();
            return dialog->result();
        };
        window->convertToMultiBox(mask);
        QCOMPARE(status(), message);
        if (!message.startsWith(QLatin1String("Converted"))) {
            QCOMPARE(stack->count(), 0);
            // The toolbar and the Edit menu offer no step that does nothing.
            for (const QAction* action : window->findChildren<QAction*>()) {
                if (action->text().startsWith(QLatin1String("Redo")) || action->text().startsWith(QLatin1String("&Redo")))
                    QVERIFY2(!action->isEnabled(), qPrintable(action->text()));
            }
            QCOMPARE(xml(), before);
            QCOMPARE(ConfigSnapshot::records(*config), records);
            return;
        }
        QCOMPARE(stack->count(), 1);
        QCOMPARE(stack->text(0), QStringLiteral("Convert to multi-value box"));
        QCOMPARE(int(config->pages[0].masks.size()), masks);
        const MaskElement& box = config->pages[0].masks.back();
        QCOMPARE(QRect(box.x, box.y, box.w, box.h), rect);
        stack->undo();
        QCOMPARE(xml(), before);
    }

    // A convert that cannot work keeps a step waiting on the redo side.
    void convertFailureKeepsRedoSide()
    {
        window->addLabelHere(10, 10, QStringLiteral("x"));
        stack->undo();
        const QByteArray before = xml();
        asker->onExec = [](QDialog* dialog) {
            static_cast<MultiBoxDialog*>(dialog)->parseArrangement(QStringLiteral("65x1"));
            dialog->accept();
            return dialog->result();
        };
        window->convertToMultiBox(0);
        QCOMPARE(status(), QStringLiteral("Convert to multi-value box failed"));
        QCOMPARE(stack->count(), 1);
        QVERIFY(stack->canRedo());
        QCOMPARE(xml(), before);
    }

    void exportReport_data()
    {
        QTest::addColumn<QByteArray>("tgz"); // "none": no device image, else its bytes
        QTest::addColumn<QString>("note");
        const QByteArray valid = TgzImage::encode(QImage(QSize(200, 80), QImage::Format_ARGB32));
        QTest::newRow("no device artwork") << QByteArray("none")
                                           << "Note: this element has no device artwork — the dash paints nothing";
        QTest::newRow("decoded") << valid << "mask.png was decoded from mask.tgz, the file the dash itself paints.";
        QTest::newRow("unreadable") << QByteArray("junk") << "Note: the device file could not be read";
    }
    void exportReport()
    {
        QFETCH(QByteArray, tgz);
        QFETCH(QString, note);
        QVERIFY(rs3->addArtItem(Rs3Fixture::Stable, kArt, QSize(200, 80)));
        if (tgz != "none")
            QVERIFY(rs3->writeFile(Rs3Fixture::Stable, QString(kArt) + "mask.tgz", tgz));
        ConfigFixture cfg;
        auto art = [&](const QString& id) {
            FixtureElement m = Fx::mask(id, 0, 0, 210, 80).p("PATH_REL_AiM_MASK", kArt);
            return tgz == "none" ? m : m.p("PATH_IMAGE_SFONDO_FW", "mask.tgz");
        };
        cfg.device().page(QStringLiteral("Main")).mask(art("md")).mask(art("x<y")).mask(art("p&q"));
        open(cfg);
        const QString folder = TestEnvironment::makeTempDir(QStringLiteral("a<b&c"));
        asker->fileNames << folder;
        QString report;
        Qt::TextFormat format = Qt::PlainText;
        const auto open = pressButton(QStringLiteral("Open folder"));
        asker->onExec = [&](QDialog* dialog) {
            auto* box = static_cast<QMessageBox*>(dialog);
            format = box->textFormat();
            report = box->text();
            return open(dialog);
        };
        window->exportElementArtwork(0);
        QCOMPARE(asker->asked.at(asker->asked.size() - 2).title, QStringLiteral("Artwork exported"));
        QCOMPARE(format, Qt::RichText);

        QTextDocument shown;
        shown.setHtml(report);
        const QString text = shown.toPlainText();
        QVERIFY2(text.startsWith(QStringLiteral("%1 file(s) written to\n%2\n").arg(QString::number(
                     QDir(folder).entryList(QDir::Files).size()), QDir::toNativeSeparators(folder))), qPrintable(text));
        const QStringList order{QStringLiteral("keep it at exactly 210 x 80 pixels"), note,
                                QStringLiteral("Note: the exported art is 200 x 80, which does not match this "
                                               "element's declared 210 x 80. That mismatch is already on the element."),
                                QStringLiteral("This artwork is shared with: Main / x<y, Main / p&q."),
                                QStringLiteral("README.txt in the folder has the rest.")};
        int at = 0;
        for (const QString& piece : order) {
            const int found = int(text.indexOf(piece, at));
            QVERIFY2(found >= at, qPrintable(piece + QStringLiteral("\n--- in ---\n") + text));
            at = found + int(piece.size());
        }
        QCOMPARE(text.count(QStringLiteral("Note:")), tgz == "none" || tgz == "junk" ? 2 : 1);
        QCOMPARE(asker->count("folder-open"), 1);
        QCOMPARE(asker->asked.last().text, folder);
    }

    void exportCancelledOrRefused()
    {
        QVERIFY(rs3->addArtItem(Rs3Fixture::Stable, kArt, QSize(200, 80)));
        ConfigFixture cfg;
        cfg.device().page(QStringLiteral("Main")).mask(Fx::mask("md", 0, 0, 200, 80).p("PATH_REL_AiM_MASK", kArt));
        open(cfg);
        window->exportElementArtwork(0);
        QCOMPARE(asker->count("folder"), 1);
        QCOMPARE(asker->asked.size(), 1);

        // The art's own folder, reached through a name that looks like markup,
        // is refused; the reason is shown as plain text.
        const QString link = TestEnvironment::makeTempDir(QStringLiteral("link")) + "/<b>&art";
        QVERIFY(QFile::link(rs3->absolutePath(Rs3Fixture::Stable, kArt), link));
        asker->fileNames << link;
        window->exportElementArtwork(0);
        const QString text = asker->asked.last().text;
        QCOMPARE(asker->asked.last().title, QStringLiteral("Export artwork"));
        QVERIFY(text.startsWith(QStringLiteral("Could not export the artwork.\n\n")));
        QVERIFY(text.contains(link));
        QVERIFY(!Qt::mightBeRichText(text));
        QCOMPARE(asker->count("exec"), 0);
    }
};

KORV_TEST_MAIN(AddActionsTest)
#include "tst_addactions.moc"
