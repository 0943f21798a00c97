#include "model/DashConfig.h"
#include "panels/AddElementDialog.h"
#include "panels/PreviewScene.h"
#include "panels/SamplePreviewValues.h"
#include "panels/StockMaskCache.h"
#include "support/ConfigFixture.h"
#include "support/FifoGuard.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QtTest>

#include <chrono>
#include <filesystem>
#include <memory>

namespace {

const QString kStandard = QStringLiteral("aim/resources/overlay/%1/masks/set/standard/");

FixtureElement trapezio()
{
    return Fx::bargraph(QStringLiteral("01"), 0, 0, 10, 10, QString(), true);
}

FixtureElement scaleLabel(const QString& id, const QString& axisRef)
{
    return Fx::label(id, QStringLiteral("0"), 0, 0, 10, 10).p(QStringLiteral("AXIS_REF"), axisRef);
}

// Two RS3 installs with stock items for two device families.
void fillStockTrees(Rs3Fixture& rs3)
{
    const auto item = [&rs3](Rs3Fixture::Root root, const QString& family, const QString& rel,
                             const FixtureElement& mask) {
        QVERIFY(rs3.addMaskItem(root, kStandard.arg(family) + rel, mask.toXml(2)));
    };
    const QString mxg = QStringLiteral("mxg_12");
    const auto axis = Fx::axis(QStringLiteral("00"), QStringLiteral("X"));
    item(Rs3Fixture::Stable, mxg, "s01/p01/Items/a_num",
         Fx::mask("st-num", 0, 0, 100, 50).add(axis).add(Fx::digit("01", 0, 0, 100, 50)));
    item(Rs3Fixture::Stable, mxg, "s01/p01/Items/b_hbar", Fx::mask("st-hbar", 0, 0, 200, 40).add(trapezio()));
    item(Rs3Fixture::Stable, mxg, "s01/p01/Items/c_axislabel",
         Fx::mask("st-axl", 0, 0, 50, 50).add(axis).add(Fx::label("01", "km/h", 0, 0, 10, 10)));
    item(Rs3Fixture::Stable, mxg, "s01/p01/Items/d_label",
         Fx::mask("st-label", 0, 0, 90, 30).add(Fx::label("01", "Hi", 0, 0, 90, 30)));
    item(Rs3Fixture::Stable, mxg, "s01/p02/Items/e_strip",
         Fx::mask("st-strip", 0, 0, 240, 30)
             .add(Fx::label("01", "A", 0, 0, 10, 10))
             .add(Fx::label("02", "B", 0, 0, 10, 10))
             .add(Fx::label("03", "C", 0, 0, 10, 10)));
    QVERIFY(rs3.writeFile(Rs3Fixture::Stable, kStandard.arg(mxg) + "s01/p02/Items/f_bad/f_bad.M2.xml",
                          "<aimDataBase_Mask2><e c=\"GMaskParam\""));
    item(Rs3Fixture::Stable, mxg, "s01/p02/Items/g_blank",
         Fx::mask("st-blank", 0, 0, 50, 50).add(Fx::label("01", "", 0, 0, 10, 10)));
    // Later set, but the set of the page (s02): it wins over the earlier s01.
    item(Rs3Fixture::Stable, mxg, "s02/p00/Items/0_num", Fx::mask("st2-num", 0, 0, 10, 10).add(Fx::digit("01", 0, 0, 9, 9)));
    // Earlier set in the second root: as far from the page as s01, so the
    // root order keeps the stable one.
    item(Rs3Fixture::Beta, mxg, "s00/p01/Items/a_num", Fx::mask("beta-num", 0, 0, 120, 60).add(Fx::digit("01", 0, 0, 9, 9)));
    item(Rs3Fixture::Beta, mxg, "s01/p01/Items/h_gauge",
         Fx::mask("beta-gauge", 0, 0, 150, 150).add(FixtureElement(QStringLiteral("Analog"), QStringLiteral("01"))));

    const QString mxs = QStringLiteral("mxs_12");
    item(Rs3Fixture::Stable, mxs, "s01/p01/Items/a_hbar", Fx::mask("hbar", 0, 0, 200, 40).add(trapezio()));
    item(Rs3Fixture::Stable, mxs, "s01/p01/Items/b_bad",
         Fx::mask("bad", 0, 0, 60, 100).add(trapezio()).add(scaleLabel("02", "00")).add(scaleLabel("03", "00"))
             .add(scaleLabel("04", "01")));
    item(Rs3Fixture::Stable, mxs, "s01/p01/Items/c_comp",
         Fx::mask("comp", 0, 0, 60, 100).add(trapezio()).add(scaleLabel("02", "00")).add(scaleLabel("03", "00"))
             .add(scaleLabel("04", "00")));
    item(Rs3Fixture::Stable, mxs, "s01/p01/Items/d_icon", Fx::mask("icon", 0, 0, 40, 40).add(Fx::icon("01", 0, 0, 40, 40)));
}

// label|WxH|donor id|source below the family's standard folder|flags
QString rowText(const ElementTypeEntry& e)
{
    QString source = e.sourcePath;
    source.remove(QRegularExpression(QStringLiteral("^aim/resources/overlay/mx[gs]_12/masks/set/standard/")));
    QString flags;
    flags += e.isStaticLabel ? "L" : "";
    flags += e.isMultiBox ? "M" : "";
    flags += e.isIcon ? "I" : "";
    flags += e.isRefTimeBar ? "R" : "";
    return QStringLiteral("%1|%2x%3|%4|%5|%6")
        .arg(e.label)
        .arg(e.nativeWidth)
        .arg(e.nativeHeight)
        .arg(QString::fromUtf8(e.donor.attribute("i").value()), source, flags);
}

// Every folder and file below `folder` (and it) an hour old, as an install
// is that was not just written.
void ageTree(const QString& folder)
{
    namespace fs = std::filesystem;
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    const fs::path top(folder.toStdString());
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(top))
        fs::last_write_time(entry.path(), old);
    fs::last_write_time(top, old);
}

