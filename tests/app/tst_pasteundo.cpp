#include "window/MainWindow.h"
#include "window/WidgetClipboard.h"
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
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>
#include <QUndoStack>
#include <QtTest>

namespace {

// Two pages that repeat their masks' ids, as RS3's own pages do: each holds
// the box md.04, a caption and a Digit on Speed.
QString gridConfigPath()
{
    ConfigFixture cfg;
    cfg.channel(1, "RPM", "RPM", "rpm");
    cfg.channel(2, "Speed", "SPD", "km/h");
    cfg.channel(3, "Water Temp", "WT", "C");
    for (const char* name : {"Grid A", "Grid B"}) {
        cfg.device().page(QString::fromLatin1(name)).mask(
            Fx::mask("md.04", 100, 100, 300, 120)
                .add(Fx::axis("00", "Speed", "SPD", "km/h").p("fid", 2))
                .add(Fx::label("01", "SPEED", 10, 10, 120, 24))
                .add(Fx::digit("02", 10, 40, 200, 50, "00")));
    }
    return cfg.writeTempZip();
}

// A multi-value box of two cells as Insert Element makes them: Speed, RPM.
QString multiBoxConfigPath()
{
    ConfigFixture cfg;
    cfg.channel(1, "RPM", "RPM", "rpm");
    cfg.channel(2, "Speed", "SPD", "km/h");
    cfg.channel(3, "Water Temp", "WT", "C");
    cfg.device().page("Box").mask(Fx::mask("mbox.1", 100, 100, 300, 120)
                                      .add(Fx::axis("00", "Speed", "SPD", "km/h").p("fid", 2))
                                      .add(Fx::label("00_L", "SPEED", 0, 40, 150, 40))
                                      .add(Fx::digit("00_z", 0, 120, 150, 80, "00"))
                                      .add(Fx::axis("01", "RPM", "RPM", "rpm").p("fid", 1))
                                      .add(Fx::label("01_L", "RPM", 150, 40, 150, 40))
                                      .add(Fx::digit("01_z", 150, 120, 150, 80, "01")));
    return cfg.writeTempZip();
}

QByteArray savedDeviceXml(const QString& path)
{
    const QMap<QString, QByteArray> entries = ZipFixture::readZip(path);
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it.key().endsWith(QLatin1String("/overlay.ov3.xml")))
            return it.value();
    }
    return QByteArrayLiteral("<no device file>");
}

pugi::xml_node childElement(pugi::xml_node parent, const char* cls, const QByteArray& id = QByteArray())
{
    for (pugi::xml_node e = parent.child("e"); e; e = e.next_sibling("e")) {
        if ((!cls || hasClass(e, cls)) && (id.isNull() || id == e.attribute("i").value()))
            return e;
    }
    return {};
}

// One saved device file, read as the logger would: element `id` of mask
// `mask` on the page-th page.
class SavedFile {
public:
    explicit SavedFile(const QByteArray& xml) { m_ok = bool(m_doc.load_buffer(xml.constData(), size_t(xml.size()))); }

    pugi::xml_node element(int page, const char* mask, const QByteArray& id) const
    {
        std::vector<pugi::xml_node> pages;
        m_doc.find_node([&pages](pugi::xml_node n) {
            if (hasClass(n, "GPageParam"))
                pages.push_back(n);
            return false;
        });
        if (!m_ok || page >= int(pages.size()))
            return {};
        const pugi::xml_node m = childElement(pages[size_t(page)], "GMaskParam", mask);
        for (pugi::xml_node e = m.child("e"); e; e = e.next_sibling("e")) {
            if (id == e.attribute("i").value() && !hasClass(e, "Axis"))
                return e;
        }
        return {};
    }

    // The channel (long name) the element shows: the Axis its AXIS_REF names.
    QString channel(int page, const char* mask, const QByteArray& id) const
    {
        const pugi::xml_node e = element(page, mask, id);
        if (!e)
            return QStringLiteral("<no element %1>").arg(QString::fromUtf8(id));
        const pugi::xml_node axis = childElement(e.parent(), "Axis", paramValue(e, "AXIS_REF"));
        return axis ? QString::fromUtf8(paramValue(axis, "lnm")) : QStringLiteral("<no channel element>");
    }

    QByteArray param(int page, const char* mask, const QByteArray& id, const char* name) const
    {
        return paramValue(element(page, mask, id), name);
    }

private:
    pugi::xml_document m_doc;
    bool m_ok = false;
};

} // namespace

