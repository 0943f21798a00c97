#include "window/MainWindow.h"
#include "canvas/DashCanvas.h"
#include "model/XmlParams.h"
#include "panels/ElementListPanel.h"
#include "panels/PropertyPanel.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/SelectionViews.h"
#include "support/ZipFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QUndoStack>
#include <QWheelEvent>
#include <QtTest>

namespace {

// Three pages that repeat their masks' ids, as RS3's own pages do. Race's
// md.01 is a bar with a caption Label; Engine and Laps hold Labels at the
// same ids, where an edit meant for Race must never land.
ConfigFixture repeatedIdsConfig()
{
    ConfigFixture cfg;
    const auto caption = [](const QString& id, const QString& text) {
        return Fx::label(id, text, 10, 44, 120, 24)
            .p("POS_ALIGN", "bc")
            .p("CHAR_SET_ID_2", "Text_H24")
            .p("CHARSET_DIM", 24)
            .p("COLORE", "0xffc8c8c8")
            .p("CONTROLLO_NO_AUTOAGGIORNABILE", 0);
    };
    cfg.device().page("Race")
        .mask(Fx::mask("md.00", 10, 10, 200, 80).add(caption("01", "SPEED")))
        .mask(Fx::mask("md.01", 10, 100, 300, 80)
                  .add(Fx::bargraph("02", 0, 0, 300, 40, QString(), true)
                           .add(Fx::stepScale({{"0", "0"}, {"100", "8000"}}).p("NOME_SCALA", "0-8000")))
                  .add(caption("03", "RPM")))
        .mask(Fx::mask("md.02", 10, 200, 200, 80).add(caption("04", "GEAR")));
    for (const QString& name : {QStringLiteral("Engine"), QStringLiteral("Laps")}) {
        cfg.device().page(name)
            .mask(Fx::mask("md.00", 10, 10, 200, 80).add(caption("01", name.toUpper())))
            .mask(Fx::mask("md.01", 10, 100, 300, 80).add(caption("03", "LAP TIME")));
    }
    return cfg;
}

// The one device file of the archive.
QByteArray savedDeviceXml(const QString& path)
{
    const QMap<QString, QByteArray> entries = ZipFixture::readZip(path);
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it.key().endsWith(QLatin1String("/overlay.ov3.xml")))
            return it.value();
    }
    return QByteArrayLiteral("<no device file>");
}

pugi::xml_node childElement(pugi::xml_node parent, const char* cls, const char* id = nullptr)
{
    for (pugi::xml_node e = parent.child("e"); e; e = e.next_sibling("e")) {
        if ((!cls || hasClass(e, cls)) && (!id || QByteArray(e.attribute("i").value()) == id))
            return e;
    }
    return {};
}

// The channel (long name) that element `id` of Race's mask `mask` shows in
// a saved device file: the Axis its AXIS_REF names.
QString savedChannel(const QByteArray& xml, const char* mask, const QByteArray& id)
{
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.constData(), size_t(xml.size())))
        return QStringLiteral("<unreadable>");
    const pugi::xml_node race = doc.find_node([](pugi::xml_node n) { return hasClass(n, "GPageParam"); });
    const pugi::xml_node m = childElement(race, "GMaskParam", mask);
    for (pugi::xml_node e = m.child("e"); e; e = e.next_sibling("e")) {
        if (id != e.attribute("i").value() || hasClass(e, "Axis"))
            continue;
        const QByteArray ref = paramValue(e, "AXIS_REF");
        return QString::fromUtf8(paramValue(childElement(m, "Axis", ref.constData()), "lnm"));
    }
    return QStringLiteral("<no element %1>").arg(QString::fromUtf8(id));
}

// Whether element `id` of Race's mask `mask` in a saved device file names a
// channel element at all.
bool savedHasRef(const QByteArray& xml, const char* mask, const QByteArray& id)
{
    pugi::xml_document doc;
    doc.load_buffer(xml.constData(), size_t(xml.size()));
    const pugi::xml_node race = doc.find_node([](pugi::xml_node n) { return hasClass(n, "GPageParam"); });
    const pugi::xml_node e = childElement(childElement(race, "GMaskParam", mask), nullptr, id.constData());
    return !paramValue(e, "AXIS_REF").trimmed().isEmpty();
}

} // namespace

// The property panel's fields on the element every view shows as chosen:
// what is typed there lands on that element alone and in the saved file,
// what nobody changed writes nothing, and the wheel changes only a field the
// user put the focus on.
class SelectionFieldsTest : public QObject, SelectionViews {
    Q_OBJECT

private:
    template <typename T> T* control(const char* name) const { return panel->findChild<T*>(QLatin1String(name)); }

