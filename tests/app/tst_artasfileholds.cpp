#include "DemoStock.h"
#include "artwork/StaleArtRecord.h"
#include "canvas/DashCanvas.h"
#include "canvas/IDataSource.h"
#include "check/ConfigCheck.h"
#include "artwork/BoxStyleLibrary.h"
#include "editing/BarColorCommand.h"
#include "editing/BarColorRemoveCommand.h"
#include "editing/DuplicateMaskCommand.h"
#include "editing/BoxStyleCommand.h"
#include "editing/MoveCommand.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "panels/AddElementDialog.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/DemoArtSession.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsView>
#include <QListWidget>
#include <QDirIterator>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <QUndoStack>

#include <csignal>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Every channel at one value.
class FixedValue : public IDataSource {
public:
    double v = 0;
    bool isValid() const override { return true; }
    double value(const QString&, double) const override { return v; }
    QString matchedColumn(const QString& channel) const override { return channel; }
    QString unitOf(const QString&) const override { return {}; }
};

const char* const kEdges[] = {"XStart1", "YStart1", "XStart2", "YStart2", "XEnd1", "YEnd1", "XEnd2", "YEnd2"};

QString edgesOf(pugi::xml_node mask)
{
    const pugi::xml_node bar = mask.find_child_by_attribute("e", "c", "BargraphTrapezio");
    QStringList parts;
    for (const char* name : kEdges)
        parts << QStringLiteral("%1=%2").arg(QLatin1String(name), QString::fromUtf8(paramValue(bar, name)));
    parts << QStringLiteral("WIDTH=%1").arg(QString::fromUtf8(paramValue(bar, "WIDTH")))
          << QStringLiteral("HEIGHT=%1").arg(QString::fromUtf8(paramValue(bar, "HEIGHT")));
    return parts.join(QLatin1Char(';'));
}

bool lit(QRgb px)
{
    return std::max({qRed(px), qGreen(px), qBlue(px)}) > 120;
}

} // namespace

// What the editor shows of a bar colour or a box style is what the file
// holds: a standing bar coloured keeps filling from its foot, a ring's dial
// is never banded, and a record the file does not point at is not drawn.
class ArtAsFileHoldsTest : public QObject, DemoArtSession {
    Q_OBJECT

    FixedValue source;

    // The page as the live look draws it with every channel at `value`,
    // cut to the mask's rectangle.
    QImage drawnAt(int page, int mask, double value)
    {
        source.v = value;
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setConfig(config);
        canvas.setPage(config->page(page));
        canvas.previewMode = true;
        canvas.setDataSource(&source);
        canvas.setTime(0);
        const QImage image = canvas.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const MaskElement& m = config->pages[size_t(page)].masks[size_t(mask)];
        return image.copy(QRect(10 + m.x, 10 + m.y, m.w, m.h));
    }

    // Insert Element > Vertical bar bound to RPM; `look` sees the dialog as
    // it is about to be accepted. Returns the new mask's index.
    int insertStandingBar(const std::function<void(AddElementDialog*)>& look = {})
    {
        asker->onExec = [look](QDialog* dialog) {
            auto* add = qobject_cast<AddElementDialog*>(dialog);
            if (!add)
                return int(QDialog::Accepted);
            auto* types = add->findChild<QListWidget*>(QStringLiteral("types"));
            types->setCurrentItem(types->findItems(QStringLiteral("Vertical bar"), Qt::MatchExactly).value(0));
            auto* channels = add->findChild<QListWidget*>(QStringLiteral("channels"));
            channels->setCurrentItem(channels->findItems(QStringLiteral("RPM  ("), Qt::MatchStartsWith).value(0));
            if (look)
                look(add);
            add->onAccept();
            return add->result();
        };
        const int masks = int(config->pages[0].masks.size());
        window->insertElement();
        asker->onExec = {};
        return int(config->pages[0].masks.size()) == masks + 1 ? masks : -1;
    }