// A paste's undo takes back the paste and nothing made after it; widgets
// pasted together stay together; a value bar shows the value it was added
// to; and after a command from a panel button the window's Undo key reaches
// the document. Every result is read from the file the window saved.
class PasteUndoTest : public QObject, SelectionViews {
    Q_OBJECT

private:
    template <typename T> T* control(const char* name) const { return panel->findChild<T*>(QLatin1String(name)); }

    void chooseChannel(const QString& name)
    {
        auto* combo = control<QComboBox>("channelCombo");
        for (int r = 0; r < combo->count(); ++r) {
            if (combo->itemText(r).startsWith(name))
                return combo->setCurrentIndex(r);
        }
        QFAIL("no such channel");
    }

    // A click on a panel button, scrolled into view first as a user would.
    void clickPanelButton(QPushButton* button)
    {
        for (QScrollArea* area : window->findChildren<QScrollArea*>()) {
            if (area->widget() == panel)
                area->ensureWidgetVisible(button);
        }
        QTRY_VERIFY(button->height() > 4);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    QTreeWidgetItem* row(int mask, int widget) const { return outliner->topLevelItem(mask)->child(widget); }

    SavedFile saved()
    {
        return SavedFile(window->save() ? savedDeviceXml(window->currentFile()) : QByteArray("<save failed>"));
    }

    QByteArray widgetId(int mask, int widget) const { return page().masks[size_t(mask)].widgets[size_t(widget)].id.toUtf8(); }

    void acceptDialogs()
    {
        asker->onExec = [](QDialog* dialog) {
            dialog->accept();
            return dialog->result();
        };
    }

private Q_SLOTS:
    void initTestCase() { makeInstall(); }
    void init() { openDemo(); }
    void cleanup() { closeDemo(); }

    // Race md.01's Digit (Speed) pasted into Laps md.03 (Gear), then an
    // edit the history does not hold; Undo takes the paste back and only
    // the paste, Redo brings back the pasted Digit with the channel it
    // was given.
    void undoTakesBackOnlyThePaste_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("ownChannel"); // Laps md.03's own Digit 06
        QTest::addColumn<QByteArray>("ownSize");
        QTest::addColumn<QString>("pastedChannel"); // after the redo
        QTest::newRow("own Digit bound to RPM") << "bind own" << "RPM" << QByteArray("64") << "Speed";
        QTest::newRow("own Digit value size 40") << "size own" << "Gear" << QByteArray("40") << "Speed";
        QTest::newRow("pasted Digit bound to Water Temp") << "bind pasted" << "Gear" << QByteArray("64") << "Water Temp";
    }
    void undoTakesBackOnlyThePaste()
    {
        QFETCH(QString, edit);
        QFETCH(QString, ownChannel);
        QFETCH(QByteArray, ownSize);
        QFETCH(QString, pastedChannel);
        clickOutlinerRow(row(1, 1)); // Race md.01's Digit 03
        window->copyWidget();
        pageList->setCurrentRow(2);
        clickOutlinerRow(outliner->topLevelItem(3)); // Laps md.03: Digit 06 on Gear
        EXPECT_SELECTION(2, 3, -1);
        window->pasteWidget();
        QCOMPARE(int(page().masks[3].widgets.size()), 2);
        const QByteArray pasted = widgetId(3, 1);

        if (edit == QLatin1String("bind pasted")) {
            clickOutlinerRow(row(3, 1));
            EXPECT_SELECTION(2, 3, 1);
            chooseChannel(QStringLiteral("Water Temp"));
        } else {
            clickOutlinerRow(row(3, 0));
            EXPECT_SELECTION(2, 3, 0);
            if (edit == QLatin1String("bind own"))
                chooseChannel(QStringLiteral("RPM"));
            else
                typeInto(spin("valueSizeSpin"), QStringLiteral("40"));
        }

        window->stepHistory(true);
        SavedFile undone = saved();
        QCOMPARE(undone.channel(2, "md.03", "06"), ownChannel);
        QCOMPARE(undone.param(2, "md.03", "06", "CHARSET_DIM"), ownSize);
        QVERIFY(!undone.element(2, "md.03", pasted));

        window->stepHistory(false);
        SavedFile redone = saved();
        QCOMPARE(redone.channel(2, "md.03", "06"), ownChannel);
        QCOMPARE(redone.param(2, "md.03", "06", "CHARSET_DIM"), ownSize);
        QCOMPARE(redone.channel(2, "md.03", pasted), pastedChannel);
        // The race page's Digit never moved.
        QCOMPARE(redone.channel(0, "md.01", "03"), QStringLiteral("Speed"));
    }

