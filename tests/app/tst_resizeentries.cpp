#include "canvas/IDataSource.h"
#include "check/ConfigCheck.h"
#include "panels/ValueBarDialog.h"
#include "support/ConfigSnapshot.h"
#include "support/DemoArtSession.h"
#include "artwork/HomebrewItems.h"

#include <QSpinBox>

#include <algorithm>

// A bar resized through any entry (the panel's field, arrow steps in it, a
// dragged canvas handle, Resize to Canonical) is saved as the same file and
// lights to its value: a stock bar, a value box holding a bar (in its stock
// picture or drawn in a style), a bar holding a pasted value, a duplicated
// bar and a coloured bar.
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

enum Subject { StockBar, AddedValueBar, StyledValueBar, PastedValue, DuplicatedBar, ColouredStockBar };
enum Entry { Panel, ArrowKeys, Drag, Canonical };

constexpr int kBar = 2;   // Race's lying bar md.02, 340 x 60
constexpr int kSpeed = 1; // Race's value box md.01, 340 x 160

// What a session saved: the device XML as re-read and the art it points at.
struct Saved {
    QByteArray xml;
    QMap<QString, QByteArray> art;
};

// The highest value of the bar's scale.
double scaleTop(pugi::xml_node bar)
{
    double top = 0;
    for (const pugi::xpath_node& step : bar.select_nodes(".//e[@c='StepScale']"))
        top = std::max(top, paramValue(step.node(), "VAL_SCALA").toDouble());
    return top;
}

} // namespace

class ResizeEntriesTest : public QObject, DemoArtSession {
    Q_OBJECT

    QMap<QString, Saved> references;

    // The mask each subject resizes, made as a user makes it.
    int prepare(int subject)
    {
        switch (subject) {
        case StyledValueBar:
            chooseStyle(QStringLiteral("solid_blue"));
            window->applyBoxStyle(kSpeed);
            [[fallthrough]];
        case AddedValueBar:
            asker->onExec = [](QDialog* dialog) {
                return qobject_cast<ValueBarDialog*>(dialog) ? int(QDialog::Accepted) : int(QDialog::Rejected);
            };
            window->addValueBar(kSpeed);
            asker->onExec = {};
            return findBargraphChild(config->pages[kRace].masks[kSpeed].node) ? kSpeed : -1;
        case PastedValue: {
            pick(kSpeed);
            auto* canvas = window->findChild<DashCanvas*>();
            const auto& widgets = config->pages[kRace].masks[kSpeed].widgets;
            for (int i = 0; i < int(widgets.size()); ++i) {
                if (widgets[size_t(i)].kind == WidgetDigit)
                    canvas->setSelectedWidget(i);
            }
            window->copyWidget();
            pick(kBar);
            window->pasteWidget();
            return maskHasChildClass(config->pages[kRace].masks[kBar].node, "Digit") ? kBar : -1;
        }
        case DuplicatedBar:
            pick(kBar);
            window->duplicateMask();
            return int(config->pages[kRace].masks.size()) - 1;
        case ColouredStockBar:
            window->applyColorBar(kBar);
            return config->colouredBar(kRace, kBar).coloured ? kBar : -1;
        default:
            return kBar;
        }
    }

    // The mask selected on the canvas, as a click on it selects it.
    void pick(int mask)
    {
        select(kRace, mask);
        auto* canvas = window->findChild<DashCanvas*>();
        canvas->setSelectedMask(mask);
        canvas->setSelectedWidget(-1);
    }

    QSpinBox* widthField(int mask)
    {
        pick(mask);
        auto* field = window->findChild<QSpinBox*>(QStringLiteral("wSpin"));
        return field && field->isEnabled() ? field : nullptr;
    }

    void typeWidth(int mask, int width)
    {
        QSpinBox* field = widthField(mask);
        QVERIFY(field);
        field->selectAll();
        QTest::keyClicks(field, QString::number(width));
        QTest::keyClick(field, Qt::Key_Return);
    }