    // A fresh window on the same file and install.
    void reopen()
    {
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->loadConfig(path);
        config = window->findChild<DashCanvas*>()->config;
        stack = window->findChild<QUndoStack*>();
        QVERIFY(config && stack);
    }

    int maskOn(int page, const QString& item) const
    {
        for (int k = 0; k < int(config->pages[size_t(page)].masks.size()); ++k) {
            if (maskPath(*config, page, k) == item)
                return k;
        }
        return -1;
    }

private Q_SLOTS:
    void init() { openDemo(); }
    void cleanup() { closeDemo(); }

    // A coloured standing bar lights from its foot up to the value as a
    // rectangle, the ramp green at the foot and red at the top; Remove color
    // and Undo give the stock bar back.
    void standingBarFillsFromItsFoot()
    {
        const int bar = insertStandingBar();
        QVERIFY(bar >= 0);
        // Saved first: the save binds the new bar's channel in the file.
        QVERIFY(window->save());
        const QByteArray stockXml = ConfigSnapshot::documents(*config);
        const QString stockEdges = edgesOf(config->pages[0].masks[size_t(bar)].node);
        QCOMPARE(stockEdges, QStringLiteral("XStart1=0;YStart1=200;XStart2=60;YStart2=200;XEnd1=0;YEnd1=0;"
                                            "XEnd2=60;YEnd2=0;WIDTH=60;HEIGHT=200"));

        window->applyColorBar(bar);
        QCOMPARE(status(), QStringLiteral("Applied green→amber→red bar color"));
        QVERIFY(window->save());
        DashConfig saved;
        QVERIFY(saved.load(path));
        QVERIFY(maskPath(saved, 0, bar).contains(QLatin1String("/s04_homebrew/zbar_")));
        QCOMPARE(edgesOf(saved.pages[0].masks[size_t(bar)].node), stockEdges);
        // The stock picture is lit from its foot two thirds up: the ramp
        // lands on that part, green at the foot, and the unlit top stays.
        const QImage picture(rs3->absolutePath(Rs3Fixture::Stable, maskPath(saved, 0, bar) + QStringLiteral("mask.png")));
        QCOMPARE(picture.size(), QSize(60, 200));
        QVERIFY(!lit(picture.pixel(30, 20)));
        QVERIFY(picture.pixelColor(30, 195).green() > picture.pixelColor(30, 195).red());
        QVERIFY(picture.pixelColor(30, 75).red() > picture.pixelColor(30, 75).green());

        const double fullScale = 10000;
        for (const double fraction : {0.0, 0.5, 1.0}) {
            const QImage drawn = drawnAt(0, bar, fraction * fullScale);
            QCOMPARE(drawn.size(), QSize(60, 200));
            const int litFrom = int(std::lround(200 * (1 - fraction)));
            for (int y = 0; y < 200; ++y) {
                // Each row lit across its whole width or not at all.
                const bool rowLit = lit(drawn.pixel(30, y));
                for (int x = 1; x < 59; ++x)
                    QVERIFY2(lit(drawn.pixel(x, y)) == rowLit, qPrintable(QStringLiteral("%1,%2 at %3").arg(x).arg(y).arg(fraction)));
                if (std::abs(y - litFrom) > 1)
                    QVERIFY2(rowLit == (y >= litFrom), qPrintable(QStringLiteral("row %1 at %2").arg(y).arg(fraction)));
            }
            if (fraction == 1.0) {
                const QColor foot = drawn.pixelColor(30, 197);
                const QColor top = drawn.pixelColor(30, 2);
                QVERIFY2(foot.green() > foot.red(), qPrintable(foot.name()));
                QVERIFY2(top.red() > top.green(), qPrintable(top.name()));
            }
        }

        // A resize takes the edges along, standing as they were; its undo
        // puts them back.
        const MaskElement& m = config->pages[0].masks[size_t(bar)];
        stack->push(new MoveCommand(&m, m.x, m.y, m.w, m.h, m.x, m.y, 90, 300, config, 0, bar, false, true));
        QCOMPARE(edgesOf(config->pages[0].masks[size_t(bar)].node),
                 QStringLiteral("XStart1=0;YStart1=300;XStart2=90;YStart2=300;XEnd1=0;YEnd1=0;XEnd2=90;YEnd2=0;"
                                "WIDTH=90;HEIGHT=300"));
        stack->undo();
        QCOMPARE(edgesOf(config->pages[0].masks[size_t(bar)].node), stockEdges);

        window->removeBarColor(bar);
        QCOMPARE(status(), QStringLiteral("Removed bar color"));
        QVERIFY(window->save());
        QCOMPARE(ConfigSnapshot::documents(*config), stockXml);
        stack->undo(); // the removal
        QCOMPARE(edgesOf(config->pages[0].masks[size_t(bar)].node), stockEdges);
        stack->undo(); // the colour
        QCOMPARE(ConfigSnapshot::documents(*config), stockXml);
        stack->redo();
        QVERIFY(maskPath(*config, 0, bar).contains(QLatin1String("/s04_homebrew/zbar_")));
        QCOMPARE(edgesOf(config->pages[0].masks[size_t(bar)].node), stockEdges);
    }

