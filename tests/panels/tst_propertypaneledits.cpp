#include "model/ChannelKind.h"
#include "model/DashConfig.h"
#include "model/InstallRoots.h"
#include "model/XmlParams.h"
#include "panels/PropertyPanel.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QUndoStack>
#include <QtTest>
#include <memory>

namespace {

// Page "Main", masks in order:
//   0 dig   Digit mask: d0 (no style), d1 (styled, no COLORE), l1 (no style)
//   1 barw  two bar widgets: b1 100 x 20 with corner points, b0 of width 0
//   2 bar   bar -50..50 with a zero mark, channel "Water Temp" (range -20..100)
//   3 hand  as edited by hand: beyond the page's right edge, charsets that are
//           none of the offered families, label lh below the mask's bottom
//   4 auto  Digit da with a charset but no size (the firmware sizes it)
//   5 odd   bar 0.125..2000000, as edited by hand
ConfigFixture editConfig()
{
    ConfigFixture cfg;
    cfg.channel(3, "RPM", "RPM", "rpm");
    cfg.channel(5, "Water Temp", "WT", "C");
    cfg.channels.last().chMin = "-20";
    cfg.channels.last().chMax = "100";
    const auto corners = [](FixtureElement bar) {
        return bar.p("XStart1", 10).p("XEnd1", 91).p("YStart1", 2).p("YEnd1", 18);
    };
    cfg.device().page("Main")
        .mask(Fx::mask("dig", 10, 20, 200, 80)
                  .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                  .add(Fx::digit("d0", 0, 60, 50, 20, "a1"))
                  .add(Fx::digit("d1", 5, 6, 120, 60, "a1").p("CHAR_SET_ID_2", "Basic Sans SF").p("CHARSET_DIM", 40))
                  .add(Fx::label("l1", "REV", 120, 0, 80, 20)))
        .mask(Fx::mask("barw", 10, 120, 200, 40)
                  .add(corners(Fx::bargraph("b1", 0, 0, 100, 20)))
                  .add(corners(Fx::bargraph("b0", 0, 20, 0, 20))))
        .mask(Fx::mask("bar", 10, 200, 300, 40)
                  .add(Fx::axis("a1", "Water Temp", "WT", "C"))
                  .add(Fx::bargraph("b1", 0, 0, 300, 40, "a1", true)
                           .add(Fx::stepScale({{"0", "-50"}, {"50", "0"}, {"100", "50"}}))))
        .mask(Fx::mask("hand", 820, 40, 340, 160)
                  .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                  .add(Fx::label("lh", "SPEED", 20, 200, 300, 30).p("CHAR_SET_ID_2", "Text_H24").p("CHARSET_DIM", 24))
                  .add(Fx::digit("dh", 20, 140, 300, 90, "a1").p("CHAR_SET_ID_2", "Digit_H72").p("CHARSET_DIM", 72)))
        .mask(Fx::mask("auto", 10, 300, 200, 60)
                  .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                  .add(Fx::digit("da", 0, 0, 200, 60, "a1").p("CHAR_SET_ID_2", "Digit_H64")))
        .mask(Fx::mask("odd", 10, 380, 300, 40)
                  .add(Fx::bargraph("b1", 0, 0, 300, 40, QString(), true)
                           .add(Fx::stepScale({{"0", "0.125"}, {"100", "2000000"}}))));
    return cfg;
}

QByteArray param(pugi::xml_node node, const char* name)
{
    return paramValue(node, name);
}

// The device file as a save wrote it.
QByteArray savedDeviceXml(DashConfig& config, const QString& name)
{
    const QString path = TestEnvironment::makeTempDir(QStringLiteral("saved")) + QLatin1Char('/') + name;
    QString error;
    if (!config.save(path, &error))
        return "<save failed: " + error.toUtf8() + ">";
    return ZipFixture::readZip(path).value(QStringLiteral("dash/overlay.ov3.xml"), "<missing>");
}

// The lines that differ, as "before -> after"; line counts that differ say so.
QStringList changedLines(const QByteArray& before, const QByteArray& after)
{
    const QList<QByteArray> a = before.split('\n');
    const QList<QByteArray> b = after.split('\n');
    if (a.size() != b.size())
        return {QStringLiteral("%1 lines -> %2 lines").arg(a.size()).arg(b.size())};
    QStringList changed;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            changed << QString::fromUtf8(a[i].trimmed() + " -> " + b[i].trimmed());
    }
    return changed;
}

} // namespace

