#include "window/MainWindow.h"
#include "artwork/ArtworkFiles.h"
#include "canvas/DashCanvas.h"
#include "gallery/ThemeInstaller.h"
#include "model/XmlParams.h"
#include "panels/ElementCatalog.h"
#include "panels/ElementListPanel.h"
#include "panels/PropertyPanel.h"
#include "panels/SwapArtworkDialog.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/QuestionBox.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QDir>
#include <QListWidget>
#include <QMessageBox>
#include <QStatusBar>
#include <QUndoStack>
#include <QtTest>

#include <memory>

namespace {

const QString kStandard = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/");
// Stock art shared by the first three masks.
const QString kShared = kStandard + QStringLiteral("s01/Race/Items/d1/");
// Another item of the same page set, for the swap.
const QString kSibling = kStandard + QStringLiteral("s01/Race/Items/d2/");
const QString kBar = kStandard + QStringLiteral("s02/bar/Items/b1/");
// A private folder whose name is markup.
const QString kPrivate = kStandard + QStringLiteral("s04_homebrew/<b>x/Items/it/");

// RS3's bargraph art: a light lit band over a dark unlit part.
QImage stockBar()
{
    QImage image(40, 20, QImage::Format_ARGB32);
    image.fill(QColor(60, 60, 60));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 40; ++x)
            image.setPixelColor(x, y, QColor(220, 220, 220));
    return image;
}

QString pictureFolder(const QSize& size)
{
    const QString dir = TestEnvironment::makeTempDir(QStringLiteral("picture"));
    QImage image(size, QImage::Format_ARGB32);
    image.fill(QColor(200, 100, 0));
    return image.save(dir + "/mask.png") ? dir : QString();
}

FixtureElement digitMask(const QString& id, int y, const QString& art, bool paints = true)
{
    FixtureElement mask = Fx::mask(id, 10, y, 340, 160).p("PATH_REL_AiM_MASK", art);
    if (paints)
        mask.p("PATH_IMAGE_SFONDO_FW", "mask.tgz");
    return mask.add(Fx::axis(id + "a", "RPM", "RPM", "rpm")).add(Fx::digit(id + "d", 0, 0, 340, 160, id + "a"));
}

// The installed folder as the confirmation shows it.
QString shownFolder(const Rs3Fixture& rs3, const QString& rel)
{
    QString folder = rs3.absolutePath(Rs3Fixture::Stable, rel);
    while (folder.endsWith('/'))
        folder.chop(1);
    return QDir::toNativeSeparators(QDir::cleanPath(folder)).toHtmlEscaped();
}

} // namespace

// Bar colour removal, renaming, artwork replacement and swap on a shown
// window opened on a small configuration over a fixture RS3 tree: masks
// m1..m3 share stock art carried by both installs, "mb" is a stock bar, m4
// paints nothing from a private folder, m5 sits on an item with a sibling.
class ArtworkActionsTest : public QObject {
    Q_OBJECT

    struct Box {
        QString title;
        QString text;
        QStringList buttons;
    };

    std::unique_ptr<Rs3Fixture> rs3;
    std::unique_ptr<ScriptedAsker> asker;
    std::unique_ptr<MainWindow> window;
    DashConfig* config = nullptr;
    QUndoStack* stack = nullptr;
    QString path;
    QList<Box> boxes;
    QStringList clicks; // the button each message box gets, in order

    QString status() const { return window->statusBar()->currentMessage(); }
    QString param(int mask, const char* name) const
    {
        return findParamText(config->pages[0].masks[size_t(mask)].node, name);
    }

    // Message boxes with buttons of their own are run through exec: record
    // each and press the scripted button.
    void scriptBoxes()
    {
        asker->onExec = [this](QDialog* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            if (!box)
                return int(QDialog::Rejected);
            Box seen{box->windowTitle(), box->text(), {}};
            for (QAbstractButton* button : box->buttons())
                seen.buttons << button->text();
            boxes << seen;
            const QString click = clicks.isEmpty() ? QString() : clicks.takeFirst();
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == click)
                    button->click();
            }
            return box->result();
        };
    }

