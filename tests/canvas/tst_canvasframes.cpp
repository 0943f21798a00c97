#include "canvas/DashCanvas.h"
#include "canvas/SampleDataSource.h"
#include "model/DashConfig.h"
#include "support/ConfigFixture.h"
#include "support/ParsedPage.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QScreen>
#include <QUndoStack>
#include <QtTest>

#include <memory>

// Playback frames painted one tick after another must be the frames a
// canvas paints from scratch at the same time: the demo pages and a page of
// overlapping masks, editor and live look. Every frame is also kept as a PNG
// under the build folder ("canvas-frames") so that grabs of two builds can be
// compared file by file.
class CanvasFramesTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> m_rs3;
    DashConfig m_config;
    SampleDataSource m_samples;
    QString m_grabDir;
    static constexpr double kTime = 12.3;

    static QImage paint(DashCanvas& canvas)
    {
        QImage frame(canvas.size(), QImage::Format_ARGB32_Premultiplied);
        frame.fill(Qt::black);
        QPainter painter(&frame);
        canvas.paintPage(painter);
        painter.end();
        return frame;
    }

    void setUp(DashCanvas& canvas, PageModel* page, bool preview, int selected)
    {
        canvas.config = &m_config;
        canvas.resize(820, 500);
        canvas.setConfig(&m_config);
        canvas.setPage(page);
        canvas.previewMode = preview;
        canvas.setDataSource(&m_samples);
        if (selected >= 0)
            canvas.setSelectedMask(selected);
    }

    // The frame at kTime after a run of playback ticks, and the frame of a
    // fresh canvas at kTime.
    void compareTicked(PageModel* page, const QString& name, bool preview, int selected = -1)
    {
        DashCanvas ticked;
        setUp(ticked, page, preview, selected);
        for (double t = kTime - 1.0; t < kTime - 0.01; t += 0.033) {
            ticked.setTime(t);
            paint(ticked);
        }
        ticked.setTime(kTime);
        const QImage played = paint(ticked);

        DashCanvas fresh;
        setUp(fresh, page, preview, selected);
        fresh.setTime(kTime);
        const QImage expected = paint(fresh);

        const QString file = m_grabDir + QLatin1Char('/') + name + (preview ? "-live.png" : "-editor.png");
        QVERIFY(played.save(file));
        QVERIFY2(played == expected, qPrintable(file));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_rs3 = std::make_unique<Rs3Fixture>();
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        if (path.isEmpty())
            QSKIP("neither KORV_BINARY_DIR nor KORV_SOURCE_DIR leads to the demo configuration");
        QString error;
        QVERIFY2(m_config.load(path, &error), qPrintable(error));
        QCOMPARE(m_config.pageCount(), 3);
        QHash<QString, QString> units;
        for (const ChannelInfo& c : m_config.channels)
            units.insert(c.longName, c.unit);
        m_samples.setChannelUnits(units);

        const QString binary = qEnvironmentVariable("KORV_BINARY_DIR");
        m_grabDir = binary.isEmpty() ? TestEnvironment::makeTempDir(QStringLiteral("frames"))
                                     : binary + QStringLiteral("/canvas-frames");
        QVERIFY(QDir().mkpath(m_grabDir));
    }

    void demoPages_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("preview");
        for (int page = 0; page < 3; ++page) {
            QTest::addRow("page %d editor", page) << page << false;
            QTest::addRow("page %d live", page) << page << true;
        }
    }

    void demoPages()
    {
        QFETCH(int, page);
        QFETCH(bool, preview);
        compareTicked(m_config.page(page), QStringLiteral("demo-page%1").arg(page), preview, preview ? -1 : 1);
    }

    // Masks listed bottom-up by ORDINE against their list order: a box above
    // a Digit hides its value, a translucent one tints it, and a mask-level
    // value sits under a bar.
    void overlappingMasks_data()
    {
        QTest::addColumn<bool>("preview");
        QTest::addRow("editor") << false;
        QTest::addRow("live") << true;
    }

    void overlappingMasks()
    {
        QFETCH(bool, preview);
        ParsedPage p({
            Fx::mask("top", 60, 40, 160, 80).p("ORDINE", 4).p("M_BCOL", "0xff203040").p("M_TCOL", "0xffffffff").p("M_THICK", 2)
                .add(Fx::label("top_l", "TOP", 4, 4, 0, 0)),
            Fx::mask("tint", 150, 60, 200, 120).p("ORDINE", 3).p("M_BCOL", "0x80c03030")
                .add(Fx::axis("00", "Speed", "Speed", "km/h"))
                .add(Fx::digit("tint_d", 0, 20, 200, 60, "00").p("NUM_CHARS", 4)),
            Fx::mask("under", 0, 0, 300, 200).p("ORDINE", 1)
                .add(Fx::axis("00", "RPM", "RPM", "rpm"))
                .add(Fx::digit("under_d", 10, 30, 280, 90, "00").p("NUM_CHARS", 5))
                .add(Fx::bargraph("under_bar", 10, 150, 280, 30, "00").p("ScaleFSV", "8000")),
            Fx::mask("value", 320, 200, 200, 120).p("ORDINE", 2).add(Fx::axis("00", "Water Temp", "WT", "C")),
            Fx::mask("bar", 300, 240, 260, 60).p("ORDINE", 5)
                .add(Fx::axis("00", "Throttle", "TPS", "%"))
                .add(Fx::bargraph("bar_b", 0, 0, 260, 60, "00", true).p("ScaleFSV", "100")),
        });
        compareTicked(&p.page, QStringLiteral("overlap"), preview, preview ? -1 : 2);
    }

    // Playback on a shown canvas repaints only what the ticks changed: what
    // the screen shows afterwards is the frame painted from scratch.
    void shownPlayback_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("preview");
        for (int page : { -1, 0 }) {
            QTest::addRow("%s editor", page < 0 ? "overlap" : "demo") << page << false;
            QTest::addRow("%s live", page < 0 ? "overlap" : "demo") << page << true;
        }
    }

    void shownPlayback()
    {
        QFETCH(int, page);
        QFETCH(bool, preview);
        ParsedPage overlap({
            Fx::mask("under", 0, 0, 300, 200).p("ORDINE", 1)
                .add(Fx::label("under_l", "UNDER", 100, 0, 0, 0))
                .add(Fx::axis("00", "RPM", "RPM", "rpm"))
                .add(Fx::digit("under_d", 10, 30, 280, 90, "00").p("NUM_CHARS", 5))
                .add(Fx::bargraph("under_bar", 10, 150, 280, 30, "00").p("ScaleFSV", "8000")),
            Fx::mask("top", 60, 40, 160, 80).p("ORDINE", 3).p("M_BCOL", "0x80203040")
                .add(Fx::label("top_l", "TOP", 4, 4, 0, 0)),
            Fx::mask("side", 320, 20, 200, 120).p("ORDINE", 2)
                .add(Fx::axis("00", "Speed", "Speed", "km/h"))
                .add(Fx::digit("side_d", 0, 20, 200, 60, "00").p("NUM_CHARS", 4))
                .add(Fx::label("side_l", "OVER", 60, 40, 0, 0)),
        });
        PageModel* shownPage = page < 0 ? &overlap.page : m_config.page(page);
        DashCanvas canvas;
        setUp(canvas, shownPage, preview, preview ? -1 : 0);
        canvas.setTime(kTime - 1.0);
        canvas.show();
        QVERIFY(QTest::qWaitForWindowExposed(&canvas));
        // Halfway the editor selects another mask: its outline shows from the next tick on.
        for (double t = kTime - 1.0; t < kTime - 0.01; t += 0.033) {
            canvas.setTime(t);
            if (!preview && t > kTime - 0.5 && canvas.selectedMask() == 0)
                canvas.setSelectedMask(1);
        }
        canvas.setTime(kTime);
        QScreen* screen = canvas.screen();
        QVERIFY(screen);
        const QImage shown = screen->grabWindow(canvas.winId()).toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), canvas.size());

        DashCanvas fresh;
        setUp(fresh, shownPage, preview, preview ? -1 : 1);
        fresh.setTime(kTime);
        QVERIFY(shown == paint(fresh).convertToFormat(QImage::Format_RGB32));
    }

    // An undo command that moves a mask between two ticks: the next tick
    // shows the mask where it is now, not where the kept frame had it.
    void commandBetweenTicks()
    {
        ParsedPage p({
            Fx::mask("m", 20, 20, 200, 100).p("M_BCOL", "0xff304050")
                .add(Fx::axis("00", "RPM", "RPM", "rpm"))
                .add(Fx::digit("d", 0, 10, 200, 80, "00").p("NUM_CHARS", 5)),
        });
        struct Move : QUndoCommand {
            MaskElement* mask;
            explicit Move(MaskElement* m) : mask(m) {}
            void redo() override { mask->x += 150; }
            void undo() override { mask->x -= 150; }
        };
        QUndoStack stack;
        DashCanvas ticked;
        setUp(ticked, &p.page, false, -1);
        ticked.setUndoStack(&stack);
        ticked.setTime(kTime - 0.033);
        paint(ticked);
        stack.push(new Move(&p.mask(0)));
        ticked.setTime(kTime);
        const QImage moved = paint(ticked);

        DashCanvas fresh;
        setUp(fresh, &p.page, false, -1);
        fresh.setTime(kTime);
        QVERIFY(moved == paint(fresh));
    }
};

KORV_TEST_MAIN(CanvasFramesTest)
#include "tst_canvasframes.moc"
