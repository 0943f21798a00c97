#include "model/ChannelKind.h"
#include "model/DashConfig.h"
#include "panels/WidgetPropertiesDialog.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {

const QString kInherited = QStringLiteral("(values inherited from channel definition)");
const QString kNoEndpoints = QStringLiteral(
    "This Bar has no StepScale endpoints to edit. Rebind it to a channel to regenerate the scale block.");

// Page "Main", masks in order:
//   0 bar    bar -50..50 with a zero mark, channel "Water Temp" (range -50..50)
//   1 lower  the same range, its axis names the channel in lower case
//   2 bar0   bar 0..100 without a zero mark
//   3 barn   bar without scale endpoints
//   4 odd    bar 0.125..2000000, as edited by hand
ConfigFixture dialogConfig()
{
    ConfigFixture cfg;
    cfg.channel(5, "Water Temp", "WT", "C");
    cfg.channels.last().chMin = "-50";
    cfg.channels.last().chMax = "50";
    const auto bar = [](const QString& id, const QString& channel, const QList<QPair<QString, QString>>& steps) {
        FixtureElement m = Fx::mask(id, 10, 200, 300, 40);
        if (!channel.isEmpty())
            m.add(Fx::axis("a1", channel, "WT", "C"));
        FixtureElement b = Fx::bargraph("b1", 0, 0, 300, 40, channel.isEmpty() ? QString() : "a1", true);
        if (!steps.isEmpty())
            b.add(Fx::stepScale(steps));
        return m.add(b);
    };
    const QList<QPair<QString, QString>> straddling{{"0", "-50"}, {"50", "0"}, {"100", "50"}};
    cfg.device().page("Main")
        .mask(bar("bar", "Water Temp", straddling))
        .mask(bar("lower", "water temp", straddling))
        .mask(bar("bar0", "", {{"0", "0"}, {"100", "100"}}))
        .mask(bar("barn", "", {}))
        .mask(bar("odd", "", {{"0", "0.125"}, {"100", "2000000"}}));
    return cfg;
}

QStringList labelTexts(const QDialog& dialog)
{
    QStringList texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        texts << label->text();
    return texts;
}

} // namespace

class WidgetPropertiesDialogTest : public QObject {
    Q_OBJECT

private:
    DashConfig m_config;

    bool dirty() const { return m_config.devices[0]->dirty; }

