#include "DemoStock.h"
#include "Rs3Tree.h"
#include "dialogs/AddPageDialog.h"
#include "window/MainWindow.h"
#include "artwork/ArtworkFiles.h"
#include "artwork/BoxStyleRenderer.h"
#include "canvas/DashCanvas.h"
#include "canvas/GaugeGeometry.h"
#include "canvas/IDataSource.h"
#include "check/ConfigCheck.h"
#include "check/ConfigReport.h"
#include "dialogs/ExportThemeDialog.h"
#include "dialogs/NewHomebrewThemeDialog.h"
#include "editing/ClearPageCommand.h"
#include "gallery/ThemePackage.h"
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
#include "templates/PageTemplateLibrary.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// Telemetry with RPM standing at one value and every other channel at 0.
class SteadyRpm : public IDataSource {
public:
    explicit SteadyRpm(double rpm)
        : m_rpm(rpm)
    {
    }
    bool isValid() const override { return true; }
    double value(const QString& channel, double) const override { return isRpm(channel) ? m_rpm : 0.0; }
    QString matchedColumn(const QString& channel) const override { return channel; }
    QString unitOf(const QString&) const override { return {}; }

    static bool isRpm(const QString& channel) { return channel.compare(QLatin1String("RPM"), Qt::CaseInsensitive) == 0; }

private:
    double m_rpm;
};

// What the live-value checks looked at on a page, and what they found wrong.
struct LiveValues {
    int needles = 0;
    int digits = 0;
    int bars = 0;
    QStringList faults;
};