class PropertyPanelEditsTest : public QObject {
    Q_OBJECT

private:
    DashConfig m_config;
    QUndoStack m_stack;
    std::unique_ptr<PropertyPanel> m_panel;
    QStringList m_events; // the panel's signals in the order they came

    template <typename T>
    T* child(const char* name) const
    {
        T* w = m_panel->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }

    MaskElement* mask(int i) { return m_config.maskAt(0, i); }
    bool dirty() const { return m_config.devices[0]->dirty; }

private Q_SLOTS:
    void init()
    {
        QString error;
        QVERIFY2(m_config.load(editConfig().writeTempZip(), &error), qPrintable(error));
        m_config.devices[0]->dirty = false; // whatever the load fixed up
        m_stack.clear();
        m_events.clear();
        m_panel = std::make_unique<PropertyPanel>();
        m_panel->setUndoStack(&m_stack);
        m_panel->setPageContext(&m_config, 0);
        m_panel->setChannels(m_config.channels);
        connect(m_panel.get(), &PropertyPanel::positionChanged, this,
                [this](int x, int y) { m_events << QStringLiteral("position %1 %2").arg(x).arg(y); });
        connect(m_panel.get(), &PropertyPanel::sizeChanged, this,
                [this](int w, int h) { m_events << QStringLiteral("size %1 %2").arg(w).arg(h); });
        connect(m_panel.get(), &PropertyPanel::fontChanged, this, [this] { m_events << QStringLiteral("font"); });
    }

    void cleanup() { m_panel.reset(); }

    void unchangedMaskGeometryPushesNothing()
    {
        m_panel->showMask(mask(0));
        const QByteArray before = ConfigSnapshot::documents(m_config);
        QVERIFY(QMetaObject::invokeMethod(m_panel.get(), "onSpinBoxChanged"));
        QCOMPARE(m_stack.count(), 0);
        QVERIFY(dirty());
        QCOMPARE(m_events, QStringList({"position 10 20", "size 200 80"}));
        QCOMPARE(ConfigSnapshot::documents(m_config), before);
    }

    void maskGeometryIsOneUndoStep()
    {
        m_panel->showMask(mask(0));
        const QByteArray before = ConfigSnapshot::documents(m_config);
        child<QSpinBox>("wSpin")->setValue(230);
        child<QSpinBox>("wSpin")->setValue(240);
        // The canvas follows each step; the document waits for the value to
        // settle (here Return), and the run is one step.
        QCOMPARE(mask(0)->w, 240);
        QCOMPARE(m_stack.count(), 0);
        QCOMPARE(ConfigSnapshot::documents(m_config), before);
        QTest::keyClick(child<QSpinBox>("wSpin"), Qt::Key_Return);
        QCOMPARE(m_stack.count(), 1);
        QCOMPARE(m_stack.text(0), QStringLiteral("Move/Resize dig"));
        QCOMPARE(mask(0)->w, 240);
        QCOMPARE(param(mask(0)->node, "WIDTH"), QByteArray("240"));
        QVERIFY(dirty());
        QCOMPARE(m_events, QStringList({"position 10 20", "size 230 80", "position 10 20", "size 240 80"}));
        const QByteArray moved = ConfigSnapshot::documents(m_config);
        m_stack.undo();
        QCOMPARE(ConfigSnapshot::documents(m_config), before);
        m_stack.redo();
        QCOMPARE(ConfigSnapshot::documents(m_config), moved);
    }

    void maskOutsideThePageIsRefused()
    {
        MaskElement stray = *mask(0); // the same node, but no record of the page
        m_panel->showMask(&stray);
        const QByteArray before = ConfigSnapshot::documents(m_config);
        child<QSpinBox>("xSpin")->setValue(55);
        QCOMPARE(child<QSpinBox>("xSpin")->value(), 10);
        QCOMPARE(stray.x, 10);
        QCOMPARE(m_stack.count(), 0);
        QVERIFY(m_events.isEmpty());
        QVERIFY(!dirty());
        QCOMPARE(ConfigSnapshot::documents(m_config), before);
    }

