#include "window/MainWindow.h"
#include "canvas/DashCanvas.h"
#include "model/XmlParams.h"
#include "panels/BoxStyleDialog.h"
#include "panels/IconPreviewDialog.h"
#include "panels/MultiBoxDialog.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/FileSizeLimit.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QDir>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QUndoStack>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>

// The box designer, colour bar and icon preview actions on a shown window
// opened on a copy of the demo configuration.
class MainWindowArtTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> rs3;
    std::unique_ptr<MainWindow> window;
    DashConfig* config = nullptr;
    QUndoStack* stack = nullptr;
    ScriptedAsker* asker = nullptr;

    QString status() const { return window->statusBar()->currentMessage(); }
    const MaskElement& mask(int index) const { return config->pages[0].masks[size_t(index)]; }

    // Accepts the box designer after `fill` changed its controls.
    void acceptDesigner(const std::function<void(BoxStyleDialog*)>& fill)
    {
        asker->onExec = [fill](QDialog* dialog) {
            auto* designer = qobject_cast<BoxStyleDialog*>(dialog);
            if (!designer)
                return int(QDialog::Rejected);
            fill(designer);
            designer->onAccept();
            return designer->result();
        };
    }

    // The demo's digit as RS3 places a stock digit: its art item in the
    // install, named by the mask.
    void giveDigitStockArt()
    {
        const QString origin = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s01/digit/Items/a/");
        QVERIFY(rs3->addArtItem(Rs3Fixture::Stable, origin, QSize(mask(1).w, mask(1).h)));
        setParam(config->pages[0].masks[1].node, "PATH_REL_AiM_MASK", origin.toUtf8());
    }

    void chooseStyle(const QString& id)
    {
        acceptDesigner([id](BoxStyleDialog* d) {
            auto* styles = d->findChild<QListWidget*>();
            for (int i = 0; i < styles->count(); ++i) {
                if (styles->item(i)->data(Qt::UserRole).toString() == id)
                    styles->setCurrentRow(i);
            }
        });
    }

