#include "DemoStock.h"
#include "dialogs/ConfigCheckDialog.h"
#include "window/MainWindow.h"
#include "dialogs/OnlineGalleryDialog.h"
#include "updates/UpdateBanner.h"
#include "canvas/DashCanvas.h"
#include "panels/BoxStyleDialog.h"
#include "dialogs/ExportThemeDialog.h"
#include "dialogs/NewHomebrewThemeDialog.h"
#include "dialogs/PreferencesDialog.h"
#include "panels/Asker.h"
#include "panels/BarTemplateBrowser.h"
#include "panels/MultiBoxDialog.h"
#include "panels/RefTimeBarDialog.h"
#include "panels/SwapArtworkDialog.h"
#include "panels/ValueBarDialog.h"
#include "panels/WidgetPropertiesDialog.h"
#include "panels/ElementCatalog.h"
#include "panels/ElementLibraryDialog.h"
#include "panels/IconPreviewDialog.h"
#include "panels/PageListPanel.h"
#include "support/ConfigFixture.h"
#include "support/FakeWebService.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// Kept under the build folder for a person to look at.
void keepGrab(QWidget* widget, const QString& name)
{
    const QString binary = qEnvironmentVariable("KORV_BINARY_DIR");
    if (!binary.isEmpty() && QDir().mkpath(binary + QStringLiteral("/window-grabs")))
        widget->grab().save(binary + QStringLiteral("/window-grabs/") + name + QStringLiteral(".png"));
}

// The height a text needs wrapped at the width, in the widget's font.
int wrappedHeight(const QWidget* widget, const QString& text, int width)
{
    return widget->fontMetrics()
        .boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap | Qt::AlignLeft, text)
        .height();
}

// Every item of the list shows its icon and its whole text, wrapped at the
// list's grid width (or the viewport's), without cropping either.
void checkItemsWhole(QListWidget* list)
{
    const int width = (list->gridSize().isValid() ? list->gridSize().width() : list->viewport()->width()) - 8;
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem* item = list->item(i);
        const QRect r = list->visualItemRect(item);
        const int icon = item->icon().isNull() ? 0 : item->icon().actualSize(list->iconSize()).height();
        const int needed = icon + wrappedHeight(list, item->text(), width);
        QVERIFY2(r.height() >= needed && r.right() <= list->viewport()->width(),
                 qPrintable(QStringLiteral("%1: %2 < %3").arg(item->text()).arg(r.height()).arg(needed)));
    }
}

// The title and width of the first modal window that opens while `open`
// runs, which is then closed: the real dialogs, as the program shows them.
struct Opened {
    QString title;
    int width = 0;
    int needed = 0;
};
Opened firstModal(const std::function<void()>& open)
{
    Opened seen;
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!modal || !modal->isVisible())
            return;
        if (seen.title.isEmpty()) {
            seen.title = modal->windowTitle();
            seen.width = modal->width();
            // A title bar shows the title in bold beside the window's icon
            // and its buttons.
            QFont bold = modal->font();
            bold.setBold(true);
            seen.needed = QFontMetrics(bold).horizontalAdvance(seen.title) + 100;
        }
        modal->reject();
    });
    watch.start();
    open();
    return seen;
}

template <typename D>
std::function<void()> run(std::function<D*()> make)
{
    return [make] {
        std::unique_ptr<D> dialog(make());
        Asker::instance().exec(dialog.get());
    };
}

} // namespace

// The dialogs at their default sizes: each text can be read whole. Each
// test keeps a picture of what it checked in <build>/window-grabs.
class DialogLayoutsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Rs3Fixture> rs3;

