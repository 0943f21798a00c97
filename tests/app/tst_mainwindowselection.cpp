#include "window/MainWindow.h"
#include "canvas/DashCanvas.h"
#include "editing/MultiBoxCellRequest.h"
#include "model/XmlParams.h"
#include "panels/ElementListPanel.h"
#include "panels/PageListPanel.h"
#include "panels/PropertyPanel.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"

#include <QLabel>
#include <QStatusBar>
#include <QUndoStack>
#include <QtTest>

#include <memory>

// The window's selection handlers and its small page and mask actions, on a
// shown window opened on a copy of the demo configuration.
class MainWindowSelectionTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> m_rs3;
    std::unique_ptr<MainWindow> window;
    DashCanvas* canvas = nullptr;
    DashConfig* config = nullptr;
    QUndoStack* stack = nullptr;

    QString status() const { return window->statusBar()->currentMessage(); }
    QString shownId() const { return window->findChild<QLabel*>(QStringLiteral("idLabel"))->text(); }
    MaskElement& mask(int page, int index) { return config->pages[size_t(page)].masks[size_t(index)]; }

    void select(int maskIndex, int widgetIndex = -1)
    {
        canvas->setSelectedMask(maskIndex);
        canvas->setSelectedWidget(widgetIndex);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_rs3 = std::make_unique<Rs3Fixture>();
        m_rs3->addDeviceFolder(Rs3Fixture::Stable, QStringLiteral("mxg_12"));
        m_rs3->addDeviceFolder(Rs3Fixture::Beta, QStringLiteral("mxg_12"));
    }

    void init()
    {
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        QVERIFY(!path.isEmpty());
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->loadConfig(path);
        canvas = window->findChild<DashCanvas*>();
        config = canvas->config;
        stack = window->findChild<QUndoStack*>();
        QCOMPARE(config->pageCount(), 3);
        QTRY_VERIFY(canvas->viewScale() > 0.3);
    }

    void cleanup() { window.reset(); }

    void canvasAndOutlinerSelection()
    {
        auto* outliner = window->findChild<ElementListPanel*>();
        const QPoint inside = canvas->maskRect(mask(0, 3)).center().toPoint();
        QTest::mouseClick(canvas, Qt::LeftButton, {}, inside);
        QCOMPARE(canvas->selectedMask(), 3);
        QCOMPARE(shownId(), mask(0, 3).id);
        QCOMPARE(outliner->indexOfTopLevelItem(outliner->currentItem()), 3);

        // A widget row: mask and widget are selected on the canvas first, so
        // the panel shows the widget of that mask.
        QTreeWidgetItem* row = outliner->topLevelItem(1)->child(0);
        QVERIFY(row);
        outliner->scrollToItem(row);
        QTest::mouseClick(outliner->viewport(), Qt::LeftButton, {}, outliner->visualItemRect(row).center());
        QCOMPARE(canvas->selectedMask(), 1);
        QCOMPARE(canvas->selectedWidget(), 0);

        window->findChild<PageListPanel*>()->setCurrentRow(2);
        QCOMPARE(window->currentPageIndex(), 2);
        QCOMPARE(outliner->topLevelItemCount(), int(config->pages[2].masks.size()));
        QCOMPARE(shownId(), QStringLiteral("--"));

        window->onPageSelected(9);
        QCOMPARE(window->currentPageIndex(), 9);
        QCOMPARE(outliner->topLevelItemCount(), int(config->pages[2].masks.size()));
        QCOMPARE(shownId(), QStringLiteral("--"));
    }

    void valueAlignment()
    {
        select(1, 1); // the Digit of the value box
        const QString before = mask(0, 1).widgets[1].posAlign;
        const QString other = before == QStringLiteral("hl") ? QStringLiteral("hr") : QStringLiteral("hl");
        Q_EMIT window->findChild<PropertyPanel*>()->valueAlignmentChanged(before);
        QCOMPARE(stack->count(), 0);
        Q_EMIT window->findChild<PropertyPanel*>()->valueAlignmentChanged(other);
        QCOMPARE(stack->count(), 1);
        QCOMPARE(mask(0, 1).widgets[1].posAlign, other);
        stack->undo();
        QCOMPARE(mask(0, 1).widgets[1].posAlign, before);
    }

    void rebindMask()
    {
        QVERIFY(!config->channels.empty());
        ChannelInfo channel = config->channels.front();
        config->fidRanges.insert(channel.fid, FidRange{0.0, 321.0});
        select(2); // the bar, no widget
        window->bindWidgetToChannel(channel);
        const QString name = channel.longName.isEmpty() ? channel.shortName : channel.longName;
        QCOMPARE(status(), QStringLiteral("Bound to \"%1\"").arg(name));
        double lo = 0, hi = 0;
        QVERIFY(DashConfig::barScaleRange(mask(0, 2).node, lo, hi));
        QCOMPARE(hi, 321.0);
        QCOMPARE(stack->count(), 0);
        QVERIFY(window->hasUnsavedChanges());

        window->statusBar()->showMessage(QStringLiteral("before"));
        Q_EMIT window->findChild<PropertyPanel*>()->channelRebindRequested(config->channels.back());
        QCOMPARE(status(), QStringLiteral("before"));
    }

    void deleteAndRename()
    {
        const int masks = int(config->pages[0].masks.size());
        for (int k = masks - 1; k >= 0; --k) {
            Q_EMIT canvas->deleteRequested(0);
            QCOMPARE(status(), QStringLiteral("Deleted element -- %1 remaining on page").arg(k));
        }
        QCOMPARE(stack->count(), masks);
        Q_EMIT canvas->deleteRequested(0);
        QCOMPARE(stack->count(), masks);

        stack->clear();
        window->onPageSelected(1);
        const QString text = mask(1, 1).widgets[0].text;
        auto* outliner = window->findChild<ElementListPanel*>();
        Q_EMIT outliner->labelTextChanged(1, 0, text, QString());
        Q_EMIT outliner->labelTextChanged(1, 0, text, text);
        QCOMPARE(stack->count(), 0);
        Q_EMIT outliner->labelTextChanged(1, 0, text, QStringLiteral("Oil"));
        QCOMPARE(stack->count(), 1);
        QCOMPARE(stack->text(0), QStringLiteral("Rename Label"));
        QCOMPARE(status(), QStringLiteral("Renamed label"));
    }

    // A drag of the box's corner: the canvas's one command lays the cells
    // out; the window only re-reads them.
    void multiBoxResizeOnCanvas()
    {
        std::vector<MultiBoxCellRequest> cells(4, MultiBoxCellRequest{QStringLiteral("RPM"), QStringLiteral("C"), true});
        const int index = config->addMultiBox(0, 2, 2, QStringLiteral("left"), cells, QRect(100, 120, 300, 160));
        QVERIFY(index >= 0);
        window->onPageSelected(0);
        select(index);
        const QPoint from = canvas->maskRect(mask(0, index)).bottomRight().toPoint();
        const QPoint to = from + QPoint(int(100 * canvas->viewScale()), int(60 * canvas->viewScale()));
        const int cellY = paramInt(mask(0, index).widgets.back().node, "YPOS");
        QTest::mousePress(canvas, Qt::LeftButton, {}, from);
        QTest::mouseMove(canvas, to);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, to);
        QCOMPARE(stack->count(), 1);
        QVERIFY(mask(0, index).w > 350);
        QVERIFY(mask(0, index).widgets.back().y != cellY);
        QCOMPARE(mask(0, index).widgets.back().y, paramInt(mask(0, index).widgets.back().node, "YPOS"));

        config->fitWarning = QStringLiteral("could not fit");
        Q_EMIT canvas->elementResized(1, 10, 10);
        QCOMPARE(status(), QStringLiteral("could not fit"));
        QVERIFY(config->takePendingStatus().isEmpty());
    }

    // Delete pressed while a mask is being dragged: the drag ends at its
    // start first, so the delete is the only step and its undo gives the
    // mask back where the drag began, in the records and in the XML.
    void deleteDuringDragUndoesToTheStart()
    {
        window->onPageSelected(0);
        const QPoint from = canvas->maskRect(mask(0, 3)).center().toPoint();
        QTest::mousePress(canvas, Qt::LeftButton, {}, from);
        const int index = canvas->selectedMask();
        QVERIFY(index >= 0);
        const QRect start(mask(0, index).x, mask(0, index).y, mask(0, index).w, mask(0, index).h);
        const QPoint to = from + QPoint(int(40 * canvas->viewScale()), int(30 * canvas->viewScale()));
        QTest::mouseMove(canvas, to);
        QVERIFY(mask(0, index).x != start.x() || mask(0, index).y != start.y());
        QTest::keyClick(canvas, Qt::Key_Delete);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, to);
        QCOMPARE(stack->count(), 1);

        stack->undo();
        QVERIFY(!stack->canUndo());
        const MaskElement& back = mask(0, index);
        QCOMPARE(QRect(back.x, back.y, back.w, back.h), start);
        QCOMPARE(paramInt(back.node, "XPOS"), start.x());
        QCOMPARE(paramInt(back.node, "YPOS"), start.y());
    }

    void fontReport_data()
    {
        QTest::addColumn<QList<int>>("sizes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("between") << QList<int>{24, 16}
                                 << "Element scaled to 20px; bundled fonts: {16, 24}. Nearest: 16, 24.";
        QTest::newRow("within a pixel") << QList<int>{16, 21, 24} << "";
        QTest::newRow("all below") << QList<int>{8, 12} << "Element scaled to 20px; bundled fonts: {8, 12}. Nearest: 12.";
    }
    void fontReport()
    {
        QFETCH(QList<int>, sizes);
        QFETCH(QString, expected);
        window->onPageSelected(2);
        MaskElement& digit = mask(2, 3);
        digit.h = 50;
        digit.digitPx = 0;
        QCOMPARE(digit.kind, int(MaskDigit));
        const int file = config->pages[2].deviceFileIndex;
        config->fontFolders = QStringList(file + 1, QStringLiteral("/nowhere"));
        config->fontSizeSets.assign(size_t(file + 1), QSet<int>(sizes.begin(), sizes.end()));
        config->fontSizesScanned.assign(size_t(file + 1), true);
        window->statusBar()->clearMessage();
        window->onElementSelected(3);
        QCOMPARE(status(), expected);
    }

    void textColour_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QColor>("answer");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<int>("pushed");
        QTest::newRow("half red, same") << "0x80ff0000" << QColor(255, 0, 0, 128) << "#80ff0000" << 0;
        QTest::newRow("upper case, same") << "0x80FF0000" << QColor(255, 0, 0, 128) << "#80ff0000" << 1;
        QTest::newRow("other") << "0xff00ff00" << QColor(0, 0, 255) << "#ff00ff00" << 1;
        QTest::newRow("nothing stored") << "" << QColor(1, 2, 3) << "#ffffffff" << 1;
    }
    void textColour()
    {
        QFETCH(QString, stored);
        QFETCH(QColor, answer);
        ScriptedAsker asker;
        asker.colors = {answer};
        if (!stored.isEmpty())
            QVERIFY(config->setTextColour(0, 1, 1, stored));
        window->pickTextColour(1, 1);
        QCOMPARE(asker.count(QStringLiteral("color")), 1);
        QTEST(asker.asked.first().text, "opened");
        QTEST(stack->count(), "pushed");
        if (stack->count())
            QCOMPARE(config->textColour(0, 1, 1), QStringLiteral("0x%1").arg(answer.rgba(), 8, 16, QLatin1Char('0')));
        window->pickTextColour(1, 9);
        window->pickTextColour(7, 0);
        QCOMPARE(asker.count(QStringLiteral("color")), 1);
    }

    void canonicalSize()
    {
        const QString rel = QStringLiteral("aim/resources/overlay/mxg_12/Items/beta_only/");
        QVERIFY(m_rs3->addArtItem(Rs3Fixture::Beta, rel, QSize(300, 50)));
        setParam(mask(0, 2).node, "PATH_REL_AiM_MASK", rel.toUtf8());
        select(2);
        window->snapToCanonicalSize();
        QCOMPARE(stack->count(), 1);
        QCOMPARE(mask(0, 2).w, 300);
        QCOMPARE(mask(0, 2).h, 50);
        QCOMPARE(status(), QStringLiteral("Resized \"%1\" to canonical 300x50").arg(mask(0, 2).id));
        window->snapToCanonicalSize();
        QCOMPARE(status(), QStringLiteral("Already at canonical size (300x50)"));

        const QString climbing = QStringLiteral("aim/resources/overlay/mxg_12/../../../../x/");
        setParam(mask(0, 2).node, "PATH_REL_AiM_MASK", climbing.toUtf8());
        window->snapToCanonicalSize();
        QCOMPARE(status(), QStringLiteral("Could not locate mask.png for canonical size at %1").arg(climbing));
        QCOMPARE(stack->count(), 1);
    }

    void sendToBack()
    {
        const QString id = mask(0, 2).id;
        select(2);
        window->sendToBack();
        QCOMPARE(mask(0, 0).id, id);
        QCOMPARE(status(), QStringLiteral("Sent \"%1\" to back").arg(id));
        QCOMPARE(canvas->selectedMask(), 0);
        window->sendToBack();
        QCOMPARE(status(), QStringLiteral("Already at back"));
        QCOMPARE(stack->count(), 1);

        setParam(mask(0, 0).node, "ORDINE", "9");
        window->sendToBack();
        QCOMPARE(status(), QStringLiteral("Sent to back"));
        QCOMPARE(stack->count(), 2);
        QCOMPARE(config->maskOrders(0), (std::vector<int>{1, 2, 3, 4}));
    }

    void selectAll()
    {
        const auto& masks = config->pages[0].masks;
        int best = 0;
        for (int i = 0; i < int(masks.size()); ++i)
            if (masks[size_t(i)].widgets.size() > masks[size_t(best)].widgets.size())
                best = i;
        int empty = -1;
        for (int i = 0; i < int(masks.size()); ++i)
            if (masks[size_t(i)].widgets.empty())
                empty = i;
        QVERIFY(empty >= 0);
        select(empty);
        window->selectAllWidgets();
        QCOMPARE(canvas->selectedMask(), best);
        QCOMPARE(status(), QStringLiteral("Selected %1 widgets in mask \"%2\" (page has %3 masks -- Ctrl+A targets "
                                          "the one with most widgets)")
                               .arg(masks[size_t(best)].widgets.size())
                               .arg(masks[size_t(best)].id)
                               .arg(masks.size()));
    }

    void pageBackground()
    {
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("bg"));
        QImage exact(800, 480, QImage::Format_RGB32);
        exact.fill(Qt::darkBlue);
        QVERIFY(exact.save(dir + QStringLiteral("/exact.png")));
        QImage small(400, 300, QImage::Format_RGB32);
        small.fill(Qt::darkGreen);
        QVERIFY(small.save(dir + QStringLiteral("/small.png")));

        ScriptedAsker asker;
        asker.fileNames = {dir + QStringLiteral("/small.png"), dir + QStringLiteral("/exact.png")};
        asker.buttons = {QMessageBox::No};
        window->setPageBackground();
        QCOMPARE(asker.asked.last().title, QStringLiteral("Resize the image?"));
        QCOMPARE(stack->count(), 0);

        window->setPageBackground();
        QCOMPARE(asker.count(QStringLiteral("message")), 1);
        QCOMPARE(stack->count(), 1);
        QVERIFY(status().startsWith(QStringLiteral("Background set.")));
    }
};

KORV_TEST_MAIN(MainWindowSelectionTest)
#include "tst_mainwindowselection.moc"
