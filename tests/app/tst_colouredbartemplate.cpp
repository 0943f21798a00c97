#include "DemoStock.h"
#include "canvas/IDataSource.h"
#include "dialogs/AddPageDialog.h"
#include "canvas/SampleDataSource.h"
#include "support/DemoStockSteps.h"

#include <QDialogButtonBox>
#include <QTabWidget>

// A coloured bar that comes back on a page added from a template (its
// pictures are the template's copy, its stamp names the stock item) follows
// its element's size, and Remove color gives the stock art at that size.
// Bars pasted into a styled box are drawn by the headless render as the
// window draws them.
namespace {

class OneValue : public IDataSource {
public:
    double v = 0.0;
    bool isValid() const override { return true; }
    double value(const QString&, double) const override { return v; }
    QString matchedColumn(const QString& channel) const override { return channel; }
    QString unitOf(const QString&) const override { return {}; }
};

constexpr int kBar = 2; // md.02, the Race page's lying bar (340 x 60 at 420, 230)

} // namespace

class ColouredBarTemplateTest : public QObject, public DemoStockSteps {
    Q_OBJECT

    // The page at scale 1 from (10, 10), every value at `value`.
    static QImage render(DashConfig& c, int page, double value)
    {
        OneValue source;
        source.v = value;
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setConfig(&c);
        canvas.setPage(c.page(page));
        canvas.previewMode = true;
        canvas.setDataSource(&source);
        canvas.setTime(1.0);
        return canvas.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // Pixels of the ramp (green to red) in the page rectangle.
    static int rampPixels(const QImage& drawn, const QRect& rect)
    {
        int n = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x) {
                const QColor c = drawn.pixelColor(x + 10, y + 10);
                n += std::max(c.red(), c.green()) > 150 && c.blue() < 100;
            }
        return n;
    }

    QImage picture(const QString& item, const char* name) const
    {
        return QImage(rs3->absolutePath(Rs3Fixture::Stable, item) + QLatin1String(name));
    }

    void addPageFromTemplate(const QString& name)
    {
        asker->onExec = [name](QDialog* dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
                for (QAbstractButton* button : box->buttons()) {
                    if (button->text().startsWith("Add in Korvelanto anyway"))
                        button->click();
                }
                return box->result();
            }
            auto* addPage = qobject_cast<AddPageDialog*>(dialog);
            if (!addPage)
                return 0;
            const int homebrew = addPage->tabs->count() - 1;
            addPage->tabs->setCurrentIndex(homebrew);
            auto* list = qobject_cast<QListWidget*>(addPage->tabs->widget(homebrew));
            list->setCurrentItem(list->findItems(name, Qt::MatchExactly).value(0));
            emit addPage->buttons->accepted();
            return addPage->result();
        };
        window->addPageFromTemplate();
        asker->onExec = {};
    }