    // One notch of the wheel, turned down, over the middle of w.
    static void wheelOver(QWidget* w)
    {
        const QPoint local = w->rect().center();
        QWheelEvent event(QPointF(local), QPointF(w->mapToGlobal(local)), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        // As the platform delivers it (sendEvent would not): what the field
        // leaves goes on to its parents.
        QSpontaneKeyEvent::setSpontaneous(&event);
        qApp->notify(w, &event);
    }

    // The panel's channel row whose text starts with `name`, chosen.
    void chooseChannel(const QString& name)
    {
        auto* combo = control<QComboBox>("channelCombo");
        for (int row = 0; row < combo->count(); ++row) {
            if (combo->itemText(row).startsWith(name))
                return combo->setCurrentIndex(row);
        }
        QFAIL("no such channel");
    }

    // The outliner's row of widget `widget` of mask `mask`, as it stands now:
    // every change rebuilds the rows.
    QTreeWidgetItem* row(int mask, int widget) const { return outliner->topLevelItem(mask)->child(widget); }

    // The device file as the window's Save wrote it.
    QByteArray saveAndRead()
    {
        if (!window->save())
            return QByteArrayLiteral("<save failed>");
        return savedDeviceXml(window->currentFile());
    }

private Q_SLOTS:
    void initTestCase() { makeInstall(); }
    void init() { openDemo(); }
    void cleanup() { closeDemo(); }

    // A widget chosen before a save is the one every later panel edit
    // writes: the save reads the masks anew, and the panel follows. Each
    // field once, then a second save: the file differs from the first save
    // in exactly these parameters of that Label and its bar's scale.
    void panelEditsAfterSaveLandOnTheChosenWidget()
    {
        const QString path = repeatedIdsConfig().writeTempZip();
        window->loadConfig(path);
        QCOMPARE(window->currentFile(), path);
        clickOutlinerRow(outliner->topLevelItem(1)->child(1)); // md.01's Label "RPM"
        EXPECT_SELECTION(0, 1, 1);
        const QByteArray first = saveAndRead();
        EXPECT_SELECTION(0, 1, 1);

        typeInto(spin("ySpin"), QStringLiteral("50"));
        EXPECT_SELECTION(0, 1, 1);
        auto* text = control<QLineEdit>("labelTextEdit");
        text->setFocus();
        text->selectAll();
        QTest::keyClicks(text, QStringLiteral("RPM x1000"));
        QTest::keyClick(text, Qt::Key_Return);
        control<QComboBox>("valueFontCombo")->setCurrentIndex(1); // "Basic Sans SF"
        typeInto(spin("valueSizeSpin"), QStringLiteral("32"));
        asker->colors << QColor(255, 128, 0);
        QTest::mouseClick(control<QPushButton>("valueColorButton"), Qt::LeftButton);
        control<QComboBox>("alignCombo")->setCurrentIndex(2); // "Right"
        EXPECT_SELECTION(0, 1, 1);
        typeInto(control<QDoubleSpinBox>("minSpin"), QStringLiteral("500"));
        EXPECT_SELECTION(0, 1, 1);
        const QByteArray second = saveAndRead();

        pugi::xml_document expected;
        QVERIFY(expected.load_buffer(first.constData(), size_t(first.size())));
        QCOMPARE(xmlDocumentBytes(expected, "  "), first);
        const pugi::xml_node race = childElement(
            childElement(childElement(expected.child("overlay_cli"), "OverlayCli"), "GConfParam"), "GPageParam");
        const pugi::xml_node bar = childElement(race, "GMaskParam", "md.01");
        const pugi::xml_node label = childElement(bar, "Label", "03");
        QVERIFY(label);
        setParam(label, "YPOS", "50");
        setParam(label, "TEXT", "RPM x1000");
        setParam(label, "CONTROLLO_NO_AUTOAGGIORNABILE", "1");
        setParam(label, "CHAR_SET_ID_2", "Basic Sans SF");
        setParam(label, "CHARSET_DIM", "32");
        setParam(label, "COLORE", "0xffff8000");
        setParam(label, "POS_ALIGN", "br");
        const pugi::xml_node scale = childElement(childElement(bar, "BargraphTrapezio"), "ScaleFSV");
        setParam(childElement(scale, "StepScale", "1"), "VAL_SCALA", "500");
        QCOMPARE(QString::fromUtf8(second), QString::fromUtf8(xmlDocumentBytes(expected, "  ")));
    }

    // A value box and the value bar added to it are rebound as one: the Digit
    // bound to RPM through the panel takes its bar along in the saved file.
    void valueBoxRebindsAsOne()
    {
        asker->onExec = [](QDialog* dialog) {
            dialog->accept();
            return dialog->result();
        };
        window->addValueBar(1); // Race md.01: Label 02, Digit 03 on Speed
        QCOMPARE(page().masks[1].widgets.back().id, QStringLiteral("00_000barg"));
        clickOutlinerRow(outliner->topLevelItem(1)->child(1));
        EXPECT_SELECTION(0, 1, 1);
        chooseChannel(QStringLiteral("RPM"));
        const QByteArray saved = saveAndRead();
        QCOMPARE(savedChannel(saved, "md.01", "03"), QStringLiteral("RPM"));
        QCOMPARE(savedChannel(saved, "md.01", "00_000barg"), QStringLiteral("RPM"));
    }

    // A duplicated Digit is a widget of its own: rebinding the copy leaves
    // the original on its channel.
    void duplicateRebindsAlone()
    {
        clickOutlinerRow(outliner->topLevelItem(1)->child(1)); // Race md.01's Digit 03
        EXPECT_SELECTION(0, 1, 1);
        window->duplicateWidget();
        EXPECT_SELECTION(0, 1, 2);
        const QByteArray copy = page().masks[1].widgets[2].id.toUtf8();
        chooseChannel(QStringLiteral("RPM"));
        const QByteArray saved = saveAndRead();
        QCOMPARE(savedChannel(saved, "md.01", "03"), QStringLiteral("Speed"));
        QCOMPARE(savedChannel(saved, "md.01", copy), QStringLiteral("RPM"));
    }

    // A copy's id never puts it in another element's group, whose bar the
    // save would hand its channel to: every element but the one rebound
    // keeps its channel in the saved file, and after a reopen and a second
    // save. Race md.01: Label 02, Digit 03 on Speed, value bar 00_000barg.
    void copiesJoinNoOtherGroup_data()
    {
        QTest::addColumn<bool>("digitCopy"); // else three copies of the bar
        QTest::addColumn<int>("bound");      // widget row rebound
        QTest::addColumn<QString>("channel");
        QTest::newRow("a copy of the bar beside a rebound copy of the Digit") << true << 3 << "RPM";
        QTest::newRow("the third of three copies of the bar") << false << 5 << "Water Temp";
    }
    void copiesJoinNoOtherGroup()
    {
        QFETCH(bool, digitCopy);
        QFETCH(int, bound);
        QFETCH(QString, channel);
        asker->onExec = [](QDialog* dialog) {
            dialog->accept();
            return dialog->result();
        };
        window->addValueBar(1);
        if (digitCopy) {
            clickOutlinerRow(row(1, 1));
            window->duplicateWidget();
            clickOutlinerRow(row(1, 3));
            chooseChannel(channel);
            clickOutlinerRow(row(1, 2));
            window->duplicateWidget();
        } else {
            for (int copy = 0; copy < 3; ++copy) {
                clickOutlinerRow(row(1, 2));
                window->duplicateWidget();
            }
            clickOutlinerRow(row(1, bound));
            EXPECT_SELECTION(0, 1, bound);
            chooseChannel(channel);
        }
        QList<QByteArray> ids;
        for (const WidgetModel& w : page().masks[1].widgets)
            ids << w.id.toUtf8();
        QCOMPARE(ids.size(), digitCopy ? 5 : 6);
        const auto check = [&](const QByteArray& saved) {
            QVERIFY(!savedHasRef(saved, "md.01", "02"));
            for (int w = 1; w < ids.size(); ++w)
                QCOMPARE(savedChannel(saved, "md.01", ids[w]), w == bound ? channel : QStringLiteral("Speed"));
        };
        check(saveAndRead());
        if (QTest::currentTestFailed())
            return;
        // Reopened and written again: every save hands a bar's channel on.
        DashConfig reopened;
        QVERIFY(reopened.load(window->currentFile()));
        reopened.devices[0]->dirty = true;
        QVERIFY(reopened.save(window->currentFile()));
        check(savedDeviceXml(window->currentFile()));
    }

    // Add value bar binds its bar to its value's channel element: after the
    // Digit was rebound beside a copy of it, and when Undo and Redo bring
    // the bar back. Read from the saved file.
    void valueBarFollowsItsValue_data()
    {
        QTest::addColumn<bool>("barFirst");
        QTest::newRow("undo and redo of the bar") << true;
        QTest::newRow("bar added after the rebind") << false;
    }
    void valueBarFollowsItsValue()
    {
        QFETCH(bool, barFirst);
        asker->onExec = [](QDialog* dialog) {
            dialog->accept();
            return dialog->result();
        };
        if (barFirst)
            window->addValueBar(1);
        clickOutlinerRow(row(1, 1)); // Digit 03
        window->duplicateWidget();
        clickOutlinerRow(row(1, 1));
        EXPECT_SELECTION(0, 1, 1);
        chooseChannel(QStringLiteral("RPM"));
        if (!barFirst)
            window->addValueBar(1);
        QByteArray saved = saveAndRead();
        const QByteArray copy = page().masks[1].widgets[barFirst ? 3 : 2].id.toUtf8();
        const QByteArray bar = page().masks[1].widgets[barFirst ? 2 : 3].id.toUtf8();
        if (barFirst) {
            stack->undo();
            stack->undo();
            stack->redo();
            stack->redo();
            saved = saveAndRead();
        }
        QCOMPARE(savedChannel(saved, "md.01", "03"), QStringLiteral("RPM"));
        QCOMPARE(savedChannel(saved, "md.01", bar), QStringLiteral("RPM"));
        QCOMPARE(savedChannel(saved, "md.01", copy), QStringLiteral("Speed"));
    }

    // A Digit pasted into the RPM bar's mask gets a channel element of its
    // own: rebinding it leaves the bar on RPM in the saved file.
    void pastedValueMovesAlone()
    {
        clickOutlinerRow(outliner->topLevelItem(1)->child(1)); // Race md.01's Digit 03
        chooseChannel(QStringLiteral("RPM"));
        window->copyWidget();
        clickOutlinerRow(outliner->topLevelItem(2)); // md.02: bar 04 on RPM
        window->pasteWidget();
        clickOutlinerRow(outliner->topLevelItem(2)->child(1));
        EXPECT_SELECTION(0, 2, 1);
        const QByteArray pasted = page().masks[2].widgets[1].id.toUtf8();
        chooseChannel(QStringLiteral("Speed"));
        const QByteArray saved = saveAndRead();
        QCOMPARE(savedChannel(saved, "md.02", pasted), QStringLiteral("Speed"));
        QCOMPARE(savedChannel(saved, "md.02", "04"), QStringLiteral("RPM"));
    }

    // A scale end typed on a whole mask reaches every bar whose end differs,
    // also when the first bar has it already; one that would turn a bar's
    // scale around goes back in the field, and the status bar says why.
    void maskScaleEndReachesEveryBar()
    {
        clickOutlinerRow(row(2, 0));
        window->duplicateWidget();
        clickOutlinerRow(row(2, 1));
        auto* minSpin = control<QDoubleSpinBox>("minSpin");
        auto* maxSpin = control<QDoubleSpinBox>("maxSpin");
        typeInto(minSpin, QStringLiteral("100"));
        clickOutlinerRow(outliner->topLevelItem(2));
        EXPECT_SELECTION(0, 2, -1);
        QCOMPARE(minSpin->value(), 0.0);
        const int steps = stack->count();
        typeInto(minSpin, QStringLiteral("0"));
        QCOMPARE(stack->count(), steps + 1);
        const QByteArray saved = saveAndRead();

        typeInto(maxSpin, QStringLiteral("-5"));
        QCOMPARE(maxSpin->value(), 8000.0);
        QCOMPARE(window->statusBar()->currentMessage(),
                 QStringLiteral("Max -5 was not written: it must lie above the Min of every bar it reaches."));
        QCOMPARE(stack->count(), steps + 1);
        QVERIFY(!window->hasUnsavedChanges());
        QCOMPARE(saveAndRead(), saved);
        DashConfig reopened;
        QVERIFY(reopened.load(window->currentFile()));
        const MaskElement& bars = reopened.pages[0].masks[2];
        QCOMPARE(int(bars.widgets.size()), 2);
        for (const WidgetModel& w : bars.widgets) {
            double min = -1, max = -1;
            QVERIFY(DashConfig::barScaleRange(bars.node, min, max, w.node));
            QCOMPARE(min, 0.0);
            QCOMPARE(max, 8000.0);
        }
    }

    // Typing a scale value is one undo step, whatever the number of keys.
    void typedScaleValueIsOneStep()
    {
        clickOutlinerRow(outliner->topLevelItem(2)); // the bar, 0-8000
        typeInto(control<QDoubleSpinBox>("maxSpin"), QStringLiteral("50"));
        QCOMPARE(stack->count(), 1);
        double min = -1, max = -1;
        QVERIFY(DashConfig::barScaleRange(page().masks[2].node, min, max));
        QCOMPARE(max, 50.0);
        stack->undo();
        QVERIFY(DashConfig::barScaleRange(page().masks[2].node, min, max));
        QCOMPARE(max, 8000.0);
    }

    // Return in a field nobody changed writes nothing: the bar's Min, the
    // mask's X.
    void unchangedFieldCommitsWriteNothing()
    {
        clickOutlinerRow(outliner->topLevelItem(2)); // the bar, 0-8000
        const QByteArray before = saveAndRead();
        QVERIFY(before.contains("0-8000"));
        for (const char* name : {"minSpin", "maxSpin", "xSpin"}) {
            auto* field = control<QAbstractSpinBox>(name);
            field->setFocus();
            QTest::keyClick(field, Qt::Key_Return);
        }
        QCOMPARE(stack->count(), 0);
        QVERIFY(!window->hasUnsavedChanges());
        QCOMPARE(saveAndRead(), before);
    }

    // A value still being typed when the user presses Ctrl+S is in the
    // saved file, and the views show it: a Y, a Label's text, a rename.
    void typedValueIsSaved_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("Y") << "ySpin";
        QTest::newRow("Label Text") << "labelTextEdit";
        QTest::newRow("outliner rename") << "rename";
    }