    // The records the panel was filled from are rebuilt (a save reads the
    // masks anew) or gone (the mask deleted): an edit reaches the element
    // itself, or nothing at all.
    void editsFindTheShownElementAgain_data()
    {
        QTest::addColumn<bool>("deleted");
        QTest::newRow("saved") << false;
        QTest::newRow("mask deleted") << true;
    }

    void editsFindTheShownElementAgain()
    {
        QFETCH(bool, deleted);
        m_panel->showWidget(mask(0), &mask(0)->widgets[1]);
        const pugi::xml_node d1 = mask(0)->widgets[1].node;
        const QString saved = TestEnvironment::makeTempDir("saved") + "/edited.zconf2";
        QString error;
        QVERIFY2(m_config.save(saved, &error), qPrintable(error));
        if (deleted)
            QVERIFY(m_config.removeMask(0, 0));
        const QByteArray before = ConfigSnapshot::documents(m_config);
        child<QSpinBox>("ySpin")->setValue(9);
        if (deleted) {
            QCOMPARE(ConfigSnapshot::documents(m_config), before);
            QCOMPARE(child<QLabel>("idLabel")->text(), QStringLiteral("--"));
            return;
        }
        QCOMPARE(mask(0)->widgets[1].y, 9);
        QCOMPARE(param(d1, "YPOS"), QByteArray("9"));
    }

    void barWidgetResize_data()
    {
        QTest::addColumn<int>("widget");
        QTest::addColumn<QByteArray>("xStart");
        QTest::addColumn<QByteArray>("xEnd");
        QTest::newRow("100 x 20 to 150 x 20") << 0 << QByteArray("15") << QByteArray("137");
        QTest::newRow("old width 0") << 1 << QByteArray("10") << QByteArray("91");
    }

    void barWidgetResize()
    {
        QFETCH(int, widget);
        QFETCH(QByteArray, xStart);
        QFETCH(QByteArray, xEnd);
        WidgetModel& w = mask(1)->widgets[size_t(widget)];
        m_panel->showWidget(mask(1), &w);
        child<QSpinBox>("wSpin")->setValue(150);
        QCOMPARE(w.w, 150);
        QCOMPARE(param(w.node, "WIDTH"), QByteArray("150"));
        QCOMPARE(param(w.node, "XStart1"), xStart);
        QCOMPARE(param(w.node, "XEnd1"), xEnd);
        QCOMPARE(param(w.node, "YStart1"), QByteArray("2"));
        QCOMPARE(param(w.node, "YEnd1"), QByteArray("18"));
        QCOMPARE(m_stack.count(), 0); // a widget typed in the panel is no undo step
        QVERIFY(dirty());
    }

    // Size, family and colour reach the XML at once, so a re-parse of the
    // mask (a rebind) keeps them, and so do save and reopen.
    void textStyleSurvivesRebindAndSave_data()
    {
        QTest::addColumn<bool>("wholeMask");
        QTest::newRow("Digit widget") << false;
        QTest::newRow("Digit mask, styled from its first styled Digit") << true;
    }

    void textStyleSurvivesRebindAndSave()
    {
        QFETCH(bool, wholeMask);
        ScriptedAsker asker;
        const QColor picked(255, 128, 0, 204);
        asker.colors << picked;
        if (wholeMask)
            m_panel->showMask(mask(0));
        else
            m_panel->showWidget(mask(0), &mask(0)->widgets[1]);
        child<QComboBox>("valueFontCombo")->setCurrentIndex(2);
        child<QSpinBox>("valueSizeSpin")->setValue(32);
        QTest::mouseClick(child<QPushButton>("valueColorButton"), Qt::LeftButton);
        QCOMPARE(asker.count("color"), 1);
        QCOMPARE(asker.asked.first().title, QStringLiteral("Value Color"));
        QCOMPARE(child<QPushButton>("valueColorButton")->text(), QStringLiteral("#ff8000"));
        QCOMPARE(m_events, QStringList({"font", "font", "font"}));
        QVERIFY(dirty());
        const pugi::xml_node d1 = mask(0)->widgets[1].node;
        QCOMPARE(param(d1, "COLORE"), QByteArray("0xccff8000")); // appended: d1 had none
        QCOMPARE(param(d1, "CHARSET_DIM"), QByteArray("32"));
        QCOMPARE(param(d1, "CHAR_SET_ID_2"), QByteArray("Huge Basic Sans Heavy SF"));
        QVERIFY(param(mask(0)->widgets[0].node, "COLORE").isEmpty()); // d0 is not the style's source

        ChannelInfo water = m_config.channels[1];
        m_config.bindChannel(0, 0, 1, water);
        const auto check = [&](const MaskElement& m) {
            QCOMPARE(m.widgets[1].charsetPx, 32);
            QCOMPARE(m.widgets[1].charset, QStringLiteral("Huge Basic Sans Heavy SF"));
            QCOMPARE(m.widgets[1].colour, picked);
            QCOMPARE(m.digitPx, 32);
            QCOMPARE(m.digitColour, picked);
        };
        check(*mask(0));

        const QString saved = TestEnvironment::makeTempDir("saved") + "/edited.zconf2";
        QString error;
        QVERIFY2(m_config.save(saved, &error), qPrintable(error));
        DashConfig reopened;
        QVERIFY2(reopened.load(saved, &error), qPrintable(error));
        check(*reopened.maskAt(0, 0));
    }