    // The ring's bar only carries its scale: Color bar says why it does not
    // colour it, and the dial, the file and the history stay as they were.
    void ringIsNotBanded()
    {
        const int ring = maskOn(kEngine, DemoStock::ringGaugeItem());
        QVERIFY(ring >= 0);
        select(kEngine, ring);
        const QByteArray xml = ConfigSnapshot::documents(*config);
        const auto install = Rs3Fixture::treeSnapshot(rs3->root(Rs3Fixture::Stable));
        const int steps = stack->count();
        window->applyColorBar(ring);
        QVERIFY2(status().startsWith(QStringLiteral("Bar color is not available for ring gauges")), qPrintable(status()));
        QCOMPARE(stack->count(), steps);
        QCOMPARE(ConfigSnapshot::documents(*config), xml);
        QCOMPARE(maskPath(*config, kEngine, ring), DemoStock::ringGaugeItem());
        QVERIFY(Rs3Fixture::treeSnapshot(rs3->root(Rs3Fixture::Stable)) == install);
    }

    // A +- Ref Time bar's two bars each cover a part of the element that a
    // band drawn across it would run past: Color bar says so and changes
    // nothing.
    void refTimeBarIsNotBanded()
    {
        const int bar = config->insertRefTimeBar(kLaps, QRect(130, 195, 1, 1), QColor(), QColor(), 2.0);
        QVERIFY(bar >= 0);
        select(kLaps, bar);
        // Offered where it would not be refused: shown, but not enabled.
        auto* colour = window->findChild<QPushButton*>(QStringLiteral("barColorButton"));
        QVERIFY(colour && colour->isVisibleTo(window.get()) && !colour->isEnabled());
        select(kRace, 2);
        QVERIFY(colour->isEnabled());
        select(kLaps, bar);
        const QByteArray xml = ConfigSnapshot::documents(*config);
        const int steps = stack->count();
        window->applyColorBar(bar);
        QVERIFY2(status().startsWith(QStringLiteral("Bar color is not available for elements with more than one bar")),
                 qPrintable(status()));
        QCOMPARE(stack->count(), steps);
        QCOMPARE(ConfigSnapshot::documents(*config), xml);
    }

    // Insert Element's preview of a standing bar keeps its sample value
    // inside the bar.
    void insertPreviewFitsTheValue()
    {
        QRectF box;
        QRectF value;
        QString text;
        const int bar = insertStandingBar([&](AddElementDialog* add) {
            QGraphicsScene* scene = add->findChild<QGraphicsView*>()->scene();
            for (QGraphicsItem* item : scene->items()) {
                if (auto* rect = qgraphicsitem_cast<QGraphicsRectItem*>(item))
                    box = rect->sceneBoundingRect();
                else if (auto* simple = qgraphicsitem_cast<QGraphicsSimpleTextItem*>(item);
                         simple && simple->text() == QStringLiteral("7500")) {
                    value = simple->sceneBoundingRect();
                    text = simple->text();
                }
            }
        });
        QVERIFY(bar >= 0);
        QCOMPARE(text, QStringLiteral("7500"));
        QVERIFY2(box.height() > 2 * box.width(), "the preview shows a standing bar");
        QVERIFY2(box.contains(value), qPrintable(QStringLiteral("value %1,%2 %3x%4 in box %5,%6 %7x%8")
                                                     .arg(value.x()).arg(value.y()).arg(value.width())
                                                     .arg(value.height()).arg(box.x()).arg(box.y())
                                                     .arg(box.width()).arg(box.height())));
    }

