#include "DemoStock.h"
#include "window/MainWindow.h"
#include "artwork/BarColorSnapshot.h"
#include "canvas/DashCanvas.h"
#include "editing/AddMultiBoxCommand.h"
#include "editing/MoveCommand.h"
#include "artwork/HomebrewItems.h"
#include "artwork/StaleArtRecord.h"
#include "editing/ReorderMaskCommand.h"
#include "model/XmlParams.h"
#include "panels/AddElementDialog.h"
#include "panels/BoxStyleDialog.h"
#include "panels/MultiBoxDialog.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/DemoStockSteps.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

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

// The artwork features on a copy of the demo with the demo's own RS3
// install, as the README's main command starts them: every one must work,
// land in the saved file and draw its art into the install. A style, a
// colour, an icon preview or a multi-value box given to a mask of one page
// belongs to that mask alone, and the art made for it to that state alone,
// through undo, redo, save and Discard.
class DemoInstallTest : public QObject, DemoStockSteps {
    Q_OBJECT

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

    // Every file of the install outside the editor's homebrew sets: the
    // stock items every configuration of the device shares.
    QMap<QString, QByteArray> stockFiles() const
    {
        QMap<QString, QByteArray> files = rs3->snapshot();
        for (auto it = files.begin(); it != files.end();)
            it = it.key().contains(QLatin1String("/s04_homebrew")) ? files.erase(it) : std::next(it);
        return files;
    }

    // The lit strip the canvas draws for a bar widget, and its name.
    QImage drawnLitStrip(int page, int mask, int widget, QString* name = nullptr) const
    {
        const MaskElement& m = config->pages[size_t(page)].masks[size_t(mask)];
        const pugi::xml_node on =
            m.widgets[size_t(widget)].node.find_node([](pugi::xml_node n) {
                return QByteArray(n.name()) == "p" && QByteArray(n.attribute("n").value()) == "PATH_IMG_ON";
            });
        const QString strip = QString::fromUtf8(on.text().get());
        if (name)
            *name = strip;
        return window->findChild<DashCanvas*>()->loadBarFramePixmap(m, strip).toImage().convertToFormat(
            QImage::Format_ARGB32);
    }

    // Where the bar widget lies in its mask, as the headless render draws
    // it with sample values with the widget's lit strip named `strip`
    // instead of its own (the values' glyphs elsewhere on the page may
    // differ by a pixel from one rendering to the next).
    QImage renderedWithStrip(int page, int mask, int widget, const QString& strip) const
    {
        const MaskElement& m = config->pages[size_t(page)].masks[size_t(mask)];
        const WidgetModel& w = m.widgets[size_t(widget)];
        const pugi::xml_node on = w.node.find_node([](pugi::xml_node n) {
            return QByteArray(n.name()) == "p" && QByteArray(n.attribute("n").value()) == "PATH_IMG_ON";
        });
        const std::string own = on.text().get();
        on.text().set(strip.toUtf8().constData());
        const QImage image = DashCanvas::renderPageForPreview(config, page, true, 1);
        on.text().set(own.c_str());
        const QRect area = QRect(m.x + w.x, m.y + w.y, w.w, w.h) & QRect(m.x, m.y, m.w, m.h) & image.rect();
        return area.isEmpty() ? QImage() : image.copy(area);
    }

    // The .png twin of a strip in an install folder.
    QImage installedStrip(const QString& folder, const QString& strip) const
    {
        return QImage(rs3->absolutePath(Rs3Fixture::Stable, folder + QString(strip).replace(".tgz", ".png")))
            .convertToFormat(QImage::Format_ARGB32);
    }

private Q_SLOTS:
    void init() { openDemo(); }
    void cleanup() { closeDemo(); }

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

    // Color bar in two installs, where the second cannot take the folder:
    // the first gets the colour, the second is left as it is, and the user
    // is told which install lacks it and why.
    void barColourNamesTheInstallItLeft_data()
    {
        QTest::addColumn<bool>("link");
        QTest::newRow("link on the way") << true;
        QTest::newRow("file in the way") << false;
    }