    // Up or Down until the field shows the width, then the pause settles it.
    void stepWidth(int mask, int width)
    {
        QSpinBox* field = widthField(mask);
        QVERIFY(field);
        const int steps = stack->count();
        while (field->value() != width)
            QTest::keyClick(field, field->value() < width ? Qt::Key_Up : Qt::Key_Down);
        QCOMPARE(stack->count(), steps);
        QTRY_COMPARE_WITH_TIMEOUT(stack->count(), steps + 1, 5000);
    }

    // The right handle pressed on the real canvas and dragged until the
    // mask is `width` wide.
    void dragWidth(int mask, int width)
    {
        pick(mask);
        auto* canvas = window->findChild<DashCanvas*>();
        const MaskElement& m = config->pages[kRace].masks[size_t(mask)];
        const double s = canvas->viewScale();
        const auto onScreen = [&](double x, double y) { return (canvas->pageOrigin() + QPointF(x, y) * s).toPoint(); };
        const double y = m.y + m.h / 2.0;
        QPoint at = onScreen(m.x + m.w - 0.5, y);
        QCOMPARE(canvas->handleAt(at), 6);
        QTest::mousePress(canvas, Qt::LeftButton, {}, at);
        at = onScreen(m.x + m.w + (width - m.w) / 2.0, y);
        QTest::mouseMove(canvas, at);
        at = onScreen(m.x + width, y);
        QTest::mouseMove(canvas, at);
        // The view's scale may land a pixel off: nudge until it is there.
        for (int tries = 0; tries < 8 && config->pages[kRace].masks[size_t(mask)].w != width; ++tries) {
            at.rx() += config->pages[kRace].masks[size_t(mask)].w < width ? 1 : -1;
            QTest::mouseMove(canvas, at);
        }
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, at);
    }

    void resizeBy(int entry, int mask, int width)
    {
        switch (entry) {
        case Panel:
            typeWidth(mask, width);
            break;
        case ArrowKeys:
            stepWidth(mask, width);
            break;
        case Drag:
            dragWidth(mask, width);
            break;
        case Canonical:
            pick(mask);
            window->snapToCanonicalSize();
            QVERIFY2(status().startsWith(QLatin1String("Resized \"")), qPrintable(status()));
            break;
        }
    }

    Saved saveAndRead()
    {
        Saved out;
        if (!window->save())
            return out;
        DashConfig saved;
        if (!saved.load(path))
            return out;
        out.xml = ConfigSnapshot::documents(saved);
        out.art = filesOfSavedConfig(path);
        return out;
    }

    // The subject brought to `start` and then to `width` by typing it in
    // the panel, in a session of its own.
    Saved reference(int subject, int start, int width)
    {
        const QString key = QStringLiteral("%1/%2/%3").arg(subject).arg(start).arg(width);
        if (!references.contains(key)) {
            openDemo();
            const int mask = prepare(subject);
            if (mask >= 0) {
                if (start != config->pages[kRace].masks[size_t(mask)].w)
                    typeWidth(mask, start);
                typeWidth(mask, width);
                references.insert(key, saveAndRead());
            }
            closeDemo();
        }
        return references.value(key);
    }

    // Lit pixels along a row through the bar: within its element, and
    // past the element's right edge.
    static std::pair<int, int> litPixels(DashConfig& c, int mask, double value)
    {
        FixedValue source;
        source.v = value;
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setConfig(&c);
        canvas.setPage(c.page(kRace));
        canvas.previewMode = true;
        canvas.setDataSource(&source);
        canvas.setTime(0);
        const QImage drawn = canvas.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const MaskElement& m = c.pages[kRace].masks[size_t(mask)];
        const pugi::xml_node bar = findBargraphChild(m.node);
        // Near its top: a pasted value may cover its middle.
        const int y = 10 + m.y + paramInt(bar, "YPOS") + paramInt(bar, "HEIGHT") / 8 + 1;
        std::pair<int, int> lit{0, 0};
        for (int x = 10 + m.x; x < 10 + m.x + m.w + 40 && x < drawn.width(); ++x) {
            const QColor px = drawn.pixelColor(x, y);
            // Stock and value bars light green, a coloured bar's ramp runs
            // to yellow and red; the track, panels and values are grey or white.
            if (std::max(px.red(), px.green()) > 150 && px.blue() < 100)
                ++(x < 10 + m.x + m.w ? lit.first : lit.second);
        }
        return lit;
    }

