#include "DemoStock.h"
#include "window/MainWindow.h"
#include "artwork/BarColorSnapshot.h"
#include "artwork/BoxStyleLibrary.h"
#include "artwork/HomebrewItems.h"
#include "canvas/DashCanvas.h"
#include "editing/ReorderMaskCommand.h"
#include "model/XmlParams.h"
#include "panels/MultiBoxDialog.h"
#include "support/ConfigFixture.h"
#include "support/DemoArtSession.h"
#include "support/FileSizeLimit.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QUndoStack>
#include <QtTest>

#include <memory>

// The records and art folders of the demo's masks through their lifetime:
// a deleted mask leaves nothing to a later namesake, a duplicate shares the
// original's art without rewriting it, and art the user replaced and saved
// stays as saved whatever is undone afterwards.
class DemoRecordsTest : public QObject, DemoArtSession {
    Q_OBJECT

    // Duplicates the mask through the window; the copy's index.
    int duplicate(int page, int mask)
    {
        select(page, mask);
        window->findChild<DashCanvas*>()->setSelectedMask(mask);
        const size_t before = config->pages[size_t(page)].masks.size();
        window->duplicateMask();
        return config->pages[size_t(page)].masks.size() == before + 1 ? int(before) : -1;
    }

    // A message box titled `title` named the element.
    bool warned(const QString& title, int page, int mask) const
    {
        for (const ScriptedAsker::Asked& a : asker->asked) {
            if (a.title == title && a.text.contains(config->elementLabel(page, mask) + '\n'))
                return true;
        }
        return false;
    }

    // Both installs hold the folder, with the same files.
    bool installsHoldTheSame(const QString& folder) const
    {
        const auto beta = Rs3Fixture::treeSnapshot(rs3->absolutePath(Rs3Fixture::Beta, folder));
        return !beta.isEmpty() && beta == Rs3Fixture::treeSnapshot(rs3->absolutePath(Rs3Fixture::Stable, folder));
    }

    QImage replacementPicture(int page, int mask, const QString& folder) const
    {
        const MaskElement& m = config->pages[size_t(page)].masks[size_t(mask)];
        QImage picture(m.w, m.h, QImage::Format_ARGB32);
        picture.fill(QColor(200, 40, 160));
        return picture.save(folder + "/mask.png") ? picture : QImage();
    }

    // A folder to replace the mask's art from: its picture and an m4on0.png
    // of the colour.
    QString replacementFolder(int page, int mask, const QColor& lit) const
    {
        const QString folder = TestEnvironment::makeTempDir(QStringLiteral("art"));
        if (replacementPicture(page, mask, folder).isNull()
            || !TestFiles::writeBytes(folder + "/m4on0.png", TestFiles::pngBytes(QSize(8, 8), lit)))
            return {};
        return folder;
    }

    // Replaces the mask's art from the folder; the text of the question.
    QString replaceThroughWindow(int mask, const QString& folder)
    {
        asker->fileNames = {folder};
        clickThrough({QStringLiteral("Overwrite artwork"), QStringLiteral("OK"), QStringLiteral("Close")});
        QString question;
        const auto click = asker->onExec;
        asker->onExec = [&question, click](QDialog* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            if (box && question.isEmpty())
                question = box->text();
            return click(dialog);
        };
        window->replaceArtwork(mask);
        return question;
    }

