#include "editing/AxisMergeCommand.h"
#include "editing/WidgetAddCommand.h"
#include "editing/WidgetDeleteCommand.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QUndoStack>
#include <QtTest>

namespace {

// Widgets as RS3 writes them, firmware positions included.
bool openConfig(DashConfig& config)
{
    ConfigFixture cfg;
    FixturePage& page = cfg.device().page(QStringLiteral("Main"));
    page.mask(Fx::mask(QStringLiteral("m"), 10, 10, 200, 80)
                  .add(Fx::axis(QStringLiteral("1"), QStringLiteral("RPM"), QStringLiteral("RPM"), QStringLiteral("rpm")))
                  .add(Fx::label(QStringLiteral("l"), QStringLiteral("RPM"), 0, 0, 100, 20).p("XPOS_FW", "0").p("YPOS_FW", "0"))
                  .add(Fx::digit(QStringLiteral("d"), 0, 20, 100, 40, QStringLiteral("1")).p("XPOS_FW", "0").p("YPOS_FW", "20"))
                  .add(Fx::bargraph(QStringLiteral("b"), 0, 60, 100, 10, QStringLiteral("1")).p("XPOS_FW", "0").p("YPOS_FW", "60")));
    page.mask(Fx::mask(QStringLiteral("other"), 300, 10, 200, 80)
                  .add(Fx::axis(QStringLiteral("1"), QStringLiteral("Speed"), QStringLiteral("SPD"), QStringLiteral("km/h"))));
    return config.load(cfg.writeTempZip());
}

QStringList widgetIds(const DashConfig& config, int mask)
{
    QStringList ids;
    for (const WidgetModel& w : config.pages[0].masks[size_t(mask)].widgets)
        ids << w.id;
    return ids;
}

} // namespace

class WidgetCommandsTest : public QObject {
    Q_OBJECT