private Q_SLOTS:
    void cleanup() { closeDemo(); }

    void everyEntryGivesTheSameFile_data()
    {
        QTest::addColumn<int>("subject");
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("width");
        const QList<std::pair<int, const char*>> subjects{{StockBar, "bar"},
                                                          {AddedValueBar, "value box with a bar"},
                                                          {StyledValueBar, "styled value box with a bar"},
                                                          {PastedValue, "bar with a pasted value"},
                                                          {DuplicatedBar, "duplicated bar"},
                                                          {ColouredStockBar, "coloured bar"}};
        for (const auto& [subject, name] : subjects) {
            QTest::addRow("%s, panel", name) << subject << int(Panel) << 340 << 232;
            QTest::addRow("%s, arrow keys", name) << subject << int(ArrowKeys) << 340 << 232;
            QTest::addRow("%s, drag", name) << subject << int(Drag) << 340 << 232;
            // A styled box is drawn at whatever size it has: no stock size.
            if (subject != StyledValueBar)
                QTest::addRow("%s, canonical", name) << subject << int(Canonical) << 232 << 340;
        }
    }
    void everyEntryGivesTheSameFile()
    {
        QFETCH(int, subject);
        QFETCH(int, entry);
        QFETCH(int, start);
        QFETCH(int, width);
        const Saved expected = reference(subject, start, width);
        QVERIFY(!expected.xml.isEmpty());

        openDemo();
        const int mask = prepare(subject);
        QVERIFY(mask >= 0);
        if (start != config->pages[kRace].masks[size_t(mask)].w)
            typeWidth(mask, start);
        resizeBy(entry, mask, width);
        QCOMPARE(config->pages[kRace].masks[size_t(mask)].w, width);
        const Saved saved = saveAndRead();
        QCOMPARE(saved.xml, expected.xml);
        QCOMPARE(saved.art.keys(), expected.art.keys());
        QVERIFY(saved.art == expected.art);

        DashConfig reread;
        QVERIFY(reread.load(path));
        const QString id = reread.pages[kRace].masks[size_t(mask)].id;
        for (const ConfigFinding& f : ConfigCheck::checkConfig(reread)) {
            if (f.elementId == id && f.pageIndex == kRace)
                QVERIFY2(!f.code.startsWith(QLatin1String("bar-")), qPrintable(f.code + QLatin1Char(' ') + f.message));
        }
        // The bar alone on its page, so no other element's pixels count.
        for (int k = int(reread.pages[kRace].masks.size()) - 1; k >= 0; --k) {
            if (k != mask)
                QVERIFY(reread.removeMask(kRace, k));
        }
        const MaskElement& m = reread.pages[kRace].masks[0];
        const pugi::xml_node bar = findBargraphChild(m.node);
        const int barWidth = paramInt(bar, "WIDTH");
        QVERIFY(paramInt(bar, "XPOS") + barWidth <= m.w);
        const QString rel = QString::fromUtf8(paramValue(m.node, "PATH_REL_AiM_MASK"));
        QCOMPARE(QImage(rs3->absolutePath(Rs3Fixture::Stable, rel) + "mask.png").size(), QSize(m.w, m.h));
        // Drawn again in its style, not its old picture scaled.
        if (subject == StyledValueBar)
            QVERIFY2(rel.contains(QLatin1String("/Items/box_")), qPrintable(rel));
        const double top = scaleTop(bar);
        QVERIFY(top > 0);
        // An empty value bar shows its outline's two ends.
        const QList<std::pair<double, int>> probes{{0, 0}, {top / 2, barWidth / 2}, {top, barWidth}};
        for (const auto& [value, expectedLit] : probes) {
            const auto [lit, past] = litPixels(reread, 0, value);
            const QString seen = QStringLiteral("at %1: %2 lit of %3, %4 past").arg(value).arg(lit).arg(barWidth);
            QVERIFY2(qAbs(lit - expectedLit) <= 5 && past == 0, qPrintable(seen.arg(past)));
        }
    }
};

QTEST_MAIN(ResizeEntriesTest)
#include "tst_resizeentries.moc"