    // One edit in the panel is one parameter in the file, on a configuration
    // edited by hand: a family or size the panel does not offer, a size left
    // to the firmware, a label below its mask, a mask beyond the page.
    void oneEditChangesOneParameter_data()
    {
        QTest::addColumn<int>("maskIndex");
        QTest::addColumn<int>("widget"); // -1: the whole mask
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("value"); // spin value, or combo index
        QTest::addColumn<QString>("change");
        const auto p = [](const char* name, const char* from, const char* to) {
            return QStringLiteral("<p n=\"%1\">%2</p> -> <p n=\"%1\">%3</p>").arg(name, from, to);
        };
        QTest::newRow("value size of a mask") << 3 << -1 << "valueSizeSpin" << 60 << p("CHARSET_DIM", "72", "60");
        QTest::newRow("value size of a widget") << 3 << 1 << "valueSizeSpin" << 60 << p("CHARSET_DIM", "72", "60");
        QTest::newRow("label size") << 3 << -1 << "labelSizeSpin" << 20 << p("CHARSET_DIM", "24", "20");
        QTest::newRow("family of a mask sized by the firmware")
            << 4 << -1 << "valueFontCombo" << 1 << p("CHAR_SET_ID_2", "Digit_H64", "Basic Sans SF");
        QTest::newRow("family of a widget sized by the firmware")
            << 4 << 0 << "valueFontCombo" << 1 << p("CHAR_SET_ID_2", "Digit_H64", "Basic Sans SF");
        QTest::newRow("X of a label below its mask") << 3 << 0 << "xSpin" << 21 << p("XPOS", "20", "21");
        QTest::newRow("Y of a mask beyond the page") << 3 << -1 << "ySpin" << 41 << p("YPOS", "40", "41");
    }

    void oneEditChangesOneParameter()
    {
        QFETCH(int, maskIndex);
        QFETCH(int, widget);
        QFETCH(QString, control);
        QFETCH(int, value);
        QFETCH(QString, change);
        m_panel->setPageSize(800, 480);
        const QByteArray before = savedDeviceXml(m_config, QStringLiteral("before.zconf2"));
        MaskElement* m = mask(maskIndex);
        if (widget < 0)
            m_panel->showMask(m);
        else
            m_panel->showWidget(m, &m->widgets[size_t(widget)]);
        QWidget* edited = child<QWidget>(control.toLatin1().constData());
        QVERIFY(edited->isEnabled());
        if (auto* combo = qobject_cast<QComboBox*>(edited))
            combo->setCurrentIndex(value);
        else
            static_cast<QSpinBox*>(edited)->setValue(value);
        QCOMPARE(changedLines(before, savedDeviceXml(m_config, QStringLiteral("after.zconf2"))), QStringList{change});
    }