    Rs3Fixture rs3;

private Q_SLOTS:
    void deleteSymmetry_data()
    {
        QTest::addColumn<int>("widget");
        QTest::addColumn<QString>("text");
        QTest::newRow("first") << 0 << "Delete widget l";
        QTest::newRow("middle") << 1 << "Delete widget d";
        QTest::newRow("last") << 2 << "Delete widget b";
    }
    void deleteSymmetry()
    {
        QFETCH(int, widget);
        DashConfig config;
        QVERIFY(openConfig(config));
        const QByteArray before = ConfigSnapshot::documents(config);
        const QStringList ids = widgetIds(config, 0);
        QUndoStack stack;
        auto* command = new WidgetDeleteCommand(&config, 0, 0, widget);
        QTEST(command->text(), "text");
        stack.push(command);
        const QByteArray deleted = ConfigSnapshot::documents(config);
        QCOMPARE(widgetIds(config, 0).size(), ids.size() - 1);
        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(config), before);
        QCOMPARE(widgetIds(config, 0), ids);
        stack.redo();
        QCOMPARE(ConfigSnapshot::documents(config), deleted);
        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(config), before);
    }

    void deleteMissingWidgetLeavesNoStep()
    {
        DashConfig config;
        QVERIFY(openConfig(config));
        const QByteArray before = ConfigSnapshot::of(config);
        QUndoStack stack;
        auto* command = new WidgetDeleteCommand(&config, 0, 1, 0);
        QCOMPARE(command->text(), QStringLiteral("Delete widget"));
        stack.push(command);
        QCOMPARE(stack.count(), 0);
        QCOMPARE(ConfigSnapshot::of(config), before);
    }

    void addSymmetry()
    {
        DashConfig config;
        QVERIFY(openConfig(config));
        const QByteArray before = ConfigSnapshot::documents(config);
        pugi::xml_document clip;
        QVERIFY(config.copyWidgetXml(0, 0, 1, clip));
        QUndoStack stack;
        int created = -2;
        auto* command = new WidgetAddCommand(&config, 0, 0, 10, 10, clip.first_child(),
                                             QStringLiteral("Duplicate widget d"), &created);
        QCOMPARE(command->text(), QStringLiteral("Duplicate widget d"));
        stack.push(command);
        QCOMPARE(created, 3);
        const QByteArray added = ConfigSnapshot::documents(config);
        const pugi::xml_node copy = config.pages[0].masks[0].widgets[3].node;
        QCOMPARE(QByteArray(copy.attribute("i").value()), QByteArray("d_1"));
        QCOMPARE(paramValue(copy, "XPOS"), QByteArray("10"));
        QCOMPARE(paramValue(copy, "YPOS_FW"), QByteArray("30"));

        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(config), before);
        stack.redo();
        QCOMPARE(ConfigSnapshot::documents(config), added);
        stack.undo();
        stack.redo();
        QCOMPARE(ConfigSnapshot::documents(config), added);
    }

    void failedAddUndoesNothing()
    {
        // A failed add leaves no undo step, so an Undo cannot remove someone
        // else's widget.
        DashConfig config;
        QVERIFY(openConfig(config));
        pugi::xml_document clip;
        QVERIFY(config.copyWidgetXml(0, 0, 0, clip));
        QUndoStack stack;
        const QByteArray before = ConfigSnapshot::documents(config);
        int created = -2;
        auto* command = new WidgetAddCommand(&config, 0, 7, 0, 0, clip.first_child(), QString(), &created);
        QCOMPARE(command->text(), QStringLiteral("Add widget"));
        stack.push(command);
        QCOMPARE(created, -1);
        QCOMPARE(stack.count(), 0);
        created = -2;
        stack.push(new WidgetAddCommand(&config, 0, 0, 0, 0, pugi::xml_node(), QString(), &created));
        QCOMPARE(created, -1);
        QCOMPARE(stack.count(), 0);
        QCOMPARE(ConfigSnapshot::documents(config), before);
    }

    void pasteRemapsCopiesOnly()
    {
        // Paste into a mask whose Axis "1" is bound to another channel: the
        // merged channel element gets a new id, the pasted widget's copy
        // refers to it, and the clipboard keeps its ids for the next paste.
        DashConfig config;
        QVERIFY(openConfig(config));
        pugi::xml_document clipWidget, clipAxis;
        QVERIFY(config.copyWidgetXml(0, 0, 1, clipWidget));
        clipAxis.append_copy(config.pages[0].masks[0].node.find_child_by_attribute("e", "c", "Axis"));
        const QByteArray clipBefore = ConfigSnapshot::xml(clipWidget.first_child()) + ConfigSnapshot::xml(clipAxis.first_child());

        QHash<QString, QString> map;
        QCOMPARE(config.mergeAxisElements(0, 1, {clipAxis.first_child()}, &map), 1);
        QCOMPARE(map.value(QStringLiteral("1")), QStringLiteral("2"));
        QUndoStack stack;
        auto* command = new WidgetAddCommand(&config, 0, 1, 0, 0, clipWidget.first_child(), QStringLiteral("Paste widget"));
        command->remapAxisRef(map);
        stack.push(command);
        const MaskElement& target = config.pages[0].masks[1];
        QCOMPARE(target.widgets.size(), size_t(1));
        QCOMPARE(target.widgets[0].axisRef, QStringLiteral("2"));
        QCOMPARE(target.widgets[0].channel, QStringLiteral("RPM"));
        QCOMPARE(ConfigSnapshot::xml(clipWidget.first_child()) + ConfigSnapshot::xml(clipAxis.first_child()), clipBefore);
    }

    void pasteMergeLeavesWithItsUndo()
    {
        // The merged channel element is part of the paste's step: undo
        // gives back the document byte for byte, redo merges it again.
        DashConfig config;
        QVERIFY(openConfig(config));
        pugi::xml_document clipWidget, clipAxis;
        QVERIFY(config.copyWidgetXml(0, 0, 1, clipWidget));
        clipAxis.append_copy(config.pages[0].masks[0].node.find_child_by_attribute("e", "c", "Axis"));
        const QByteArray before = ConfigSnapshot::documents(config);

        QUndoStack stack;
        QHash<QString, QString> map;
        stack.beginMacro(QStringLiteral("Paste widget"));
        stack.push(new AxisMergeCommand(&config, 0, 1, {clipAxis.first_child()}, &map));
        QCOMPARE(map.value(QStringLiteral("1")), QStringLiteral("2"));
        auto* command = new WidgetAddCommand(&config, 0, 1, 0, 0, clipWidget.first_child(), QStringLiteral("Paste widget"));
        command->remapAxisRef(map);
        stack.push(command);
        stack.endMacro();
        const QByteArray pasted = ConfigSnapshot::documents(config);
        QVERIFY(pasted != before);

        for (int round = 0; round < 2; ++round) {
            stack.undo();
            QCOMPARE(ConfigSnapshot::documents(config), before);
            QCOMPARE(config.pages[0].masks[1].channel, QStringLiteral("Speed"));
            QVERIFY(config.pages[0].masks[1].widgets.empty());
            stack.redo();
            QCOMPARE(ConfigSnapshot::documents(config), pasted);
            QCOMPARE(config.pages[0].masks[1].widgets[0].axisRef, QStringLiteral("2"));
        }
    }

    // Undo of a merge that replaced an unbound channel element takes out
    // only the merged one and puts the unbound one back in its place; edits
    // made after the paste outside the history stay, and redo brings back
    // the merged element as the later rebind left it.
    void pasteMergeUndoKeepsLaterEdits()
    {
        ConfigFixture cfg;
        FixturePage& page = cfg.device().page(QStringLiteral("Main"));
        page.mask(Fx::mask(QStringLiteral("t"), 10, 10, 200, 80)
                      .add(Fx::label(QStringLiteral("x"), QStringLiteral("SPEED"), 0, 0, 100, 20).p("CHARSET_DIM", 24))
                      .add(Fx::axis(QStringLiteral("1"), QString()))
                      .add(Fx::digit(QStringLiteral("y"), 0, 20, 100, 40)));
        DashConfig config;
        QVERIFY(config.load(cfg.writeTempZip()));
        pugi::xml_document clip, source;
        const QByteArray axisXml = Fx::axis(QStringLiteral("1"), QStringLiteral("RPM")).toXml();
        QVERIFY(source.load_buffer(axisXml.constData(), size_t(axisXml.size())));
        const QByteArray digitXml = Fx::digit(QStringLiteral("d"), 0, 0, 50, 20, QStringLiteral("1")).toXml();
        QVERIFY(clip.load_buffer(digitXml.constData(), size_t(digitXml.size())));
        const auto children = [&config] {
            QStringList ids;
            for (pugi::xml_node e = config.pages[0].masks[0].node.child("e"); e; e = e.next_sibling("e"))
                ids << QStringLiteral("%1:%2").arg(QString::fromUtf8(e.attribute("c").value()),
                                                   QString::fromUtf8(e.attribute("i").value()));
            return ids.join(QLatin1Char(' '));
        };
        const auto axisParam = [&config](const char* name) {
            return paramValue(config.pages[0].masks[0].node.find_child_by_attribute("e", "c", "Axis"), name);
        };

        QUndoStack stack;
        QHash<QString, QString> map;
        stack.beginMacro(QStringLiteral("Paste widget"));
        stack.push(new AxisMergeCommand(&config, 0, 0, {source.first_child()}, &map));
        auto* command = new WidgetAddCommand(&config, 0, 0, 0, 0, clip.first_child(), QStringLiteral("Paste widget"));
        command->remapAxisRef(map);
        stack.push(command);
        stack.endMacro();
        QCOMPARE(children(), QStringLiteral("Label:x Digit:y Axis:1 Digit:d"));
        QCOMPARE(axisParam("lnm"), QByteArray("RPM"));

        // Outside the history: the caption's size, and the pasted value's channel.
        setParam(config.pages[0].masks[0].widgets[0].node, "CHARSET_DIM", "40");
        ChannelInfo water;
        water.fid = 7;
        water.longName = QStringLiteral("Water Temp");
        config.bindChannel(0, 0, 2, water);

        for (int round = 0; round < 2; ++round) {
            stack.undo();
            QCOMPARE(children(), QStringLiteral("Label:x Axis:1 Digit:y"));
            QCOMPARE(axisParam("CHANNEL_NOT_SET"), QByteArray("1"));
            QCOMPARE(paramValue(config.pages[0].masks[0].widgets[0].node, "CHARSET_DIM"), QByteArray("40"));
            stack.redo();
            QCOMPARE(children(), QStringLiteral("Label:x Digit:y Axis:1 Digit:d"));
            QCOMPARE(axisParam("lnm"), QByteArray("Water Temp"));
            QCOMPARE(config.pages[0].masks[0].widgets[2].channel, QStringLiteral("Water Temp"));
            QCOMPARE(paramValue(config.pages[0].masks[0].widgets[0].node, "CHARSET_DIM"), QByteArray("40"));
        }
    }

    // An id the undone merge used, taken meanwhile by another channel
    // element: the redo is refused, with the reason, and the mask never
    // holds the id twice.
    void pasteRedoRefusedWhenItsIdWasTaken()
    {
        DashConfig config;
        QVERIFY(openConfig(config));
        pugi::xml_document clipAxis;
        clipAxis.append_copy(config.pages[0].masks[0].node.find_child_by_attribute("e", "c", "Axis"));
        QUndoStack stack;
        QHash<QString, QString> map;
        stack.push(new AxisMergeCommand(&config, 0, 1, {clipAxis.first_child()}, &map));
        QCOMPARE(map.value(QStringLiteral("1")), QStringLiteral("2"));
        stack.undo();
        DashConfig::buildAxisElement(config.pages[0].masks[1].node, QStringLiteral("2"));
        config.reparseMaskKeepingGeometry(config.pages[0].masks[1]);
        const QByteArray before = ConfigSnapshot::documents(config);

        config.refusedStep.clear();
        stack.redo();
        QVERIFY(config.refusedStep.contains(QStringLiteral("2")));
        QCOMPARE(ConfigSnapshot::documents(config), before);
        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(config), before);
    }
};

KORV_GUI_TEST_MAIN(WidgetCommandsTest)
#include "tst_widgetcommands.moc"