private Q_SLOTS:
    void init()
    {
        rs3 = std::make_unique<Rs3Fixture>();
        QVERIFY(rs3->addNativeElement(Rs3Fixture::Stable, kShared, {"Digit"}, {340, 160}));
        QVERIFY(rs3->addNativeElement(Rs3Fixture::Stable, kSibling, {"Digit"}, {340, 160}));
        QVERIFY(rs3->addArtItem(Rs3Fixture::Beta, kShared, {340, 160}, Qt::blue));
        QVERIFY(rs3->writeFile(Rs3Fixture::Stable, kBar + "mask.png", pngBytes(stockBar())));
        QVERIFY(QDir().mkpath(rs3->absolutePath(Rs3Fixture::Stable, kPrivate)));
        ElementCatalog::resetForTesting();
        ElementCatalog::rebuild();
        ElementCatalog::resetForTesting();

        ConfigFixture cfg;
        cfg.channel(1, "RPM", "RPM", "rpm").channel(2, "Speed", "Speed", "km/h");
        cfg.device().page("Main")
            .mask(digitMask("m1", 10, kShared))
            .mask(digitMask("m2", 180, kShared))
            .mask(digitMask("m3", 350, kShared))
            .mask(Fx::mask("mb", 400, 20, 120, 30)
                      .p("PATH_REL_AiM_MASK", kBar)
                      .add(Fx::axis("ba", "RPM", "RPM", "rpm"))
                      .add(Fx::bargraph("bb", 0, 0, 120, 30, "ba")
                               .p("XEnd1", 100)
                               .p("XEnd2", 100)
                               .p("LINES_X_HOT_MOUSE", "0,0,120,0,120,30,0,30,0,0")
                               .add(Fx::stepScale({{"0", "0"}, {"100", "9000"}}))))
            .mask(digitMask("m4", 300, kPrivate, false))
            .mask(digitMask("m5", 460, kSibling));
        path = cfg.writeTempZip("Race Day.zconf2");
        QVERIFY(!path.isEmpty());

        asker = std::make_unique<ScriptedAsker>();
        boxes.clear();
        clicks.clear();
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->loadConfig(path);
        config = window->findChild<DashCanvas*>()->config;
        stack = window->findChild<QUndoStack*>();
        QCOMPARE(int(config->pages[0].masks.size()), 6);
        QVERIFY(!window->hasUnsavedChanges());
    }

    void cleanup()
    {
        window.reset();
        asker.reset();
        rs3.reset();
        ElementCatalog::resetForTesting();
    }

    void rename_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("name");    // the name afterwards
        QTest::addColumn<QString>("message"); // the status, or the warning
        QTest::newRow("trimmed") << true << "  Sprint <i>1</i> " << "Sprint <i>1</i>"
                                 << "Config renamed to 'Sprint <i>1</i>' — Save to apply.";
        QTest::newRow("unchanged but for blanks") << true << " Test config  " << "Test config" << "";
        QTest::newRow("blank") << true << "   " << "Test config" << "The config name cannot be empty.";
        QTest::newRow("cancelled") << false << "Sprint" << "Test config" << "";
    }
    void rename()
    {
        QFETCH(bool, ok);
        QFETCH(QString, typed);
        QFETCH(QString, name);
        QFETCH(QString, message);
        asker->texts = {qMakePair(ok, typed)};
        window->statusBar()->clearMessage();
        window->renameConfig();
        QCOMPARE(asker->asked.value(0).title, QStringLiteral("Rename Config"));
        QCOMPARE(config->newConfigName, name);
        const bool renamed = name != QStringLiteral("Test config");
        QCOMPARE(window->windowTitle().contains(name), true);
        QCOMPARE(asker->count(QStringLiteral("message")) ? asker->asked.last().text : status(), message);
        QCOMPARE(window->hasUnsavedChanges(), renamed);
        QCOMPARE(stack->count(), 0);
        if (!renamed)
            return;
        QVERIFY(window->save());
        DashConfig reopened;
        QVERIFY(reopened.load(path));
        QCOMPARE(reopened.newConfigName, name);
    }

    void renameWithoutConfig()
    {
        MainWindow empty;
        empty.renameConfig();
        QCOMPARE(asker->asked.value(0).kind, QStringLiteral("message"));
        QCOMPARE(asker->asked.value(0).text, QStringLiteral("Open a config first, then rename it."));
        QCOMPARE(asker->count(QStringLiteral("text")), 0);
    }

    // Writes outside the undo history still count as unsaved: closing asks.
    void writesOutsideUndo_data()
    {
        QTest::addColumn<bool>("swap");
        QTest::newRow("rename") << false;
        QTest::newRow("swap") << true;
    }
    void writesOutsideUndo()
    {
        QFETCH(bool, swap);
        if (swap) {
            asker->onExec = [](QDialog* dialog) {
                auto* list = dialog->findChild<QListWidget*>();
                const QList<QListWidgetItem*> found = list->findItems(QStringLiteral("d1"), Qt::MatchExactly);
                if (found.isEmpty())
                    return int(QDialog::Rejected);
                list->setCurrentItem(found.first());
                dialog->accept();
                return dialog->result();
            };
            window->swapArtwork(5);
            QCOMPARE(status(), QStringLiteral("Swapped artwork — channel, position and size unchanged"));
            QCOMPARE(param(5, "PATH_REL_AiM_MASK"), kShared);
        } else {
            asker->texts = {qMakePair(true, QStringLiteral("Sprint"))};
            window->renameConfig();
        }
        QCOMPARE(stack->count(), 0);
        QVERIFY(window->hasUnsavedChanges());
        asker->buttons = {QMessageBox::Cancel};
        QVERIFY(!window->close());
        QCOMPARE(asker->asked.last().title, QStringLiteral("Unsaved changes"));
    }

    void swapRefusals()
    {
        window->statusBar()->showMessage(QStringLiteral("before"));
        window->swapArtwork(5); // the dialog is cancelled
        window->swapArtwork(6);
        window->swapArtwork(-1);
        QCOMPARE(status(), QStringLiteral("before"));
        QCOMPARE(param(5, "PATH_REL_AiM_MASK"), kSibling);
        removeParams(config->pages[0].masks[5].node, "PATH_REL_AiM_MASK");
        window->swapArtwork(5);
        QCOMPARE(status(), QStringLiteral("This element has no artwork path to swap"));
        QCOMPARE(asker->count(QStringLiteral("exec")), 1);
    }

    void barColour()
    {
        // No record yet: the failure is reported and the history, redo step
        // included, stays as it was.
        window->applyColorBar(3);
        QCOMPARE(stack->count(), 1);
        const QByteArray coloured = ConfigSnapshot::documents(*config);
        stack->undo();
        const QByteArray stock = ConfigSnapshot::documents(*config);
        window->removeBarColor(3);
        QCOMPARE(status(), QStringLiteral("Remove bar color failed — no stored original for this bar"));
        QCOMPARE(stack->count(), 1);
        QCOMPARE(stack->index(), 0);
        QCOMPARE(ConfigSnapshot::documents(*config), stock);

        stack->redo();
        window->removeBarColor(3);
        QCOMPARE(status(), QStringLiteral("Removed bar color"));
        QCOMPARE(stack->count(), 2);
        QCOMPARE(stack->undoText(), QStringLiteral("Remove bar color"));
        // The stock art, fitted to the bar's size.
        QCOMPARE(param(3, "DE_FIT_SRC"), kBar);
        stack->undo();
        QCOMPARE(ConfigSnapshot::documents(*config), coloured);
    }

    void replace_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<QString>("art");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<bool>("backedUp");
        // A configuration in RaceStudio 3's folder that uses the art's
        // homebrew template, by its name; none when empty.
        QTest::addColumn<QString>("user");

        // Filled in replace(), where the fixture's folders are known.
        const QString tail = QStringLiteral("The existing artwork is saved first, and <b>Undo</b> puts it back.");
        QTest::newRow("stock art of three elements in two installs")
            << 0 << kShared
            << QStringLiteral("<b>This is AiM's own artwork, not a private copy.</b><br><code>%1</code><br><br>"
                              "Overwriting it changes <b>every configuration on this computer</b> that uses this "
                              "page set — including configs you are not editing, and configs you make in future. "
                              "Measured: editing one gauge's art this way changed an unrelated config built months "
                              "earlier.<br><br>In <b>this</b> configuration it is also used by: <b>Main / m2, Main / "
                              "m3</b>. Those elements change too.<br><br>2 RaceStudio 3 installs carry this folder "
                              "and all of them will be updated, so they cannot disagree.<br><br>")
                   + tail
            << true << QString();
        // A homebrew template's art: its users are named, whoever was found,
        // and so is what the search could not read.
        const QString users = QStringLiteral(
            "<b>It belongs to the homebrew template \"&lt;b&gt;x\": every configuration that uses the template "
            "shows the new artwork.</b><br>&quot;&lt;b&gt;x&quot; is used by:<br>    Race Day.zconf2  (1 reference(s))"
            "%1<br><br>Only the open configuration, RaceStudio 3's configurations folder and the configurations "
            "Korvelanto saved were searched: a configuration copied or saved anywhere else (a kept copy, a file saved "
            "by another program, or pages open in another window) that uses it loses or changes its background and "
            "pictures.<br><br>The configurations the online gallery "
            "installed, in %2, were not searched either.<br><br>");
        const QString galleryFolder =
            QDir::toNativeSeparators(gallery::ThemeInstaller::defaultConfigFolder()).toHtmlEscaped();
        const QString nothingPainted = QStringLiteral("This element currently paints nothing on the dash. The import "
                                                      "will point it at the new artwork so it does.<br><br>");
        const QString privateFolder = QStringLiteral("This artwork lives in a Korvelanto folder:<br><code>%1</code>"
                                                     "<br><br>");
        QTest::newRow("empty private folder named as markup")
            << 4 << kPrivate << privateFolder + users.arg(QString(), galleryFolder) + nothingPainted + tail << false
            << QString();
        QTest::newRow("homebrew template used by a configuration in RaceStudio 3's folder")
            << 4 << kPrivate
            << privateFolder + users.arg(QStringLiteral("<br>    My &lt;Race&gt;  (1 reference(s))"), galleryFolder)
                   + nothingPainted
                   + tail
            << false << QStringLiteral("My <Race>");
    }
    void replace()
    {
        QFETCH(int, mask);
        QFETCH(QString, art);
        QFETCH(QString, confirmation);
        QFETCH(bool, backedUp);
        QFETCH(QString, user);
        if (!user.isEmpty())
            rs3->addUserConfig(Rs3Fixture::Stable, QStringLiteral("cfg_001"), user,
                               {QStringLiteral("<e c=\"GMaskParam\"><p n=\"PATH_REL_AiM_MASK\">%1</p></e>")
                                    .arg(kPrivate.toHtmlEscaped())
                                    .toUtf8()});
        scriptBoxes();
        const QString source = pictureFolder(QSize(340, 160));
        const auto installed = rs3->snapshot();
        const QByteArray oldArt =
            Rs3Fixture::treeSnapshot(rs3->absolutePath(Rs3Fixture::Stable, art)).value("mask.png");

        // Cancel at the confirmation changes nothing.
        asker->fileNames = {source};
        clicks = {QStringLiteral("Cancel")};
        window->replaceArtwork(mask);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].title, QStringLiteral("Replace artwork"));
        QCOMPARE(boxes[0].text, confirmation.arg(shownFolder(*rs3, art)));
        QCOMPARE(rs3->snapshot(), installed);
        QCOMPARE(stack->count(), 0);

        asker->fileNames = {source};
        clicks = {QStringLiteral("Overwrite artwork"), QStringLiteral("Open saved artwork")};
        window->replaceArtwork(mask);
        QCOMPARE(boxes.size(), 3);
        QCOMPARE(stack->count(), 1);
        QVERIFY(rs3->snapshot() != installed);
        const Box& result = boxes[2];
        QCOMPARE(result.buttons.contains(QStringLiteral("Open saved artwork")), backedUp);
        QCOMPARE(asker->count(QStringLiteral("folder-open")), backedUp ? 1 : 0);
        if (backedUp) {
            const QString saved = asker->asked.last().text;
            QVERIFY(result.text.startsWith(QStringLiteral("<b>Artwork replaced.</b><br><br>The artwork that was "
                                                          "there is saved in<br><code>%1</code>")
                                               .arg(QDir::toNativeSeparators(saved).toHtmlEscaped())));
            QCOMPARE(Rs3Fixture::treeSnapshot(saved).value("mask.png"), oldArt);
        } else {
            QCOMPARE(result.text, QStringLiteral("<b>Artwork replaced.</b><br><br>Undo puts the previous artwork back."));
        }

        stack->undo();
        QCOMPARE(rs3->snapshot(), installed);
    }

    // With 200 configurations in RaceStudio 3's folder using the template,
    // the confirmation names a dozen of them and keeps its buttons on a
    // 1,000-pixel screen; Cancel writes nothing.
    void replaceQuestionWithManyUsersFitsTheScreen()
    {
        const QByteArray device =
            QStringLiteral("<e c=\"GMaskParam\"><p n=\"PATH_REL_AiM_MASK\">%1</p></e>").arg(kPrivate.toHtmlEscaped()).toUtf8();
        for (int i = 0; i < 200; ++i)
            QVERIFY(!rs3->addUserConfig(Rs3Fixture::Stable, QString("cfg_%1").arg(i), QString("Race %1").arg(i),
                                        {device}).isEmpty());
        const auto installed = rs3->snapshot();
        int bottom = -1;
        QString text;
        asker->onExec = [&](QDialog* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            if (!box)
                return int(QDialog::Rejected);
            text = box->text();
            bottom = QuestionBox::bottom(*box);
            return int(QMessageBox::Cancel);
        };
        asker->fileNames = {pictureFolder(QSize(340, 160))};
        window->replaceArtwork(4);
        QVERIFY2(text.contains("    Race 10  (1 reference(s))") && text.contains("and 190 more"), qPrintable(text));
        QVERIFY(bottom > 0 && bottom <= 1000);
        QCOMPARE(rs3->snapshot(), installed);
        QCOMPARE(stack->count(), 0);
    }

    // After a replacement or a swap every view shows the element once more,
    // and a channel picked in the panel binds it.
    void artworkChangeKeepsTheSelection_data()
    {
        QTest::addColumn<bool>("swap");
        QTest::addColumn<int>("mask");
        QTest::newRow("replace") << false << 0;
        QTest::newRow("swap") << true << 5;
    }
    void artworkChangeKeepsTheSelection()
    {
        QFETCH(bool, swap);
        QFETCH(int, mask);
        auto* canvas = window->findChild<DashCanvas*>();
        auto* outliner = window->findChild<ElementListPanel*>();
        auto* panel = window->findChild<PropertyPanel*>();
        const auto expectShown = [&] {
            QCOMPARE(canvas->selectedMask(), mask);
            QCOMPARE(canvas->selectedWidget(), -1);
            QTreeWidgetItem* row = outliner->currentItem();
            QVERIFY(row && row->isSelected());
            QCOMPARE(row->data(0, ElementListPanel::MaskIndexRole).toInt(), mask);
            QCOMPARE(row->data(0, ElementListPanel::WidgetIndexRole).toInt(), -1);
            QCOMPARE(panel->findChild<QLabel*>(QStringLiteral("idLabel"))->text(),
                     config->pages[0].masks[size_t(mask)].id);
        };
        canvas->setSelectedMask(mask); // as the context click does
        expectShown();
        if (QTest::currentTestFailed())
            return;
        if (swap) {
            asker->onExec = [](QDialog* dialog) {
                auto* list = dialog->findChild<QListWidget*>();
                list->setCurrentItem(list->findItems(QStringLiteral("d1"), Qt::MatchExactly).value(0));
                dialog->accept();
                return dialog->result();
            };
            window->swapArtwork(mask);
            QCOMPARE(param(mask, "PATH_REL_AiM_MASK"), kShared);
        } else {
            scriptBoxes();
            asker->fileNames = {pictureFolder(QSize(340, 160))};
            clicks = {QStringLiteral("Overwrite artwork"), QStringLiteral("OK")};
            window->replaceArtwork(mask);
            QCOMPARE(stack->count(), 1);
        }
        expectShown();
        if (QTest::currentTestFailed())
            return;

        auto* channel = panel->findChild<QComboBox*>(QStringLiteral("channelCombo"));
        channel->setCurrentIndex(channel->findText(QStringLiteral("Speed (km/h)")));
        QCOMPARE(config->pages[0].masks[size_t(mask)].channel, QStringLiteral("Speed"));
        expectShown();
    }

    // A picture of the wrong size, scaled on the user's word: asked once,
    // then written at the element's size.
    void replaceScaled()
    {
        scriptBoxes();
        asker->fileNames = {pictureFolder(QSize(170, 80))};
        clicks = {QStringLiteral("Scale it to 340 x 160"), QStringLiteral("Overwrite artwork"), QStringLiteral("OK")};
        window->replaceArtwork(0);
        QCOMPARE(boxes.size(), 3);
        QCOMPARE(boxes[0].title, QStringLiteral("Wrong size"));
        QCOMPARE(boxes[1].title, QStringLiteral("Replace artwork"));
        QCOMPARE(stack->count(), 1);
        const QImage written(rs3->absolutePath(Rs3Fixture::Beta, kShared + "mask.png"));
        QCOMPARE(written.size(), QSize(340, 160));
        QCOMPARE(written.pixelColor(170, 80).rgb(), QColor(200, 100, 0).rgb());

        // Refused at the same question, nothing happens.
        clicks = {QStringLiteral("Cancel")};
        asker->fileNames = {pictureFolder(QSize(170, 80))};
        window->replaceArtwork(1);
        QCOMPARE(boxes.size(), 4);
        QCOMPARE(stack->count(), 1);
    }
};

KORV_TEST_MAIN(ArtworkActionsTest)
#include "tst_artworkactions.moc"