    // The bytes of the four record stores of the configuration at `file`,
    // "<none>" for a store that is not there.
    static QStringList storesOf(const QString& file)
    {
        QStringList stores;
        for (const QString& store : DashConfig::sidecarPathsOf(file)) {
            QFile f(store);
            stores << (f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<none>"));
        }
        return stores;
    }

private Q_SLOTS:
    void init() { openDemo(); }
    void cleanup() { closeDemo(); }

    // A styled box, a coloured bar and a previewed icon are deleted; masks
    // later given their names (in the same session, or after a save and a
    // reopen) start with nothing of theirs. An undo of the deletes, also
    // past the save, brings each back with its records.
    void deletedMasksLeaveNothingToTheirNamesakes_data()
    {
        QTest::addColumn<bool>("reopen");
        QTest::newRow("same session") << false;
        QTest::newRow("saved and reopened") << true;
    }
    void deletedMasksLeaveNothingToTheirNamesakes()
    {
        QFETCH(bool, reopen);
        const QString graphic = rs3->absolutePath(Rs3Fixture::Stable, DemoStock::iconItem() + "mask.png");
        const int box = duplicate(kRace, 1);
        QVERIFY(box >= 0);
        QCOMPARE(config->pages[kRace].masks[size_t(box)].id, QStringLiteral("new.1"));
        chooseStyle(QStringLiteral("solid_blue"), QStringLiteral("OIL"));
        window->applyBoxStyle(box);
        QCOMPARE(config->boxStyleRecord(kRace, box).caption, QStringLiteral("OIL"));
        const int bar = duplicate(kRace, 2);
        QVERIFY(bar >= 0);
        resize(kRace, bar, 300);
        window->applyColorBar(bar);
        QVERIFY(config->barColorSnapshot(kRace, bar).hasRecord);
        const int icon = duplicate(kEngine, 2);
        QVERIFY(icon >= 0);
        QVERIFY(config->setIconPreview(kEngine, icon, graphic));
        window->onPageSelected(kEngine);
        window->onDeleteRequested(icon);
        window->onPageSelected(kRace);
        window->onDeleteRequested(bar);
        window->onDeleteRequested(box);
        if (reopen) {
            QVERIFY(window->save());
            QVERIFY(!sidecars().contains("new.1"));
            QVERIFY(!sidecars().contains("new.2"));
            window->loadConfig(path);
            config = window->findChild<DashCanvas*>()->config;
        }

        const int box2 = duplicate(kRace, 1);
        const int bar2 = duplicate(kRace, 2);
        const int icon2 = duplicate(kEngine, 2);
        QVERIFY(box2 >= 0 && bar2 >= 0 && icon2 >= 0);
        QCOMPARE(config->pages[kRace].masks[size_t(box2)].id, QStringLiteral("new.1"));
        QCOMPARE(config->pages[kRace].masks[size_t(bar2)].id, QStringLiteral("new.2"));
        QCOMPARE(config->pages[kEngine].masks[size_t(icon2)].id, QStringLiteral("new.1"));
        QVERIFY(!config->boxStyleRecord(kRace, box2).present);
        QVERIFY(config->renderBoxStyleImage(kRace, box2).isNull());
        select(kRace, 1);
        const QString stockStyle = panelText("boxStyleLabel");
        select(kRace, box2);
        QCOMPARE(panelText("boxStyleLabel"), stockStyle);
        QVERIFY(config->iconPreviewGraphic(kEngine, icon2).isEmpty());
        QVERIFY(!config->barColorSnapshot(kRace, bar2).hasRecord);
        window->onPageSelected(kRace);
        select(kRace, bar2);
        QVERIFY(!window->findChild<QPushButton*>("barColorRemoveButton")->isEnabled());
        window->applyColorBar(bar2);
        window->removeBarColor(bar2);
        QCOMPARE(paramInt(findBargraphChild(config->pages[kRace].masks[size_t(bar2)].node), "WIDTH"), 340);

        // Back to before the new masks: the deleted ones come back as they
        // were, records and all.
        if (reopen)
            return;
        while (config->pages[kRace].masks.size() > 4 || config->pages[kEngine].masks.size() > 4)
            stack->undo();
        stack->undo();
        stack->undo();
        stack->undo();
        QCOMPARE(config->boxStyleRecord(kRace, box).caption, QStringLiteral("OIL"));
        QVERIFY(config->barColorSnapshot(kRace, bar).hasRecord);
        QCOMPARE(config->iconPreviewGraphic(kEngine, icon), graphic);
    }

    // A styled box and its duplicate point at one item. Refresh box artwork,
    // and the repair of an install that lacks the item, draw it once, from a
    // record: the saved file's art stays byte for byte.
    void duplicatedBoxKeepsTheOriginalsArt_data()
    {
        QTest::addColumn<bool>("copyRecorded");
        QTest::newRow("copy with the original's record") << true;
        QTest::newRow("copy without a record (an older duplicate)") << false;
    }
    void duplicatedBoxKeepsTheOriginalsArt()
    {
        QFETCH(bool, copyRecorded);
        window->onPageSelected(kRace);
        chooseStyle(QStringLiteral("panel_outline"), QStringLiteral("SPD"));
        window->applyBoxStyle(1);
        const int copy = duplicate(kRace, 1);
        QVERIFY(copy >= 0);
        QCOMPARE(maskPath(*config, kRace, copy), maskPath(*config, kRace, 1));
        if (!copyRecorded) {
            QMap<QString, BoxStyleRecord> styles = config->loadBoxStyleSidecar();
            QVERIFY(styles.remove(config->boxStyleKey(kRace, copy)) == 1);
            QVERIFY(config->saveBoxStyleSidecar(styles));
        }
        stack->push(new ReorderMaskCommand(config, kRace, copy, 0, QStringLiteral("Send to back")));
        QVERIFY(window->save());
        const QString item = maskPath(*config, kRace, 2);
        const QMap<QString, QByteArray> atSave = filesOfSavedConfig(path);
        QVERIFY(atSave.contains(item + "mask.tgz"));

        const int steps = stack->count();
        window->refreshBoxArtwork();
        QVERIFY2(status().startsWith(QLatin1String("Re-rendered 1 box ")), qPrintable(status()));
        QCOMPARE(filesOfSavedConfig(path), atSave);
        QCOMPARE(stack->count(), steps);

        QVERIFY(QDir(rs3->absolutePath(Rs3Fixture::Stable, item)).removeRecursively());
        DashConfig reopened;
        QVERIFY(reopened.load(path));
        QCOMPARE(filesOfSavedConfig(path), atSave);
        if (!copyRecorded)
            return;

        // The copy has the original's record: it can be restyled, into an
        // item of its own.
        QCOMPARE(config->boxStyleRecord(kRace, 0).caption, QStringLiteral("SPD"));
        chooseStyle(QStringLiteral("panel_dark"));
        window->applyBoxStyle(0);
        QCOMPARE(status(), QStringLiteral("Applied box style \"panel_dark\""));
        QVERIFY(maskPath(*config, kRace, 0) != item);
        QCOMPARE(filesOfSavedConfig(path), atSave);
    }

    // A box styled and saved in A. A's file alone in another folder (mailed
    // without its records), or A beside a store that cannot be read, has no
    // record of that style: an open that finds the item missing from an
    // install copies it there from the install that holds it, and Refresh
    // box artwork names the box it left. Every file A's saved XML points at
    // stays as saved.
    void boxWithoutReadableRecordIsLeftAsSaved_data()
    {
        QTest::addColumn<bool>("copyAlone");
        QTest::newRow("the file alone in another folder") << true;
        QTest::newRow("a broken store beside the file") << false;
    }
    void boxWithoutReadableRecordIsLeftAsSaved()
    {
        QFETCH(bool, copyAlone);
        window->onPageSelected(kRace);
        chooseStyle(QStringLiteral("panel_outline"), QStringLiteral("SPD"));
        window->applyBoxStyle(1);
        QVERIFY(window->save());
        const QString item = maskPath(*config, kRace, 1);
        const QStringList folders = foldersOfSavedConfig(path);
        const QMap<QString, QByteArray> atSave = filesIn(folders);
        QVERIFY(atSave.contains(item + "mask.tgz"));

        QString opened = path;
        if (copyAlone) {
            opened = TestEnvironment::makeTempDir(QStringLiteral("mailed")) + '/' + QFileInfo(path).fileName();
            QVERIFY(QFile::copy(path, opened));
        } else {
            QVERIFY(TestFiles::writeBytes(config->boxStylesSidecarPath(), "{\"version\":1,\"masks\":{"));
        }
        // The beta install has the device but not the item.
        const QString device = item.section('/', 3, 3);
        QVERIFY(!rs3->addDeviceFolder(Rs3Fixture::Beta, device).isEmpty());
        asker->asked.clear();
        window->loadConfig(opened);
        QCOMPARE(filesIn(folders), atSave);
        QVERIFY(installsHoldTheSame(item));
        QVERIFY(!warned(QStringLiteral("Open"), kRace, 1));

        window->refreshBoxArtwork();
        QCOMPARE(filesIn(folders), atSave);
        QVERIFY(warned(QStringLiteral("Refresh box artwork"), kRace, 1));
        QVERIFY2(status().contains(QLatin1String("left as they are")), qPrintable(status()));
    }

    // A coloured bar's art replaced from a folder and saved, then replaced
    // again from a folder with the same picture: the second replacement
    // holding other files gets a folder of its own, one holding the same
    // files shares the first's as it is, unless that folder changed since.
    // The first save's files stay.
    void secondReplacementKeepsTheFirstsFiles_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QColor>("lit");
        QTest::addColumn<bool>("changed");
        QTest::newRow("the same bar, after undo") << "undo" << QColor(Qt::blue) << false;
        QTest::newRow("its duplicate") << "duplicate" << QColor(Qt::blue) << false;
        QTest::newRow("its duplicate, the same files") << "duplicate" << QColor(Qt::red) << false;
        QTest::newRow("its duplicate, the same files, the first's folder changed") << "duplicate" << QColor(Qt::red)
                                                                                   << true;
        QTest::newRow("a same-named configuration elsewhere") << "elsewhere" << QColor(Qt::blue) << false;
    }
    void secondReplacementKeepsTheFirstsFiles()
    {
        QFETCH(QString, where);
        QFETCH(QColor, lit);
        QFETCH(bool, changed);
        window->onPageSelected(kRace);
        window->applyColorBar(2);
        replaceThroughWindow(2, replacementFolder(kRace, 2, Qt::red));
        QCOMPARE(stack->count(), 2);
        QVERIFY(window->save());
        const QString first = maskPath(*config, kRace, 2);
        if (changed)
            QVERIFY(rs3->writeFile(Rs3Fixture::Stable, first + "notes.txt", "mine"));
        const QStringList folders = foldersOfSavedConfig(path);
        const QMap<QString, QByteArray> atSave = filesIn(folders);
        QVERIFY(atSave.contains(first + "m4on0.png"));

        const QString second = replacementFolder(kRace, 2, lit);
        QString replaced;
        if (where == QLatin1String("elsewhere")) {
            DashConfig twin;
            QVERIFY(twin.load(ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("other")))));
            QVERIFY(twin.applyBarColor(kRace, 2));
            QString error;
            QVERIFY2(twin.applyArtwork(kRace, 2, second, false, nullptr, &error), qPrintable(error));
            replaced = maskPath(twin, kRace, 2);
        } else {
            int mask = 2;
            if (where == QLatin1String("undo"))
                stack->undo();
            else
                mask = duplicate(kRace, 2);
            QVERIFY(mask >= 0);
            const QString question = replaceThroughWindow(mask, second);
            // Only the element replaced changes.
            QCOMPARE(question.contains(QLatin1String("keep their artwork")), where == QLatin1String("duplicate"));
            replaced = maskPath(*config, kRace, mask);
        }
        QCOMPARE(filesIn(folders), atSave);
        QCOMPARE(replaced == first, lit == QColor(Qt::red) && !changed);
        const QImage shown(rs3->absolutePath(Rs3Fixture::Stable, replaced + "m4on0.png"));
        QCOMPARE(shown.pixelColor(1, 1), lit);
    }

    // A coloured bar and its duplicate, resized and sent behind it: the
    // duplicate's pictures are drawn for its size, in a folder of its own.
    // With the original's folder gone, the open draws it again at the size
    // it was made for, byte for byte.
    void sharedBarFolderIsRebuiltAtItsMakersSize()
    {
        window->onPageSelected(kRace);
        window->applyColorBar(2);
        const QString folder = maskPath(*config, kRace, 2);
        const QString picture = rs3->absolutePath(Rs3Fixture::Stable, folder + "mask.png");
        const QByteArray drawn = TestFiles::readBytes(picture);
        const int width = QImage(picture).width();
        QVERIFY(width > 2);
        const int copy = duplicate(kRace, 2);
        QVERIFY(copy >= 0);
        resize(kRace, copy, width / 2);
        stack->push(new ReorderMaskCommand(config, kRace, copy, 0, QStringLiteral("Send to back")));
        const QString copyFolder = maskPath(*config, kRace, 0);
        QVERIFY(copyFolder != folder);
        QCOMPARE(config->pages[kRace].masks[0].w, width / 2);
        QCOMPARE(QImage(rs3->absolutePath(Rs3Fixture::Stable, copyFolder + "mask.png")).width(), width / 2);
        QCOMPARE(maskPath(*config, kRace, 3), folder);
        QVERIFY(window->save());

        QVERIFY(QDir(rs3->absolutePath(Rs3Fixture::Stable, folder)).removeRecursively());
        window->loadConfig(path);
        QCOMPARE(config->barRepairCount, 1);
        QCOMPARE(TestFiles::readBytes(picture), drawn);
    }

    // A coloured bar's art replaced and saved, in both installs; one install
    // loses it. The open does not draw the colours over the install that
    // still holds it: the other gets a copy of the user's art.
    void replacedBarArtMissingFromAnInstallIsLeft()
    {
        window->onPageSelected(kRace);
        const QString stock = maskPath(*config, kRace, 2);
        QVERIFY(!rs3->addDeviceFolder(Rs3Fixture::Beta, stock.section('/', 3, 3)).isEmpty());
        window->applyColorBar(2);
        replaceThroughWindow(2, replacementFolder(kRace, 2, Qt::red));
        QVERIFY(window->save());
        const QString replaced = maskPath(*config, kRace, 2);
        const QStringList folders = foldersOfSavedConfig(path);
        const QMap<QString, QByteArray> atSave = filesIn(folders);
        QVERIFY(atSave.contains(replaced + "m4on0.png"));

        QVERIFY(QDir(rs3->absolutePath(Rs3Fixture::Beta, replaced)).removeRecursively());
        window->loadConfig(path);
        QCOMPARE(config->barRepairCount, 1);
        QCOMPARE(filesIn(folders), atSave);
        QVERIFY(installsHoldTheSame(replaced));
    }

    // A box styled and saved in A; a folder Y holds its own demo with
    // records (the same box in another style), and A's file is copied over
    // it. Opened there with a beta install that has the device but not A's
    // item, the open copies the item into the beta install; with the item in
    // no install, the open leaves the box and names it. Refresh box artwork
    // draws Y's record into an item of the box's own, which the box then
    // points at, unsaved. Every file A's saved XML points at stays as saved.
    void namesakesRecordsNeverDrawIntoTheSavedItem_data()
    {
        QTest::addColumn<bool>("held");
        QTest::newRow("the stable install holds the item") << true;
        QTest::newRow("no install holds the item") << false;
    }
    void namesakesRecordsNeverDrawIntoTheSavedItem()
    {
        QFETCH(bool, held);
        const QString namesake = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("Y")));
        QCOMPARE(QFileInfo(namesake).fileName(), QFileInfo(path).fileName());
        window->loadConfig(namesake);
        window->onPageSelected(kRace);
        chooseStyle(QStringLiteral("panel_dark"), QStringLiteral("RPM"));
        window->applyBoxStyle(1);
        QVERIFY(window->save());
        window->loadConfig(path);
        window->onPageSelected(kRace);
        chooseStyle(QStringLiteral("panel_outline"), QStringLiteral("SPD"));
        window->applyBoxStyle(1);
        QVERIFY(window->save());
        const QString item = maskPath(*config, kRace, 1);
        const QStringList folders = foldersOfSavedConfig(path);
        if (!held)
            QVERIFY(QDir(rs3->absolutePath(Rs3Fixture::Stable, item)).removeRecursively());
        const QMap<QString, QByteArray> atSave = filesIn(folders);
        QCOMPARE(atSave.contains(item + "mask.tgz"), held);

        QVERIFY(QFile::remove(namesake));
        QVERIFY(QFile::copy(path, namesake));
        QVERIFY(!rs3->addDeviceFolder(Rs3Fixture::Beta, item.section('/', 3, 3)).isEmpty());
        asker->asked.clear();
        window->loadConfig(namesake);
        QCOMPARE(filesIn(folders), atSave);
        QVERIFY(held ? installsHoldTheSame(item) : !QFileInfo::exists(rs3->absolutePath(Rs3Fixture::Beta, item)));
        QCOMPARE(maskPath(*config, kRace, 1), item);
        QCOMPARE(warned(QStringLiteral("Open"), kRace, 1), !held);

        window->refreshBoxArtwork();
        QVERIFY2(status().startsWith(QLatin1String("Re-rendered 1 box ")), qPrintable(status()));
        QCOMPARE(filesIn(folders), atSave);
        const QString own = maskPath(*config, kRace, 1);
        QVERIFY(own != item);
        QVERIFY(window->hasUnsavedChanges());
        const QImage drawn(rs3->absolutePath(Rs3Fixture::Stable, own + "mask.png"));
        QCOMPARE(drawn.convertToFormat(QImage::Format_ARGB32), config->renderBoxStyleImage(kRace, 1));
        // One step of the history, which draws nothing either way.
        QCOMPARE(stack->count(), 1);
        stack->undo();
        QCOMPARE(maskPath(*config, kRace, 1), item);
        QVERIFY(!window->hasUnsavedChanges());
        stack->redo();
        QCOMPARE(maskPath(*config, kRace, 1), own);
        QCOMPARE(filesIn(folders), atSave);
    }

    // The same with a multi-value box whose item no install holds: undoing
    // the refresh points the box back at the item it had, and does not draw
    // the namesake's record again.
    void namesakesMultiBoxRefreshIsUndone()
    {
        // The multi-value box made of md.01, styled and saved; its place.
        const auto makeBox = [this](const QString& style, const QString& caption) {
            window->onPageSelected(kRace);
            asker->onExec = [](QDialog* dialog) {
                static_cast<MultiBoxDialog*>(dialog)->parseArrangement(QStringLiteral("2x1"));
                dialog->accept();
                return dialog->result();
            };
            window->convertToMultiBox(1);
            int box = -1;
            for (size_t k = 0; k < config->pages[kRace].masks.size(); ++k) {
                if (maskPath(*config, kRace, int(k)).contains(QLatin1String("/mbox_")))
                    box = int(k);
            }
            chooseStyle(style, caption);
            window->applyBoxStyle(box);
            return window->save() ? box : -1;
        };
        const QString namesake = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("Y")));
        window->loadConfig(namesake);
        QVERIFY(makeBox(QStringLiteral("panel_outline"), QStringLiteral("RPM")) >= 0);
        window->loadConfig(path);
        const int box = makeBox(QStringLiteral("panel_dark"), QStringLiteral("SPD"));
        QVERIFY(box >= 0);
        const QString item = maskPath(*config, kRace, box);
        QVERIFY(QDir(rs3->absolutePath(Rs3Fixture::Stable, item)).removeRecursively());

        QVERIFY(QFile::remove(namesake));
        QVERIFY(QFile::copy(path, namesake));
        window->loadConfig(namesake);
        window->refreshBoxArtwork();
        const QString own = maskPath(*config, kRace, box);
        QVERIFY(own != item);
        QCOMPARE(stack->count(), 1);
        stack->undo();
        QCOMPARE(maskPath(*config, kRace, box), item);
        QVERIFY(!window->hasUnsavedChanges());
        stack->redo();
        QCOMPARE(maskPath(*config, kRace, box), own);
    }

    // A coloured bar saved, a copy of that version kept (or a namesake
    // elsewhere colouring the same bar), then the bar resized and saved; a
    // beta install without the colour's folder appears. The open copies the
    // folder into it from the install that holds it: every file the kept
    // version points at stays byte for byte, and both installs hold them.
    void resizedColouredBarIsCopiedNotRedrawn_data()
    {
        QTest::addColumn<bool>("namesake");
        QTest::newRow("a kept copy of the file") << false;
        QTest::newRow("a namesake elsewhere") << true;
    }
    void resizedColouredBarIsCopiedNotRedrawn()
    {
        QFETCH(bool, namesake);
        window->onPageSelected(kRace);
        window->applyColorBar(2);
        QVERIFY(window->save());
        const QString folder = maskPath(*config, kRace, 2);
        QString kept = path;
        if (namesake) {
            // The same bar in the same state: the namesake shares the folder.
            window->loadConfig(ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("other"))));
            window->onPageSelected(kRace);
            window->applyColorBar(2);
            QCOMPARE(maskPath(*config, kRace, 2), folder);
        } else {
            kept = TestEnvironment::makeTempDir(QStringLiteral("kept")) + '/' + QFileInfo(path).fileName();
            QVERIFY(QFile::copy(path, kept));
        }
        const QMap<QString, QByteArray> atKeep = filesOfSavedConfig(kept);
        QVERIFY(atKeep.contains(folder + "mask.png"));
        // The resized bar's pictures are drawn for its size, in a folder of
        // their own; the kept version's folder stays as it was.
        resize(kRace, 2, config->pages[kRace].masks[2].w / 2);
        const QString resized = maskPath(*config, kRace, 2);
        QVERIFY(resized != folder);
        QVERIFY(window->save());

        QVERIFY(!rs3->addDeviceFolder(Rs3Fixture::Beta, folder.section('/', 3, 3)).isEmpty());
        window->loadConfig(window->currentFile());
        QCOMPARE(config->barRepairCount, 1);
        QCOMPARE(filesOfSavedConfig(kept), atKeep);
        QVERIFY(installsHoldTheSame(resized));
    }

    // A box restyled and a bar coloured after a save, then Save As into
    // another folder (also after another program moved the saved file
    // away): the original's stores are as its save left them, the new
    // name's hold the window's records, and a later edit writes only the
    // new name's.
    void saveAsLeavesTheOriginalAsSaved_data()
    {
        QTest::addColumn<bool>("moved");
        QTest::newRow("original on disk") << false;
        QTest::newRow("original moved away") << true;
    }
    void saveAsLeavesTheOriginalAsSaved()
    {
        QFETCH(bool, moved);
        window->onPageSelected(kRace);
        chooseStyle(QStringLiteral("panel_outline"), QStringLiteral("SPD"));
        window->applyBoxStyle(1);
        QVERIFY(window->save());
        const QStringList saved = storesOf(path);
        QVERIFY(saved[0].contains(QStringLiteral("panel_outline")));
        if (moved)
            QVERIFY(QFile::rename(path, path + QStringLiteral(".moved")));
        chooseStyle(QStringLiteral("panel_dark"));
        window->applyBoxStyle(1);
        window->applyColorBar(2);
        QStringList edited = storesOf(path);
        // The style's and the colour's records wait for the save.
        QCOMPARE(edited, saved);

        const QString other = TestEnvironment::makeTempDir(QStringLiteral("B")) + QStringLiteral("/other.zconf2");
        asker->fileNames = {other};
        QVERIFY(window->saveAs());
        QCOMPARE(window->currentFile(), other);
        QCOMPARE(storesOf(path), saved);
        const QStringList saveAs = storesOf(other);
        QVERIFY2(saveAs[2].contains(QStringLiteral("\"colored\": true")), qPrintable(saveAs[2]));
        QVERIFY2(saveAs[0].contains(QStringLiteral("panel_dark")), qPrintable(saveAs[0]));
        edited[0] = saveAs[0];
        edited[2] = saveAs[2];
        QCOMPARE(saveAs, edited);

        chooseStyle(QStringLiteral("solid_blue"));
        window->applyBoxStyle(1);
        window->removeBarColor(2);
        QCOMPARE(storesOf(path), saved);
        // The style's and the colour's records stay for the saved file until
        // its next save.
        QCOMPARE(storesOf(other), edited);
        QVERIFY(window->save());
        QVERIFY(storesOf(other)[0].contains(QStringLiteral("solid_blue")));
        QCOMPARE(storesOf(other)[2], QStringLiteral("<none>"));
        QCOMPARE(storesOf(path), saved);
    }

    // A ".zconfig" restyled after a save and Saved As the ".zconf2" of its
    // name (or under the name with no suffix) in its folder: the two share
    // their stores, which then hold the window's records, as the new file's
    // XML needs them.
    void saveAsBesideSharingTheStoresKeepsTheEdits_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow(".zconf2") << QStringLiteral(".zconf2");
        QTest::newRow("no suffix") << QString();
    }
    void saveAsBesideSharingTheStoresKeepsTheEdits()
    {
        QFETCH(QString, suffix);
        const QFileInfo demo(path);
        const QString zconfig = demo.absolutePath() + '/' + demo.completeBaseName() + QStringLiteral(".zconfig");
        QVERIFY(QFile::rename(path, zconfig));
        window->loadConfig(zconfig);
        window->onPageSelected(kRace);
        chooseStyle(QStringLiteral("panel_outline"), QStringLiteral("SPD"));
        window->applyBoxStyle(1);
        QVERIFY(window->save());
        chooseStyle(QStringLiteral("panel_dark"));
        window->applyBoxStyle(1);

        const QString target = demo.absolutePath() + '/' + demo.completeBaseName() + suffix;
        asker->fileNames = {target};
        QVERIFY(window->saveAs());
        QCOMPARE(window->currentFile(), target);
        QVERIFY(storesOf(target)[0].contains(QStringLiteral("panel_dark")));
        DashConfig reopened;
        QVERIFY(reopened.load(target));
        QCOMPARE(reopened.loadBoxStyleSidecar().value(reopened.boxStyleKey(kRace, 1)).styleId,
                 QStringLiteral("panel_dark"));
    }

    // "Clean (no box)" writes no record (the saved file keeps its record
    // until the next save), so a full disk cannot refuse it; a store that
    // cannot be read does: the message says so, and does not speak of
    // artwork drawn for it, since taking a box off draws none.
    void refusedCleanSpeaksOfNoDrawing()
    {
        window->onPageSelected(kRace);
        chooseStyle(QStringLiteral("panel_dark"));
        window->applyBoxStyle(1);
        QVERIFY(window->save());
        // Another box's record stays, so the store is rewritten, not removed.
        const QString store = config->boxStylesSidecarPath();
        QJsonObject root = QJsonDocument::fromJson(TestFiles::readBytes(store)).object();
        QJsonObject masks = root.value(QStringLiteral("masks")).toObject();
        masks.insert(QStringLiteral("Demo/dash/p09/md.01"), QJsonObject{{QStringLiteral("styleId"), "panel_dark"}});
        root.insert(QStringLiteral("masks"), masks);
        QVERIFY(TestFiles::writeBytes(store, QJsonDocument(root).toJson()));
        chooseStyle(cleanBoxStyleId());
        {
            FileSizeLimit::Scope limit(20);
            window->applyBoxStyle(1);
        }
        QCOMPARE(status(), QStringLiteral("Removed box from digit"));
        QCOMPARE(config->loadBoxStyleSidecar().size(), 2);
        stack->undo();
        const QByteArray unreadable = TestFiles::readBytes(store).left(40);
        QVERIFY(TestFiles::writeBytes(store, unreadable));
        window->applyBoxStyle(1);
        QVERIFY2(status().startsWith(QLatin1String("Box style apply failed")), qPrintable(status()));
        QVERIFY2(status().contains(QLatin1String("cannot be read")), qPrintable(status()));
        QVERIFY2(!status().contains(QLatin1String("drawn")), qPrintable(status()));
        QCOMPARE(TestFiles::readBytes(store), unreadable);
    }

    // Discard takes back the records the window wrote since the save and
    // leaves the others: one copied in beside the configuration before the
    // edit, one added by hand after the save.
    void discardKeepsRecordsItDidNotWrite_data()
    {
        QTest::addColumn<bool>("afterSave");
        QTest::newRow("copied in, then the bar coloured") << false;
        QTest::newRow("added after a save, then the colour removed") << true;
    }
    void discardKeepsRecordsItDidNotWrite()
    {
        QFETCH(bool, afterSave);
        const QString store = config->barColorSidecarPath();
        const auto storeWith = [](QJsonObject masks) {
            masks.insert(QStringLiteral("dash/p9/md.02"),
                         QJsonObject{{QStringLiteral("colored"), true}, {QStringLiteral("redline"), 9000},
                                     {QStringLiteral("originalPathRel"), QStringLiteral("aim/x/")}});
            return QJsonDocument(QJsonObject{{QStringLiteral("version"), 1}, {QStringLiteral("masks"), masks}})
                .toJson(QJsonDocument::Indented);
        };
        window->onPageSelected(kRace);
        QByteArray expected = storeWith({});
        if (afterSave) {
            window->applyColorBar(2);
            QVERIFY(window->save());
            const QJsonObject saved = QJsonDocument::fromJson(TestFiles::readBytes(store)).object();
            expected = storeWith(saved.value(QStringLiteral("masks")).toObject());
            QVERIFY(TestFiles::writeBytes(store, expected));
            window->removeBarColor(2);
        } else {
            QVERIFY(TestFiles::writeBytes(store, expected));
            window->applyColorBar(2);
        }
        // Neither the colour nor taking it off writes the store before the
        // save.
        QCOMPARE(TestFiles::readBytes(store), expected);
        asker->buttons = {QMessageBox::Discard};
        QVERIFY(window->close());
        QCOMPARE(TestFiles::readBytes(store), expected);
    }

    // A coloured bar's art replaced by the user and saved: removing the
    // colour, colouring again and undoing both leave the saved art as it
    // was, and so does a same-named configuration colouring its bar.
    void replacedBarArtIsAsSaved()
    {
        window->onPageSelected(kRace);
        window->applyColorBar(2);
        const QString source = TestEnvironment::makeTempDir(QStringLiteral("art"));
        QVERIFY(!replacementPicture(kRace, 2, source).isNull());
        asker->fileNames = {source};
        clickThrough({QStringLiteral("Overwrite artwork"), QStringLiteral("OK"), QStringLiteral("Close")});
        window->replaceArtwork(2);
        QCOMPARE(stack->count(), 2);
        QVERIFY(window->save());
        const QString saved = maskPath(*config, kRace, 2);
        const QMap<QString, QByteArray> atSave = filesOfSavedConfig(path);
        QCOMPARE(QImage(rs3->absolutePath(Rs3Fixture::Stable, saved + "mask.png")).pixelColor(5, 5),
                 QColor(200, 40, 160));

        window->removeBarColor(2);
        window->applyColorBar(2);
        QVERIFY(maskPath(*config, kRace, 2) != saved);
        stack->undo();
        stack->undo();
        QCOMPARE(maskPath(*config, kRace, 2), saved);
        QCOMPARE(filesOfSavedConfig(path), atSave);

        const QString other = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("other")));
        DashConfig twin;
        QVERIFY(twin.load(other));
        QVERIFY(twin.applyBarColor(kRace, 2));
        QCOMPARE(filesOfSavedConfig(path), atSave);
    }
};

KORV_TEST_MAIN(DemoRecordsTest)
#include "tst_demorecords.moc"
