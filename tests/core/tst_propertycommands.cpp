#include "editing/SetLabelTextCommand.h"
#include "editing/SetTextColorCommand.h"
#include "editing/SetValueAlignmentCommand.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QUndoStack>
#include <QtTest>

#include <functional>

namespace {

using Factory = std::function<QUndoCommand*(DashConfig*)>;

// Widgets as RS3 writes them: every parameter the setters touch is present.
bool openConfig(DashConfig& config)
{
    ConfigFixture cfg;
    cfg.device().page(QStringLiteral("Main")).mask(
        Fx::mask(QStringLiteral("m"), 10, 10, 200, 80)
            .add(Fx::label(QStringLiteral("l"), QStringLiteral("Water"), 0, 0, 100, 20)
                     .p("CONTROLLO_NO_AUTOAGGIORNABILE", "1")
                     .p("POS_ALIGN", "vl")
                     .p("COLORE", "0xffffffff"))
            .add(Fx::digit(QStringLiteral("d"), 0, 20, 100, 40).p("POS_ALIGN", "vr").p("COLORE", "0xff112233"))
            .add(Fx::digit(QStringLiteral("bare"), 0, 20, 100, 40)));
    return config.load(cfg.writeTempZip());
}

} // namespace

Q_DECLARE_METATYPE(Factory)

class PropertyCommandsTest : public QObject {
    Q_OBJECT

    Rs3Fixture rs3;

private Q_SLOTS:
    void symmetry_data()
    {
        QTest::addColumn<Factory>("make");
        QTest::addColumn<QString>("text");
        QTest::newRow("rename label") << Factory([](DashConfig* c) {
            return new SetLabelTextCommand(c, 0, 0, 0, QStringLiteral("Water"), QStringLiteral("Öl <1>"));
        }) << "Rename Label";
        QTest::newRow("text colour") << Factory([](DashConfig* c) {
            return new SetTextColorCommand(c, 0, 0, 1, QStringLiteral("0xff112233"), QStringLiteral("0xffff0000"));
        }) << "Text colour";
        QTest::newRow("label colour") << Factory([](DashConfig* c) {
            return new SetTextColorCommand(c, 0, 0, 0, QStringLiteral("0xffffffff"), QStringLiteral("0xff00ff00"));
        }) << "Text colour";
        QTest::newRow("value alignment") << Factory([](DashConfig* c) {
            return new SetValueAlignmentCommand(c, 0, 0, 1, QStringLiteral("vr"), QStringLiteral("vc"));
        }) << "Value alignment";
    }
    void symmetry()
    {
        QFETCH(Factory, make);
        DashConfig config;
        QVERIFY(openConfig(config));
        QUndoStack stack;
        const QByteArray before = ConfigSnapshot::documents(config);
        const QByteArray recordsBefore = ConfigSnapshot::of(config);
        QUndoCommand* command = make(&config);
        QTEST(command->text(), "text");
        stack.push(command);
        QCOMPARE(stack.count(), 1);
        const QByteArray done = ConfigSnapshot::documents(config);
        QVERIFY(done != before);
        QVERIFY(config.devices[0]->dirty);

        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(config), before);
        QCOMPARE(ConfigSnapshot::of(config).replace("dirty=1", "dirty=0"), recordsBefore);
        stack.redo();
        QCOMPARE(ConfigSnapshot::documents(config), done);
        stack.undo();
        stack.redo();
        QCOMPARE(ConfigSnapshot::documents(config), done);
    }

    void undoFallbacks_data()
    {
        QTest::addColumn<Factory>("make");
        QTest::addColumn<QByteArray>("param");
        QTest::addColumn<QByteArray>("afterUndo");
        QTest::newRow("colour without old") << Factory([](DashConfig* c) {
            return new SetTextColorCommand(c, 0, 0, 2, QString(), QStringLiteral("0xff00ff00"));
        }) << QByteArray("COLORE") << QByteArray("0xffffffff");
        // The widget had no alignment: undo takes the parameter away again.
        QTest::newRow("alignment without old") << Factory([](DashConfig* c) {
            return new SetValueAlignmentCommand(c, 0, 0, 2, QString(), QStringLiteral("vr"));
        }) << QByteArray("POS_ALIGN") << QByteArray();
    }
    void undoFallbacks()
    {
        QFETCH(Factory, make);
        QFETCH(QByteArray, param);
        DashConfig config;
        QVERIFY(openConfig(config));
        QUndoStack stack;
        stack.push(make(&config));
        stack.undo();
        QTEST(paramValue(config.pages[0].masks[0].widgets[2].node, param.constData()), "afterUndo");
    }

    void renameUndoRestoresAnEmptyText()
    {
        DashConfig config;
        QVERIFY(openConfig(config));
        QVERIFY(config.setLabelText(0, 0, 0, QStringLiteral("Water")));
        setLabelTextParams(config.pages[0].masks[0].widgets[0].node, QString());
        config.pages[0].masks[0].widgets[0].text.clear();
        const QByteArray before = ConfigSnapshot::documents(config);
        QUndoStack stack;
        stack.push(new SetLabelTextCommand(&config, 0, 0, 0, QString(), QStringLiteral("Oil")));
        QCOMPARE(config.pages[0].masks[0].widgets[0].text, QStringLiteral("Oil"));
        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(config), before);
        QVERIFY(config.pages[0].masks[0].widgets[0].text.isEmpty());
        stack.redo();
        QCOMPARE(config.pages[0].masks[0].widgets[0].text, QStringLiteral("Oil"));
    }

    void refusedEditLeavesNoStep_data()
    {
        QTest::addColumn<Factory>("make");
        QTest::newRow("label text on a digit") << Factory([](DashConfig* c) {
            return new SetLabelTextCommand(c, 0, 0, 1, QString(), QStringLiteral("x"));
        });
        QTest::newRow("empty label text") << Factory([](DashConfig* c) {
            return new SetLabelTextCommand(c, 0, 0, 0, QStringLiteral("Water"), QString());
        });
        QTest::newRow("colour of a missing widget") << Factory([](DashConfig* c) {
            return new SetTextColorCommand(c, 0, 0, 9, QString(), QStringLiteral("0xff00ff00"));
        });
        QTest::newRow("alignment on another page") << Factory([](DashConfig* c) {
            return new SetValueAlignmentCommand(c, 3, 0, 0, QString(), QStringLiteral("vr"));
        });
        QTest::newRow("no configuration") << Factory([](DashConfig*) {
            return new SetValueAlignmentCommand(nullptr, 0, 0, 0, QString(), QStringLiteral("vr"));
        });
    }
    void refusedEditLeavesNoStep()
    {
        QFETCH(Factory, make);
        DashConfig config;
        QVERIFY(openConfig(config));
        const QByteArray before = ConfigSnapshot::of(config);
        QUndoStack stack;
        stack.push(make(&config));
        QCOMPARE(stack.count(), 0);
        QCOMPARE(ConfigSnapshot::of(config), before);
    }
};

KORV_GUI_TEST_MAIN(PropertyCommandsTest)
#include "tst_propertycommands.moc"