QStringList labelsOf(const AddElementDialog& dialog)
{
    QStringList labels;
    for (const ElementTypeEntry& entry : dialog.typeEntries())
        labels << entry.label;
    return labels;
}

const QStringList kRuleRows{"Static label|120x32|||L", "Multi-value box|300x180|||M", "Icon|44x44|||I",
                            "+- Ref Time bar|540x90|||R"};

} // namespace

// The "Insert Element" dialog on two RS3 installs, its preview scene and the
// preview's sample values.
class AddElementDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Rs3Fixture> rs3;

    std::unique_ptr<DashConfig> open(const QString& pagePath)
    {
        ConfigFixture cfg;
        cfg.channel(1, QStringLiteral("RPM"), QStringLiteral("RPM"), QStringLiteral("rpm"));
        cfg.channel(2, QStringLiteral("Oil <T> & co"), QStringLiteral("O&T"), QStringLiteral("°C"));
        FixturePage& page = cfg.device().page(QStringLiteral("Main"));
        page.pagePath = pagePath;
        page.mask(Fx::mask("m1", 0, 0, 200, 80)
                      .add(Fx::axis("00", "RPM", "RPM", "rpm"))
                      .add(Fx::digit("01", 0, 0, 200, 80, "00")));
        page.mask(Fx::mask("m2", 0, 100, 120, 30).add(Fx::label("01", "Hi", 0, 0, 120, 30)));
        auto config = std::make_unique<DashConfig>();
        if (!config->load(cfg.writeTempZip()))
            return nullptr;
        return config;
    }

    static void pick(AddElementDialog& dialog, const QString& type, const QString& filter, int channelRow)
    {
        auto* types = dialog.findChild<QListWidget*>(QStringLiteral("types"));
        const QList<QListWidgetItem*> found = types->findItems(type, Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        types->setCurrentItem(found.first());
        dialog.findChild<QLineEdit*>(QStringLiteral("filter"))->setText(filter);
        if (channelRow >= 0)
            dialog.findChild<QListWidget*>(QStringLiteral("channels"))->setCurrentRow(channelRow);
    }

private Q_SLOTS:
    void initTestCase()
    {
        rs3 = std::make_unique<Rs3Fixture>();
        fillStockTrees(*rs3);
    }

    void cleanupTestCase() { rs3.reset(); }

    void types_data()
    {
        QTest::addColumn<QString>("pagePath");
        QTest::addColumn<int>("pageIndex");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("descriptions");

        const QStringList stock{
            "Numeric value|10x10|st2-num|s02/p00/Items/0_num/|",
            "Horizontal bar|200x40|st-hbar|s01/p01/Items/b_hbar/|",
            "Static label (from page artwork)|90x30|st-label|s01/p01/Items/d_label/|",
            "Info strip (multi-label)|240x30|st-strip|s01/p02/Items/e_strip/|",
            "Analog gauge|150x150|beta-gauge|s01/p01/Items/h_gauge/|",
            "Vertical bar|30x150|st-hbar||",
        };
        const QStringList stockTexts{
            "from 0_num (10x10)", "from b_hbar (200x40)", "from d_label (90x30)", "from e_strip (240x30)",
            "from h_gauge (150x150)",
            "synthesized from Horizontal bar donor (30x150) — may not render on hardware until RS3 is installed"};
        QTest::newRow("stock sets of both roots") << QString() << 0 << stock + kRuleRows << stockTexts;
        // A page path that does not name one plain family folder is not
        // followed, and its display is not known: no display's stock, not
        // even the one the device name (MXG 1.2) names.
        QTest::newRow("unsafe page path") << (kStandard.arg("../../mxs_12") + "s01/p01/") << 0 << kRuleRows
                                          << QStringList();
        QTest::newRow("composite vertical bar, stock icon")
            << (kStandard.arg("mxs_12") + "s01/p01/") << 0
            << QStringList{"Horizontal bar|200x40|hbar|s01/p01/Items/a_hbar/|", "Icon|40x40|icon|s01/p01/Items/d_icon/|",
                           "Vertical bar|60x100|comp|s01/p01/Items/c_comp/|", kRuleRows[0], kRuleRows[1], kRuleRows[3]}
            << QStringList{"from a_hbar (200x40)", "from d_icon (40x40)", "from c_comp (60x100) — 5-element composite"};
        QTest::newRow("page -1: the configuration's masks")
            << QString() << -1
            << QStringList{"Numeric value|200x80|m1||", "Static label (from page artwork)|120x30|m2||"} + kRuleRows
            << QStringList{"e.g. RPM (200x80)", "e.g. m2 (120x30)"};
    }

    void types()
    {
        QFETCH(QString, pagePath);
        QFETCH(int, pageIndex);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, descriptions);
        std::unique_ptr<DashConfig> config = open(pagePath);
        QVERIFY(config);
        AddElementDialog dialog(config.get(), pageIndex);
        QStringList seen;
        for (const ElementTypeEntry& entry : dialog.typeEntries())
            seen << rowText(entry);
        QCOMPARE(seen, rows);
        for (int i = 0; i < descriptions.size(); ++i)
            QCOMPARE(dialog.typeEntries()[i].description, descriptions[i]);
        auto* list = dialog.findChild<QListWidget*>(QStringLiteral("types"));
        QCOMPARE(list->count(), rows.size());
        QCOMPARE(list->currentRow(), 0);
        // Shown as rich text with its names escaped.
        if (!descriptions.isEmpty())
            QCOMPARE(list->item(0)->toolTip(), "<qt>" + descriptions[0].toHtmlEscaped() + "</qt>");
    }

    // The stock walk is kept between opens, and a changed install is walked
    // again; types already handed out keep their donors. Both with the walked
    // folders watched and with every path looked at on each open.
    void stockWalkFollowsTheInstall_data()
    {
        QTest::addColumn<bool>("rewriteInPlace");
        QTest::addColumn<bool>("watched");
        QTest::newRow("item added, watched") << false << true;
        QTest::newRow("file rewritten in place, watched") << true << true;
        QTest::newRow("item added, looked at") << false << false;
        QTest::newRow("file rewritten in place, looked at") << true << false;
    }

    void stockWalkFollowsTheInstall()
    {
        QFETCH(bool, rewriteInPlace);
        QFETCH(bool, watched);
        StockMaskCache::setWatching(watched);
        const auto restore = qScopeGuard([] { StockMaskCache::setWatching(true); });
        const QString suffix = watched ? QStringLiteral("_w") : QStringLiteral("_l");
        const QString family = (rewriteInPlace ? QStringLiteral("t_rewritten") : QStringLiteral("t_added")) + suffix;
        const QString items = kStandard.arg(family) + QStringLiteral("s01/p01/Items/");
        QVERIFY(rs3->addMaskItem(Rs3Fixture::Stable, items + "a_num",
                                 Fx::mask("num", 0, 0, 100, 50).add(Fx::digit("01", 0, 0, 100, 50)).toXml(2)));
        const QString familyFolder = rs3->root(Rs3Fixture::Stable) + "/aim/resources/overlay/" + family;
        ageTree(familyFolder);
        std::unique_ptr<DashConfig> config = open(kStandard.arg(family) + "s01/p01/");
        QVERIFY(config);
        auto first = std::make_unique<AddElementDialog>(config.get(), 0);
        QCOMPARE(labelsOf(*first).first(), QStringLiteral("Numeric value"));
        QCOMPARE(labelsOf(AddElementDialog(config.get(), 0)), labelsOf(*first));
#ifdef Q_OS_LINUX
        QCOMPARE(StockMaskCache::isWatched(family), watched);
#endif

        if (rewriteInPlace) {
            // The bar's item file as the fixture writes it, elsewhere, then
            // over the number's file in place: its folder keeps its time.
            const QString scratch = kStandard.arg("t_scratch" + suffix) + "s01/p01/Items/bar";
            QVERIFY(rs3->addMaskItem(Rs3Fixture::Stable, scratch,
                                     Fx::mask("bar", 0, 0, 200, 40).add(trapezio()).toXml(2)));
            const auto itemFile = [this](const QString& rel) {
                const QString folder = rs3->root(Rs3Fixture::Stable) + '/' + rel;
                const QStringList files = QDir(folder).entryList({"*.M2.xml"}, QDir::Files);
                return files.size() == 1 ? folder + '/' + files.first() : QString();
            };
            QFile source(itemFile(scratch));
            QFile target(itemFile(items + "a_num"));
            QVERIFY(source.open(QIODevice::ReadOnly));
            QVERIFY(target.open(QIODevice::ReadWrite | QIODevice::Truncate));
            QVERIFY(target.write(source.readAll()) > 0);
            target.close();
        } else {
            QVERIFY(rs3->addMaskItem(Rs3Fixture::Stable, items + "b_hbar",
                                     Fx::mask("hbar", 0, 0, 200, 40).add(trapezio()).toXml(2)));
        }
        const QStringList expected = rewriteInPlace ? QStringList{"Horizontal bar", "Vertical bar"}
                                                    : QStringList{"Numeric value", "Horizontal bar", "Vertical bar"};
        QCOMPARE(labelsOf(AddElementDialog(config.get(), 0)).mid(0, expected.size()), expected);
        // The first dialog's donor still reads as it was.
        QCOMPARE(QString::fromUtf8(first->typeEntries().first().donor.attribute("i").value()), QStringLiteral("num"));
    }

    // An item nested far deeper than any real one is not offered: once
    // inserted it would escape the limit loaded files are held to.
    void hostileNestingIsNotOffered()
    {
        const QString items = kStandard.arg("t_deep") + QStringLiteral("s01/p01/Items/");
        QByteArray deep = Fx::mask("num", 0, 0, 100, 50).add(Fx::digit("01", 0, 0, 100, 50)).toXml(2);
        const qsizetype close = deep.indexOf("</e>");
        QVERIFY(close > 0);
        deep.insert(close, QByteArray("<e>").repeated(400) + QByteArray("</e>").repeated(400));
        QVERIFY(rs3->addMaskItem(Rs3Fixture::Stable, items + "a_num", deep));
        QVERIFY(rs3->addMaskItem(Rs3Fixture::Stable, items + "b_hbar",
                                 Fx::mask("hbar", 0, 0, 200, 40).add(trapezio()).toXml(2)));
        std::unique_ptr<DashConfig> config = open(kStandard.arg("t_deep") + "s01/p01/");
        QVERIFY(config);
        QCOMPARE(labelsOf(AddElementDialog(config.get(), 0)).mid(0, 2),
                 QStringList({"Horizontal bar", "Vertical bar"}));
    }

    // A stock item file linked to a file of the user's is never read, and
    // one that is a pipe never waited on: only the install's own items are
    // offered, and the log names the link.
    void hazardousItemIsNotRead()
    {
        const QString family = QStringLiteral("t_hazard");
        const QString items = kStandard.arg(family) + QStringLiteral("s01/p01/Items/");
        QVERIFY(rs3->addMaskItem(Rs3Fixture::Stable, items + "a_num",
                                 Fx::mask("num", 0, 0, 100, 50).add(Fx::digit("01", 0, 0, 100, 50)).toXml(2)));
        QVERIFY(rs3->addMaskItem(Rs3Fixture::Stable, "users/b_link",
                                 Fx::mask("users", 0, 0, 100, 50).add(Fx::digit("01", 0, 0, 100, 50)).toXml(2)));
        const QString root = rs3->root(Rs3Fixture::Stable) + '/';
        QVERIFY(QDir().mkpath(root + items + "b_link") && QDir().mkpath(root + items + "c_pipe"));
        QVERIFY(QFile::link(root + "users/b_link/b_link.M2.xml", root + items + "b_link/b_link.M2.xml"));
        FifoGuard pipe(root + items + "c_pipe/c_pipe.M2.xml");
        QVERIFY(pipe.made());
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^XML file not read: .*/Items/b_link/b_link\\.M2\\.xml is a symbolic link$"));
        const auto masks = StockMaskCache::masks(family);
        QVERIFY(!pipe.released());
        QStringList ids;
        for (const StockMaskCache::Item& item : *masks)
            ids << QString::fromUtf8(item.mask.attribute("i").value());
        QCOMPARE(ids, QStringList{"num"});
    }