private Q_SLOTS:
    void init() { openDemo(); }
    void cleanup() { closeDemo(); }

    void templatePageBarFollowsResizeAndRemoveColor()
    {
        select(kRace, kBar);
        window->applyColorBar(kBar);
        resize(kRace, kBar, 250);
        QVERIFY(window->save());
        asker->texts << qMakePair(true, QStringLiteral("T1"));
        window->saveCurrentAsTemplate();
        const int added = config->pageCount();
        addPageFromTemplate(QStringLiteral("T1"));
        QCOMPARE(config->pageCount(), added + 1);
        int bar = -1;
        for (int k = 0; k < int(config->pages[size_t(added)].masks.size()); ++k)
            if (config->pages[size_t(added)].masks[size_t(k)].id == QStringLiteral("md.02"))
                bar = k;
        QVERIFY(bar >= 0);
        // The template's copy of the coloured art, stamped with the stock item.
        const QString copied = maskPath(*config, added, bar);
        QVERIFY2(copied.contains(QLatin1String("/s04_homebrew/zt1/")), qPrintable(copied));
        QCOMPARE(paramValue(config->pages[size_t(added)].masks[size_t(bar)].node, "DE_BARCOLOR_SRC"),
                 DemoStock::barItem());

        select(added, bar);
        resize(added, bar, 320);
        QVERIFY(window->save());
        DashConfig saved;
        QVERIFY(saved.load(path));
        const QString item = maskPath(saved, added, bar);
        for (const char* name : {"mask.png", "m4off.png", "m4on0.png"})
            QCOMPARE(picture(item, name).size(), QSize(320, 60));
        // Nothing lit at 0, the ramp ends at the element's edge at full.
        const QRect element(420, 230, 320, 60);
        QCOMPARE(rampPixels(render(saved, added, 0.0), element), 0);
        const QImage full = render(saved, added, 8000.0);
        QVERIFY(rampPixels(full, element) > 0);
        QCOMPARE(rampPixels(full, QRect(740, 230, 40, 60)), 0);

        // Remove color: the stock art at the bar's size.
        select(added, bar);
        window->removeBarColor(bar);
        QCOMPARE(status(), QStringLiteral("Removed bar color"));
        const pugi::xml_node node = config->pages[size_t(added)].masks[size_t(bar)].node;
        QCOMPARE(paramValue(node, "DE_FIT_SRC"), DemoStock::barItem());
        QVERIFY(!node.find_child_by_attribute("p", "n", "DE_BARCOLOR_SRC"));
        const QString stock = maskPath(*config, added, bar);
        for (const char* name : {"mask.png", "m4off.png", "m4on0.png"})
            QCOMPARE(picture(stock, name).size(), QSize(320, 60));
        QCOMPARE(rampPixels(render(*config, added, 0.0), element), 0);
        closeAndDiscard();
    }

    // The styled SPEED box holding two pasted bars, the coloured one of
    // md.02 and a stock standing bar's, saved: the headless render draws
    // them as the window's canvas does, at the same values.
    void headlessRenderDrawsPastedBars()
    {
        select(kRace, 1);
        chooseStyle(QStringLiteral("panel_dark"));
        window->applyBoxStyle(1);
        window->applyColorBar(kBar);
        QVERIFY(copyBarInto(kRace, kBar, 1) >= 0);
        const int standing = insertStock(QStringLiteral("Vertical bar"));
        QVERIFY(standing >= 0);
        QVERIFY(copyBarInto(kRace, standing, 1) >= 0);
        QVERIFY2(maskPath(*config, kRace, 1).contains(QLatin1String("/s04_homebrew/zpaste_")),
                 qPrintable(maskPath(*config, kRace, 1)));
        QVERIFY(window->save());

        DashConfig saved;
        QVERIFY(saved.load(path));
        const QImage headless = DashCanvas::renderPageForPreview(&saved, kRace, true, 1);
        // The window's canvas with its callbacks, in its look without editor
        // chrome, at the headless render's values.
        SampleDataSource samples;
        DashCanvas canvas;
        canvas.resize(saved.page(kRace)->width + 20, saved.page(kRace)->height + 20);
        canvas.config = &saved;
        canvas.setConfig(&saved);
        canvas.setMaskImageProvider([&saved](int mask) { return saved.renderBoxStyleImage(kRace, mask); });
        canvas.setPage(saved.page(kRace));
        canvas.previewMode = true;
        canvas.setDataSource(&samples);
        canvas.setTime(7.5);
        const QImage shown = canvas.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(headless.convertToFormat(QImage::Format_RGB32),
                 shown.copy(10, 10, headless.width(), headless.height()).convertToFormat(QImage::Format_RGB32));
        // Both draw the pasted bars over the box's picture: the coloured
        // one's ramp shows inside the box.
        const MaskElement& box = saved.pages[kRace].masks[1];
        const QRect inBox(box.x, box.y, box.w, box.h);
        int ramp = 0;
        for (int y = inBox.top(); y <= inBox.bottom(); ++y)
            for (int x = inBox.left(); x <= inBox.right(); ++x) {
                const QColor c = headless.pixelColor(x, y);
                ramp += c.red() > 200 && c.green() < 80 && c.blue() < 80;
            }
        QVERIFY2(ramp > 50, qPrintable(QString::number(ramp)));
        closeAndDiscard();
    }
};

KORV_TEST_MAIN(ColouredBarTemplateTest)

#include "tst_colouredbartemplate.moc"
