#include "DemoStock.h"
#include "window/MainWindow.h"
#include "artwork/BarColorSnapshot.h"
#include "canvas/DashCanvas.h"
#include "editing/AddMultiBoxCommand.h"
#include "editing/MoveCommand.h"
#include "artwork/HomebrewItems.h"
#include "editing/ReorderMaskCommand.h"
#include "model/XmlParams.h"
#include "panels/AddElementDialog.h"
#include "panels/BoxStyleDialog.h"
#include "panels/MultiBoxDialog.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QUndoStack>
#include <QtTest>

#include <memory>

namespace {

// The demo's pages. Every page names its masks md.00 .. md.03, as page
// templates and RaceStudio 3 do.
const int kRace = 0;
const int kEngine = 1;
const int kLaps = 2;

} // namespace

// The artwork features on a copy of the demo with the demo's own RS3
// install, as the README's main command starts them: every one must work,
// land in the saved file and draw its art into the install. A style, a
// colour, an icon preview or a multi-value box given to a mask of one page
// belongs to that mask alone, and the art made for it to that state alone,
// through undo, redo, save and Discard.
class DemoInstallTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Rs3Fixture> rs3;
    std::unique_ptr<ScriptedAsker> asker;
    std::unique_ptr<MainWindow> window;
    DashConfig* config = nullptr;
    QUndoStack* stack = nullptr;
    QString path;

    QString status() const { return window->statusBar()->currentMessage(); }
    QString maskPath(const DashConfig& c, int page, int mask) const
    {
        return paramValue(c.pages[size_t(page)].masks[size_t(mask)].node, "PATH_REL_AiM_MASK");
    }
    QImage installed(const QString& relFolder) const
    {
        return QImage(rs3->absolutePath(Rs3Fixture::Stable, relFolder + QStringLiteral("mask.png")));
    }

    // The saved archive as a fresh load reads it.
    std::unique_ptr<DashConfig> saveAndReread()
    {
        if (!window->save())
            return nullptr;
        auto reread = std::make_unique<DashConfig>();
        return reread->load(path) ? std::move(reread) : nullptr;
    }

    QString panelText(const char* name) const { return window->findChild<QLabel*>(name)->text(); }

    void chooseStyle(const QString& id, const QString& caption = QString())
    {
        asker->onExec = [id, caption](QDialog* dialog) {
            auto* designer = qobject_cast<BoxStyleDialog*>(dialog);
            if (!designer)
                return int(QDialog::Rejected);
            auto* styles = designer->findChild<QListWidget*>();
            for (int i = 0; i < styles->count(); ++i) {
                if (styles->item(i)->data(Qt::UserRole).toString() == id)
                    styles->setCurrentRow(i);
            }
            if (!caption.isNull()) {
                for (auto* edit : designer->findChildren<QLineEdit*>()) {
                    if (edit->placeholderText().startsWith(QLatin1String("e.g. ENGINE")))
                        edit->setText(caption);
                }
            }
            designer->onAccept();
            return designer->result();
        };
    }

    // Message boxes answered by clicking the first of `clicks` they offer.
    void clickThrough(const QStringList& clicks)
    {
        asker->onExec = [clicks](QDialog* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            if (!box)
                return int(QDialog::Rejected);
            for (QAbstractButton* button : box->buttons()) {
                if (clicks.contains(button->text())) {
                    button->click();
                    break;
                }
            }
            return box->result();
        };
    }

    // The headless render of a page along the edges of its masks, where a
    // box is drawn (the values' glyphs may differ by a pixel from one
    // rendering to the next).
    QList<QRgb> rendered(int page) const
    {
        const QImage image = DashCanvas::renderPageForPreview(config, page, false, 1);
        QList<QRgb> edges;
        for (const MaskElement& m : config->pages[size_t(page)].masks) {
            const QRect r = QRect(m.x, m.y, m.w, m.h).adjusted(1, 1, -2, -2) & image.rect();
            for (int x = r.left(); x <= r.right(); ++x)
                edges << image.pixel(x, r.top()) << image.pixel(x, r.bottom());
            for (int y = r.top(); y <= r.bottom(); ++y)
                edges << image.pixel(r.left(), y) << image.pixel(r.right(), y);
        }
        return edges;
    }

    void select(int page, int mask)
    {
        window->onPageSelected(page);
        window->onElementSelected(mask);
    }

    // Every file of every folder the configuration at `file` points its
    // masks and pages at, in the install.
    QMap<QString, QByteArray> filesOfSavedConfig(const QString& file) const
    {
        DashConfig saved;
        if (!saved.load(file))
            return {{QStringLiteral("<unreadable>"), QByteArray()}};
        QStringList folders;
        for (int p = 0; p < saved.pageCount(); ++p) {
            for (const QString& image : saved.pageImagePaths(p))
                folders << image.left(image.lastIndexOf(QLatin1Char('/')) + 1);
            for (int m = 0; m < int(saved.pages[size_t(p)].masks.size()); ++m)
                folders << maskPath(saved, p, m);
        }
        QMap<QString, QByteArray> files;
        for (const QString& folder : folders) {
            if (folder.isEmpty())
                continue;
            const auto tree = Rs3Fixture::treeSnapshot(rs3->absolutePath(Rs3Fixture::Stable, folder));
            for (auto it = tree.constBegin(); it != tree.constEnd(); ++it)
                files.insert(folder + it.key(), it.value());
        }
        return files;
    }

    QByteArray sidecars() const
    {
        QByteArray all;
        for (const QString& file : {config->boxStylesSidecarPath(), config->multiBoxSidecarPath(),
                                    config->barColorSidecarPath(), config->iconPreviewSidecarPath()}) {
            QFile f(file);
            all += file.toUtf8() + '\n' + (f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>")) + '\n';
        }
        return all;
    }

    void resize(int page, int mask, int width)
    {
        const MaskElement& m = config->pages[size_t(page)].masks[size_t(mask)];
        stack->push(new MoveCommand(&m, m.x, m.y, m.w, m.h, m.x, m.y, width, m.h, config, page, mask, true, false));
    }

    void move(int page, int mask, int dx)
    {
        const MaskElement& m = config->pages[size_t(page)].masks[size_t(mask)];
        stack->push(new MoveCommand(&m, m.x, m.y, m.w, m.h, m.x + dx, m.y, m.w, m.h, config, page, mask, true, false));
    }

    int addMultiBox(int page, int rows, int cols)
    {
        int created = -1;
        stack->push(new AddMultiBoxCommand(config, page, rows, cols, QStringLiteral("above"),
                                           std::vector<MultiBoxCellRequest>(size_t(rows * cols)),
                                           QRect(400, 300, 200, 120), &created));
        return created;
    }

    // Rows and columns the box's values are laid out in.
    QSize digitGrid(int page, int mask) const
    {
        QSet<int> xs, ys;
        const pugi::xml_node node = config->pages[size_t(page)].masks[size_t(mask)].node;
        for (pugi::xml_node e = node.child("e"); e; e = e.next_sibling("e")) {
            if (hasClass(e, "Digit")) {
                xs.insert(paramInt(e, "XPOS"));
                ys.insert(paramInt(e, "YPOS"));
            }
        }
        return QSize(int(xs.size()), int(ys.size()));
    }

    // Duplicates the mask through the window; the copy's index.
    int duplicate(int page, int mask)
    {
        select(page, mask);
        window->findChild<DashCanvas*>()->setSelectedMask(mask);
        const size_t before = config->pages[size_t(page)].masks.size();
        window->duplicateMask();
        return config->pages[size_t(page)].masks.size() == before + 1 ? int(before) : -1;
    }

    QImage replacementPicture(int page, int mask, const QString& folder) const
    {
        const MaskElement& m = config->pages[size_t(page)].masks[size_t(mask)];
        QImage picture(m.w, m.h, QImage::Format_ARGB32);
        picture.fill(QColor(200, 40, 160));
        return picture.save(folder + "/mask.png") ? picture : QImage();
    }

    void closeAndDiscard()
    {
        asker->onExec = {};
        asker->buttons = {QMessageBox::Discard};
        QVERIFY(window->close());
    }

private Q_SLOTS:
    void init()
    {
        rs3 = std::make_unique<Rs3Fixture>();
        QVERIFY(rs3->addDemoStock(Rs3Fixture::Stable));
        asker = std::make_unique<ScriptedAsker>();
        path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        QVERIFY(!path.isEmpty());
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->loadConfig(path);
        config = window->findChild<DashCanvas*>()->config;
        stack = window->findChild<QUndoStack*>();
        QVERIFY(config && stack);
    }

    void cleanup()
    {
        window.reset();
        asker.reset();
        rs3.reset();
    }


    void boxStyle()
    {
        const QImage stock = installed(DemoStock::valueBoxItem());
        chooseStyle(QStringLiteral("panel_dark"));
        window->applyBoxStyle(1);
        QCOMPARE(status(), QStringLiteral("Applied box style \"panel_dark\""));
        // The item is named after the box's page and mask and its picture.
        const QRegularExpression named(QRegularExpression::anchoredPattern(
            QRegularExpression::escape(
                DemoStock::itemPath(QStringLiteral("s04_homebrew/zbox_Demo/Items/box_Demo_dash_p00_md_01_")))
            + QStringLiteral("[0-9a-f]{8}/")));
        const auto reread = saveAndReread();
        QVERIFY(reread);
        const QString item = maskPath(*reread, 0, 1);
        QVERIFY2(named.match(item).hasMatch(), qPrintable(item));
        const QImage art = installed(item);
        QCOMPARE(art.size(), QSize(340, 160));
        QVERIFY(art != stock);
        QVERIFY(QFileInfo::exists(rs3->absolutePath(Rs3Fixture::Stable, item + QStringLiteral("mask.tgz"))));

        // The panel's art line shows the start of the long name, whole words
        // within the panel's width, and the whole name in its tool tip.
        select(0, 1);
        auto* line = window->findChild<QLabel*>(QStringLiteral("artInfo"));
        const QString name = item.section(QLatin1Char('/'), -2, -2);
        QVERIFY2(line->text().startsWith(QStringLiteral("zbox_Demo / box_Demo_dash_p00_md_01")), qPrintable(line->text()));
        QVERIFY(line->toolTip().contains(name));
        for (const QString& word : line->text().split(QLatin1Char(' ')))
            QVERIFY2(line->fontMetrics().horizontalAdvance(word) <= line->contentsRect().width(), qPrintable(word));
    }

    void barColour()
    {
        window->applyColorBar(2);
        QCOMPARE(status(), QStringLiteral("Applied green→amber→red bar color"));
        // A set of its own for the page, the mask and the state.
        const QRegularExpression named(QRegularExpression::anchoredPattern(
            QRegularExpression::escape(DemoStock::itemPath(QStringLiteral("s04_homebrew/zbar_Demo_Demo_dash_p00_md_02_")))
            + QStringLiteral("[0-9a-f]{8}/Items/b_hbar/")));
        const auto reread = saveAndReread();
        QVERIFY(reread);
        const QString item = maskPath(*reread, 0, 2);
        QVERIFY2(named.match(item).hasMatch(), qPrintable(item));
        QCOMPARE(paramValue(reread->pages[0].masks[2].node, "DE_BARCOLOR_SRC"), DemoStock::barItem());
        // Green at the low end of the lit band, red at the high end.
        const QImage art = installed(item);
        QCOMPARE(art.size(), QSize(340, 60));
        const QColor low = art.pixelColor(2, 5);
        const QColor high = art.pixelColor(337, 5);
        QVERIFY2(low.green() > low.red(), qPrintable(low.name()));
        QVERIFY2(high.red() > high.green(), qPrintable(high.name()));
    }

    void insertElement_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("channel");
        QTest::addColumn<QString>("status");
        QTest::newRow("value") << "Numeric value" << "RPM" << "Inserted value (RPM)";
        // The install's own icon element is the donor: it takes a channel.
        QTest::newRow("icon") << "Icon" << "Oil Temp Alarm" << "Inserted \"Icon\" -> Oil Temp Alarm";
        QTest::newRow("ref time bar") << "+- Ref Time bar" << ""
                                      << "Inserted +- Ref Time delta bar (±2.50 s)";
    }
    void insertElement()
    {
        QFETCH(QString, type);
        QFETCH(QString, channel);
        QFETCH(QString, status);
        asker->onExec = [=](QDialog* dialog) {
            auto* add = qobject_cast<AddElementDialog*>(dialog);
            if (!add)
                return int(QDialog::Accepted);
            auto* types = add->findChild<QListWidget*>(QStringLiteral("types"));
            types->setCurrentItem(types->findItems(type, Qt::MatchExactly).value(0));
            auto* channels = add->findChild<QListWidget*>(QStringLiteral("channels"));
            const auto rows = channels->findItems(channel + QStringLiteral("  ("), Qt::MatchStartsWith);
            if (!channel.isEmpty() && !rows.isEmpty())
                channels->setCurrentItem(rows.first());
            add->onAccept();
            return add->result();
        };
        const size_t masks = config->pages[0].masks.size();
        window->insertElement();
        QCOMPARE(asker->count(QStringLiteral("message")), 0);
        QCOMPARE(this->status(), status);
        const auto reread = saveAndReread();
        QVERIFY(reread);
        QCOMPARE(reread->pages[0].masks.size(), masks + 1);
        const QString art = maskPath(*reread, 0, int(masks));
        QVERIFY2(art.startsWith(DemoStock::itemPath(QString())), qPrintable(art));
        QVERIFY(QFileInfo::exists(rs3->absolutePath(Rs3Fixture::Stable, art)));
        // The chosen channel came back with the file: the element that
        // shows it names a channel element bound to it.
        if (channel.isEmpty())
            return;
        const pugi::xml_node mask = reread->pages[0].masks.back().node;
        QStringList bound;
        for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
            const QByteArray ref = paramValue(e, "AXIS_REF");
            if (ref.isEmpty())
                continue;
            const pugi::xml_node axis = mask.find_child_by_attribute("e", "i", ref.constData());
            bound << QString::fromUtf8(paramValue(axis, "lnm"));
        }
        QVERIFY2(bound.contains(channel), qPrintable(bound.join(", ")));
    }

    // Box style, bar colour, icon preview and multi-value box on one page:
    // the namesakes on the others keep their own look in the canvas, the
    // headless render, the panel, the saved file and the install.
    void namesakesKeepTheirOwnLook()
    {
        const QByteArray xml0 = ConfigSnapshot::documents(*config);
        const QList<QPair<int, int>> namesakes{{kEngine, 1}, {kLaps, 1}, {kLaps, 2}};
        QMap<QString, QByteArray> namesakeXml;
        QMap<QString, QByteArray> namesakeArt;
        for (const auto& [page, mask] : namesakes) {
            namesakeXml.insert(QString::number(page) + QString::number(mask),
                               ConfigSnapshot::xml(config->pages[size_t(page)].masks[size_t(mask)].node));
            const QString folder = maskPath(*config, page, mask);
            namesakeArt.insert(folder, Rs3Fixture::treeSnapshot(rs3->absolutePath(Rs3Fixture::Stable, folder))
                                           .value(QStringLiteral("mask.png")));
        }
        const QString lapsValueArt = maskPath(*config, kLaps, 1);
        const QList<QRgb> engine0 = rendered(kEngine);
        const QList<QRgb> laps0 = rendered(kLaps);

        window->onPageSelected(kRace);
        chooseStyle(QStringLiteral("panel_outline"), QStringLiteral("SPD"));
        window->applyBoxStyle(1);
        QCOMPARE(status(), QStringLiteral("Applied box style \"panel_outline\""));
        window->applyColorBar(2);
        QCOMPARE(status(), QStringLiteral("Applied green→amber→red bar color"));
        QCOMPARE(rendered(kEngine), engine0);
        QCOMPARE(rendered(kLaps), laps0);
        const QString graphic = rs3->absolutePath(Rs3Fixture::Stable, DemoStock::iconItem() + "mask.png");
        config->setIconPreview(kEngine, 2, graphic);
        QCOMPARE(rendered(kLaps), laps0);

        // What the canvas draws and the panel says of each mask.
        QVERIFY(!config->renderBoxStyleImage(kRace, 1).isNull());
        select(kRace, 1);
        QCOMPARE(panelText("boxStyleLabel"), QStringLiteral("Panel Outline"));
        QCOMPARE(panelText("boxCaptionText"), QStringLiteral("SPD"));
        select(kRace, 2);
        QVERIFY(window->findChild<QPushButton*>("barColorRemoveButton")->isEnabled());
        for (const int page : {kEngine, kLaps}) {
            QVERIFY(config->renderBoxStyleImage(page, 1).isNull());
            select(page, 1);
            QCOMPARE(panelText("boxStyleLabel"), QStringLiteral("None"));
        }
        select(kLaps, 2);
        QVERIFY(!window->findChild<QPushButton*>("barColorRemoveButton")->isEnabled());
        QVERIFY(!config->barColorSnapshot(kLaps, 2).hasRecord);
        QCOMPARE(config->iconPreviewGraphic(kEngine, 2), graphic);
        QVERIFY(config->iconPreviewGraphic(kRace, 2).isEmpty());
        QVERIFY(config->iconPreviewGraphic(kLaps, 2).isEmpty());

        // Two boxes both named mbox.1: each keeps its grid, also when one is
        // resized.
        const int raceBox = addMultiBox(kRace, 2, 2);
        const int lapsBox = addMultiBox(kLaps, 1, 3);
        QVERIFY(raceBox >= 0 && lapsBox >= 0);
        QCOMPARE(config->pages[kRace].masks[size_t(raceBox)].id, QStringLiteral("mbox.1"));
        QCOMPARE(config->pages[kLaps].masks[size_t(lapsBox)].id, QStringLiteral("mbox.1"));
        QVERIFY(maskPath(*config, kRace, raceBox) != maskPath(*config, kLaps, lapsBox));
        resize(kRace, raceBox, 260);
        QCOMPARE(config->multiBoxRecord(kRace, raceBox).rows, 2);
        QCOMPARE(digitGrid(kRace, raceBox), QSize(2, 2));
        QCOMPARE(config->multiBoxRecord(kLaps, lapsBox).cols, 3);
        QCOMPARE(digitGrid(kLaps, lapsBox), QSize(3, 1));

        // Remove colour and Remove box on a namesake touch neither the
        // first page's records nor the namesake's art.
        const int steps = stack->count();
        window->onPageSelected(kLaps);
        window->removeBarColor(2);
        QCOMPARE(stack->count(), steps);
        chooseStyle(QStringLiteral("clean"));
        window->applyBoxStyle(1);
        QCOMPARE(maskPath(*config, kLaps, 1), lapsValueArt);
        QVERIFY(config->barColorSnapshot(kRace, 2).hasRecord);
        QCOMPARE(config->boxStyleRecord(kRace, 1).styleId, QStringLiteral("panel_outline"));
        stack->undo(); // the namesake's own "Remove box"

        // The saved file and the install.
        QVERIFY(window->save());
        DashConfig reread;
        QVERIFY(reread.load(path));
        for (const auto& [page, mask] : namesakes)
            QCOMPARE(ConfigSnapshot::xml(reread.pages[size_t(page)].masks[size_t(mask)].node),
                     namesakeXml.value(QString::number(page) + QString::number(mask)));
        QVERIFY(maskPath(reread, kRace, 1).contains(QLatin1String("/Items/box_")));
        QVERIFY(maskPath(reread, kRace, 2).contains(QLatin1String("/zbar_")));
        for (auto it = namesakeArt.constBegin(); it != namesakeArt.constEnd(); ++it)
            QCOMPARE(Rs3Fixture::treeSnapshot(rs3->absolutePath(Rs3Fixture::Stable, it.key())).value("mask.png"),
                     it.value());
        const QByteArray savedXml = ConfigSnapshot::documents(*config);
        const QByteArray savedSidecars = sidecars();

        // Undo all and redo all: each page as it was at each end.
        stack->setIndex(0);
        QCOMPARE(ConfigSnapshot::documents(*config), xml0);
        QVERIFY(!config->boxStyleRecord(kRace, 1).present);
        QVERIFY(!config->barColorSnapshot(kRace, 2).hasRecord);
        stack->setIndex(stack->count() - 1);
        QCOMPARE(ConfigSnapshot::documents(*config), savedXml);
        QCOMPARE(sidecars(), savedSidecars);
        for (const int page : {kEngine, kLaps})
            QVERIFY(!config->boxStyleRecord(page, 1).present);

        // Discard after edits past the save: the saved state, all pages.
        const QMap<QString, QByteArray> savedArt = filesOfSavedConfig(path);
        stack->undo();
        move(kLaps, 1, 7);
        config->clearIconPreview(kEngine, 2);
        QVERIFY(stack->cleanIndex() < 0);
        closeAndDiscard();
        DashConfig reopened;
        QVERIFY(reopened.load(path));
        QCOMPARE(ConfigSnapshot::documents(reopened), savedXml);
        QVERIFY(reopened.barColorSnapshot(kRace, 2).hasRecord);
        QVERIFY(!reopened.barColorSnapshot(kLaps, 2).hasRecord);
        QCOMPARE(reopened.boxStyleRecord(kRace, 1).caption, QStringLiteral("SPD"));
        QCOMPARE(reopened.iconPreviewGraphic(kEngine, 2), graphic);
        QCOMPARE(reopened.multiBoxRecord(kRace, raceBox).rows, 2);
        QCOMPARE(reopened.multiBoxRecord(kLaps, lapsBox).rows, 1);
        QCOMPARE(filesOfSavedConfig(path), savedArt);
    }

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

        window->refreshBoxArtwork();
        QVERIFY2(status().startsWith(QLatin1String("Re-rendered 1 box ")), qPrintable(status()));
        QCOMPARE(filesOfSavedConfig(path), atSave);

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

    // Colour, save, resize, colour again, Discard: every state has its own
    // set, so the saved bar's files are as they were at the save.
    void barColourHasAFolderPerState()
    {
        window->onPageSelected(kRace);
        window->applyColorBar(2);
        QVERIFY(window->save());
        const QString saved = maskPath(*config, kRace, 2);
        const QMap<QString, QByteArray> atSave = filesOfSavedConfig(path);
        QVERIFY(atSave.contains(saved + "mask.png"));

        resize(kRace, 2, 300);
        window->applyColorBar(2);
        QCOMPARE(status(), QStringLiteral("Applied green→amber→red bar color"));
        QVERIFY(maskPath(*config, kRace, 2) != saved);
        QCOMPARE(QImage(rs3->absolutePath(Rs3Fixture::Stable, maskPath(*config, kRace, 2) + "mask.png")).width(), 300);
        closeAndDiscard();
        QCOMPARE(filesOfSavedConfig(path), atSave);
        QCOMPARE(QImage(rs3->absolutePath(Rs3Fixture::Stable, saved + "mask.png")).size(), QSize(340, 60));

        // A configuration of the same name in another folder, coloured at
        // another size, writes its own set.
        const QString other = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("other")));
        QCOMPARE(QFileInfo(other).fileName(), QFileInfo(path).fileName());
        DashConfig twin;
        QVERIFY(twin.load(other));
        setParam(twin.pages[kRace].masks[2].node, "WIDTH", "300");
        QVERIFY(twin.applyBarColor(kRace, 2));
        QVERIFY(twin.save(other));
        QCOMPARE(filesOfSavedConfig(path), atSave);
    }

    // Replace artwork, Save, Undo, another edit, Discard: the history no
    // longer reaches the saved step, and still every file the saved
    // configuration points at is as at the save. A redo writes what the
    // replacement wrote, not what its source folder holds later.
    void replacedArtworkIsAsSaved()
    {
        const QString source = TestEnvironment::makeTempDir(QStringLiteral("art"));
        QImage picture(config->pages[kRace].masks[0].w, config->pages[kRace].masks[0].h, QImage::Format_ARGB32);
        picture.fill(QColor(200, 40, 160));
        QVERIFY(picture.save(source + "/mask.png"));

        window->onPageSelected(kRace);
        const QByteArray xml0 = ConfigSnapshot::documents(*config);
        asker->fileNames = {source};
        clickThrough({QStringLiteral("Overwrite artwork"), QStringLiteral("OK"), QStringLiteral("Close")});
        window->replaceArtwork(0);
        QCOMPARE(stack->count(), 1);
        QVERIFY(window->save());
        const QMap<QString, QByteArray> atSave = filesOfSavedConfig(path);
        QVERIFY(atSave.contains(DemoStock::analogGaugeItem() + "mask.tgz"));

        // Redo after the source changed and went: the replacement as made.
        // The undo gives back the element as it was, parameters in place.
        stack->undo();
        QCOMPARE(ConfigSnapshot::documents(*config), xml0);
        QVERIFY(QDir(source).removeRecursively());
        stack->redo();
        QCOMPARE(filesOfSavedConfig(path), atSave);

        stack->undo();
        move(kRace, 3, 5);
        QVERIFY(stack->cleanIndex() < 0);
        QVERIFY(filesOfSavedConfig(path) != atSave);
        closeAndDiscard();
        QCOMPARE(filesOfSavedConfig(path), atSave);
    }

    // A styled box resized, saved, the resize undone and another edit made:
    // Discard finds the saved size's item as it was.
    void resizedBoxIsAsSaved()
    {
        window->onPageSelected(kRace);
        chooseStyle(QStringLiteral("panel_dark"));
        window->applyBoxStyle(1);
        const QString styled = maskPath(*config, kRace, 1);
        resize(kRace, 1, 300);
        const QString sized = maskPath(*config, kRace, 1);
        QVERIFY(sized != styled);
        QVERIFY(window->save());
        const QMap<QString, QByteArray> atSave = filesOfSavedConfig(path);
        QVERIFY(atSave.contains(sized + "mask.tgz"));

        stack->undo();
        QCOMPARE(maskPath(*config, kRace, 1), styled);
        move(kRace, 3, 5);
        closeAndDiscard();
        QCOMPARE(filesOfSavedConfig(path), atSave);
        QCOMPARE(QImage(rs3->absolutePath(Rs3Fixture::Stable, sized + "mask.png")).width(), 300);
    }

    // A restyle whose record cannot be written beside the configuration (a
    // folder stands where the store goes) fails, says why and leaves the
    // mask, the history and the other records as they were.
    void unrecordedRestyleFails_data()
    {
        QTest::addColumn<int>("action"); // 0 bar colour, 1 box style, 2 convert to multi-value box
        QTest::addColumn<QString>("failed");
        QTest::newRow("bar colour") << 0 << QStringLiteral("Bar color apply failed — ");
        QTest::newRow("box style") << 1 << QStringLiteral("Box style apply failed — ");
        QTest::newRow("convert to multi-value box") << 2 << QStringLiteral("Convert to multi-value box failed — ");
    }
    void unrecordedRestyleFails()
    {
        QFETCH(int, action);
        QFETCH(QString, failed);
        const QString store = action == 0   ? config->barColorSidecarPath()
                              : action == 1 ? config->boxStylesSidecarPath()
                                            : config->multiBoxSidecarPath();
        QVERIFY(QDir().mkpath(store + "/blocker"));
        window->onPageSelected(kRace);
        const QByteArray xml0 = ConfigSnapshot::documents(*config);
        const QByteArray records0 = ConfigSnapshot::records(*config);
        if (action == 0) {
            window->applyColorBar(2);
        } else if (action == 1) {
            chooseStyle(QStringLiteral("panel_dark"));
            window->applyBoxStyle(1);
        } else {
            asker->onExec = [](QDialog* dialog) {
                static_cast<MultiBoxDialog*>(dialog)->parseArrangement(QStringLiteral("2x2"));
                dialog->accept();
                return dialog->result();
            };
            window->convertToMultiBox(1);
        }
        QVERIFY2(status().startsWith(failed), qPrintable(status()));
        QVERIFY2(status().contains(QDir::toNativeSeparators(store)) || status().contains(store), qPrintable(status()));
        QVERIFY2(!status().contains(QLatin1String("RaceStudio 3 install")), qPrintable(status()));
        QCOMPARE(stack->count(), 0);
        QCOMPARE(ConfigSnapshot::documents(*config), xml0);
        QCOMPARE(ConfigSnapshot::records(*config), records0);
    }
};

KORV_TEST_MAIN(DemoInstallTest)
#include "tst_demoinstall.moc"