#ifdef Q_OS_LINUX
    // A reported change that changed nothing the walk read keeps the walk,
    // and a change after it is still noticed.
    void watchedWalkOutlivesAHarmlessReport()
    {
        const QString family = QStringLiteral("t_touched");
        const QString item = rs3->root(Rs3Fixture::Stable) + '/' + kStandard.arg(family) + "s01/p01/Items/a_num";
        QVERIFY(rs3->addMaskItem(Rs3Fixture::Stable, kStandard.arg(family) + "s01/p01/Items/a_num",
                                 Fx::mask("num", 0, 0, 100, 50).add(Fx::digit("01", 0, 0, 100, 50)).toXml(2)));
        ageTree(rs3->root(Rs3Fixture::Stable) + "/aim/resources/overlay/" + family);
        const auto kept = StockMaskCache::masks(family);
        QVERIFY(StockMaskCache::isWatched(family));
        QCOMPARE(kept->size(), 1);

        // The item folder's time set to what it was: reported, not changed.
        namespace fs = std::filesystem;
        const fs::path folder(item.toStdString());
        fs::last_write_time(folder, fs::last_write_time(folder));
        QCOMPARE(StockMaskCache::masks(family), kept);
        QCOMPARE(StockMaskCache::masks(family), kept);

        // The bar's item file as the fixture writes it, over the number's.
        const QString scratch = kStandard.arg("t_touched_scratch") + "s01/p01/Items/bar";
        QVERIFY(rs3->addMaskItem(Rs3Fixture::Stable, scratch,
                                 Fx::mask("bar", 0, 0, 200, 40).add(trapezio()).toXml(2)));
        const auto itemFile = [](const QString& folder) {
            const QStringList files = QDir(folder).entryList({"*.M2.xml"}, QDir::Files);
            return files.size() == 1 ? folder + '/' + files.first() : QString();
        };
        QFile source(itemFile(rs3->root(Rs3Fixture::Stable) + '/' + scratch));
        QFile target(itemFile(item));
        QVERIFY(source.open(QIODevice::ReadOnly));
        QVERIFY(target.open(QIODevice::ReadWrite | QIODevice::Truncate));
        QVERIFY(target.write(source.readAll()) > 0);
        target.close();
        const auto walked = StockMaskCache::masks(family);
        QVERIFY(walked != kept);
        QCOMPARE(QString::fromUtf8(walked->first().mask.attribute("i").value()), QStringLiteral("bar"));
    }