private Q_SLOTS:
    void init()
    {
        rs3 = std::make_unique<Rs3Fixture>();
        QVERIFY(rs3->addDemoStock(Rs3Fixture::Stable));
    }
    void cleanup() { rs3.reset(); }

    // A finding whose consequence wraps keeps its message line.
    void checkDialog()
    {
        ConfigFinding longOne;
        longOne.severity = 0;
        longOne.pageIndex = 1;
        longOne.elementId = QStringLiteral("md.02");
        longOne.code = QStringLiteral("marker-mismatch");
        longOne.consequence = QStringLiteral("RaceStudio 3 asks for every missing image once per element when the "
                                             "config opens, and the dash shows an empty box where the artwork "
                                             "should be drawn, on every page that holds this element.");
        longOne.message = QStringLiteral("Artwork folder is not on this machine "
                                         "(aim/resources/overlay/mxg_12/masks/set/standard/s02/p01/Items/a_num/).");
        ConfigFinding shortOne;
        shortOne.pageIndex = 0;
        shortOne.code = QStringLiteral("off-page");
        shortOne.consequence = QStringLiteral("The part past the edge is cut off on the dash.");
        shortOne.message = QStringLiteral("Mask md.01 reaches past the page.");
        ConfigCheckDialog dialog({longOne, shortOne}, QStringLiteral("Demo"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.size(), QSize(820, 480));
        auto* tree = dialog.findChild<QTreeWidget*>();
        QTest::qWait(50);
        keepGrab(&dialog, QStringLiteral("check-dialog"));
        const int width = tree->header()->sectionSize(1) - 12;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = tree->topLevelItem(i);
            const QRect r = tree->visualItemRect(row);
            QVERIFY2(r.height() >= wrappedHeight(tree, row->text(1), width),
                     qPrintable(QStringLiteral("row %1: %2 high").arg(i).arg(r.height())));
        }
    }

    // Square gauges and icons next to wide bars: every item whole.
    void elementLibrary()
    {
        QVERIFY(ElementCatalog::rebuild() > 4);
        ElementLibraryDialog dialog(DemoStock::family(), QSize(800, 480));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* grid = dialog.findChild<QListWidget*>();
        QVERIFY(grid->count() > 4);
        QTest::qWait(50);
        keepGrab(&dialog, QStringLiteral("element-library"));
        checkItemsWhole(grid);
    }

    // A name that wraps shows from its first line on.
    void iconPreview()
    {
        IconPreviewDialog dialog(DemoStock::iconItem(), QString());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* list = dialog.findChild<QListWidget*>();
        QVERIFY(list->count() >= 3);
        QTest::qWait(50);
        keepGrab(&dialog, QStringLiteral("icon-preview"));
        checkItemsWhole(list);
    }

    // The notes dialog does not take the banner's light-on-blue colours.
    void updateNotes()
    {
        ScriptedAsker asker;
        QWidget window;
        auto* banner = new UpdateBanner(&window);
        UpdateManifest manifest;
        manifest.latest = QStringLiteral("0.6");
        manifest.release_notes = QStringLiteral("- Box styles on the demo\n- Clearer messages");
        banner->setManifest(manifest);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QImage heading;
        QImage close;
        asker.onExec = [&](QDialog* dialog) {
            dialog->show();
            if (!QTest::qWaitForWindowExposed(dialog))
                return int(QDialog::Rejected);
            heading = dialog->findChild<QLabel*>()->grab().toImage();
            close = dialog->findChild<QPushButton*>()->grab().toImage();
            keepGrab(dialog, QStringLiteral("update-notes"));
            return int(QDialog::Rejected);
        };
        banner->showReleaseNotes();
        QVERIFY(!heading.isNull() && !close.isNull());
        // Dark lettering on the light dialog: the text is there to be read.
        const auto darkPixels = [](const QImage& image) {
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    n += qGray(image.pixel(x, y)) < 110;
            return n;
        };
        QVERIFY2(darkPixels(heading) > 20, "heading unreadable");
        QVERIFY2(darkPixels(close) > 20, "Close button text unreadable");
    }

    // Device rows whole and the list as wide as its rows.
    void gallery()
    {
        FakeWebService web;
        QVERIFY(web.start());
        web.setReply("/api/catalog",
                     FakeWebService::okReply(QByteArray(
                         "{\"items\":[{\"slug\":\"neon\",\"name\":\"Neon Nights\",\"kind\":\"theme\","
                         "\"devices\":[\"mxg_12\",\"mxs_12\",\"pdm/dash1\",\"mxt\"]},"
                         "{\"slug\":\"club\",\"name\":\"Club Racer Endurance Layout\",\"kind\":\"config\","
                         "\"devices\":[\"mxp\"]}]}")));
        gallery::OnlineGalleryDialog dialog(nullptr, web.baseUrl());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(QTest::qWaitFor([&] { return dialog.findChild<QStackedWidget*>()->currentIndex() == 2; }, 10000));
        QTest::qWait(50);
        keepGrab(&dialog, QStringLiteral("gallery"));
        auto* devices = dialog.findChild<QListWidget*>(QStringLiteral("deviceList"));
        QVERIFY(devices);
        for (int i = 0; i < devices->count(); ++i) {
            const QRect r = devices->visualItemRect(devices->item(i));
            const int textWidth = devices->fontMetrics().horizontalAdvance(devices->item(i)->text());
            QVERIFY2(r.width() >= textWidth && r.bottom() < devices->viewport()->height(),
                     qPrintable(devices->item(i)->text()));
        }
        auto* items = dialog.findChild<QListWidget*>(QStringLiteral("itemList"));
        checkItemsWhole(items);
        // No dead gap beside the device rows.
        QVERIFY(devices->width() < 180);
    }

    // At least two rows of styles at the designer's default size.
    void boxDesigner()
    {
        BoxStyleDialog dialog(QSize(340, 160), BoxStyleRecord(), DemoStock::family(), 0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* styles = dialog.findChild<QListWidget*>();
        QTest::qWait(50);
        keepGrab(&dialog, QStringLiteral("box-designer"));
        const int row = styles->visualItemRect(styles->item(0)).height();
        QVERIFY2(styles->viewport()->height() >= 2 * row, qPrintable(QString::number(styles->viewport()->height())));
    }

    // Each dialog opens at least as wide as its title, so the title bar
    // shows it whole.
    void dialogsAreAsWideAsTheirTitles_data()
    {
        QTest::addColumn<QString>("dialog");
        for (const char* name : {"Multi-value box", "Widget Properties", "Save as Template", "Generate Invisible Chrome",
                                 "Insert +- Ref Time bar", "Add value bar", "Pick a Bar template", "Preferences",
                                 "Export Theme", "New Homebrew Theme", "Swap artwork"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void dialogsAreAsWideAsTheirTitles()
    {
        QFETCH(QString, dialog);
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QString demo = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        window.loadConfig(demo);
        DashConfig* config = window.findChild<DashCanvas*>()->config;
        std::function<void()> open;
        if (dialog == "Multi-value box")
            open = run<MultiBoxDialog>([] { return new MultiBoxDialog(DemoStock::family()); });
        else if (dialog == "Widget Properties")
            open = run<WidgetPropertiesDialog>([config] {
                MaskElement& mask = config->pages[0].masks[1];
                return new WidgetPropertiesDialog(&mask, &mask.widgets[1], config, 0);
            });
        else if (dialog == "Save as Template")
            open = [&window] { window.saveCurrentAsTemplate(); };
        else if (dialog == "Generate Invisible Chrome")
            open = [&window] {
                window.generateInvisibleChrome(qEnvironmentVariable("KORV_BINARY_DIR") + QStringLiteral("/app"));
            };
        else if (dialog == "Insert +- Ref Time bar")
            open = run<RefTimeBarDialog>([] { return new RefTimeBarDialog; });
        else if (dialog == "Add value bar")
            open = run<ValueBarDialog>([] { return new ValueBarDialog; });
        else if (dialog == "Pick a Bar template")
            open = run<BarTemplateBrowser>([] { return new BarTemplateBrowser; });
        else if (dialog == "Preferences")
            open = run<PreferencesDialog>([] { return new PreferencesDialog; });
        else if (dialog == "Export Theme")
            open = run<ExportThemeDialog>([] { return new ExportThemeDialog; });
        else if (dialog == "New Homebrew Theme")
            open = run<NewHomebrewThemeDialog>([] { return new NewHomebrewThemeDialog; });
        else if (dialog == "Swap artwork")
            open = run<SwapArtworkDialog>([] { return new SwapArtworkDialog(DemoStock::valueBoxItem()); });
        const Opened seen = firstModal(open);
        if (dialog == "Generate Invisible Chrome" && seen.title.isEmpty())
            QSKIP("the generator needs Python 3.10 or later, and its script beside the built program");
        QCOMPARE(seen.title, dialog);
        QVERIFY2(seen.width >= seen.needed, qPrintable(QStringLiteral("%1 < %2").arg(seen.width).arg(seen.needed)));
    }

    // A page added from a template sits in the page list like the others.
    void templatePageInTheList()
    {
        ScriptedAsker asker;
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.loadConfig(ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo"))));
        PageTemplate tpl;
        tpl.folderPath = rs3->absolutePath(Rs3Fixture::Stable, DemoStock::itemPath(QStringLiteral("s02/p02")));
        window.setAddPageDialogFactory([&] { return AddPageChoice{1, tpl, DemoStock::family()}; });
        window.addPageFromTemplate();
        auto* pages = window.findChild<PageListPanel*>();
        QCOMPARE(pages->count(), 4);
        QTest::qWait(50);
        keepGrab(&window, QStringLiteral("template-page"));
        checkItemsWhole(pages);
    }
};

KORV_TEST_MAIN(DialogLayoutsTest)
#include "tst_dialoglayouts.moc"