    // Beta's homebrew set links to a drive that is not plugged in: Color…,
    // a box style and the pictures of a paste go into the stable install
    // only, and the window names the link it left right after the edit, not
    // only at the next open.
    void installLeftOutIsNamed_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<bool>("held");
        QTest::newRow("color bar") << QStringLiteral("Color bar") << false;
        QTest::newRow("box style") << QStringLiteral("Box style") << false;
        QTest::newRow("color bar into the folder a save kept") << QStringLiteral("Color bar") << true;
        QTest::newRow("paste beside a styled box's art") << QStringLiteral("Paste Widget") << false;
    }
    void installLeftOutIsNamed()
    {
        QFETCH(QString, edit);
        QFETCH(bool, held);
        QVERIFY(rs3->addDemoStock(Rs3Fixture::Beta));
        const QString homebrew = rs3->absolutePath(
            Rs3Fixture::Beta, QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew"));
        QDir(homebrew).removeRecursively();
        const QString drive = TestEnvironment::makeTempDir(QStringLiteral("drive")) + QStringLiteral("/unplugged");
        QVERIFY(QDir().mkpath(QFileInfo(homebrew).path()));
        QVERIFY(QFile::link(drive, homebrew));

        const int bar = maskOn(0, DemoStock::barItem());
        const int box = maskOn(0, DemoStock::valueBoxItem());
        QVERIFY(bar >= 0 && box >= 0);
        const int mask = edit == QLatin1String("Color bar") ? bar : box;
        select(0, mask);
        if (held) {
            window->applyColorBar(mask);
            QVERIFY(window->save());
            window->stepHistory(true);
            QCOMPARE(maskPath(*config, 0, mask), DemoStock::barItem());
        }
        if (edit != QLatin1String("Color bar")) {
            chooseStyle(QStringLiteral("solid_blue"));
            window->applyBoxStyle(mask);
            asker->onExec = {};
        }
        if (edit == QLatin1String("Paste Widget")) {
            auto* canvas = window->findChild<DashCanvas*>();
            canvas->setSelectedMask(bar);
            canvas->setSelectedWidget(0);
            window->copyWidget();
            canvas->setSelectedMask(box);
            canvas->setSelectedWidget(-1);
            asker->asked.clear();
            window->pasteWidget();
            QCOMPARE(int(config->pages[0].masks[size_t(box)].widgets.size()), 3);
        } else if (edit == QLatin1String("Color bar")) {
            asker->asked.clear();
            window->applyColorBar(mask);
        }
        QVERIFY(maskPath(*config, 0, mask).contains(QLatin1String("/s04_homebrew/")));
        QStringList named;
        for (const ScriptedAsker::Asked& a : asker->asked) {
            if (a.kind == QLatin1String("message") && a.text.contains(homebrew))
                named << a.title;
        }
        QCOMPARE(named, QStringList{edit});
        QVERIFY(QFileInfo(homebrew).isSymLink());
        QVERIFY(!QFileInfo::exists(drive));
    }

    // A box-style and a bar-colour record left beside a saved file that never
    // got their art (the editor ended before its save): the file's art is
    // drawn, the check names both, and the repair or the next save removes
    // them.
    void recordsTheFileDoesNotHold_data()
    {
        QTest::addColumn<bool>("repair");
        QTest::newRow("repair, then save") << true;
        QTest::newRow("save") << false;
    }
    void recordsTheFileDoesNotHold()
    {
        QFETCH(bool, repair);
        const int box = maskOn(0, DemoStock::valueBoxItem());
        const int bar = maskOn(0, DemoStock::barItem());
        QVERIFY(box >= 0 && bar >= 0);
        const QImage asSaved = DashCanvas::renderPageForPreview(config, 0, false, 1);
        QVERIFY(!asSaved.isNull());
        const QByteArray fileBytes = TestFiles::readBytes(path);
        const QString styleKey = config->boxStyleKey(0, box);
        const QString barKey = config->sidecarKey(0, bar, SidecarStore::BarColors);
        const QString barCoords =
            DashConfig::barGeometryText(config->pages[0].masks[size_t(bar)].node.find_child_by_attribute("e", "c", "BargraphTrapezio"));
        window.reset();

        // What an editor that ended after the edits and before the save
        // left beside the untouched file.
        {
            DashConfig writer;
            QVERIFY(writer.load(path));
            QVERIFY(writer.saveBoxStyleSidecar({{styleKey, BoxStyleRecord{QStringLiteral("solid_blue"),
                                                                           DemoStock::valueBoxItem(), 0, true,
                                                                           QStringLiteral("SPEED"), 0, 0}}}));
            QVERIFY(writer.saveBarColorSidecar({{barKey, BarColorRecord{true, 10000, DemoStock::barItem(),
                                                                        barCoords}}}));
            // As an older build wrote them: at once.
            QVERIFY(writer.writeStagedRecords());
        }
        QCOMPARE(TestFiles::readBytes(path), fileBytes);
        reopen();

        // The canvas, the panel and the render show the file's art.
        QVERIFY(config->renderBoxStyleImage(0, box).isNull());
        QVERIFY(DashCanvas::renderPageForPreview(config, 0, false, 1) == asSaved);
        select(0, box);
        QVERIFY2(!panelText("boxStyleLabel").contains(QStringLiteral("Solid Blue")),
                 qPrintable(panelText("boxStyleLabel")));

        const ConfigFindings findings = ConfigCheck::checkConfig(*config);
        QStringList named;
        for (const ConfigFinding& f : findings) {
            if (f.code == QLatin1String("stale-record")) {
                QCOMPARE(f.severity, 1);
                QVERIFY(f.repairable);
                named << f.elementId + QLatin1Char(':') + f.message;
            }
        }
        QCOMPARE(named.size(), 2);
        QVERIFY2(named.at(0).contains(QStringLiteral("solid_blue")) && named.at(0).contains(DemoStock::valueBoxItem()),
                 qPrintable(named.at(0)));
        QVERIFY2(named.at(1).contains(DemoStock::barItem()), qPrintable(named.at(1)));
        QVERIFY(ConfigCheck::countRepairable(findings) >= 2);

        if (repair) {
            // Like every fix, it reaches the files with the save: until then
            // the stores stay as they are, and the window has a change to
            // save. The check names the records no more.
            const QByteArray stores = sidecars();
            window->repairConfigValues(nullptr);
            QVERIFY2(status().contains(QStringLiteral("save to keep the fix")), qPrintable(status()));
            QCOMPARE(sidecars(), stores);
            QVERIFY(window->hasUnsavedChanges());
            for (const ConfigFinding& f : ConfigCheck::checkConfig(*config))
                QVERIFY2(f.code != QLatin1String("stale-record"), qPrintable(f.message));
        }
        QVERIFY(window->save());
        QVERIFY(!config->loadBoxStyleSidecar().contains(styleKey));
        QVERIFY(!config->loadBarColorSidecar().contains(barKey));
        DashConfig reread;
        QVERIFY(reread.load(path));
        QCOMPARE(maskPath(reread, 0, box), DemoStock::valueBoxItem());
        QCOMPARE(maskPath(reread, 0, bar), DemoStock::barItem());
        QVERIFY(reread.staleArtRecords().empty());
        int stale = 0;
        for (const ConfigFinding& f : ConfigCheck::checkConfig(reread))
            stale += f.code == QLatin1String("stale-record") ? 1 : 0;
        QCOMPARE(stale, 0);
    }

    // An editor killed after its last save leaves the stores as that save
    // wrote them, whatever it did since: Clean, Remove color, a resize, the
    // undo of a resize or of Color…, Duplicate. The reopened file shows its
    // style or colour with its record, both commands work on it, and Remove
    // color gives the bar the element's saved size. The child's steps: C
    // Color…, R resize, U undo, D duplicate, X Remove color, K Clean, S save.
    void abnormalEndKeepsTheSavedRecord_data()
    {
        QTest::addColumn<bool>("box");
        QTest::addColumn<QString>("steps");
        QTest::newRow("Clean") << true << "K";
        QTest::newRow("Remove color") << false << "X";
        QTest::newRow("resize") << false << "R";
        QTest::newRow("undo of a resize") << false << "RSU";
        QTest::newRow("undo of Color") << false << "XSCSU";
        QTest::newRow("Duplicate") << false << "D";
    }
    void abnormalEndKeepsTheSavedRecord()
    {
        QFETCH(bool, box);
        QFETCH(QString, steps);
        const int mask = maskOn(0, box ? DemoStock::valueBoxItem() : DemoStock::barItem());
        QVERIFY(mask >= 0);
        if (box) {
            chooseStyle(QStringLiteral("solid_blue"));
            window->applyBoxStyle(mask);
        } else {
            window->applyColorBar(mask);
        }
        QVERIFY(window->save());
        const QString expectedFile = path + QStringLiteral(".stores-at-last-save");
        QVERIFY(TestFiles::writeBytes(expectedFile, sidecars()));
        window.reset();

        const pid_t child = fork();
        if (child == 0) {
            DashConfig edited;
            config = &edited;
            QUndoStack history;
            bool done = edited.load(path);
            for (const QChar step : steps) {
                const MaskElement& m = edited.pages[0].masks[size_t(mask)];
                bool ok = true;
                if (step == 'K')
                    history.push(new BoxStyleCommand(&edited, 0, mask, cleanBoxStyleId(), 0, true, 0, QString(), 0,
                                                     &ok));
                else if (step == 'X')
                    history.push(new BarColorRemoveCommand(&edited, 0, mask, &ok));
                else if (step == 'C')
                    history.push(new BarColorCommand(&edited, 0, mask, &ok));
                else if (step == 'R')
                    history.push(new MoveCommand(&m, m.x, m.y, m.w, m.h, m.x, m.y, m.w - 90, m.h, &edited, 0, mask,
                                                 true, true));
                else if (step == 'D')
                    history.push(new DuplicateMaskCommand(&edited, 0, mask, 20, 20));
                else if (step == 'U')
                    history.undo();
                else if (step == 'S')
                    ok = edited.save(path) && TestFiles::writeBytes(expectedFile, sidecars());
                done = done && ok;
            }
            if (done)
                raise(SIGKILL);
            _exit(1);
        }
        int ended = 0;
        QCOMPARE(waitpid(child, &ended, 0), child);
        QVERIFY2(WIFSIGNALED(ended) && WTERMSIG(ended) == SIGKILL, "the child did not do its steps");

        reopen();
        QCOMPARE(sidecars(), TestFiles::readBytes(expectedFile));
        QVERIFY(maskPath(*config, 0, mask).contains(QLatin1String("/s04_homebrew/")));
        for (const ConfigFinding& f : ConfigCheck::checkConfig(*config))
            QVERIFY2(!f.code.endsWith(QLatin1String("-record")), qPrintable(f.message));
        select(0, mask);
        if (box) {
            QVERIFY2(panelText("boxStyleLabel").contains(QStringLiteral("Solid Blue")),
                     qPrintable(panelText("boxStyleLabel")));
            QVERIFY(!config->renderBoxStyleImage(0, mask).isNull());
            chooseStyle(QStringLiteral("panel_dark"));
            window->applyBoxStyle(mask);
            QCOMPARE(status(), QStringLiteral("Applied box style \"panel_dark\""));
            chooseStyle(QStringLiteral("clean"));
            window->applyBoxStyle(mask);
            QCOMPARE(status(), QStringLiteral("Removed box from digit"));
        } else {
            const int savedWidth = config->pages[0].masks[size_t(mask)].w;
            window->removeBarColor(mask);
            QCOMPARE(status(), QStringLiteral("Removed bar color"));
            const pugi::xml_node stock = config->pages[0].masks[size_t(mask)].node;
            QCOMPARE(paramValue(stock.find_child_by_attribute("e", "c", "BargraphTrapezio"), "WIDTH").toInt(),
                     savedWidth);
            window->applyColorBar(mask);
            QCOMPARE(status(), QStringLiteral("Applied green\u2192amber\u2192red bar color"));
        }
    }

    // Twenty presses of Down in the Width field of a coloured bar: the
    // canvas follows each, the history gets one step and the art one drawing
    // once the value settles (Return); the undo of that step leaves the
    // folders it made in the install, and its redo draws nothing new.
    void arrowStepsInTheWidthFieldAreOneStep()
    {
        const auto folders = [this] {
            QStringList all;
            QDirIterator it(rs3->absolutePath(Rs3Fixture::Stable, QStringLiteral("aim")), QDir::Dirs | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext())
                all << it.next();
            all.sort();
            return all;
        };
        const int bar = maskOn(0, DemoStock::barItem());
        window->applyColorBar(bar);
        QVERIFY(window->save());
        select(0, bar);
        const QStringList before = folders();
        const int steps = stack->count();
        const int width = config->pages[0].masks[size_t(bar)].w;
        auto* field = window->findChild<QSpinBox*>(QStringLiteral("wSpin"));
        QVERIFY(field && field->isEnabled());
        for (int i = 0; i < 20; ++i)
            QTest::keyClick(field, Qt::Key_Down);
        QCOMPARE(config->pages[0].masks[size_t(bar)].w, width - 20);
        QCOMPARE(stack->count(), steps);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(stack->count(), steps + 1);
        const pugi::xml_node node = config->pages[0].masks[size_t(bar)].node;
        QCOMPARE(paramValue(node, "WIDTH").toInt(), width - 20);
        const QStringList drawn = folders();
        QVERIFY(drawn != before);
        stack->undo();
        QCOMPARE(paramValue(config->pages[0].masks[size_t(bar)].node, "WIDTH").toInt(), width);
        QCOMPARE(folders(), drawn);
        stack->redo();
        QCOMPARE(folders(), drawn);
        QCOMPARE(paramValue(config->pages[0].masks[size_t(bar)].node, "WIDTH").toInt(), width - 20);
        QVERIFY(!DashConfig::resolveOverlayDir(maskPath(*config, 0, bar)).isEmpty());
    }

    // No entry adds a widget inside a coloured bar that its colours would
    // not cover: each is refused with the reason and changes nothing. One
    // already there (an older file) is named by the check.
    void widgetsAreNotAddedToAColouredBar_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("refusal");
        const QString secondBar = QStringLiteral("Remove color first, then add the bar");
        QTest::newRow("Duplicate Widget") << "duplicate" << secondBar;
        QTest::newRow("Paste Widget") << "paste" << secondBar;
        QTest::newRow("Add value bar") << "value bar" << secondBar;
        // The label would reach 38 px below the 60 px high bar.
        QTest::newRow("Add Text Box (here)") << "text box"
                                             << "Remove color first, or keep the widget inside the element: at 5, 74";
        QTest::newRow("Check config") << "check" << QString();
    }
    void widgetsAreNotAddedToAColouredBar()
    {
        QFETCH(QString, entry);
        QFETCH(QString, refusal);
        const int bar = maskOn(0, DemoStock::barItem());
        window->applyColorBar(bar);
        auto* canvas = window->findChild<DashCanvas*>();
        canvas->setSelectedMask(bar);
        canvas->setSelectedWidget(0);
        if (entry == QLatin1String("paste")) {
            window->copyWidget();
            canvas->setSelectedWidget(-1);
        }
        const QByteArray documents = ConfigSnapshot::documents(*config);
        const int steps = stack->count();
        const size_t widgets = config->pages[0].masks[size_t(bar)].widgets.size();
        if (entry == QLatin1String("check")) {
            pugi::xml_document copy;
            QVERIFY(config->copyWidgetXml(0, bar, 0, copy));
            QVERIFY(config->insertWidget(0, bar, copy.first_child(), 10, 10, -1) >= 0);
            QStringList named;
            for (const ConfigFinding& f : ConfigCheck::checkConfig(*config)) {
                if (f.code == QLatin1String("coloured-overrun"))
                    named << f.elementId + QLatin1Char(':') + f.message;
            }
            QCOMPARE(named.size(), 1);
            QVERIFY2(named[0].startsWith(config->pages[0].masks[size_t(bar)].id + QLatin1Char(':'))
                         && named[0].contains(QStringLiteral("a second bar")),
                     qPrintable(named[0]));
            return;
        }
        if (entry == QLatin1String("duplicate"))
            window->duplicateWidget();
        else if (entry == QLatin1String("paste"))
            window->pasteWidget();
        else if (entry == QLatin1String("text box"))
            window->addTextBoxInBox(bar, 5, 50);
        else
            window->addValueBar(bar);
        QVERIFY2(status().startsWith(refusal), qPrintable(status()));
        QCOMPARE(stack->count(), steps);
        QCOMPARE(ConfigSnapshot::documents(*config), documents);
        QCOMPARE(config->pages[0].masks[size_t(bar)].widgets.size(), widgets);
    }

    // Remove color, then Save As: the new file gets no record of the colour
    // it does not show; the file left behind keeps the one it shows.
    void saveAsCarriesOnlyRecordsTheNewFileShows()
    {
        const int bar = maskOn(0, DemoStock::barItem());
        window->applyColorBar(bar);
        QVERIFY(window->save());
        const QString key = config->sidecarKey(0, bar, SidecarStore::BarColors);
        window->removeBarColor(bar);
        const QString other = TestEnvironment::makeTempDir(QStringLiteral("other")) + QStringLiteral("/other.zconf2");
        asker->fileNames = {other};
        QVERIFY(window->saveAs());
        QVERIFY(!config->loadBarColorSidecar().contains(key));
        DashConfig left;
        QVERIFY(left.load(path));
        QVERIFY(left.loadBarColorSidecar().value(key).colored);
        QVERIFY(left.staleArtRecords().empty());
    }

    // A styled box and a coloured bar whose records are gone from beside the
    // saved file: the check says so for each.
    void lostRecordsAreNamed()
    {
        const int box = maskOn(0, DemoStock::valueBoxItem());
        const int bar = maskOn(0, DemoStock::barItem());
        chooseStyle(QStringLiteral("solid_blue"));
        window->applyBoxStyle(box);
        window->applyColorBar(bar);
        QVERIFY(window->save());
        const QStringList keys{config->boxStyleKey(0, box), config->sidecarKey(0, bar, SidecarStore::BarColors)};
        QVERIFY(QFile::remove(config->boxStylesSidecarPath()));
        QVERIFY(QFile::remove(config->barColorSidecarPath()));
        window.reset();

        DashConfig reread;
        QVERIFY(reread.load(path));
        QStringList named;
        for (const ConfigFinding& f : ConfigCheck::checkConfig(reread)) {
            if (f.code == QLatin1String("lost-record")) {
                QVERIFY(!f.repairable);
                named << f.message;
            }
        }
        QCOMPARE(named.size(), 2);
        for (int i = 0; i < 2; ++i)
            QVERIFY2(named[i].contains(keys[i]) && named[i].contains(i ? "bar" : "box"), qPrintable(named[i]));
    }
};

QTEST_MAIN(ArtAsFileHoldsTest)
#include "tst_artasfileholds.moc"