#endif

    void noConfiguration()
    {
        AddElementDialog dialog(nullptr, 0);
        auto* list = dialog.findChild<QListWidget*>(QStringLiteral("types"));
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->text(), QStringLiteral("(no donor elements found)"));
        QCOMPARE(list->item(0)->flags(), Qt::NoItemFlags);
        QVERIFY(!dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled());
    }

    void choice_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<int>("channelRow");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("fid"); // of the accepted channel; 0: not accepted
        QTest::addColumn<QString>("hint");

        QTest::newRow("multi-value box, no channel")
            << "Multi-value box" << "" << -1 << true << -1
            << "<b>Multi-value box</b> &mdash; pick a channel to preview its value";
        QTest::newRow("value without channel") << "Numeric value" << "" << -1 << false << 0
                                               << "<b>Numeric value</b> &mdash; pick a channel to preview its value";
        QTest::newRow("value, filtered channel")
            << "Numeric value" << " OIL " << 0 << true << 2
            << "<b>Numeric value</b> bound to <b>Oil &lt;T&gt; &amp; co</b> (O&amp;T °C)&nbsp;&mdash; native size "
               "10 &times; 10";
        QTest::newRow("stock label needs a channel")
            << "Static label (from page artwork)" << "" << -1 << false << 0
            << "<b>Static label (from page artwork)</b> &mdash; pick a channel to preview its value";
        QTest::newRow("filter matches nothing") << "Numeric value" << "zzz" << 0 << false << 0
                                                << "<b>Numeric value</b> &mdash; pick a channel to preview its value";
    }

    void choice()
    {
        QFETCH(QString, type);
        QFETCH(QString, filter);
        QFETCH(int, channelRow);
        QFETCH(bool, enabled);
        QFETCH(int, fid);
        QFETCH(QString, hint);
        std::unique_ptr<DashConfig> config = open(QString());
        QVERIFY(config);
        AddElementDialog dialog(config.get(), 0);
        pick(dialog, type, filter, channelRow);
        auto* channels = dialog.findChild<QListWidget*>(QStringLiteral("channels"));
        if (filter == QLatin1String("zzz")) {
            QCOMPARE(channels->count(), 1);
            QCOMPARE(channels->item(0)->text(), QStringLiteral("(no matching channels)"));
            QCOMPARE(channels->item(0)->flags(), Qt::NoItemFlags);
        }
        QCOMPARE(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled(), enabled);
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("hint"))->text(), hint);
        dialog.onAccept();
        QCOMPARE(dialog.result() == QDialog::Accepted, fid != 0);
        if (fid != 0) {
            QCOMPARE(dialog.chosenType().label, type);
            QCOMPARE(dialog.chosenChannel().fid, fid);
        }
    }

    // A filter that hides the chosen channel takes the choice with it.
    void filteringDropsTheChoice()
    {
        std::unique_ptr<DashConfig> config = open(QString());
        QVERIFY(config);
        AddElementDialog dialog(config.get(), 0);
        pick(dialog, QStringLiteral("Numeric value"), QString(), 0);
        QPushButton* insert = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        QVERIFY(insert->isEnabled());
        dialog.findChild<QLineEdit*>(QStringLiteral("filter"))->setText(QStringLiteral("zzz"));
        QVERIFY(!insert->isEnabled());
        QVERIFY(!dialog.findChild<QLabel*>(QStringLiteral("hint"))->text().contains(QLatin1String("bound to")));
    }

    void channelRows()
    {
        std::unique_ptr<DashConfig> config = open(QString());
        QVERIFY(config);
        AddElementDialog dialog(config.get(), 0);
        auto* channels = dialog.findChild<QListWidget*>(QStringLiteral("channels"));
        QCOMPARE(channels->count(), 2);
        QCOMPARE(channels->item(1)->text(), QStringLiteral("Oil <T> & co  (O&T)  °C"));
        QCOMPARE(channels->item(1)->data(Qt::UserRole).toInt(), 1);
    }

    void preview_data()
    {
        QTest::addColumn<QByteArray>("donor");
        QTest::addColumn<QSizeF>("native");
        QTest::addColumn<QString>("channel");
        QTest::addColumn<QRectF>("box");
        QTest::addColumn<QColor>("tint");
        QTest::addColumn<QStringList>("texts");

        const auto digit = Fx::digit("01", 0, 0, 10, 10);
        QTest::newRow("declared 200 x 0") << Fx::mask("m", 0, 0, 200, 0).add(digit).toXml() << QSizeF(0, 0)
                                          << QString() << QRectF(13.5, 67.05, 153, 45.9) << QColor(40, 180, 60, 80)
                                          << QStringList{"--"};
        QTest::newRow("tall bar") << Fx::mask("m", 0, 0, 1, 1).add(trapezio()).toXml() << QSizeF(60, 300)
                                  << "Rpm" << QRectF(74.7, 13.5, 30.6, 153) << QColor(200, 80, 80, 80)
                                  << QStringList{"Rpm", "7500"};
        QTest::newRow("digit and bar tint as a bar")
            << Fx::mask("m", 0, 0, 1, 1).add(digit).add(trapezio()).toXml() << QSizeF(100, 50) << "speed"
            << QRectF(13.5, 51.75, 153, 76.5) << QColor(200, 80, 80, 80) << QStringList{"speed", "145.0"};
        QTest::newRow("icon without its graphic")
            << Fx::mask("m", 0, 0, 1, 1).add(Fx::icon("01", 0, 0, 4, 4).p("OVERLAY2_ICONA_NERA", "aim/none.bmp")).toXml()
            << QSizeF(44, 44) << "lap_time" << QRectF(13.5, 13.5, 153, 153) << QColor(200, 180, 40, 80)
            << QStringList{"lap_time", "01:23.456"};
        QTest::newRow("no donor") << QByteArray() << QSizeF(44, 44) << "RPM" << QRectF(8, 8, 164, 164)
                                  << QColor(40, 40, 40) << QStringList{"Preview unavailable"};
    }

    void preview()
    {
        QFETCH(QByteArray, donor);
        QFETCH(QSizeF, native);
        QFETCH(QString, channel);
        QFETCH(QRectF, box);
        QFETCH(QColor, tint);
        QFETCH(QStringList, texts);
        pugi::xml_document doc;
        doc.load_buffer(donor.constData(), size_t(donor.size()));
        PreviewScene scene;
        scene.showElement(doc.first_child(), channel, native);
        QList<QGraphicsRectItem*> rects;
        QStringList seen;
        for (QGraphicsItem* item : scene.items(Qt::AscendingOrder)) {
            if (auto* rect = qgraphicsitem_cast<QGraphicsRectItem*>(item))
                rects << rect;
            else if (auto* text = qgraphicsitem_cast<QGraphicsSimpleTextItem*>(item))
                seen << text->text();
        }
        QCOMPARE(rects.size(), 1);
        QCOMPARE(rects[0]->rect(), box);
        QCOMPARE(rects[0]->brush().color(), tint);
        QCOMPARE(seen, texts);
    }

    void sampleValues_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("RPM") << "RPM" << QVariant(7500);
        QTest::newRow("blanks around") << "  rpm " << QVariant(7500);
        QTest::newRow("GPS Speed") << "GPS Speed" << QVariant(QStringLiteral("--"));
        QTest::newRow("ch8") << "ch8" << QVariant(QStringLiteral("--"));
        QTest::newRow("CH08") << "CH08" << QVariant(12345);
        QTest::newRow("lap_time") << "Lap_Time" << QVariant(QStringLiteral("01:23.456"));
        QTest::newRow("blank") << "   " << QVariant(QStringLiteral("--"));
    }

    void sampleValues()
    {
        QFETCH(QString, name);
        QFETCH(QVariant, value);
        const QVariant got = SamplePreviewValues::valueFor(name);
        QCOMPARE(got.typeId(), value.typeId());
        QCOMPARE(got, value);
    }
};

KORV_TEST_MAIN(AddElementDialogTest)
#include "tst_addelementdialog.moc"