    // Runs the dialog the way the main window does, through the asker; the
    // "user" sets the controls and presses OK.
    int runWithOk(WidgetPropertiesDialog& dialog, double min, double max, int zeroChecked = -1)
    {
        ScriptedAsker asker;
        asker.onExec = [&](QDialog* d) {
            d->findChild<QDoubleSpinBox*>("minSpin")->setValue(min);
            d->findChild<QDoubleSpinBox*>("maxSpin")->setValue(max);
            if (zeroChecked >= 0)
                d->findChild<QCheckBox*>("zeroCheck")->setChecked(zeroChecked == 1);
            QTest::mouseClick(d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
            return d->result();
        };
        return Asker::instance().exec(&dialog);
    }

private Q_SLOTS:
    void init()
    {
        QString error;
        QVERIFY2(m_config.load(dialogConfig().writeTempZip(), &error), qPrintable(error));
        m_config.devices[0]->dirty = false;
    }

    void details_data()
    {
        QTest::addColumn<int>("widget");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("mask") << -1
                              << QStringList{"bar", "Bar", "Water Temp", "10, 200 px", "300 x 40 px", kInherited};
        QTest::newRow("bar widget") << 0 << QStringList{"b1", "Widget: Bar", "Water Temp", "0, 0 px", "300 x 40 px"};
    }

    void details()
    {
        QFETCH(int, widget);
        QFETCH(QStringList, expected);
        MaskElement* mask = m_config.maskAt(0, 0);
        WidgetPropertiesDialog dialog(mask, widget < 0 ? nullptr : &mask->widgets[size_t(widget)], &m_config, 0);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Widget Properties"));
        const QStringList texts = labelTexts(dialog);
        for (const QString& text : expected)
            QVERIFY2(texts.contains(text), qPrintable(text));
        QVERIFY(dialog.findChild<QCheckBox*>("zeroCheck")->isChecked());
    }

    // Only an exact long name inherits the channel's range.
    void channelNoteNeedsExactName()
    {
        WidgetPropertiesDialog dialog(m_config.maskAt(0, 1), nullptr, &m_config, 0);
        QVERIFY(!labelTexts(dialog).contains(kInherited));
    }

    void okWithoutChangeWritesNothing_data()
    {
        QTest::addColumn<int>("mask");
        QTest::newRow("-50..50 with zero mark") << 0;
        QTest::newRow("0..100") << 2;
        QTest::newRow("no endpoints") << 3;
    }

    void okWithoutChangeWritesNothing()
    {
        QFETCH(int, mask);
        const QByteArray before = ConfigSnapshot::documents(m_config);
        WidgetPropertiesDialog dialog(m_config.maskAt(0, mask), nullptr, &m_config, 0);
        auto* min = dialog.findChild<QDoubleSpinBox*>("minSpin");
        auto* max = dialog.findChild<QDoubleSpinBox*>("maxSpin");
        QCOMPARE(runWithOk(dialog, min->value(), max->value()), int(QDialog::Accepted));
        QCOMPARE(ConfigSnapshot::documents(m_config), before);
        QVERIFY(!dirty());
        if (mask == 3) {
            QVERIFY(!min->isEnabled() && !max->isEnabled());
            QVERIFY(!dialog.findChild<QCheckBox*>("zeroCheck")->isEnabled());
            QVERIFY(labelTexts(dialog).contains(kNoEndpoints));
        }
    }

    void rangeChangeKeepsTheBox()
    {
        MaskElement* mask = m_config.maskAt(0, 0);
        WidgetPropertiesDialog dialog(mask, nullptr, &m_config, 0);
        QCOMPARE(runWithOk(dialog, 0, 100), int(QDialog::Accepted));
        double min = 1, max = 0;
        QVERIFY(DashConfig::barScaleRange(mask->node, min, max));
        QCOMPARE(min, 0.0);
        QCOMPARE(max, 100.0);
        // The range no longer crosses 0: its write takes the mark away, so
        // the scale's steps stay in order, though the box stayed checked.
        QVERIFY(!hasBarZeroMark(mask->node));
        QVERIFY(dirty());
    }

    // An endpoint left alone keeps its value in the file, beyond the spin
    // box's usual range or finer than its two decimals.
    void endpointLeftAloneKeepsItsValue_data()
    {
        QTest::addColumn<bool>("editMin");
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::newRow("Min edited") << true << -10.0 << 2000000.0;
        QTest::newRow("Max edited") << false << 0.125 << 50.0;
    }

    void endpointLeftAloneKeepsItsValue()
    {
        QFETCH(bool, editMin);
        QFETCH(double, min);
        QFETCH(double, max);
        MaskElement* mask = m_config.maskAt(0, 4);
        WidgetPropertiesDialog dialog(mask, nullptr, &m_config, 0);
        const double shownMin = dialog.findChild<QDoubleSpinBox*>("minSpin")->value();
        const double shownMax = dialog.findChild<QDoubleSpinBox*>("maxSpin")->value();
        QCOMPARE(shownMax, 2000000.0);
        QCOMPARE(runWithOk(dialog, editMin ? min : shownMin, editMin ? shownMax : max), int(QDialog::Accepted));
        double savedMin = 0.0;
        double savedMax = 0.0;
        QVERIFY(DashConfig::barScaleRange(mask->node, savedMin, savedMax));
        QCOMPARE(savedMin, min);
        QCOMPARE(savedMax, max);
    }

    void maxNotAboveMinWritesOnlyTheZeroMark()
    {
        MaskElement* mask = m_config.maskAt(0, 0);
        WidgetPropertiesDialog dialog(mask, nullptr, &m_config, 0);
        QCOMPARE(runWithOk(dialog, 60, 50, 0), int(QDialog::Accepted));
        double min = 0, max = 0;
        QVERIFY(DashConfig::barScaleRange(mask->node, min, max));
        QCOMPARE(min, -50.0);
        QCOMPARE(max, 50.0);
        QVERIFY(!hasBarZeroMark(mask->node));
        QVERIFY(dirty());
    }
};

KORV_TEST_MAIN(WidgetPropertiesDialogTest)
#include "tst_widgetpropertiesdialog.moc"