    // A Digit, its caption and its value bar pasted into a box that shows
    // the same channel: the pasted bar follows the pasted Digit alone,
    // whichever Digit is rebound first, and also when it came from another
    // file through the clipboard.
    void pastedBarFollowsPastedValue_data()
    {
        QTest::addColumn<bool>("fromDemo");
        QTest::addColumn<bool>("ownFirst");
        QTest::newRow("same file, pasted Digit rebound first") << false << false;
        QTest::newRow("same file, own Digit rebound first") << false << true;
        QTest::newRow("another file, pasted Digit rebound first") << true << false;
        QTest::newRow("another file, own Digit rebound first") << true << true;
    }
    void pastedBarFollowsPastedValue()
    {
        QFETCH(bool, fromDemo);
        QFETCH(bool, ownFirst);
        acceptDialogs();
        const QString grid = gridConfigPath();
        const int sourceMask = fromDemo ? 1 : 0; // Race md.01, or Grid A md.04
        if (!fromDemo)
            window->loadConfig(grid);
        clickOutlinerRow(row(sourceMask, 1)); // the Digit
        window->addValueBar(sourceMask);
        QCOMPARE(int(page().masks[size_t(sourceMask)].widgets.size()), 3);
        clickOutlinerRow(outliner->topLevelItem(sourceMask));
        canvas->selectAllWidgets();
        window->copyWidget();
        QCOMPARE(int(widgetClipboard().entries.size()), 3);
        if (fromDemo)
            window->loadConfig(grid);
        pageList->setCurrentRow(1);
        clickOutlinerRow(outliner->topLevelItem(0)); // Grid B md.04
        EXPECT_SELECTION(1, 0, -1);
        window->pasteWidget();
        const MaskElement& target = page().masks[0];
        QCOMPARE(int(target.widgets.size()), 5);
        int pastedDigit = -1;
        QByteArray pastedBar;
        for (int w = 2; w < 5; ++w) {
            if (target.widgets[size_t(w)].kind == WidgetDigit)
                pastedDigit = w;
            else if (target.widgets[size_t(w)].kind == WidgetBargraph)
                pastedBar = widgetId(0, w);
        }
        QVERIFY(pastedDigit >= 0);
        QVERIFY(!pastedBar.isEmpty());
        const QByteArray pasted = widgetId(0, pastedDigit);

        const auto bindOwn = [&] {
            clickOutlinerRow(row(0, 1));
            EXPECT_SELECTION(1, 0, 1);
            chooseChannel(QStringLiteral("Water Temp"));
        };
        const auto bindPasted = [&] {
            clickOutlinerRow(row(0, pastedDigit));
            EXPECT_SELECTION(1, 0, pastedDigit);
            chooseChannel(QStringLiteral("RPM"));
        };
        ownFirst ? bindOwn() : bindPasted();
        SavedFile half = saved();
        const QString pastedNow = ownFirst ? QStringLiteral("Speed") : QStringLiteral("RPM");
        QCOMPARE(half.channel(1, "md.04", "02"), ownFirst ? QStringLiteral("Water Temp") : QStringLiteral("Speed"));
        QCOMPARE(half.channel(1, "md.04", pasted), pastedNow);
        QCOMPARE(half.channel(1, "md.04", pastedBar), pastedNow);

        ownFirst ? bindPasted() : bindOwn();
        SavedFile both = saved();
        QCOMPARE(both.channel(1, "md.04", "02"), QStringLiteral("Water Temp"));
        QCOMPARE(both.channel(1, "md.04", pasted), QStringLiteral("RPM"));
        QCOMPARE(both.channel(1, "md.04", pastedBar), QStringLiteral("RPM"));
        // The page the widgets came from keeps its own.
        if (!fromDemo)
            QCOMPARE(both.channel(0, "md.04", "02"), QStringLiteral("Speed"));
    }