    void barColourNamesTheInstallItLeft()
    {
        QFETCH(bool, link);
        QVERIFY(rs3->addDemoStock(Rs3Fixture::Beta));
        const QString homebrew = rs3->absolutePath(Rs3Fixture::Beta, DemoStock::itemPath(QStringLiteral("s04_homebrew")));
        const QString outside = TestEnvironment::makeTempDir(QStringLiteral("outside"));
        QVERIFY(!QFileInfo::exists(homebrew));
        if (link) {
            QVERIFY(QFile::link(outside, homebrew));
        } else {
            QFile file(homebrew);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("notes") == 5);
        }
        // A new folder, then the same state again, which the first install
        // now holds.
        for (int round = 0; round < 2; ++round) {
            if (round == 1)
                window->removeBarColor(2);
            asker->asked.clear();
            window->applyColorBar(2);
            QCOMPARE(status(), QStringLiteral("Applied green→amber→red bar color"));
            const QString item = maskPath(*config, 0, 2);
            QVERIFY(QFileInfo::exists(rs3->absolutePath(Rs3Fixture::Stable, item + QStringLiteral("mask.png"))));
            QVERIFY(QDir(outside).isEmpty());
            QCOMPARE(QFileInfo(homebrew).isSymLink(), link);
            QCOMPARE(asker->asked.size(), 1);
            QCOMPARE(asker->asked[0].title, QStringLiteral("Color bar"));
            const QString text = asker->asked[0].text;
            QVERIFY2(text.contains(QDir::cleanPath(rs3->absolutePath(Rs3Fixture::Beta, item)) + " was left"), qPrintable(text));
            const QString why = link ? homebrew + " is a symbolic link"
                : round == 0         ? homebrew + " is in the way: it is not a folder"
                                     : QStringLiteral("Not a directory");
            QVERIFY2(text.contains(why), qPrintable(text));
        }
    }

    // The demo's bar pasted into an inserted stock standing bar, and a
    // coloured bar into an inserted stock lying bar: each stock item, which
    // every configuration of the device shares, stays byte-identical through
    // save, undo, save and Discard; each pasted bar draws its own strips from
    // an item of its mask's own. What an unsaved paste made goes with its
    // undo; what a saved file points at stays.
    // A bar pasted into a coloured bar is refused: the element's coloured
    // pictures light up for its own bar alone. Nothing changes, and the
    // colour comes off as before.
    void pasteIntoColouredBarIsRefused()
    {
        window->applyColorBar(2);
        const QString coloured = maskPath(*config, 0, 2);
        QVERIFY(coloured.contains(QStringLiteral("/zbar_")));
        const int standing = insertStock(QStringLiteral("Vertical bar"));
        QVERIFY(standing >= 0);
        const int steps = stack->count();
        const QByteArray xml = ConfigSnapshot::documents(*config);
        const QMap<QString, QByteArray> art = rs3->snapshot();
        QCOMPARE(copyBarInto(0, standing, 2), -1);
        QVERIFY2(status().startsWith(QStringLiteral("Remove color first")), qPrintable(status()));
        QCOMPARE(stack->count(), steps);
        QCOMPARE(ConfigSnapshot::documents(*config), xml);
        QCOMPARE(rs3->snapshot(), art);
        window->removeBarColor(2);
        QCOMPARE(status(), QStringLiteral("Removed bar color"));
        QVERIFY(!maskPath(*config, 0, 2).contains(QStringLiteral("/s04_homebrew/")));
    }

    // Pictures pasted into a styled box move it to a copy of its item: its
    // style record follows it through the save, and is there when undo
    // brings the box back to its own item.
    void pasteIntoStyledBoxKeepsItsRecord()
    {
        chooseStyle(QStringLiteral("solid_blue"));
        window->applyBoxStyle(1);
        QCOMPARE(status(), QStringLiteral("Applied box style \"solid_blue\""));
        const QString styled = maskPath(*config, 0, 1);
        const QString key = config->boxStyleKey(0, 1);
        QVERIFY2(copyBarInto(0, 2, 1) >= 0, qPrintable(status()));
        window->applyColorBar(2);
        QVERIFY2(copyBarInto(0, 2, 1) >= 0, qPrintable(status()));
        QVERIFY2(maskPath(*config, 0, 1).contains(QStringLiteral("/s04_homebrew/zpaste_")),
                 qPrintable(maskPath(*config, 0, 1)));
        QVERIFY(config->staleArtRecords().empty());

        QVERIFY(window->save());
        QCOMPARE(config->loadBoxStyleSidecar().value(key).styleId, QStringLiteral("solid_blue"));
        select(0, 1);
        QVERIFY2(panelText("boxStyleLabel").contains(QStringLiteral("Solid Blue")), qPrintable(panelText("boxStyleLabel")));
        stack->undo();
        stack->undo();
        QCOMPARE(maskPath(*config, 0, 1), styled);
        QCOMPARE(config->loadBoxStyleSidecar().value(key).styleId, QStringLiteral("solid_blue"));
        select(0, 1);
        QVERIFY2(panelText("boxStyleLabel").contains(QStringLiteral("Solid Blue")), qPrintable(panelText("boxStyleLabel")));
    }

    void pastedBarsLeaveTheStockItems()
    {
        const QMap<QString, QByteArray> stock = stockFiles();
        QVERIFY(!stock.isEmpty());

        const int standing = insertStock(QStringLiteral("Vertical bar"));
        QVERIFY(standing >= 0);
        const QString standingItem = maskPath(*config, 0, standing);
        const QByteArray xml = ConfigSnapshot::documents(*config);
        const int first = copyBarInto(0, 2, standing);
        QVERIFY2(first >= 0, qPrintable(status()));
        QCOMPARE(stockFiles(), stock);
        const QString own = maskPath(*config, 0, standing);
        QVERIFY2(own.contains(QStringLiteral("/s04_homebrew/zpaste_Demo_")) && own.endsWith("/Items/b_vbar/"),
                 qPrintable(own));
        QString strip;
        QCOMPARE(drawnLitStrip(0, standing, first, &strip), installedStrip(DemoStock::barItem(), "m4on0.tgz"));
        QVERIFY(strip != QStringLiteral("m4on0.tgz"));
        // The render draws it, not the standing bar's strip of the old name.
        const QImage drawn = renderedWithStrip(0, standing, first, strip);
        QVERIFY(!drawn.isNull());
        QCOMPARE(renderedWithStrip(0, standing, first, strip), drawn);
        QVERIFY(drawn != renderedWithStrip(0, standing, first, "m4on0.tgz"));
        // The standing bar's own widget keeps the standing strip.
        QCOMPARE(drawnLitStrip(0, standing, barWidget(0, standing)), installedStrip(standingItem, "m4on0.tgz"));
        QVERIFY(installedStrip(standingItem, "m4on0.tgz") != installedStrip(DemoStock::barItem(), "m4on0.tgz"));
        // Unsaved, its undo points the bar back and leaves the item, and its
        // redo points it there again.
        const QMap<QString, QByteArray> ownFiles = filesIn({own});
        const QByteArray pastedXml = ConfigSnapshot::documents(*config);
        stack->undo();
        QCOMPARE(ConfigSnapshot::documents(*config), xml);
        QCOMPARE(maskPath(*config, 0, standing), standingItem);
        QCOMPARE(filesIn({own}), ownFiles);
        QCOMPARE(stockFiles(), stock);
        stack->redo();
        QCOMPARE(ConfigSnapshot::documents(*config), pastedXml);
        QCOMPARE(filesIn({own}), ownFiles);

        window->applyColorBar(2);
        const QString coloured = maskPath(*config, 0, 2);
        QVERIFY(coloured.contains(QStringLiteral("/zbar_")));
        const int lying = insertStock(QStringLiteral("Horizontal bar"));
        QVERIFY(lying >= 0);
        QCOMPARE(maskPath(*config, 0, lying), DemoStock::barItem());
        const int second = copyBarInto(0, 2, lying);
        QVERIFY2(second >= 0, qPrintable(status()));
        QCOMPARE(stockFiles(), stock);
        const QString ownLying = maskPath(*config, 0, lying);
        QVERIFY2(ownLying.contains(QStringLiteral("/s04_homebrew/zpaste_Demo_")), qPrintable(ownLying));
        const QImage recoloured = installedStrip(coloured, "m4on0.tgz");
        QVERIFY(recoloured != installedStrip(DemoStock::barItem(), "m4on0.tgz"));
        QString lyingStrip;
        QCOMPARE(drawnLitStrip(0, lying, second, &lyingStrip), recoloured);
        const QImage drawnLying = renderedWithStrip(0, lying, second, lyingStrip);
        QVERIFY(!drawnLying.isNull());
        QCOMPARE(renderedWithStrip(0, lying, second, lyingStrip), drawnLying);
        QVERIFY(drawnLying != renderedWithStrip(0, lying, second, "m4on0.tgz"));
        QCOMPARE(drawnLitStrip(0, lying, barWidget(0, lying)), installedStrip(DemoStock::barItem(), "m4on0.tgz"));

        QVERIFY(window->save());
        QCOMPARE(stockFiles(), stock);
        const QMap<QString, QByteArray> saved = filesOfSavedConfig(path);
        QVERIFY(saved.contains(own + strip));
        // Saved, the item stays for the saved file through the undo.
        stack->undo();
        QCOMPARE(maskPath(*config, 0, lying), DemoStock::barItem());
        QCOMPARE(stockFiles(), stock);
        QVERIFY(window->save());
        QCOMPARE(stockFiles(), stock);
        stack->redo();
        QCOMPARE(filesIn({ownLying}).isEmpty(), false);

        // A paste never saved stays through Discard (here into an inserted
        // value, whose item is the editor's own: the strips go in beside its
        // art); the saved files find their art.
        const int value = insertStock(QStringLiteral("Numeric value"));
        QVERIFY(value >= 0);
        const int third = copyBarInto(0, 2, value);
        QVERIFY2(third >= 0, qPrintable(status()));
        QString valueStrip;
        QCOMPARE(drawnLitStrip(0, value, third, &valueStrip), recoloured);
        const QString valueFile = rs3->absolutePath(Rs3Fixture::Stable, maskPath(*config, 0, value) + valueStrip);
        QVERIFY(QFileInfo::exists(valueFile));
        QCOMPARE(stockFiles(), stock);
        const QString savedAt = path;
        closeAndDiscard();
        QCOMPARE(stockFiles(), stock);
        QVERIFY(QFileInfo::exists(valueFile));
        QCOMPARE(filesIn(foldersOfSavedConfig(savedAt)).value(own + strip), saved.value(own + strip));
        QVERIFY(QFileInfo::exists(rs3->absolutePath(Rs3Fixture::Stable, ownLying)));
    }

    // A paste whose pictures cannot be brought along (the homebrew set
    // folder is a file) is refused whole: the history, the mask and the
    // installs stay as they were, and the status says why.
    void pasteWithoutRoomForItsPicturesIsRefused()
    {
        const int standing = insertStock(QStringLiteral("Vertical bar"));
        QVERIFY(standing >= 0);
        QVERIFY(rs3->writeFile(Rs3Fixture::Stable, DemoStock::itemPath(QStringLiteral("s04_homebrew")), "a file"));
        const QMap<QString, QByteArray> before = rs3->snapshot();
        const QByteArray xml = ConfigSnapshot::documents(*config);
        const int steps = stack->count();
        QCOMPARE(copyBarInto(0, 2, standing), -1);
        QVERIFY2(status().startsWith(QStringLiteral("Paste failed -- the widgets' pictures could not be copied: ")),
                 qPrintable(status()));
        QCOMPARE(stack->count(), steps);
        QCOMPARE(ConfigSnapshot::documents(*config), xml);
        QCOMPARE(rs3->snapshot(), before);
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

    // A restyle or a new box whose record cannot be written beside the
    // configuration (a folder stands where the store goes) is done: its
    // record waits for the save, which that store stops, saying why and
    // leaving the file as it was saved.
    void unwritableStoreStopsTheSave_data()
    {
        QTest::addColumn<int>("action"); // 1 box style, 2 convert to, 3 insert a multi-value box
        QTest::newRow("box style") << 1;
        QTest::newRow("convert to multi-value box") << 2;
        QTest::newRow("insert multi-value box") << 3;
    }
    void unwritableStoreStopsTheSave()
    {
        QFETCH(int, action);
        const QString store = action == 1 ? config->boxStylesSidecarPath() : config->multiBoxSidecarPath();
        QVERIFY(QDir().mkpath(store + "/blocker"));
        window->onPageSelected(kRace);
        const QByteArray saved = TestFiles::readBytes(path);
        if (action == 1) {
            chooseStyle(QStringLiteral("panel_dark"));
            window->applyBoxStyle(1);
        } else {
            asker->onExec = [](QDialog* dialog) {
                if (auto* add = qobject_cast<AddElementDialog*>(dialog)) {
                    auto* types = add->findChild<QListWidget*>(QStringLiteral("types"));
                    types->setCurrentItem(types->findItems(QStringLiteral("Multi-value box"), Qt::MatchExactly).value(0));
                    add->onAccept();
                    return add->result();
                }
                static_cast<MultiBoxDialog*>(dialog)->parseArrangement(QStringLiteral("2x2"));
                dialog->accept();
                return dialog->result();
            };
            action == 2 ? window->convertToMultiBox(1) : window->insertElement();
        }
        QCOMPARE(stack->count(), 1);
        asker->onExec = {};
        const int messages = asker->count(QStringLiteral("message"));
        QVERIFY(!window->save());
        QCOMPARE(asker->count(QStringLiteral("message")), messages + 1);
        QVERIFY2(asker->asked.last().text.contains(QLatin1String("records kept beside the file could not be written")),
                 qPrintable(asker->asked.last().text));
        QCOMPARE(TestFiles::readBytes(path), saved);
        QVERIFY(window->hasUnsavedChanges());
    }
};

KORV_TEST_MAIN(DemoInstallTest)
#include "tst_demoinstall.moc"
