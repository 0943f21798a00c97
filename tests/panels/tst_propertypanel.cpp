#include "model/DashConfig.h"
#include "panels/ElementCatalog.h"
#include "panels/PropertyPanel.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>
#include <memory>

namespace {

const QString kLabelsTip = QStringLiteral(
    "Labels show static text. To display a channel value (e.g. Rolling_Sess_Time) at this position, delete this "
    "Label and Insert a Digit widget bound to the channel.");
const QString kNoBoxTip = QStringLiteral(
    "This value has no fixed box — the firmware sizes it from the number of characters, so its position is the "
    "anchor point itself. Move the value instead of aligning it.");

// Page "Main" of the fixture, masks in order:
//   0 dig   Digit mask: d1 (styled, POS_ALIGN "br"), l1 (POS_ALIGN "c"), d0 (width 0)
//   1 lab   Label mask
//   2 barz  bar -20..100 with a zero mark, channel range -20..100
//   3 bar0  bar 0..100, channel range 0..150
//   4 barn  bar without scale endpoints
//   5 ico   icon
ConfigFixture panelConfig()
{
    ConfigFixture cfg;
    cfg.channel(3, "RPM", "RPM", "rpm");
    cfg.channels.last().chMin = "0";
    cfg.channels.last().chMax = "8000";
    cfg.channel(5, "Water Temp", "WT", "C");
    cfg.channels.last().chMin = "-20";
    cfg.channels.last().chMax = "100";
    cfg.channel(6, "Oil Temp", "OT", "C");
    cfg.channels.last().chMin = "0";
    cfg.channels.last().chMax = "150";
    cfg.device().page("Main")
        .mask(Fx::mask("dig", 10, 20, 200, 80)
                  .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                  .add(Fx::digit("d1", 5, 6, 120, 60, "a1")
                           .p("CHAR_SET_ID_2", "Basic Sans SF")
                           .p("CHARSET_DIM", 40)
                           .p("POS_ALIGN", "br"))
                  .add(Fx::label("l1", "REV", 120, 0, 80, 20).p("POS_ALIGN", "c"))
                  .add(Fx::digit("d0", 0, 60, 0, 20, "a1").p("POS_ALIGN", "bc")))
        .mask(Fx::mask("lab", 300, 20, 100, 30).add(Fx::label("l2", "HELLO", 0, 0, 100, 30)))
        .mask(Fx::mask("barz", 10, 200, 300, 40)
                  .add(Fx::axis("a1", "Water Temp", "WT", "C"))
                  .add(Fx::bargraph("b1", 0, 0, 300, 40, "a1", true)
                           .add(Fx::stepScale({{"0", "-20"}, {"17", "0"}, {"100", "100"}}))))
        .mask(Fx::mask("bar0", 10, 260, 300, 40)
                  .add(Fx::axis("a1", "Oil Temp", "OT", "C"))
                  .add(Fx::bargraph("b1", 0, 0, 300, 40, "a1", true).add(Fx::stepScale({{"0", "0"}, {"100", "100"}}))))
        .mask(Fx::mask("barn", 10, 320, 300, 40).add(Fx::bargraph("b1", 0, 0, 300, 40)))
        .mask(Fx::mask("ico", 600, 20, 48, 48).add(Fx::icon("i1", 0, 0, 48, 48)));
    return cfg;
}

QString onOff(const QWidget* w)
{
    return w->isEnabled() ? QStringLiteral("on") : QStringLiteral("off");
}

} // namespace

class PropertyPanelTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> m_rs3;
    DashConfig m_config;
    DashConfig m_demo;
    std::unique_ptr<PropertyPanel> m_panel;

    template <typename T>
    T* child(const char* name) const
    {
        T* w = m_panel->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }

    QString shown(const char* name) const
    {
        return child<QWidget>(name)->isVisibleTo(m_panel.get()) ? QStringLiteral("shown") : QStringLiteral("hidden");
    }

    QString spin(const char* name) const
    {
        const QSpinBox* s = child<QSpinBox>(name);
        return QStringLiteral("%1 %2..%3 %4").arg(s->value()).arg(s->minimum()).arg(s->maximum()).arg(onOff(s));
    }

    QString doubleSpin(const char* name) const
    {
        const QDoubleSpinBox* s = child<QDoubleSpinBox>(name);
        return QStringLiteral("%1 %2").arg(s->text(), onOff(s));
    }

    // What a user sees, one fact per control.
    QStringList facts() const
    {
        const auto* channel = child<QComboBox>("channelCombo");
        const auto* align = child<QComboBox>("alignCombo");
        const auto* zero = child<QCheckBox>("zeroCheck");
        return {
            "id=" + child<QLabel>("idLabel")->text(),
            "type=" + child<QLabel>("typeLabel")->text(),
            "channel=" + channel->currentText() + " " + onOff(channel),
            "channelTip=" + channel->toolTip(),
            "align=" + shown("alignCombo") + " " + align->currentText() + " " + onOff(align),
            "alignTip=" + align->toolTip(),
            "x=" + spin("xSpin"),
            "y=" + spin("ySpin"),
            "w=" + spin("wSpin"),
            "h=" + spin("hSpin"),
            "valueFont=" + child<QComboBox>("valueFontCombo")->currentText() + " " + onOff(child<QWidget>("valueFontCombo")),
            "valueSize=" + spin("valueSizeSpin"),
            "valueSizeText=" + child<QSpinBox>("valueSizeSpin")->text().trimmed(),
            "valueColor=" + child<QPushButton>("valueColorButton")->text() + " " + onOff(child<QWidget>("valueColorButton")),
            "labelFont=" + shown("labelFontGroup"),
            "labelText=" + shown("labelTextGroup") + " " + child<QLineEdit>("labelTextEdit")->text(),
            "scale=" + shown("scaleGroup"),
            "min=" + doubleSpin("minSpin"),
            "max=" + doubleSpin("maxSpin"),
            QStringLiteral("zero=%1 %2").arg(onOff(zero), zero->isChecked() ? "checked" : "unchecked"),
            "note=" + child<QLabel>("scaleNoteLabel")->text(),
            "iconSetup=" + shown("iconSetupGroup"),
            "iconPreview=" + shown("iconPreviewGroup"),
        };
    }

    void compareFacts(const QStringList& expected) const
    {
        const QStringList actual = facts();
        for (const QString& fact : expected) {
            const QString key = fact.section(QLatin1Char('='), 0, 0) + QLatin1Char('=');
            const QStringList got = actual.filter(QRegularExpression("^" + QRegularExpression::escape(key)));
            QVERIFY2(got.size() == 1, qPrintable(key));
            QVERIFY2(got.first() == fact, qPrintable(QStringLiteral("%1 is \"%2\"").arg(fact, got.first())));
        }
    }

    // The visible texts of the panel that do not fit their place in the
    // viewport, with what cuts them.
    QStringList cutTexts(const QWidget* viewport) const
    {
        QStringList cut;
        const int right = viewport->width();
        for (QWidget* w : m_panel->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(viewport))
                continue;
            const int edge = w->mapTo(viewport, QPoint(w->width(), 0)).x();
            QString text;
            int needed = 0;
            if (auto* label = qobject_cast<QLabel*>(w)) {
                text = label->text();
                if (text.isEmpty() || label->wordWrap())
                    continue;
                needed = label->fontMetrics().horizontalAdvance(text);
            } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
                text = button->text();
                needed = button->sizeHint().width();
            } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
                text = group->title();
                needed = group->fontMetrics().horizontalAdvance(text);
            } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
                text = combo->currentText();
                needed = combo->toolTip() == text ? 0 : combo->sizeHint().width();
            } else {
                continue;
            }
            if (w->width() < needed)
                cut << QStringLiteral("\"%1\" %2 of %3 px").arg(text).arg(w->width()).arg(needed);
            else if (edge > right)
                cut << QStringLiteral("\"%1\" ends at %2, viewport %3").arg(text).arg(edge).arg(right);
        }
        return cut;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_rs3 = std::make_unique<Rs3Fixture>();
        QString error;
        QVERIFY2(m_config.load(panelConfig().writeTempZip(), &error), qPrintable(error));
        const QString demo = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        QVERIFY2(!demo.isEmpty(), "the demo configuration was not found");
        QVERIFY2(m_demo.load(demo, &error), qPrintable(error));
    }

    void init()
    {
        ElementCatalog::resetForTesting();
        m_panel = std::make_unique<PropertyPanel>();
        m_panel->setPageContext(&m_config, 0);
        m_panel->setChannels(m_config.channels);
    }

    void cleanup() { m_panel.reset(); }

    void states_data()
    {
        QTest::addColumn<QString>("source"); // "fixture" or "demo"
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("mask");   // -1: clear(), -2: as constructed
        QTest::addColumn<int>("widget"); // -1: showMask
        QTest::addColumn<QStringList>("expected");

        // The ranges stay those of the last selection (here a widget of a 300 x 40 mask).
        const QStringList cleared{"id=--", "type=--", "channel=(none) off", "channelTip=", "align=hidden Left off",
                                  "x=0 0..300 off", "y=0 0..40 off", "w=0 0..300 off", "h=0 0..40 off",
                                  "labelFont=hidden", "labelText=hidden ", "scale=hidden", "iconSetup=hidden",
                                  "iconPreview=hidden", "note=", "valueSizeText=", "valueColor= off"};
        QTest::newRow("constructed")
            << "fixture" << 0 << -2 << -1
            << QStringList{"id=--", "type=--", "channel=(none) off", "align=hidden Left off", "x=0 0..800 off",
                           "y=0 0..480 off", "w=10 10..800 off", "h=10 10..480 off", "valueFont=MicrogrammaDBolExt off",
                           "valueSize=8 8..300 off", "labelFont=hidden", "labelText=hidden ", "scale=hidden",
                           "min=0.00 off", "max=0.00 off", "zero=off unchecked", "iconSetup=hidden",
                           "iconPreview=hidden"};
        QTest::newRow("clear") << "fixture" << 0 << -1 << -1 << cleared;
        QTest::newRow("Digit mask")
            << "fixture" << 0 << 0 << -1
            << QStringList{"id=dig", "type=Digit", "channel=RPM (rpm) on", "channelTip=RPM (rpm)", "align=hidden Left off",
                           "x=10 0..800 on", "y=20 0..480 on", "w=200 10..800 on", "h=80 10..480 on",
                           "valueFont=Basic Sans SF on", "valueSize=40 8..300 on", "valueSizeText=40 px",
                           "labelFont=shown", "labelText=hidden ", "scale=hidden"};
        QTest::newRow("Label mask") << "fixture" << 0 << 1 << -1
                                    << QStringList{"id=lab", "type=Label", "channel=(none) off",
                                                   "channelTip=" + kLabelsTip, "valueFont=(not set) off",
                                                   "labelFont=shown", "scale=hidden"};
        QTest::newRow("bar -20..100 with zero mark")
            << "fixture" << 0 << 2 << -1
            << QStringList{"type=Bar", "scale=shown", "min=-20.00 on", "max=100.00 on", "zero=on checked",
                           "note=(from channel definition)", "channel=Water Temp (C) on", "valueColor= off"};
        QTest::newRow("bar 0..100") << "fixture" << 0 << 3 << -1
                                    << QStringList{"scale=shown", "min=0.00 on", "max=100.00 on", "zero=off unchecked",
                                                   "note="};
        QTest::newRow("bar without endpoints")
            << "fixture" << 0 << 4 << -1
            << QStringList{"scale=shown", "min=0.00 off", "max=100.00 off", "zero=off unchecked", "note=",
                           "channel=(none) on"};
        QTest::newRow("icon mask") << "fixture" << 0 << 5 << -1
                                   << QStringList{"type=Icon", "scale=hidden", "valueFont=(not set) off",
                                                  "valueColor= off"};
        QTest::newRow("Digit widget")
            << "fixture" << 0 << 0 << 0
            << QStringList{"id=d1", "type=Widget: Digit", "channel=RPM (rpm) on", "align=shown Right on",
                           "alignTip=Where the value sits inside its box.", "x=5 0..200 on", "y=6 0..80 on",
                           "w=120 0..200 on", "h=60 0..80 on", "valueFont=Basic Sans SF on", "valueSize=40 8..300 on",
                           "valueColor=#ffffff on", "labelFont=hidden", "labelText=hidden "};
        QTest::newRow("Label widget")
            << "fixture" << 0 << 0 << 1
            << QStringList{"id=l1", "type=Widget: Label", "channel=(none) off", "channelTip=" + kLabelsTip,
                           "align=shown Left on", "x=120 0..200 on", "labelText=shown REV", "labelFont=hidden"};
        QTest::newRow("width 0 widget") << "fixture" << 0 << 0 << 2
                                        << QStringList{"id=d0", "align=shown Centre off", "alignTip=" + kNoBoxTip,
                                                       "w=0 0..200 on"};
        QTest::newRow("bar widget")
            << "fixture" << 0 << 2 << 0
            << QStringList{"type=Widget: Bar", "align=hidden Left off", "valueFont=(not set) off",
                           "scale=shown", "min=-20.00 on", "zero=on checked", "valueColor= off"};
        QTest::newRow("demo Digit mask") << "demo" << 0 << 1 << -1
                                         << QStringList{"id=md.01", "type=Digit", "scale=hidden", "labelFont=shown",
                                                        "valueFont=Digit_H72 (own) on", "valueSize=72 8..300 on"};
        QTest::newRow("demo bar mask") << "demo" << 0 << 2 << -1
                                       << QStringList{"type=Bar", "scale=shown", "min=0.00 on", "max=8000.00 on",
                                                      "zero=off unchecked", "valueColor= off"};
        QTest::newRow("demo icon mask") << "demo" << 1 << 2 << -1 << QStringList{"type=Icon", "valueColor= off"};
        QTest::newRow("demo Label widget") << "demo" << 2 << 0 << 0
                                           << QStringList{"type=Widget: Label", "labelText=shown LAP TIME",
                                                          "channelTip=" + kLabelsTip};
        QTest::newRow("demo Ring mask") << "demo" << 1 << 0 << -1 << QStringList{"type=Unknown", "scale=hidden"};
    }

    void states()
    {
        QFETCH(QString, source);
        QFETCH(int, page);
        QFETCH(int, mask);
        QFETCH(int, widget);
        QFETCH(QStringList, expected);
        DashConfig& config = source == QLatin1String("demo") ? m_demo : m_config;
        m_panel->setChannels(config.channels);
        m_panel->setPageContext(&config, page);
        if (mask == -2) {
            compareFacts(expected);
            return;
        }
        // Something else shown first: every state is a full refill.
        m_panel->showSelection(m_config.page(0), 2, 0);
        if (mask < 0)
            m_panel->clear();
        else
            m_panel->showSelection(config.page(page), mask, widget);
        compareFacts(expected);
    }

    void showSelectionFallsBackToTheMask()
    {
        m_panel->showSelection(m_config.page(0), 0, 3); // three widgets
        compareFacts({"id=dig", "type=Digit"});
        m_panel->showSelection(m_config.page(0), 6, -1);
        compareFacts({"id=--"});
        m_panel->showSelection(nullptr, 0, 0);
        compareFacts({"id=--"});
    }

    void fillingIsNoEdit()
    {
        QSignalSpy alignment(m_panel.get(), &PropertyPanel::valueAlignmentChanged);
        QSignalSpy rebind(m_panel.get(), &PropertyPanel::channelRebindRequested);
        // d1 "br" -> l1 "c" -> d0 "bc" -> d1: the Align item changes every time.
        for (int w : {0, 1, 2, 0})
            m_panel->showSelection(m_config.page(0), 0, w);
        m_panel->showSelection(m_config.page(0), 2, -1);
        m_panel->showSelection(m_config.page(0), 1, -1);
        m_panel->setChannels(m_config.channels);
        m_panel->setPageSize(100, 50);
        QCOMPARE(alignment.count(), 0);
        QCOMPARE(rebind.count(), 0);

        // The user's own choice reaches the handler with the widget's vertical key.
        m_panel->showSelection(m_config.page(0), 0, 0);
        child<QComboBox>("alignCombo")->setCurrentIndex(1);
        QCOMPARE(alignment.count(), 1);
        QCOMPARE(alignment.at(0).at(0).toString(), QStringLiteral("bc"));
        child<QComboBox>("channelCombo")->setCurrentIndex(3);
        QCOMPARE(rebind.count(), 1);
        QCOMPARE(rebind.at(0).at(0).value<ChannelInfo>().longName, QStringLiteral("Oil Temp"));
    }

    void channelRows_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("exact long name") << "Oil_Temp" << "Oil_Temp (C)";
        QTest::newRow("label long name") << "Lap Time" << "Lap Time";
        QTest::newRow("normalised, two blanks") << "Rolling_Sess_Time" << "rolling  sess time (s)";
        QTest::newRow("no match") << "Speed" << "(none)";
        QTest::newRow("empty name") << "" << "(none)";
    }

    void channelRows()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        ChannelInfo oil;
        oil.fid = 1;
        oil.longName = "Oil_Temp";
        oil.unit = "C";
        ChannelInfo lap;
        lap.fid = 2;
        lap.longName = "LAPTIME_GPS";
        lap.labelLongName = "Lap Time";
        ChannelInfo sess;
        sess.fid = 3;
        sess.longName = "rolling  sess time";
        sess.unit = "s";
        m_panel->setChannels({oil, lap, sess});
        auto* combo = child<QComboBox>("channelCombo");
        QCOMPARE(combo->count(), 4);
        QCOMPARE(combo->itemData(2).toInt(), 1);

        MaskElement m;
        m.id = "m";
        m.kind = MaskDigit;
        m.w = m.h = 20;
        m.channel = name;
        m_panel->showMask(&m);
        QCOMPARE(combo->currentText(), shown);
        QVERIFY(combo->isEnabled());
    }

    void emptyChannelList()
    {
        m_panel->setChannels({});
        auto* combo = child<QComboBox>("channelCombo");
        QCOMPARE(combo->count(), 1);
        QCOMPARE(combo->itemText(0), QStringLiteral("(none)"));
        QCOMPARE(combo->itemData(0).toInt(), -1);
        m_panel->showSelection(m_config.page(0), 0, -1);
        QVERIFY(!combo->isEnabled());
        m_panel->showSelection(m_config.page(0), 0, 0);
        QVERIFY(!combo->isEnabled());
    }

    void refreshGeometryRereads()
    {
        m_panel->showSelection(m_config.page(0), 0, 0);
        MaskElement* mask = m_config.maskAt(0, 0);
        const int oldX = mask->widgets[0].x;
        mask->widgets[0].x = 77;
        m_panel->refreshGeometry();
        compareFacts({"x=77 0..200 on"});
        mask->widgets[0].x = oldX;
    }

    void boxTexts_data()
    {
        QTest::addColumn<int>("values");
        QTest::addColumn<QString>("warning"); // empty: hidden
        QTest::newRow("1 value") << 1 << "⚠ 4 cells, 1 value — resizing this box will re-flow them onto the empty "
                                         "cells, and Undo will not put them back.";
        QTest::newRow("3 values") << 3 << "⚠ 4 cells, 3 values — resizing this box will re-flow them onto the empty "
                                          "cell, and Undo will not put them back.";
        QTest::newRow("4 values") << 4 << "";
    }

    void boxTexts()
    {
        QFETCH(int, values);
        QFETCH(QString, warning);
        BoxStyleInfo style;
        style.present = true;
        style.styleName = "Outline";
        style.usesAccent = true;
        style.accentArgb = int(0x80ff8000u);
        style.showDividers = false;
        style.borderPx = 3;
        style.caption = "OIL";
        MultiBoxInfo multi;
        multi.found = true;
        multi.rows = 2;
        multi.cols = 2;
        multi.labelPlacement = "above";
        multi.digitCount = values;
        m_panel->updateBoxInfo(style, multi);

        QCOMPARE(child<QLabel>("boxStyleLabel")->text(), QStringLiteral("Outline"));
        QCOMPARE(child<QLabel>("boxColorText")->text(), QStringLiteral("#ff8000"));
        QCOMPARE(shown("boxSwatch"), QStringLiteral("shown"));
        QCOMPARE(child<QLabel>("boxSwatch")->styleSheet(), QStringLiteral("background:#ff8000;"));
        QCOMPARE(child<QLabel>("boxLayoutText")->text(), QStringLiteral("2 × 2, label above"));
        QCOMPARE(child<QLabel>("boxDividersText")->text(), QStringLiteral("off"));
        QCOMPARE(child<QLabel>("boxCaptionText")->text(), QStringLiteral("OIL"));
        QCOMPARE(shown("boxCaptionText"), QStringLiteral("shown"));
        QCOMPARE(child<QLabel>("boxBorderLabel")->text(), QStringLiteral("3 px"));
        QCOMPARE(shown("boxWarning"), warning.isEmpty() ? QStringLiteral("hidden") : QStringLiteral("shown"));
        if (!warning.isEmpty())
            QCOMPARE(child<QLabel>("boxWarning")->text(), warning);

        m_panel->clear();
        QCOMPARE(child<QLabel>("boxStyleLabel")->text(), QStringLiteral("None"));
        QCOMPARE(child<QLabel>("boxColorText")->text(), QStringLiteral("—"));
        QCOMPARE(child<QLabel>("boxBorderLabel")->text(), QStringLiteral("Auto"));
        for (const char* hidden : {"boxSwatch", "boxLayoutText", "boxDividersText", "boxCaptionText", "boxWarning"})
            QCOMPARE(shown(hidden), QStringLiteral("hidden"));

        style.usesAccent = false;
        m_panel->updateBoxInfo(style, MultiBoxInfo());
        QCOMPARE(child<QLabel>("boxColorText")->text(), QStringLiteral("fixed (style default)"));
        QCOMPARE(shown("boxSwatch"), QStringLiteral("hidden"));
    }

    void artworkInfo_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("info");
        QTest::addColumn<bool>("thumbnail");
        QTest::newRow("backslashes, catalogued")
            << "aim\\resources\\overlay\\mxg_12\\set\\s04_homebrew\\Items\\box_a"
            << "s04_homebrew / box_a  -  200x100  -  1 scale frame(s)" << true;
        QTest::newRow("not catalogued") << "aim/resources/overlay/mxg_12/set/s04_homebrew/ITEMS/box_b/"
                                        << "s04_homebrew / box_b" << false;
        QTest::newRow("no items part") << "box_c" << "box_c" << false;
        QTest::newRow("blank") << "  " << "" << false;
        // Hand-edited paths that name nothing once normalised.
        QTest::newRow("lone backslash") << "\\" << "" << false;
        QTest::newRow("lone slash") << "/" << "" << false;
        QTest::newRow("double slash in blanks") << " // " << "" << false;
    }

    void artworkInfo()
    {
        QFETCH(QString, path);
        QFETCH(QString, info);
        QFETCH(bool, thumbnail);
        // A catalogued element with a white mask.png and one scale frame.
        const QString rel = "aim/resources/overlay/mxg_12/set/s04_homebrew/Items/box_a/";
        QVERIFY(m_rs3->addArtItem(Rs3Fixture::Stable, rel, QSize(200, 100), Qt::white));
        QVERIFY(m_rs3->writeFile(Rs3Fixture::Stable, rel + "box_a.M2.xml",
                                 "<e c=\"Digit\" i=\"1\"><p n=\"WIDTH\">200</p><p n=\"HEIGHT\">100</p></e>"));
        QVERIFY(m_rs3->writeFile(Rs3Fixture::Stable, rel + "scala_rpm_ON_8.png", "x"));
        QCOMPARE(ElementCatalog::rebuild(), 1);
        ElementCatalog::resetForTesting(); // the panel loads the file itself

        MaskElement* mask = m_config.maskAt(0, 0);
        pugi::xml_node p = mask->node.append_child("p");
        p.append_attribute("n").set_value("PATH_REL_AiM_MASK");
        p.text().set(path.toUtf8().constData());
        m_panel->showMask(mask);
        mask->node.remove_child(p);

        QCOMPARE(child<QLabel>("artInfo")->text(), info);
        QCOMPARE(shown("artInfo"), info.isEmpty() ? QStringLiteral("hidden") : QStringLiteral("shown"));
        QCOMPARE(shown("artPreview"), thumbnail ? QStringLiteral("shown") : QStringLiteral("hidden"));
        if (thumbnail) {
            QCOMPARE(child<QLabel>("artPreview")->pixmap().size(), QSize(150, 75));
            QCOMPARE(child<QLabel>("artInfo")->toolTip(), QStringLiteral("aim/resources/overlay/mxg_12/set/s04_homebrew/Items/box_a/"));
        }
        QCOMPARE(ElementCatalog::isLoaded(), !info.isEmpty());
    }

    void iconInfo()
    {
        const QString folder = TestEnvironment::makeTempDir("icons");
        const QString file = folder + "/c_32x32_Fuel_Low_on.png";
        QImage graphic(32, 32, QImage::Format_ARGB32);
        graphic.fill(Qt::yellow);
        QVERIFY(graphic.save(file));
        ChannelInfo other;
        other.fid = 9;
        other.idFis = 1;
        other.longName = "Wrong IDF";
        ChannelInfo fuel;
        fuel.fid = 9;
        fuel.idFis = 2;
        fuel.longName = "Fuel Level";
        m_panel->setChannels({other, fuel});

        IconPreviewInfo info;
        info.featureKey = "FUEL_LOW";
        info.graphicFile = file;
        info.description = "Fuel alarm";
        info.fid = 9;
        info.idf = 2;
        m_panel->showIconInfo(true, info);
        QCOMPARE(shown("iconSetupGroup"), QStringLiteral("shown"));
        QCOMPARE(child<QLabel>("iconFeatureLabel")->text(), QStringLiteral("FUEL LOW"));
        QCOMPARE(child<QLabel>("iconNameLabel")->text(), QStringLiteral("Fuel Low"));
        QCOMPARE(child<QLabel>("iconNameLabel")->toolTip(), QStringLiteral("c_32x32_Fuel_Low_on.png"));
        QCOMPARE(shown("iconThumb"), QStringLiteral("shown"));
        QCOMPARE(child<QLabel>("iconTriggerLabel")->text(), QStringLiteral("Fuel Level"));
        QCOMPARE(child<QLabel>("iconTriggerLabel")->toolTip(), QStringLiteral("Fuel alarm"));

        info.idf = 5; // no channel with that IDFis
        info.graphicFile.clear();
        m_panel->showIconInfo(true, info);
        QCOMPARE(child<QLabel>("iconTriggerLabel")->text(), QStringLiteral("Fuel alarm"));
        QCOMPARE(child<QLabel>("iconNameLabel")->text(), QStringLiteral("(graphic not installed)"));
        QCOMPARE(shown("iconThumb"), QStringLiteral("hidden"));

        info.featureKey.clear();
        m_panel->showIconInfo(true, info);
        QCOMPARE(shown("iconFeatureLabel"), QStringLiteral("hidden"));
        QCOMPARE(child<QLabel>("iconNote")->text(),
                 QStringLiteral("Not configured in RS3 — use right-click → Preview icon for a layout mockup."));
        m_panel->showIconInfo(false, info);
        QCOMPARE(shown("iconSetupGroup"), QStringLiteral("hidden"));
    }

    // At the width the main window gives it (a 220 px scroll area that
    // scrolls only vertically), every text of the panel is whole: it fits,
    // wraps, or an elided control carries the whole text in its tool tip.
    void readableAtPanelWidth_data()
    {
        QTest::addColumn<int>("mask"); // of the demo's first page
        QTest::addColumn<QString>("extra");
        QTest::newRow("bar") << 2 << "bar";
        QTest::newRow("digit with an icon preview") << 1 << "icon";
        QTest::newRow("box") << 1 << "box";
    }

    void readableAtPanelWidth()
    {
        QFETCH(int, mask);
        QFETCH(QString, extra);
        m_panel->setChannels(m_demo.channels);
        m_panel->setPageContext(&m_demo, 0);
        m_panel->showMask(m_demo.maskAt(0, mask));
        BoxStyleInfo style;
        MultiBoxInfo multi;
        if (extra == QLatin1String("box")) {
            style = {true, "carbon", "Carbon Dual Line", int(0xffe0a020), true, true, "WATER TEMPERATURE", 2, 0};
            multi = {true, 2, 2, "above", 1};
        }
        m_panel->updateBoxInfo(style, multi);
        m_panel->setBarColorEnabled(extra == QLatin1String("bar"), true);
        m_panel->setIconPreviewEnabled(extra == QLatin1String("icon"), true);
        IconPreviewInfo icon;
        icon.featureKey = "FUEL_LOW_WARNING";
        icon.description = "Fuel low";
        m_panel->showIconInfo(extra == QLatin1String("icon"), icon);

        QScrollArea area;
        area.setWidget(m_panel.get());
        area.setWidgetResizable(true);
        area.setFrameShape(QFrame::NoFrame);
        area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area.setFixedSize(220, 600);
        m_panel->setMaximumWidth(220);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        QApplication::processEvents();
        const QStringList cut = cutTexts(area.viewport());
        area.takeWidget();
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1String("; "))));
    }

    void barColourAndPreviewButtons()
    {
        QSignalSpy colour(m_panel.get(), &PropertyPanel::barColorRequested);
        QSignalSpy preview(m_panel.get(), &PropertyPanel::iconPreviewRemoveRequested);
        m_panel->setBarColorEnabled(true, false);
        QCOMPARE(shown("barColorButton"), QStringLiteral("hidden")); // inside the hidden scale group
        m_panel->showSelection(m_config.page(0), 2, -1);
        m_panel->setBarColorEnabled(true, false);
        QCOMPARE(shown("barColorButton"), QStringLiteral("shown"));
        QVERIFY(!child<QPushButton>("barColorRemoveButton")->isEnabled());
        QTest::mouseClick(child<QPushButton>("barColorButton"), Qt::LeftButton);
        QCOMPARE(colour.count(), 1);
        m_panel->setIconPreviewEnabled(true, true);
        QCOMPARE(shown("iconPreviewGroup"), QStringLiteral("shown"));
        QTest::mouseClick(child<QPushButton>("removePreviewButton"), Qt::LeftButton);
        QCOMPARE(preview.count(), 1);
    }
};

KORV_TEST_MAIN(PropertyPanelTest)
#include "tst_propertypanel.moc"