private Q_SLOTS:
    void init()
    {
        rs3 = std::make_unique<Rs3Fixture>();
        rs3->addDeviceFolder(Rs3Fixture::Stable, QStringLiteral("mxg_12"));
        asker = new ScriptedAsker;
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        QVERIFY(!path.isEmpty());
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->loadConfig(path);
        config = window->findChild<DashCanvas*>()->config;
        stack = window->findChild<QUndoStack*>();
    }

    void cleanup()
    {
        window.reset();
        delete asker;
        rs3.reset();
    }

    void refusals_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("mask");
        QTest::addColumn<QString>("message");
        QTest::newRow("box on a bar") << 0 << 2 << "Box style is only available for numeric (Digit) widgets";
        QTest::newRow("colour bar on a digit") << 1 << 1 << "Bar color is only available for bargraph widgets";
        QTest::newRow("icon preview on a digit") << 2 << 1 << "Icon preview is only available for icon elements";
    }
    void refusals()
    {
        QFETCH(int, action);
        QFETCH(int, mask);
        QFETCH(QString, message);
        if (action == 0)
            window->applyBoxStyle(mask);
        else if (action == 1)
            window->applyColorBar(mask);
        else
            window->setIconPreview(mask);
        QCOMPARE(status(), message);
        QCOMPARE(stack->count(), 0);
        QCOMPARE(asker->count(QStringLiteral("exec")), 0);
        window->statusBar()->showMessage(QStringLiteral("before"));
        window->applyBoxStyle(99);
        window->setIconPreview(-1);
        QCOMPARE(status(), QStringLiteral("before"));
    }

    // A Digit beside a Ring is a gauge, a Bargraph beside a Digit a value
    // box: neither may be restyled as the plain kind.
    void mixedWidgetRefusals_data()
    {
        QTest::addColumn<QString>("extra");
        QTest::addColumn<int>("mask");
        QTest::addColumn<bool>("box");
        QTest::addColumn<QString>("message");
        QTest::newRow("digit with a ring") << "Ring" << 1 << true
                                           << "Box style is only available for numeric (Digit) widgets";
        QTest::newRow("bar with a digit") << "Digit" << 2 << false
                                          << "Bar color is only available for bargraph widgets";
    }
    void mixedWidgetRefusals()
    {
        QFETCH(QString, extra);
        QFETCH(int, mask);
        QFETCH(bool, box);
        QFETCH(QString, message);
        pugi::xml_node node = config->pages[0].masks[size_t(mask)].node;
        node.append_child("e").append_attribute("c").set_value(extra.toUtf8().constData());
        const QByteArray before = ConfigSnapshot::records(*config);
        box ? window->applyBoxStyle(mask) : window->applyColorBar(mask);
        QCOMPARE(status(), message);
        QCOMPARE(stack->count(), 0);
        QCOMPARE(asker->count(QStringLiteral("exec")), 0);
        QCOMPARE(ConfigSnapshot::records(*config), before);
    }

    // With the digit's stock art in the install a box is drawn, and "clean"
    // takes it off again; every undo gives back the configuration, its
    // sidecars and the art files as they were.
    void boxAppliedAndRemoved()
    {
        giveDigitStockArt();
        const QByteArray records = ConfigSnapshot::records(*config);
        const QMap<QString, QByteArray> art = rs3->snapshot();

        chooseStyle(QStringLiteral("panel_dark"));
        window->applyBoxStyle(1);
        QCOMPARE(status(), QStringLiteral("Applied box style \"panel_dark\""));
        QCOMPARE(stack->count(), 1);
        const QByteArray styledRecords = ConfigSnapshot::records(*config);
        const QMap<QString, QByteArray> styledArt = rs3->snapshot();
        QVERIFY(styledArt != art);

        chooseStyle(QStringLiteral("clean"));
        window->applyBoxStyle(1);
        QCOMPARE(status(), QStringLiteral("Removed box from digit"));
        QCOMPARE(stack->count(), 2);
        QCOMPARE(stack->text(1), QStringLiteral("Remove box"));

        stack->undo();
        QCOMPARE(ConfigSnapshot::records(*config), styledRecords);
        QCOMPARE(rs3->snapshot(), styledArt);
        // The box's own item stays in the install once written (RS3 may
        // already list it); everything that was there before is as it was.
        stack->undo();
        QCOMPARE(ConfigSnapshot::records(*config), records);
        QMap<QString, QByteArray> after = rs3->snapshot();
        for (auto it = after.begin(); it != after.end();)
            it = art.contains(it.key()) ? std::next(it) : after.erase(it);
        QCOMPARE(after, art);
    }

    // RS3 keeps the preview image open while it shows the configuration:
    // the box still reaches the device art, and the user learns why RS3's
    // view is stale. A directory stands in for the locked file (tests run
    // as root, which ignores read-only modes).
    void lockedPreviewImage()
    {
        giveDigitStockArt();
        chooseStyle(QStringLiteral("panel_dark"));
        window->applyBoxStyle(1);
        QCOMPARE(stack->count(), 1);
        QString preview;
        QDirIterator it(rs3->root(Rs3Fixture::Stable), {QStringLiteral("mask.png")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.contains(QLatin1String("/s04_homebrew/")))
                preview = path;
        }
        QVERIFY(!preview.isEmpty());
        stack->undo();
        QFile::remove(preview);
        QVERIFY(QDir().mkpath(preview));

        chooseStyle(QStringLiteral("panel_dark"));
        window->applyBoxStyle(1);
        // The user is left reading why RS3's view is stale, not a success note.
        QVERIFY2(status().contains(QLatin1String("locked its preview image")), qPrintable(status()));
        QCOMPARE(stack->count(), 1);
    }

    void designerWithoutChange()
    {
        const QByteArray before = ConfigSnapshot::records(*config);
        window->statusBar()->showMessage(QStringLiteral("before"));
        acceptDesigner([](BoxStyleDialog*) {});
        window->applyBoxStyle(1);
        QCOMPARE(asker->count(QStringLiteral("exec")), 1);
        QCOMPARE(stack->count(), 0);
        QCOMPARE(status(), QStringLiteral("before"));
        QCOMPARE(ConfigSnapshot::records(*config), before);
    }

    void designerSizeOnly()
    {
        const QSize before(mask(1).w, mask(1).h);
        QSize chosen;
        acceptDesigner([&chosen](BoxStyleDialog* d) {
            auto* sizes = d->findChild<QComboBox*>();
            sizes->setCurrentIndex(sizes->count() - 1);
            d->onAccept();
            chosen = d->chosenSize();
        });
        window->applyBoxStyle(1);
        if (!chosen.isValid() || chosen == before)
            QSKIP("the demo mask already has the last preset size");
        QCOMPARE(stack->count(), 1);
        QCOMPARE(QSize(mask(1).w, mask(1).h), chosen);
        QCOMPARE(status(), QStringLiteral("Resized digit to %1 x %2").arg(chosen.width()).arg(chosen.height()));
        stack->undo();
        QCOMPARE(QSize(mask(1).w, mask(1).h), before);
    }

    // "Use channel name" puts in the channel the box shows (the demo's
    // md.01 shows Speed), not the mask's id.
    void useChannelNameFillsTheChannel()
    {
        QString caption;
        asker->onExec = [&caption](QDialog* dialog) {
            auto* designer = qobject_cast<BoxStyleDialog*>(dialog);
            if (!designer)
                return int(QDialog::Rejected);
            for (QPushButton* button : designer->findChildren<QPushButton*>()) {
                if (button->text() == QStringLiteral("Use channel name") && button->isEnabled())
                    button->click();
            }
            caption = designer->caption();
            return int(QDialog::Rejected);
        };
        window->applyBoxStyle(1);
        QCOMPARE(caption, QStringLiteral("Speed"));
    }

    void designerTextColourOnly()
    {
        window->statusBar()->showMessage(QStringLiteral("before"));
        acceptDesigner([](BoxStyleDialog* d) { d->setTextColor(QColor(0x12, 0x34, 0x56)); });
        window->applyBoxStyle(1);
        QCOMPARE(stack->count(), 1);
        QCOMPARE(stack->text(0), QStringLiteral("Text colour"));
        int texts = 0;
        for (int i = 0; i < int(mask(1).widgets.size()); ++i) {
            const int kind = mask(1).widgets[size_t(i)].kind;
            if (kind == WidgetLabel || kind == WidgetDigit) {
                ++texts;
                QCOMPARE(config->textColour(0, 1, i), QStringLiteral("0xff123456"));
            }
        }
        QCOMPARE(stack->command(0)->childCount(), texts);
        QCOMPARE(status(), QStringLiteral("before"));
    }

    // A box or colour bar that cannot be drawn says why, and leaves no
    // history entry, no file and no change behind.
    void restyleFailureNamesTheCause_data()
    {
        QTest::addColumn<bool>("box");
        // 0 as the demo is, 1 no art path, 2 no install, 3 a copy with no
        // origin, 4 the same given "Clean (no box)"
        QTest::addColumn<int>("setup");
        QTest::addColumn<QString>("cause");
        const QString item = QStringLiteral("the RaceStudio 3 item this element was placed from "
                                            "(aim/resources/overlay/mxg_12/masks/set/standard/s02/p01/Items/");
        QTest::newRow("box, item not installed") << true << 0 << item + "a_num/) is not in the install at ";
        QTest::newRow("box, not placed from RS3")
            << true << 1 << "this box has no RaceStudio 3 artwork to start from";
        QTest::newRow("box, no install") << true << 2 << "no RaceStudio 3 install was found at /nowhere/RaceStudio3 or /nowhere/beta. ";
        QTest::newRow("box, copy without origin") << true << 3 << "its artwork is already a Korvelanto box";
        // Its advice is not to choose what was chosen.
        QTest::newRow("box removed, copy without origin")
            << true << 4 << "its artwork is already a Korvelanto box, and the RaceStudio 3 item it was made from "
                            "is not recorded for it";
        QTest::newRow("bar, item not installed") << false << 0 << item + "b_hbar/) is not in the install at ";
        QTest::newRow("bar, not placed from RS3")
            << false << 1 << "this bar has no RaceStudio 3 artwork to start from";
        QTest::newRow("bar, no install") << false << 2 << "no RaceStudio 3 install was found at /nowhere/RaceStudio3 or /nowhere/beta. ";
        QTest::newRow("bar, copy without origin") << false << 3 << "its artwork is already a recoloured copy";
    }
    void restyleFailureNamesTheCause()
    {
        QFETCH(bool, box);
        QFETCH(int, setup);
        QFETCH(QString, cause);
        const int index = box ? 1 : 2;
        pugi::xml_node node = config->pages[0].masks[size_t(index)].node;
        if (setup == 1)
            removeParams(node, "PATH_REL_AiM_MASK");
        if (setup == 2)
            QSettings().setValue(QStringLiteral("paths/raceStudio3Root"), QStringLiteral("/nowhere/RaceStudio3"));
        if (setup == 2)
            QSettings().setValue(QStringLiteral("paths/raceStudio3BetaRoot"), QStringLiteral("/nowhere/beta"));
        if (setup == 4) // a box of its own art, so "Clean (no box)" is a change
            setParam(node, "PATH_IMAGE_SFONDO_FW", "mask.tgz");
        if (setup >= 3)
            setParam(node, "PATH_REL_AiM_MASK",
                     box ? "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbox_x/Items/box_a/"
                         : "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbar_x/Items/b/");
        // A coloured bar is known by its stamp or its record, not by its
        // folder's name: here a record that lost the stock item.
        if (setup >= 3 && !box)
            QVERIFY(config->saveBarColorSidecar(
                {{config->sidecarKey(0, index, SidecarStore::BarColors), BarColorRecord{true, 8000, {}, {}}}}));
        const QByteArray before = ConfigSnapshot::records(*config);
        const QMap<QString, QByteArray> art = rs3->snapshot();
        chooseStyle(setup == 4 ? QStringLiteral("clean") : QStringLiteral("panel_dark"));
        box ? window->applyBoxStyle(index) : window->applyColorBar(index);
        QVERIFY2(!status().contains(QLatin1String("Choose \"Clean (no box)\"")) || setup != 4, qPrintable(status()));
        const QString failed = box ? QStringLiteral("Box style apply failed — ") : QStringLiteral("Bar color apply failed — ");
        QVERIFY2(status().startsWith(failed + cause), qPrintable(status()));
        // The whole text, which the status bar cuts at the window's width,
        // is in a message box titled after the action.
        QCOMPARE(asker->count(QStringLiteral("message")), 1);
        QCOMPARE(asker->asked.last().title, box ? QStringLiteral("Box style") : QStringLiteral("Color bar"));
        QCOMPARE(asker->asked.last().text, status());
        QCOMPARE(stack->count(), 0);
        QCOMPARE(rs3->snapshot(), art);
        QCOMPARE(ConfigSnapshot::records(*config), before);
    }

    // A Color bar or Apply box style refused because its record cannot be
    // written (a folder in the record file's place), or because the install
    // is full part way through the art: the installs are as they were, with
    // no set or item of the refused art, and the message does not say that
    // new artwork is in place.
    void refusedRestyleLeavesNoArt_data()
    {
        QTest::addColumn<bool>("box");
        QTest::addColumn<bool>("full");
        // (A record that cannot be written stops the save instead: the
        // records wait for it.)
        QTest::newRow("colour, install full") << false << true;
        QTest::newRow("box, install full") << true << true;
    }
    void refusedRestyleLeavesNoArt()
    {
        QFETCH(bool, box);
        QFETCH(bool, full);
        if (box) {
            giveDigitStockArt();
        } else {
            const QString bar = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/bar/Items/b1/");
            QVERIFY(rs3->addArtItem(Rs3Fixture::Stable, bar, QSize(300, 60), QColor(220, 220, 220)));
            setParam(config->pages[0].masks[2].node, "PATH_REL_AiM_MASK", bar.toUtf8());
        }
        if (!full)
            QVERIFY(QDir().mkpath(box ? config->boxStylesSidecarPath() : config->barColorSidecarPath()));
        const QMap<QString, QByteArray> art = rs3->snapshot();
        const QByteArray documents = ConfigSnapshot::documents(*config);
        chooseStyle(QStringLiteral("panel_dark"));
        {
            // Room for the records, not for a picture.
            std::unique_ptr<FileSizeLimit::Scope> limit;
            if (full)
                limit = std::make_unique<FileSizeLimit::Scope>(300);
            box ? window->applyBoxStyle(1) : window->applyColorBar(2);
        }
        QVERIFY2(status().startsWith(box ? QStringLiteral("Box style apply failed")
                                         : QStringLiteral("Bar color apply failed")),
                 qPrintable(status()));
        QVERIFY2(!status().contains(QLatin1String("in place")), qPrintable(status()));
        if (!full)
            QVERIFY2(status().contains(QLatin1String("removed again")), qPrintable(status()));
        QCOMPARE(stack->count(), 0);
        QCOMPARE(ConfigSnapshot::documents(*config), documents);
        QCOMPARE(rs3->snapshot(), art);
    }

    // The bar colour records wait for the save, so a store that cannot be
    // written stops the save, not Color…: the file stays as it was saved,
    // and the next save, with the way clear, writes both.
    void barRecordsThatCannotBeWrittenStopTheSave()
    {
        const QString bar = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/bar/Items/b1/");
        QVERIFY(rs3->addArtItem(Rs3Fixture::Stable, bar, QSize(300, 60), QColor(220, 220, 220)));
        setParam(config->pages[0].masks[2].node, "PATH_REL_AiM_MASK", bar.toUtf8());
        QVERIFY(window->save());
        const QByteArray saved = TestFiles::readBytes(config->zconf2Path);
        QVERIFY(QDir().mkpath(config->barColorSidecarPath()));
        window->applyColorBar(2);
        QVERIFY2(status().startsWith(QStringLiteral("Applied")), qPrintable(status()));
        const int messages = asker->count(QStringLiteral("message"));
        QVERIFY(!window->save());
        QCOMPARE(asker->count(QStringLiteral("message")), messages + 1);
        QVERIFY2(asker->asked.last().text.contains(QLatin1String("records kept beside the file could not be written")),
                 qPrintable(asker->asked.last().text));
        QCOMPARE(TestFiles::readBytes(config->zconf2Path), saved);
        QVERIFY(window->hasUnsavedChanges());
        QVERIFY(QDir(config->barColorSidecarPath()).removeRecursively());
        QVERIFY(window->save());
        DashConfig reread;
        QVERIFY(reread.load(config->zconf2Path));
        QVERIFY(reread.loadBarColorSidecar().value(reread.sidecarKey(0, 2, SidecarStore::BarColors)).colored);
    }

    // Discard on close takes back every write of the session: reopened,
    // the file, its sidecars and the art the saved file uses are as saved.
    void discardOnCloseKeepsTheSavedState()
    {
        giveDigitStockArt();
        const QString bar = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/bar/Items/b1/");
        QVERIFY(rs3->addArtItem(Rs3Fixture::Stable, bar, QSize(40, 20), QColor(220, 220, 220)));
        setParam(config->pages[0].masks[2].node, "PATH_REL_AiM_MASK", bar.toUtf8());
        const QString path = config->zconf2Path;
        QVERIFY(window->save());
        QVERIFY(window->save()); // a second save shows the saved state is stable
        const auto sidecarBytes = [&] {
            QMap<QString, QByteArray> out;
            for (const QString& file : {config->boxStylesSidecarPath(), config->multiBoxSidecarPath(),
                                        config->barColorSidecarPath(), config->iconPreviewSidecarPath()}) {
                QFile f(file);
                out.insert(file, f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>"));
            }
            return out;
        };
        DashConfig saved;
        QVERIFY(saved.load(path));
        const QByteArray savedXml = ConfigSnapshot::documents(saved);
        const QMap<QString, QByteArray> savedSidecars = sidecarBytes();
        const QMap<QString, QByteArray> savedArt = rs3->snapshot();

        chooseStyle(QStringLiteral("panel_dark"));
        window->applyBoxStyle(1);
        window->applyColorBar(2);
        QImage picture(800, 480, QImage::Format_ARGB32);
        picture.fill(Qt::blue);
        const QString file = TestEnvironment::makeTempDir(QStringLiteral("bkg")) + "/blue.png";
        QVERIFY(picture.save(file));
        asker->fileNames = {file};
        asker->buttons = {QMessageBox::Yes};
        window->setPageBackground();
        QCOMPARE(stack->count(), 3);
        // The records wait for the save: Discard has none to take back.
        QCOMPARE(sidecarBytes(), savedSidecars);

        asker->buttons = {QMessageBox::Discard};
        QVERIFY(window->close());
        DashConfig reopened;
        QVERIFY(reopened.load(path));
        QCOMPARE(ConfigSnapshot::documents(reopened), savedXml);
        QCOMPARE(sidecarBytes(), savedSidecars);
        // Art the session added may stay; everything the saved file uses is
        // as it was.
        QMap<QString, QByteArray> art = rs3->snapshot();
        for (auto it = art.begin(); it != art.end();)
            it = savedArt.contains(it.key()) ? std::next(it) : art.erase(it);
        QCOMPARE(art, savedArt);
    }

    // A step whose bar colour or box style record cannot be written (the
    // disk refuses every write past a few bytes) fails whole: no success
    // message, the page, the store and the history as they were, and the
    // window names the file and the system's reason. Once writes go through
    // again, the same step is done.
    void recordWriteFailureChangesNothing_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("failed");
        QTest::addColumn<bool>("box");
        // Every record waits for the save (the saved file keeps its records
        // until then), so a full disk no longer stops these steps. (A redo of
        // Color… after its undo took the colour's art back draws it again,
        // which a full disk does stop.)
        QTest::newRow("duplicate whole box") << "duplicate" << "Duplicate Mask" << QString() << false;
        QTest::newRow("undo color bar") << "undo" << "Undo" << QString() << false;
        QTest::newRow("remove color") << "remove" << "Remove color" << QString() << false;
        QTest::newRow("undo duplicate") << "undo duplicate" << "Undo" << QString() << false;
        QTest::newRow("redo duplicate") << "redo duplicate" << "Redo" << QString() << false;
        QTest::newRow("undo box style") << "undo" << "Undo" << QString() << true;
        QTest::newRow("redo box style") << "redo" << "Redo" << QString() << true;
        QTest::newRow("undo a saved delete of a box") << "undo delete" << "Undo" << QString() << true;
        QTest::newRow("undo a saved delete of its page") << "undo page delete" << "Undo" << QString() << true;
        QTest::newRow("undo a saved clear of its page") << "undo page clear" << "Undo" << QString() << true;
        QTest::newRow("redo convert to multi-value box") << "redo convert" << "Redo" << QString() << true;
    }
    void recordWriteFailureChangesNothing()
    {
        QFETCH(QString, step);
        QFETCH(QString, title);
        QFETCH(QString, failed);
        QFETCH(bool, box);
        failed.replace(QStringLiteral("<id>"), mask(2).id);
        failed.replace(QStringLiteral("<box>"), mask(1).channel.isEmpty() ? mask(1).id : mask(1).channel);
        failed.replace(QStringLiteral("<masks>"), QString::number(config->pages[0].masks.size()));
        if (step == "redo convert") {
            asker->onExec = [](QDialog* dialog) {
                static_cast<MultiBoxDialog*>(dialog)->parseArrangement(QStringLiteral("2x1"));
                dialog->accept();
                return dialog->result();
            };
            window->convertToMultiBox(1);
        } else if (box) {
            giveDigitStockArt();
            chooseStyle(QStringLiteral("panel_dark"));
            window->applyBoxStyle(1);
        } else {
            const QString bar = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/bar/Items/b1/");
            QVERIFY(rs3->addArtItem(Rs3Fixture::Stable, bar, QSize(40, 20), QColor(220, 220, 220)));
            setParam(config->pages[0].masks[2].node, "PATH_REL_AiM_MASK", bar.toUtf8());
            window->applyColorBar(2);
        }
        QCOMPARE(stack->count(), 1);
        const QString storePath = step == "redo convert" ? config->multiBoxSidecarPath()
            : box                                        ? config->boxStylesSidecarPath()
                                                         : config->barColorSidecarPath();
        // Another mask's record: every step below writes more than the disk
        // takes.
        QMap<QString, BarColorRecord> records = config->loadBarColorSidecar();
        records.insert(QStringLiteral("another bar"), BarColorRecord{true, 0.0, QStringLiteral("a/b/"), QString()});
        QVERIFY(config->saveBarColorSidecar(records));
        QMap<QString, BoxStyleRecord> styles = config->loadBoxStyleSidecar();
        styles.insert(QStringLiteral("another box"), BoxStyleRecord{QStringLiteral("panel_dark"), QStringLiteral("a/b/")});
        QVERIFY(config->saveBoxStyleSidecar(styles));
        const auto history = [this](bool back) {
            const QString name = back ? QStringLiteral("&Undo") : QStringLiteral("&Redo");
            for (QAction* action : window->findChildren<QAction*>()) {
                if (action->text().startsWith(name))
                    return action->trigger();
            }
            QFAIL("no history action");
        };
        if (step.startsWith("redo") && !step.endsWith("duplicate"))
            history(true);
        if (step.endsWith("duplicate")) {
            window->findChild<DashCanvas*>()->setSelectedMask(2);
            window->duplicateMask();
            QCOMPARE(stack->count(), 2);
        }
        if (step == "redo duplicate")
            history(true);
        if (step == "undo delete") {
            window->onDeleteRequested(1);
            QVERIFY(window->save());
            QCOMPARE(stack->count(), 2);
        }
        if (step.startsWith("undo page")) {
            asker->buttons = {QMessageBox::Yes};
            step.endsWith("clear") ? window->clearPage() : window->deleteCurrentPage();
            QVERIFY(window->save());
            QCOMPARE(stack->count(), 2);
        }

        const auto storeBytes = [&storePath] {
            QFile f(storePath);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const QByteArray store = storeBytes();
        const QByteArray documents = ConfigSnapshot::documents(*config);
        const int index = stack->index();
        const int count = stack->count();
        const int messages = asker->count(QStringLiteral("message"));
        const auto act = [&] {
            if (step == "duplicate")
                window->duplicateMask();
            else if (step == "remove")
                window->removeBarColor(2);
            else
                history(step.startsWith("undo"));
        };
        {
            FileSizeLimit::Scope full(16);
            act();
        }
        if (failed.isEmpty()) {
            if (step == "remove")
                QCOMPARE(status(), QStringLiteral("Removed bar color"));
            QCOMPARE(asker->count(QStringLiteral("message")), messages);
            QVERIFY(stack->index() != index);
            QCOMPARE(storeBytes(), store);
            return;
        }
        QCOMPARE(asker->count(QStringLiteral("message")), messages + 1);
        QCOMPARE(asker->asked.last().title, title);
        QVERIFY2(asker->asked.last().text.startsWith(failed + storePath + ": File too large"),
                 qPrintable(asker->asked.last().text));
        QCOMPARE(status(), asker->asked.last().text);
        QCOMPARE(stack->index(), index);
        QCOMPARE(stack->count(), count);
        QCOMPARE(storeBytes(), store);
        QCOMPARE(ConfigSnapshot::documents(*config), documents);

        act();
        QCOMPARE(asker->count(QStringLiteral("message")), messages + 1);
        QVERIFY2(storeBytes() != store, qPrintable(status()));
        QVERIFY(ConfigSnapshot::documents(*config) != documents);
    }

    void iconPreviewWithoutChoice()
    {
        int page = -1, icon = -1;
        for (int p = 0; p < config->pageCount() && icon < 0; ++p) {
            const auto& masks = config->pages[size_t(p)].masks;
            for (int i = 0; i < int(masks.size()) && icon < 0; ++i) {
                if (masks[size_t(i)].kind == MaskIcon) {
                    page = p;
                    icon = i;
                }
            }
        }
        if (icon < 0)
            QSKIP("the demo has no icon mask");
        window->onPageSelected(page);
        const QByteArray before = ConfigSnapshot::records(*config);
        window->statusBar()->showMessage(QStringLiteral("before"));
        asker->onExec = [](QDialog* d) {
            d->accept();
            return d->result();
        };
        window->setIconPreview(icon);
        QCOMPARE(asker->count(QStringLiteral("exec")), 1);
        QCOMPARE(ConfigSnapshot::records(*config), before);
        QCOMPARE(status(), QStringLiteral("before"));

        // "Remove preview" always accepts, and clears the record.
        asker->onExec = [](QDialog* d) {
            for (QAbstractButton* b : d->findChild<QDialogButtonBox*>()->buttons()) {
                if (b->text() == QStringLiteral("Remove preview"))
                    b->click();
            }
            return d->result();
        };
        window->setIconPreview(icon);
        QCOMPARE(status(), QStringLiteral("Removed icon preview graphic"));
        QVERIFY(config->iconPreviewGraphic(page, icon).isEmpty());
    }
};

KORV_TEST_MAIN(MainWindowArtTest)
#include "tst_mainwindowart.moc"