    // Add value bar shows the Digit the user chose: the selected one, the
    // one whose menu offered it, else the box's first. In a multi-value box
    // the bar is in no cell's group, so it is rebound alone.
    void valueBarShowsTheChosenDigit_data()
    {
        QTest::addColumn<int>("selected"); // widget selected first, -1: the box
        QTest::addColumn<int>("menuDigit"); // the Digit whose menu was used, -1: none
        QTest::addColumn<QString>("channel");
        QTest::newRow("box selected: first Digit") << -1 << -1 << "Speed";
        QTest::newRow("second Digit selected") << 3 << -1 << "RPM";
        QTest::newRow("second Digit's own menu") << -1 << 3 << "RPM";
    }
    void valueBarShowsTheChosenDigit()
    {
        QFETCH(int, selected);
        QFETCH(int, menuDigit);
        QFETCH(QString, channel);
        acceptDialogs();
        window->loadConfig(multiBoxConfigPath());
        clickOutlinerRow(selected < 0 ? outliner->topLevelItem(0) : row(0, selected));
        if (menuDigit < 0) {
            window->addValueBar(0);
        } else {
            // A right click on the Digit, and its menu's entry.
            QTimer::singleShot(0, canvas, [] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                QAction* chosen = nullptr;
                for (QAction* action : menu ? menu->actions() : QList<QAction*>()) {
                    if (action->text() == QStringLiteral("Add value bar\u2026"))
                        chosen = action;
                }
                if (menu)
                    menu->close();
                if (chosen)
                    chosen->trigger();
            });
            const QPoint at = canvas->widgetRect(page().masks[0], page().masks[0].widgets[size_t(menuDigit)])
                                  .center()
                                  .toPoint();
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, canvas->mapToGlobal(at));
            QApplication::sendEvent(canvas, &event);
        }
        const MaskElement& box = page().masks[0];
        QCOMPARE(int(box.widgets.size()), 5);
        const QByteArray bar = widgetId(0, 4);
        QVERIFY2(!bar.startsWith("00_") && !bar.startsWith("01_"), bar.constData());
        QVERIFY(bar.endsWith("_000barg"));
        QCOMPARE(saved().channel(0, "mbox.1", bar), channel);

        clickOutlinerRow(row(0, 4));
        EXPECT_SELECTION(0, 0, 4);
        chooseChannel(QStringLiteral("Water Temp"));
        SavedFile file = saved();
        QCOMPARE(file.channel(0, "mbox.1", bar), QStringLiteral("Water Temp"));
        QCOMPARE(file.channel(0, "mbox.1", "00_z"), QStringLiteral("Speed"));
        QCOMPARE(file.channel(0, "mbox.1", "01_z"), QStringLiteral("RPM"));
    }

    // After Color... and Remove color (panel buttons the command hides), the
    // Undo key pressed where the keys now are takes the step back.
    void undoKeyReachesTheDocumentAfterAPanelButton_data()
    {
        QTest::addColumn<QString>("start"); // where the user chose the bar
        QTest::newRow("chosen in the outliner") << "outliner";
        QTest::newRow("chosen on the canvas") << "canvas";
    }
    void undoKeyReachesTheDocumentAfterAPanelButton()
    {
        QFETCH(QString, start);
        QVERIFY(m_rs3->addDemoStock(Rs3Fixture::Stable)); // the stock bar art the colouring starts from
        window->resize(1280, 1000); // room for the panel's bar group
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        const MaskElement& bars = page().masks[2]; // Race md.02: bar 04 on RPM
        if (start == QLatin1String("outliner")) {
            clickOutlinerRow(outliner->topLevelItem(2));
        } else {
            QTest::mouseClick(canvas, Qt::LeftButton, {}, canvas->maskRect(bars).center().toPoint());
        }
        EXPECT_SELECTION(0, 2, -1);
        QTRY_VERIFY(start == QLatin1String("outliner") ? outliner->hasFocus() : canvas->hasFocus());
        const QByteArray before = ConfigSnapshot::documents(*config);

        auto* colour = control<QPushButton>("barColorButton");
        QTRY_VERIFY(colour->isVisible());
        clickPanelButton(colour);
        QCOMPARE(stack->count(), 1);
        const QByteArray coloured = ConfigSnapshot::documents(*config);
        QVERIFY(coloured != before);
        clickOutlinerRow(outliner->topLevelItem(2));
        if (start == QLatin1String("canvas"))
            canvas->setFocus();
        auto* remove = control<QPushButton>("barColorRemoveButton");
        QTRY_VERIFY(remove->isVisible() && remove->isEnabled());
        clickPanelButton(remove);
        QVERIFY2(stack->count() == 2, qPrintable(window->statusBar()->currentMessage()));

        QWidget* keys = QApplication::focusWidget();
        QVERIFY(keys);
        QVERIFY2(keys != window->findChild<QLineEdit*>(QStringLiteral("outlinerFilter")),
                 "the keys went to the outliner's filter");
        QTest::keyClick(keys, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(stack->index(), 1);
        QCOMPARE(ConfigSnapshot::documents(*config), coloured);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(stack->index(), 0);
        QCOMPARE(ConfigSnapshot::documents(*config), before);
    }
};

QTEST_MAIN(PasteUndoTest)
#include "tst_pasteundo.moc"