    void typedValueIsSaved()
    {
        QFETCH(QString, field);
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        const bool y = field == QLatin1String("ySpin");
        const int mask = y ? 3 : 1; // md.03, or md.01's "02 Label SPEED"
        const int widget = y ? -1 : 0;
        clickOutlinerRow(y ? outliner->topLevelItem(3) : outliner->topLevelItem(1)->child(0));
        EXPECT_SELECTION(0, mask, widget);
        QWidget* typing = nullptr;
        if (y) {
            spin("ySpin")->setFocus();
            spin("ySpin")->selectAll();
            typing = spin("ySpin");
        } else {
            QLineEdit* edit = control<QLineEdit>("labelTextEdit");
            if (field == QLatin1String("rename")) {
                outliner->setFocus();
                outliner->editCurrentLabel();
                edit = outliner->viewport()->findChild<QLineEdit*>();
                QVERIFY(edit);
            }
            edit->setFocus();
            edit->selectAll();
            typing = edit;
        }
        QTRY_VERIFY(typing->hasFocus());
        QTest::keyClicks(typing, QStringLiteral("123"));
        QTest::keyClick(typing, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!window->hasUnsavedChanges());

        DashConfig saved;
        QVERIFY(saved.load(window->currentFile()));
        const MaskElement& savedMask = saved.pages[0].masks[size_t(mask)];
        if (y) {
            QCOMPARE(savedMask.y, 123);
            QCOMPARE(spin("ySpin")->value(), 123);
        } else {
            QCOMPARE(savedMask.widgets[0].text, QStringLiteral("123"));
            QCOMPARE(control<QLineEdit>("labelTextEdit")->text(), QStringLiteral("123"));
            QCOMPARE(outliner->topLevelItem(1)->child(0)->text(ElementListPanel::TextColumn), QStringLiteral("123"));
        }
        EXPECT_SELECTION(0, mask, widget);
    }