    void labelStyleAndText()
    {
        ScriptedAsker asker;
        asker.colors << QColor(Qt::red);
        m_panel->showMask(mask(0));
        child<QSpinBox>("labelSizeSpin")->setValue(22);
        QTest::mouseClick(child<QPushButton>("labelColorButton"), Qt::LeftButton);
        QCOMPARE(asker.asked.first().title, QStringLiteral("Label Color"));
        const pugi::xml_node l1 = mask(0)->widgets[2].node;
        QCOMPARE(param(l1, "CHARSET_DIM"), QByteArray("22"));
        QCOMPARE(param(l1, "COLORE"), QByteArray("0xffff0000"));
        QCOMPARE(mask(0)->labelPx, 22);

        // A cancelled colour dialog changes nothing.
        m_events.clear();
        QTest::mouseClick(child<QPushButton>("labelColorButton"), Qt::LeftButton);
        QCOMPARE(mask(0)->labelColour, QColor(Qt::red));
        QVERIFY(m_events.isEmpty());
        // Nor does the colour it already has, taken again.
        asker.colors << QColor(Qt::red);
        const QByteArray same = ConfigSnapshot::documents(m_config);
        QTest::mouseClick(child<QPushButton>("labelColorButton"), Qt::LeftButton);
        QVERIFY(m_events.isEmpty());
        QCOMPARE(ConfigSnapshot::documents(m_config), same);

        m_panel->showWidget(mask(0), &mask(0)->widgets[2]);
        auto* edit = child<QLineEdit>("labelTextEdit");
        QTest::keyClick(edit, Qt::Key_Return); // leaving without typing is no edit
        QVERIFY(m_events.isEmpty());
        QVERIFY(param(l1, "CONTROLLO_NO_AUTOAGGIORNABILE").isEmpty());
        edit->setText(QStringLiteral("RPM x1000"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(param(l1, "TEXT"), QByteArray("RPM x1000"));
        QCOMPARE(param(l1, "CONTROLLO_NO_AUTOAGGIORNABILE"), QByteArray("1"));
        QCOMPARE(m_events, QStringList({"font"}));
    }

    void alignment_data()
    {
        QTest::addColumn<QString>("posAlign");
        QTest::addColumn<QString>("emitted");
        QTest::newRow("tl + Centre") << "tl" << "tc";
        QTest::newRow("no POS_ALIGN + Centre") << "" << "bc";
    }

    void alignment()
    {
        QFETCH(QString, posAlign);
        QFETCH(QString, emitted);
        MaskElement m;
        m.kind = MaskDigit;
        m.w = m.h = 100;
        WidgetModel w;
        w.kind = WidgetDigit;
        w.w = 50;
        w.posAlign = posAlign;
        m_panel->showWidget(&m, &w);
        QSignalSpy spy(m_panel.get(), &PropertyPanel::valueAlignmentChanged);
        child<QComboBox>("alignCombo")->setCurrentIndex(1);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), emitted);
    }

    void barScaleRange()
    {
        m_panel->showMask(mask(2));
        auto* minSpin = child<QDoubleSpinBox>("minSpin");
        auto* maxSpin = child<QDoubleSpinBox>("maxSpin");
        auto* zero = child<QCheckBox>("zeroCheck");
        QVERIFY(zero->isEnabled() && zero->isChecked());

        // Max not above Min: nothing written, the Show 0 mark left as it was.
        const QByteArray before = ConfigSnapshot::documents(m_config);
        maxSpin->setValue(-50);
        QCOMPARE(ConfigSnapshot::documents(m_config), before);
        QVERIFY(!dirty());
        QVERIFY(zero->isEnabled() && zero->isChecked());

        maxSpin->setValue(100);
        minSpin->setValue(-20);
        double min = 0, max = 0;
        QVERIFY(DashConfig::barScaleRange(mask(2)->node, min, max));
        QCOMPARE(min, -20.0);
        QCOMPARE(max, 100.0);
        QVERIFY(dirty());
        QCOMPARE(child<QLabel>("scaleNoteLabel")->text(), QStringLiteral("(from channel definition)"));

        zero->setChecked(false);
        QVERIFY(!hasBarZeroMark(mask(2)->node));
        zero->setChecked(true);
        QVERIFY(hasBarZeroMark(mask(2)->node));

        minSpin->setValue(0);
        QVERIFY(!zero->isEnabled());
        QVERIFY(!zero->isChecked());
        QCOMPARE(child<QLabel>("scaleNoteLabel")->text(), QString());
    }