constexpr double kHigh = 9091;
constexpr double kLow = 2500;

} // namespace

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

    // What the build's generator writes, folder by folder and file by file.
    static QMap<QString, QByteArray> generatedFiles()
    {
        const QString folder = TestEnvironment::makeTempDir(QStringLiteral("generated"));
        if (!DemoStock::write(Rs3Tree(folder)))
            return {};
        return Rs3Fixture::treeSnapshot(folder);
    }

    // The tests' install replaced by a copy of the files the build wrote
    // (the features write into it), and of those only the ones its generator
    // writes: whatever else lies in the build's folder is none of the
    // build's. False when one could not be copied.
    bool useBuiltInstall()
    {
        const QString own = rs3->root(Rs3Fixture::Stable);
        const QMap<QString, QByteArray> generated = generatedFiles();
        if (generated.isEmpty() || !QDir(own).removeRecursively())
            return false;
        for (auto it = generated.begin(); it != generated.end(); ++it) {
            const QString target = own + QLatin1Char('/') + it.key();
            const bool copied = it.value() == QByteArrayLiteral("<dir>")
                ? QDir().mkpath(target)
                : QDir().mkpath(QFileInfo(target).absolutePath())
                    && QFile::copy(builtInstall() + QLatin1Char('/') + it.key(), target);
            if (!copied)
                return false;
        }
        return true;
    }

    // A page from the demo template of that name, added through Add Page.
    int addTemplatePage(const QString& name, PageTemplate* chosen = nullptr)
    {
        PageTemplate picked;
        asker->onExec = [&](QDialog* dialog) {
            auto* add = qobject_cast<AddPageDialog*>(dialog);
            auto* list = add ? qobject_cast<QListWidget*>(add->tabs->widget(0)) : nullptr;
            if (!list || list->findItems(name, Qt::MatchExactly).isEmpty())
                return int(QDialog::Rejected);
            list->setCurrentItem(list->findItems(name, Qt::MatchExactly).first());
            add->buttons->button(QDialogButtonBox::Ok)->click();
            picked = add->selectedTemplate;
            return add->result();
        };
        const int page = config->pageCount();
        window->addPageFromTemplate();
        asker->onExec = {};
        if (chosen)
            *chosen = picked;
        return config->pageCount() == page + 1 ? page : -1;
    }

    // The types Insert Element offers on the current page.
    QStringList insertTypes()
    {
        QStringList types;
        asker->onExec = [&types](QDialog* dialog) {
            auto* list = dialog->findChild<QListWidget*>(QStringLiteral("types"));
            for (int i = 0; list && i < list->count(); ++i)
                types << list->item(i)->text();
            return int(QDialog::Rejected);
        };
        window->insertElement();
        asker->onExec = {};
        return types;
    }

    // Inserts the type onto the current page, bound to the channel whose
    // entry starts with `channel` (the first one offered when empty or absent);
    // a bar takes the scale template of that id, its own scale when empty.
    void insert(const QString& type, const QString& channel = QString(),
                const QString& barTemplate = QStringLiteral("generic"))
    {
        asker->onExec = [&type, &channel, &barTemplate](QDialog* dialog) {
            if (auto* add = qobject_cast<AddElementDialog*>(dialog)) {
                auto* list = add->findChild<QListWidget*>(QStringLiteral("types"));
                list->setCurrentItem(list->findItems(type, Qt::MatchExactly).value(0));
                auto* channels = add->findChild<QListWidget*>(QStringLiteral("channels"));
                const auto named = channels->findItems(channel + QStringLiteral("  ("), Qt::MatchStartsWith);
                if (!channel.isEmpty() && !named.isEmpty())
                    channels->setCurrentItem(named.first());
                else if (channels->count() > 0)
                    channels->setCurrentRow(0);
                add->onAccept();
                return add->result();
            }
            if (auto* bars = qobject_cast<BarTemplateBrowser*>(dialog)) {
                if (barTemplate.isEmpty())
                    return int(QDialog::Rejected);
                bars->selectTemplate(barTemplate);
                bars->onAccept();
                return bars->result();
            }
            if (auto* box = qobject_cast<MultiBoxDialog*>(dialog))
                box->parseArrangement(QStringLiteral("2x2"));
            dialog->accept();
            return dialog->result();
        };
        window->insertElement();
        asker->onExec = {};
    }

    // The page as the dash shows it with RPM at the value; without a value,
    // as it shows it with no data.
    QImage shown(int page, double rpm = std::nan("")) const
    {
        PageModel* model = config->page(page);
        SteadyRpm source(rpm);
        DashCanvas canvas;
        canvas.previewMode = true;
        canvas.config = config;
        if (!std::isnan(rpm))
            canvas.setDataSource(&source);
        canvas.setPage(model);
        canvas.resize(model->width + 20, model->height + 20);
        QImage surface(canvas.size(), QImage::Format_ARGB32_Premultiplied);
        surface.fill(Qt::black);
        QPainter painter(&surface);
        canvas.paintPage(painter);
        painter.end();
        return surface.copy(10, 10, model->width, model->height).convertToFormat(QImage::Format_RGB32);
    }

    // A needle gauge stands where its value puts it: along that angle the
    // page differs from the dial with no data.
    static void checkNeedle(const MaskElement& mask, const QImage& high, const QImage& idle, LiveValues& found)
    {
        const pugi::xml_node gauge = gaugeElement(mask.node);
        if (!gauge || !hasClass(gauge, "Analog") || mask.channel.compare(QLatin1String("RPM"), Qt::CaseInsensitive))
            return;
        ++found.needles;
        const GaugeGeometry g = readRingGaugeGeometry(mask.node);
        double minimum = 0, maximum = 0;
        gaugeValueRange(mask, minimum, maximum);
        const double angle = needleAngle(kHigh, minimum, maximum) * M_PI / 180.0;
        const QPointF pivot(mask.x + g.xpos, mask.y + g.ypos);
        int probes = 0, covered = 0;
        for (double r = g.ragg * 0.3; r <= g.ragg * 0.9; r += 4, ++probes) {
            const QPoint at = (pivot + QPointF(std::sin(angle), -std::cos(angle)) * r).toPoint();
            covered += high.rect().contains(at) && high.pixel(at) != idle.pixel(at);
        }
        if (probes == 0 || covered < probes * 8 / 10)
            found.faults << QStringLiteral("%1: the needle covers %2 of %3 points along its angle")
                                .arg(mask.id).arg(covered).arg(probes);
    }

    // The value's digits lie inside the box, none cut off at its sides: the
    // columns where the value's colour shows, within the box's rows.
    static void checkDigits(const MaskElement& mask, const WidgetModel& w, const QImage& high, LiveValues& found)
    {
        if (w.kind != WidgetDigit || w.w <= 0 || w.h <= 0 || !SteadyRpm::isRpm(w.channel))
            return;
        ++found.digits;
        const QChar vertical = w.posAlign.isEmpty() ? QLatin1Char('t') : w.posAlign.at(0).toLower();
        const int top = mask.y + w.y - (vertical == QLatin1Char('b') ? w.h : vertical == QLatin1Char('m') ? w.h / 2 : 0);
        const QColor ink = w.colour.isValid() ? w.colour : QColor(Qt::white);
        const QRect band = QRect(mask.x, top, mask.w, w.h) & high.rect();
        const QRect box(mask.x + w.x, top, w.w, w.h);
        QList<int> columns;
        for (int x = band.left(); x <= band.right(); ++x) {
            if (PixelProbe::countNear(high, QRect(x, band.top(), 1, band.height()), ink, 60) > 0)
                columns << x;
        }
        int runs = 0;
        for (int i = 0; i < columns.size(); ++i)
            runs += i == 0 || columns[i] != columns[i - 1] + 1;
        const QString text = DashCanvas::digitText(w, kHigh, true);
        if (columns.isEmpty() || columns.first() < box.left() || columns.last() > box.right() || runs != text.size())
            found.faults << QStringLiteral("%1/%2: \"%3\" drawn as %4 marks over columns %5..%6 of the box %7..%8")
                                .arg(mask.id, w.id, text)
                                .arg(runs)
                                .arg(columns.value(0))
                                .arg(columns.isEmpty() ? 0 : columns.last())
                                .arg(box.left())
                                .arg(box.right());
    }

    // How far a bar is lit at each value follows the channel's range: the
    // share of its length that differs from the bar at 0.
    void checkBar(const MaskElement& mask, const WidgetModel& w, const QImage& zero, const QImage& low,
                  const QImage& high, LiveValues& found) const
    {
        if (w.kind != WidgetBargraph || w.w <= 0 || w.h <= 0 || !SteadyRpm::isRpm(w.channel))
            return;
        ++found.bars;
        const auto rpm = std::find_if(config->channels.begin(), config->channels.end(),
                                      [](const ChannelInfo& c) { return SteadyRpm::isRpm(c.longName); });
        double lower = 0, upper = 0;
        QVERIFY(rpm != config->channels.end() && config->channelRangeForFid(rpm->fid, lower, upper));
        const bool horizontal = w.h <= w.w;
        const QRect r(mask.x + w.x, mask.y + w.y, w.w, w.h);
        const int length = horizontal ? r.width() : r.height();
        const auto lit = [&](const QImage& at) {
            int n = 0;
            for (int i = 0; i < length; ++i) {
                const QPoint p = horizontal ? QPoint(r.left() + i, r.center().y()) : QPoint(r.center().x(), r.bottom() - i);
                n += at.pixel(p) != zero.pixel(p);
            }
            return double(n) / length;
        };
        for (const auto& [image, value] : {std::pair<const QImage&, double>(low, kLow), {high, kHigh}}) {
            const double expected = (value - lower) / (upper - lower);
            if (std::abs(lit(image) - expected) > 0.05)
                found.faults << QStringLiteral("%1/%2: at %3 rpm lit over %4 of its length, expected %5")
                                    .arg(mask.id, w.id)
                                    .arg(value)
                                    .arg(lit(image), 0, 'f', 2)
                                    .arg(expected, 0, 'f', 2);
        }
    }

    // A strip a bar's scale names, as the editor reads it from the bar's art
    // folder (a device .tgz has a .png twin); null when none is named.
    static QImage namedStrip(const MaskElement& mask, const QByteArray& name)
    {
        QString file = QString::fromUtf8(name.trimmed());
        if (file.isEmpty())
            return {};
        if (file.endsWith(QLatin1String(".tgz"), Qt::CaseInsensitive))
            file = file.chopped(4) + QStringLiteral(".png");
        const QString folder = QString::fromUtf8(paramValue(mask.node, "PATH_REL_AiM_MASK"));
        return QImage(DashConfig::resolveRs3Path(folder + file)).convertToFormat(QImage::Format_RGB32);
    }

    // The page shown with the bar's channel at `share` of the bar's range:
    // along rows of its lit band (the top two thirds), from its start the
    // lit strip's pixels reach that share of its length, and beyond them
    // only the unlit strip's are drawn; the track below shows the unlit
    // strip all along, whatever the value. Empty when so, else what was
    // seen.
    QString stripFault(int page, int maskIndex, double share)
    {
        const MaskElement& mask = config->pages[size_t(page)].masks[size_t(maskIndex)];
        const auto bar = std::find_if(mask.widgets.begin(), mask.widgets.end(),
                                      [](const WidgetModel& w) { return w.kind == WidgetBargraph; });
        if (bar == mask.widgets.end() || bar->w <= 0 || bar->h <= 0)
            return mask.id + QStringLiteral(": no bar");
        const pugi::xml_node scale = bar->node.find_child_by_attribute("e", "c", "ScaleFSV");
        QByteArray onName;
        for (pugi::xml_node step = scale.child("e"); step && onName.isEmpty(); step = step.next_sibling("e"))
            onName = paramValue(step, "PATH_IMG_ON");
        const QImage on = namedStrip(mask, onName);
        const QImage off = namedStrip(mask, paramValue(scale, "PATH_IMG_OFF"));
        if (on.isNull() || off.isNull())
            return mask.id + QStringLiteral(": the scale names no lit and unlit strip of its folder (\"%1\", \"%2\")")
                                 .arg(QString::fromUtf8(onName), QString::fromUtf8(paramValue(scale, "PATH_IMG_OFF")));
        double lower = 0, upper = 0;
        if (!DashConfig::barScaleRange(mask.node, lower, upper) || upper <= lower)
            return mask.id + QStringLiteral(": no range");
        const QImage image = shown(page, lower + (upper - lower) * share);
        const QPoint start(mask.x + bar->x, mask.y + bar->y);
        const QPoint art = start + QPoint(paramInt(bar->node, "XIMG"), paramInt(bar->node, "YIMG"));
        const auto is = [&](const QImage& strip, const QPoint& at) {
            return strip.rect().contains(at - art)
                && PixelProbe::near(image.pixelColor(at), strip.pixelColor(at - art));
        };
        for (const int row : {bar->h / 6, bar->h / 3, bar->h / 2}) {
            const int y = start.y() + row;
            int lit = 0;
            while (lit < bar->w && is(on, QPoint(start.x() + lit, y)))
                ++lit;
            if (std::abs(double(lit) / bar->w - share) > 0.05)
                return QStringLiteral("%1 at %2 of %3..%4: row %5 lit over %6 of its length")
                    .arg(mask.id).arg(share).arg(lower).arg(upper).arg(row).arg(double(lit) / bar->w, 0, 'f', 2);
            // The pixel where the lit part ends may blend the two.
            for (int x = lit + 1; x < bar->w; ++x) {
                if (!is(off, QPoint(start.x() + x, y)))
                    return QStringLiteral("%1 at %2: row %3, %4 px from its start shows %5, not its unlit strip")
                        .arg(mask.id)
                        .arg(share)
                        .arg(row)
                        .arg(x)
                        .arg(PixelProbe::describe(image.pixelColor(start.x() + x, y)));
            }
        }
        const int track = bar->h * 5 / 6;
        for (int x = 0; x < bar->w; ++x) {
            const QPoint at(start.x() + x, start.y() + track);
            if (!is(off, at))
                return QStringLiteral("%1 at %2: track row %3, %4 px from its start shows %5, not its unlit strip")
                    .arg(mask.id)
                    .arg(share)
                    .arg(track)
                    .arg(x)
                    .arg(PixelProbe::describe(image.pixelColor(at)));
        }
        return {};
    }

    // The demo's stock bar inserted alone onto a page of the demo's set,
    // bound to RPM, with its own scale: its page and mask, or -1 when Insert
    // Element offers none.
    QPair<int, int> insertStockBar()
    {
        const int page = addTemplatePage(QStringLiteral("Dark grey"));
        if (page < 0)
            return {-1, -1};
        window->onPageSelected(page);
        stack->push(new ClearPageCommand(config, page));
        for (const QString& type : insertTypes()) {
            insert(type, QStringLiteral("RPM"), QString());
            if (config->pages[size_t(page)].masks.size() == 1 && maskPath(*config, page, 0) == DemoStock::barItem())
                return {page, 0};
            stack->undo();
        }
        return {-1, -1};
    }

    // Every needle, value and bar bound to RPM on the page shows RPM.
    LiveValues liveValues(int page)
    {
        const QImage idle = shown(page);
        const QImage zero = shown(page, 0);
        const QImage low = shown(page, kLow);
        const QImage high = shown(page, kHigh);
        LiveValues found;
        for (const MaskElement& mask : config->pages[size_t(page)].masks) {
            checkNeedle(mask, high, idle, found);
            for (const WidgetModel& w : mask.widgets) {
                checkDigits(mask, w, high, found);
                checkBar(mask, w, zero, low, high, found);
            }
        }
        return found;
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
        const auto generated = generatedFiles();
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
            if (!QFileInfo::exists(builtInstall()))
                QSKIP("no demo install in the build folder");
            QVERIFY(useBuiltInstall());
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
        QCOMPARE(names, QStringList({"Dark grey", "Dark", "Dark red"}));
    }

    // A page from each demo template, one element of each type the demo
    // offers inserted onto it: the check finds nothing, with the install the
    // tests write and with the one the build wrote; and the page added shows
    // what the template's preview showed.
    void templatePagesPassTheCheck_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("buildInstall");
        for (const char* name : {"Dark grey", "Dark", "Dark red"}) {
            QTest::addRow("%s, generated install", name) << QString::fromLatin1(name) << false;
            QTest::addRow("%s, the build's install", name) << QString::fromLatin1(name) << true;
        }
    }
    void templatePagesPassTheCheck()
    {
        QFETCH(QString, name);
        QFETCH(bool, buildInstall);
        // A copy: the inserts draw their art into the install.
        if (buildInstall) {
            if (!QFileInfo::exists(builtInstall()))
                QSKIP("no demo install in the build folder");
            QVERIFY(useBuiltInstall());
        }
        PageTemplate chosen;
        const int page = addTemplatePage(name, &chosen);
        QVERIFY(page >= 0);
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

        window->onPageSelected(page);
        const QStringList types = insertTypes();
        QVERIFY2(types.size() >= 8, qPrintable(types.join(", ")));
        for (const QString& type : types) {
            const size_t masks = config->pages[size_t(page)].masks.size();
            insert(type);
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

    // Each template's needle, value and bar show RPM as the Race page does:
    // the needle at the value's angle, every digit inside the box, the bar
    // lit as far as the value reaches in the channel's range.
    void templatePagesShowLiveValues_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* name : {"Dark grey", "Dark", "Dark red"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void templatePagesShowLiveValues()
    {
        QFETCH(QString, name);
        const int page = addTemplatePage(name);
        QVERIFY(page >= 0);
        const LiveValues found = liveValues(page);
        QVERIFY2(found.faults.isEmpty(), qPrintable(found.faults.join(QLatin1Char('\n'))));
        QCOMPARE(found.needles, 1);
        QCOMPARE(found.digits, 1);
        QCOMPARE(found.bars, 1);
    }

    // The same for every type Insert Element offers from the demo's stock,
    // bound to RPM, each alone on a page.
    void insertedStockShowsLiveValues()
    {
        const int page = addTemplatePage(QStringLiteral("Dark grey"));
        QVERIFY(page >= 0);
        window->onPageSelected(page);
        stack->push(new ClearPageCommand(config, page));
        QVERIFY(config->pages[size_t(page)].masks.empty());
        LiveValues all;
        for (const QString& type : insertTypes()) {
            insert(type, QStringLiteral("RPM"));
            QVERIFY2(config->pages[size_t(page)].masks.size() == 1, qPrintable(type + ": " + status()));
            const LiveValues found = liveValues(page);
            all.needles += found.needles;
            all.digits += found.digits;
            all.bars += found.bars;
            for (const QString& fault : found.faults)
                all.faults << type + QStringLiteral(": ") + fault;
            stack->undo();
            QVERIFY(config->pages[size_t(page)].masks.empty());
        }
        QVERIFY2(all.faults.isEmpty(), qPrintable(all.faults.join(QLatin1Char('\n'))));
        QVERIFY(all.needles >= 1);
        QVERIFY(all.digits >= 1);
        QVERIFY(all.bars >= 1);
    }

    // The Race page's bar and the stock bar inserted from the demo's set
    // are drawn as the dash draws them: the lit strip up to the value, the
    // unlit strip beyond, at the ends and the middle of the bar's range.
    // Coloured, the lit part shows the green-amber-red ramp from its start,
    // and undo gives the stock look back.
    void barsDrawTheirStrips_data()
    {
        QTest::addColumn<bool>("inserted");
        QTest::addColumn<double>("share");
        QTest::addColumn<bool>("coloured");
        for (const double share : {0.0, 0.5, 1.0}) {
            QTest::addRow("Race page at %g", share) << false << share << false;
            QTest::addRow("inserted stock bar at %g", share) << true << share << false;
        }
        QTest::addRow("Race page coloured") << false << 0.5 << true;
        QTest::addRow("inserted stock bar coloured") << true << 0.5 << true;
    }
    void barsDrawTheirStrips()
    {
        QFETCH(bool, inserted);
        QFETCH(double, share);
        QFETCH(bool, coloured);
        const QPair<int, int> bar = inserted ? insertStockBar() : qMakePair(int(kRace), 2);
        QVERIFY2(bar.first >= 0, "Insert Element offers no stock bar");
        QCOMPARE(maskPath(*config, bar.first, bar.second), DemoStock::barItem());
        if (coloured) {
            window->onPageSelected(bar.first);
            window->applyColorBar(bar.second);
            QVERIFY2(maskPath(*config, bar.first, bar.second).contains(QLatin1String("/zbar_")), qPrintable(status()));
        }
        QString fault = stripFault(bar.first, bar.second, share);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        if (!coloured)
            return;
        const MaskElement& mask = config->pages[size_t(bar.first)].masks[size_t(bar.second)];
        double lower = 0, upper = 0;
        QVERIFY(DashConfig::barScaleRange(mask.node, lower, upper));
        const QImage image = shown(bar.first, lower + (upper - lower) * share);
        // Rows inside the lit band of the stock picture, its top two thirds.
        for (const int y : {mask.y + mask.h / 4, mask.y + mask.h / 2}) {
            for (int x = 0; x < int(mask.w * share) - 2; ++x) {
                const QColor ramp = BoxStyleRenderer::rampColorAt(double(x) / (mask.w - 1), barColorRamp());
                QVERIFY2(PixelProbe::near(image.pixelColor(mask.x + x, y), ramp, 6),
                         qPrintable(QStringLiteral("row %1, %2 px from the start: %3, the ramp gives %4")
                                        .arg(y - mask.y)
                                        .arg(x)
                                        .arg(PixelProbe::describe(image.pixelColor(mask.x + x, y)),
                                             PixelProbe::describe(ramp))));
            }
        }
        stack->undo();
        QCOMPARE(maskPath(*config, bar.first, bar.second), DemoStock::barItem());
        fault = stripFault(bar.first, bar.second, share);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    // File > New Homebrew Theme on the install the build wrote: the theme is
    // written for the demo's device, Add Page offers it and adds its page
    // over the theme's background, and File > Export Theme packs it.
    void homebrewThemeOnTheBuiltInstall()
    {
        if (!QFileInfo::exists(builtInstall()))
            QSKIP("no demo install in the build folder");
        QVERIFY(useBuiltInstall());
        asker->onExec = [](QDialog* dialog) {
            auto* themes = qobject_cast<NewHomebrewThemeDialog*>(dialog);
            if (!themes)
                return int(QDialog::Rejected);
            themes->findChild<QLineEdit*>(QStringLiteral("themeName"))->setText(QStringLiteral("Blue Night"));
            themes->findChild<QPushButton*>(QStringLiteral("createButton"))->click();
            return themes->result();
        };
        window->newHomebrewTheme();
        const QString created = asker->asked.last().title + QLatin1Char('|') + asker->asked.last().text;
        QVERIFY2(created.startsWith(QStringLiteral("Theme created|Created \"Blue Night\" - 1 device variant written.")),
                 qPrintable(created));
        QCOMPARE(status(), QStringLiteral("Homebrew theme created"));
        const QImage background(homebrewTemplatesDir() + QStringLiteral("/mxg_12/zbluenight/bkg.png"));
        QCOMPARE(background.size(), QSize(800, 480));

        QSettings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"))
            .setValue(QStringLiteral("homebrew/suppressAddRedirect"), true);
        asker->onExec = [](QDialog* dialog) {
            auto* add = qobject_cast<AddPageDialog*>(dialog);
            for (int tab = 0; add && tab < add->tabs->count(); ++tab) {
                auto* list = qobject_cast<QListWidget*>(add->tabs->widget(tab));
                const auto theme = list ? list->findItems(QStringLiteral("Blue Night"), Qt::MatchExactly)
                                        : QList<QListWidgetItem*>();
                if (theme.isEmpty())
                    continue;
                add->tabs->setCurrentIndex(tab);
                list->setCurrentItem(theme.first());
                add->buttons->button(QDialogButtonBox::Ok)->click();
                return add->result();
            }
            return int(QDialog::Rejected);
        };
        const int page = config->pageCount();
        window->addPageFromTemplate();
        QCOMPARE(config->pageCount(), page + 1);
        const QImage added = DashCanvas::renderPageForPreview(config, page, false, 1);
        QVERIFY(PixelProbe::near(added.pixelColor(400, 10), background.pixelColor(400, 10)));

        const QString bundle = TestEnvironment::makeTempDir(QStringLiteral("export")) + QStringLiteral("/Blue Night.dashtheme");
        asker->fileNames = {bundle};
        asker->onExec = [](QDialog* dialog) {
            auto* exporter = qobject_cast<ExportThemeDialog*>(dialog);
            if (!exporter)
                return int(QDialog::Rejected);
            auto* themes = exporter->findChild<QComboBox*>(QStringLiteral("themeCombo"));
            themes->setCurrentIndex(themes->findText(QStringLiteral("zbluenight")));
            exporter->findChild<QPushButton*>(QStringLiteral("exportButton"))->click();
            return exporter->result();
        };
        window->showExportTheme();
        QCOMPARE(asker->asked.last().text, QStringLiteral("Theme written to:\n") + bundle);
        ThemePackage package;
        QString error;
        QVERIFY2(openThemePackage(package, bundle, &error), qPrintable(error));
        QCOMPARE(package.name, QStringLiteral("Blue Night"));
        QVERIFY(package.hasAssetsFor(DemoStock::family()));
    }
};

KORV_TEST_MAIN(DemoTemplatesTest)
#include "tst_demotemplates.moc"