    // The wheel turned over panel fields that have no focus scrolls the
    // panel and changes nothing; a field the user put the focus on takes it.
    void wheelChangesOnlyAFocusedField()
    {
        window->resize(1100, 420);
        clickOutlinerRow(outliner->topLevelItem(1)->child(1)); // the Digit
        canvas->setFocus();
        const QByteArray before = ConfigSnapshot::documents(*config);
        QScrollArea* scroll = nullptr;
        for (QScrollArea* area : window->findChildren<QScrollArea*>()) {
            if (area->widget() == panel)
                scroll = area;
        }
        QVERIFY(scroll);
        QTRY_VERIFY(scroll->verticalScrollBar()->maximum() > 0);
        const int scrolled = scroll->verticalScrollBar()->value();
        auto* size = spin("valueSizeSpin");
        auto* font = control<QComboBox>("valueFontCombo");
        const int px = size->value();
        const QList<QWidget*> fields{size, font, spin("ySpin"), control<QComboBox>("alignCombo")};
        for (QWidget* field : fields)
            wheelOver(field);
        QCOMPARE(size->value(), px);
        QCOMPARE(ConfigSnapshot::documents(*config), before);
        QVERIFY(!window->hasUnsavedChanges());
        QVERIFY(scroll->verticalScrollBar()->value() > scrolled);

        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        size->setFocus();
        QTRY_VERIFY(size->hasFocus());
        wheelOver(size);
        QCOMPARE(size->value(), px - 1);
    }
};

QTEST_MAIN(SelectionFieldsTest)
#include "tst_selectionfields.moc"