    // A range edit moves the zero mark or takes it away, so the scale's steps
    // stay in order. Bar -50..50 with its mark at 50; read from the saved
    // file.
    void rangeEditMovesTheZeroMark_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("steps"); // position=value, in order
        QTest::newRow("Min above zero") << "minSpin" << 5.0 << "0=5 100=50";
        QTest::newRow("Min lower") << "minSpin" << -10.0 << "0=-10 17=0 100=50";
        QTest::newRow("Max higher") << "maxSpin" << 150.0 << "0=-50 25=0 100=150";
        QTest::newRow("Max below zero") << "maxSpin" << -20.0 << "0=-50 100=-20";
    }
    void rangeEditMovesTheZeroMark()
    {
        QFETCH(QString, control);
        QFETCH(double, value);
        m_panel->showMask(mask(2));
        child<QDoubleSpinBox>(control.toLatin1().constData())->setValue(value);
        QCOMPARE(m_stack.count(), 1);
        const QByteArray saved = savedDeviceXml(m_config, QStringLiteral("mark.zconf2"));
        pugi::xml_document doc;
        QVERIFY(doc.load_buffer(saved.constData(), size_t(saved.size())));
        const pugi::xml_node mask = doc.find_node(
            [](pugi::xml_node n) { return hasClass(n, "GMaskParam") && n.attribute("i").value() == QByteArray("bar"); });
        const pugi::xml_node bar = mask.find_child_by_attribute("e", "c", "BargraphTrapezio");
        QStringList steps;
        for (pugi::xml_node step = findScaleFsvNode(bar).child("e"); step; step = step.next_sibling("e")) {
            if (hasClass(step, "StepScale"))
                steps << QString::fromUtf8(paramValue(step, "POS_VAL_SCALA") + '=' + paramValue(step, "VAL_SCALA"));
        }
        QTEST(steps.join(' '), "steps");
        QCOMPARE(child<QCheckBox>("zeroCheck")->isChecked(), steps.size() == 3);
    }

    // The endpoint not typed keeps its value in the file, beyond the spin
    // box's usual range or finer than its two decimals.
    void barEndpointEditKeepsTheOther_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::newRow("Min") << "minSpin" << -10.0 << -10.0 << 2000000.0;
        QTest::newRow("Max") << "maxSpin" << 50.0 << 0.125 << 50.0;
    }

    void barEndpointEditKeepsTheOther()
    {
        QFETCH(QString, control);
        QFETCH(double, value);
        QFETCH(double, min);
        QFETCH(double, max);
        m_panel->showMask(mask(5));
        QCOMPARE(child<QDoubleSpinBox>("maxSpin")->value(), 2000000.0);
        child<QDoubleSpinBox>(control.toLatin1().constData())->setValue(value);
        double savedMin = 0.0;
        double savedMax = 0.0;
        QVERIFY(DashConfig::barScaleRange(mask(5)->node, savedMin, savedMax));
        QCOMPARE(savedMin, min);
        QCOMPARE(savedMax, max);
    }

    // A bar's range is its own: the shown bar and the bars of its group take
    // the typed Max, another bar of the mask keeps its range in the saved
    // file, and each committed edit is one undo step; one that changes
    // nothing pushes none.
    void barRangeReachesTheShownGroup_data()
    {
        QTest::addColumn<int>("widget"); // -1: the mask
        QTest::addColumn<QStringList>("changed");
        QTest::newRow("copy 01") << 2 << QStringList{"01"};
        QTest::newRow("bar 05 and its group") << 0 << QStringList{"05", "05_lo"};
        QTest::newRow("caption beside the bars") << 3 << QStringList{"05", "05_lo"};
        QTest::newRow("the mask") << -1 << QStringList{"05", "05_lo", "01"};
    }
    void barRangeReachesTheShownGroup()
    {
        QFETCH(int, widget);
        QFETCH(QStringList, changed);
        const auto bar = [](const char* id) {
            return Fx::bargraph(id, 0, 0, 100, 20, QString(), true).add(Fx::stepScale({{"0", "0"}, {"100", "100"}}));
        };
        ConfigFixture cfg;
        cfg.device().page("Laps").mask(Fx::mask("md.05", 10, 10, 200, 60).add(bar("05")).add(bar("05_lo")).add(bar("01"))
                                           .add(Fx::label("lbl", "LAP", 0, 40, 100, 20)));
        QVERIFY(m_config.load(cfg.writeTempZip()));
        m_panel->setPageContext(&m_config, 0);
        MaskElement* m = mask(0);
        if (widget < 0)
            m_panel->showMask(m);
        else
            m_panel->showWidget(m, &m->widgets[size_t(widget)]);
        const QByteArray before = ConfigSnapshot::documents(m_config);
        auto* maxSpin = child<QDoubleSpinBox>("maxSpin");
        maxSpin->setValue(-5); // not above Min
        QCOMPARE(m_stack.count(), 0);
        maxSpin->setValue(50);
        QCOMPARE(m_stack.count(), 1);
        const QByteArray after = ConfigSnapshot::documents(m_config);
        QVERIFY(QMetaObject::invokeMethod(m_panel.get(), "onBarMinMaxChanged")); // Return, nothing typed
        QCOMPARE(m_stack.count(), 1);
        m_stack.undo();
        QCOMPARE(ConfigSnapshot::documents(m_config), before);
        m_stack.redo();
        QCOMPARE(ConfigSnapshot::documents(m_config), after);

        const QString path = TestEnvironment::makeTempDir(QStringLiteral("saved")) + QStringLiteral("/bars.zconf2");
        QVERIFY(m_config.save(path));
        DashConfig reopened;
        QVERIFY(reopened.load(path));
        for (const WidgetModel& w : reopened.pages[0].masks[0].widgets) {
            if (w.kind != WidgetBargraph)
                continue;
            double min = -1, max = -1;
            QVERIFY(DashConfig::barScaleRange(reopened.pages[0].masks[0].node, min, max, w.node));
            QCOMPARE(min, 0.0);
            QCOMPARE(max, changed.contains(w.id) ? 50.0 : 100.0);
        }
    }

    // Max typed on a whole mask whose two bars have ranges of their own: each
    // bar takes the Max and keeps its own Min, and the typing is one undo
    // step.
    void maskMaxKeepsEachBarsMin()
    {
        const auto bar = [](const char* id, const char* min) {
            return Fx::bargraph(id, 0, 0, 100, 20, QString(), true).add(Fx::stepScale({{"0", min}, {"100", "100"}}));
        };
        ConfigFixture cfg;
        cfg.device().page("Laps").mask(Fx::mask("md.05", 10, 10, 200, 60).add(bar("05", "-20")).add(bar("07", "0")));
        QVERIFY(m_config.load(cfg.writeTempZip()));
        m_panel->setPageContext(&m_config, 0);
        m_panel->showMask(mask(0));
        m_panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_panel.get()));
        auto* maxSpin = child<QDoubleSpinBox>("maxSpin");
        maxSpin->setFocus();
        maxSpin->selectAll();
        QTest::keyClicks(maxSpin, QStringLiteral("50"));
        QTest::keyClick(maxSpin, Qt::Key_Return);
        QCOMPARE(m_stack.count(), 1);

        const QString path = TestEnvironment::makeTempDir(QStringLiteral("saved")) + QStringLiteral("/bars.zconf2");
        QVERIFY(m_config.save(path));
        DashConfig reopened;
        QVERIFY(reopened.load(path));
        const MaskElement& saved = reopened.pages[0].masks[0];
        const QList<double> mins = {-20.0, 0.0};
        for (int w = 0; w < 2; ++w) {
            double min = -1, max = -1;
            QVERIFY(DashConfig::barScaleRange(saved.node, min, max, saved.widgets[size_t(w)].node));
            QCOMPARE(min, mins[w]);
            QCOMPARE(max, 50.0);
        }
    }

    // The mask's label font and size stand for every Label of the mask: an
    // edit of one reaches them all and leaves the other as each has it.
    void maskLabelStyleReachesEveryLabel_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QStringList>("charsets");
        QTest::addColumn<QStringList>("sizes");
        QTest::newRow("size") << "labelSizeSpin" << QStringList{"Text_H24", "Text_H16"} << QStringList{"20", "20"};
        QTest::newRow("family") << "labelFontCombo" << QStringList{"Basic Sans SF", "Basic Sans SF"}
                                << QStringList{"24", "16"};
    }
    void maskLabelStyleReachesEveryLabel()
    {
        QFETCH(QString, control);
        QFETCH(QStringList, charsets);
        QFETCH(QStringList, sizes);
        ConfigFixture cfg;
        cfg.device().page("Main").mask(
            Fx::mask("md.00", 10, 10, 300, 80)
                .add(Fx::label("l1", "SPEED", 0, 0, 120, 24).p("CHAR_SET_ID_2", "Text_H24").p("CHARSET_DIM", 24))
                .add(Fx::label("l2", "km/h", 0, 40, 120, 24).p("CHAR_SET_ID_2", "Text_H16").p("CHARSET_DIM", 16)));
        QVERIFY(m_config.load(cfg.writeTempZip()));
        m_panel->setPageContext(&m_config, 0);
        m_panel->showMask(mask(0));
        if (control == QLatin1String("labelSizeSpin"))
            child<QSpinBox>("labelSizeSpin")->setValue(20);
        else
            child<QComboBox>("labelFontCombo")->setCurrentIndex(
                child<QComboBox>("labelFontCombo")->findData(QStringLiteral("Basic Sans SF")));

        const QString path = TestEnvironment::makeTempDir(QStringLiteral("saved")) + QStringLiteral("/labels.zconf2");
        QVERIFY(m_config.save(path));
        DashConfig reopened;
        QVERIFY(reopened.load(path));
        const MaskElement& saved = reopened.pages[0].masks[0];
        for (int w = 0; w < 2; ++w) {
            QCOMPARE(param(saved.widgets[size_t(w)].node, "CHAR_SET_ID_2"), charsets[w].toUtf8());
            QCOMPARE(param(saved.widgets[size_t(w)].node, "CHARSET_DIM"), sizes[w].toUtf8());
        }
    }

    void fontCheck_data()
    {
        QTest::addColumn<int>("widgetPx"); // 0: a Digit mask 50 px high without a size
        QTest::addColumn<bool>("safe");
        QTest::addColumn<QString>("tip");
        const QString warn = QStringLiteral("Warning: %1 px is not a bundled firmware font. The dash will render "
                                            "corrupt glyphs. Bundled: {16, 24, 32}. Nearest safe: %2.");
        QTest::newRow("23") << 23 << true << "Firmware-safe at 23 px. Bundled: {16, 24, 32}.";
        QTest::newRow("25") << 25 << true << "Firmware-safe at 25 px. Bundled: {16, 24, 32}.";
        QTest::newRow("20") << 20 << false << warn.arg(20).arg("16, 24");
        QTest::newRow("40") << 40 << false << warn.arg(40).arg("32");
        QTest::newRow("10") << 10 << false << warn.arg(10).arg("16");
        QTest::newRow("mask 50 px high") << 0 << false << warn.arg(20).arg("16, 24");
    }

    void fontCheck()
    {
        QFETCH(int, widgetPx);
        QFETCH(bool, safe);
        QFETCH(QString, tip);
        const QString device = TestEnvironment::makeTempDir("fonts");
        QVERIFY(ZipFixture::writeTree(device, {{"allfnt/1_16.fnt", "x"}, {"allfnt/2_24.fnt", "x"},
                                               {"allfnt/3_32.fnt", "x"}}));
        DashConfig fonts;
        fonts.setFontFolders({device});
        MaskElement m;
        m.kind = MaskDigit;
        m.w = 100;
        m.h = 50;
        m.digitCharset = QStringLiteral("MicrogrammaDBolExt");
        WidgetModel w;
        w.kind = WidgetDigit;
        w.charsetPx = widgetPx;
        if (widgetPx > 0)
            m_panel->showWidget(&m, &w);
        else
            m_panel->showMask(&m);
        auto* icon = child<QLabel>("fontStatusIcon");
        QVERIFY(icon->isHidden()); // no font configuration yet
        m_panel->setConfig(&fonts);
        m_panel->setConfigFileIndex(0);
        QVERIFY(!icon->isHidden());
        QCOMPARE(icon->toolTip(), tip);
        const QImage image = icon->pixmap().toImage();
        QCOMPARE(image.size(), QSize(16, 16));
        if (safe)
            QCOMPARE(image.pixelColor(8, 8), QColor(40, 180, 60));
        else
            QCOMPARE(image.pixelColor(5, 12), QColor(255, 210, 0));
        m_panel->setConfigFileIndex(-1);
        QVERIFY(icon->isHidden());
        QVERIFY(icon->toolTip().isEmpty());
    }
};

KORV_TEST_MAIN(PropertyPanelEditsTest)
#include "tst_propertypaneledits.moc"
