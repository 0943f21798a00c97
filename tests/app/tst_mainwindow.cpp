#include "window/MainWindow.h"
#include "app/WindowedStart.h"
#include "canvas/DashCanvas.h"
#include "editing/NewPageCommand.h"
#include "panels/ElementListPanel.h"
#include "panels/PageListPanel.h"
#include "panels/PropertyPanel.h"
#include "support/ConfigFixture.h"
#include "support/PixelProbe.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QShortcut>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QSlider>
#include <QStatusBar>
#include <QToolBar>
#include <QUndoStack>
#include <QtTest>

#include <memory>

// The main window on a copy of the demo configuration, driven as a user
// does: the start from the command line, the menus, a drag and the close.
class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> m_rs3;

    QString demoCopy()
    {
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        if (path.isEmpty())
            qFatal("the demo configuration is not built");
        return path;
    }

    static QByteArray bytesOf(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static QPoint onCanvas(DashCanvas* canvas, QPointF pagePoint)
    {
        return (canvas->pageOrigin() + pagePoint * canvas->viewScale()).toPoint();
    }

    // A window shown and opened on a copy of the demo through the start-up
    // road; the caller owns it.
    std::unique_ptr<MainWindow> openedWindow(const QString& path)
    {
        auto window = std::make_unique<MainWindow>();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return nullptr;
        WindowedStart::scan({QStringLiteral("korvelanto"), path}).schedule(*window);
        if (!QTest::qWaitFor([&] { return window->findChild<PageListPanel*>()->count() == 3; }))
            return nullptr;
        return window;
    }

private Q_SLOTS:
    void initTestCase() { m_rs3 = std::make_unique<Rs3Fixture>(); }

    // Before a file is open nothing is selected: the panel shows no
    // number, no font, no colour and no bare unit.
    void panelIsBlankBeforeAFileIsOpen()
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* panel = window.findChild<PropertyPanel*>();
        for (const char* name : {"xSpin", "ySpin", "wSpin", "hSpin", "valueSizeSpin"})
            QVERIFY2(panel->findChild<QSpinBox*>(name)->text().trimmed().isEmpty(), name);
        QCOMPARE(panel->findChild<QComboBox*>("valueFontCombo")->currentText(), QString());
        QCOMPARE(panel->findChild<QPushButton*>("valueColorButton")->text(), QString());
    }

    void argumentScan_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("slug");
        QTest::addColumn<QString>("nonce");
        QTest::newRow("first of two files, any case") << QStringList{"a.ZCONF2", "b.zconf2"} << "a.ZCONF2" << "" << "";
        QTest::newRow("zconfig") << QStringList{"x.txt", "c.zconfig"} << "c.zconfig" << "" << "";
        QTest::newRow("dash never a file") << QStringList{"-a.zconf2", "--b.zconf2"} << "" << "" << "";
        QTest::newRow("option value counts") << QStringList{"--input", "in.zconf2"} << "in.zconf2" << "" << "";
        QTest::newRow("unknown option ignored") << QStringList{"--bogus", "a.zconf2"} << "a.zconf2" << "" << "";
        QTest::newRow("link stops the scan")
            << QStringList{"dashtheme://install/neon?nonce=n1", "a.zconf2"} << "" << "neon" << "n1";
        QTest::newRow("link in any case")
            << QStringList{"DashTheme://INSTALL/neon?nonce=n1"} << "" << "neon" << "n1";
        QTest::newRow("file before a link without nonce")
            << QStringList{"a.zconf2", "dashtheme://install/neon"} << "a.zconf2" << "neon" << "";
        QTest::newRow("not an install link")
            << QStringList{"dashtheme://other/neon?nonce=n1", "b.zconf2"} << "" << "" << "";
        QTest::newRow("nothing") << QStringList{} << "" << "" << "";
    }

    void argumentScan()
    {
        QFETCH(QStringList, args);
        args.prepend(QStringLiteral("korvelanto"));
        const WindowedStart start = WindowedStart::scan(args);
        QTEST(start.filePath, "file");
        QTEST(start.slug, "slug");
        QTEST(start.nonce, "nonce");
    }

    void windowedStartShowsFirstPage()
    {
        ScriptedAsker asker;
        auto window = openedWindow(demoCopy());
        QVERIFY(window);
        QCOMPARE(asker.asked.size(), 0);
        QCOMPARE(window->currentPageIndex(), 0);
        auto* canvas = window->findChild<DashCanvas*>();
        QTRY_VERIFY(canvas->viewScale() > 0.3);
        const QImage img = canvas->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const qreal s = canvas->viewScale();
        const QRect page(canvas->pageOrigin().toPoint(), QSize(int(800 * s), int(480 * s)));
        // Page 0 of the demo: the red needle of the Analog gauge and the amber
        // footer label.
        QVERIFY(PixelProbe::countNear(img, page, QColor(255, 48, 48), 12) > 10);
        const QRect footer(onCanvas(canvas, {30, 410}), onCanvas(canvas, {790, 460}));
        QVERIFY(PixelProbe::countNear(img, footer, QColor(255, 191, 0), 12) > 10);
        QVERIFY(window->windowTitle().startsWith(QStringLiteral("Korvelanto")));

        // The whole window, kept under the build folder for a person to look at.
        const QString binary = qEnvironmentVariable("KORV_BINARY_DIR");
        if (!binary.isEmpty() && QDir().mkpath(binary + QStringLiteral("/window-grabs")))
            window->grab().save(binary + QStringLiteral("/window-grabs/mainwindow-demo.png"));
    }

    // A link the gallery did not form completely is reported, not dropped.
    void malformedLinkIsReported_data()
    {
        QTest::addColumn<QString>("link");
        QTest::newRow("no nonce") << "dashtheme://install/neon";
        QTest::newRow("other host") << "dashtheme://open/neon?nonce=n1";
        QTest::newRow("two segments") << "dashtheme://install/team/neon?nonce=n1";
    }
    void malformedLinkIsReported()
    {
        QFETCH(QString, link);
        ScriptedAsker asker;
        MainWindow window;
        WindowedStart::scan({QStringLiteral("korvelanto"), link}).schedule(window);
        QTRY_COMPARE(asker.count(QStringLiteral("message")), 1);
        QCOMPARE(asker.asked.first().title, QStringLiteral("Install Theme"));
        QCOMPARE(asker.asked.first().text,
                 QStringLiteral("Install URL was malformed. Please click Install again from the gallery."));
    }

    // The file named on the command line is opened once the window is on
    // screen and painted, so that a long open neither leaves it black nor
    // paints its "Opening" line where nobody sees it.
    void startupOpenWaitsForTheFirstPaint()
    {
        ScriptedAsker asker;
        MainWindow window;
        bool exposedAtOpen = false;
        asker.onMessage = [&](const ScriptedAsker::Asked&) {
            exposedAtOpen = window.windowHandle() && window.windowHandle()->isExposed();
        };
        window.show();
        WindowedStart::scan({QStringLiteral("korvelanto"), QStringLiteral("/nowhere/x.zconf2")}).schedule(window);
        QTRY_COMPARE(asker.count(QStringLiteral("message")), 1);
        QVERIFY(exposedAtOpen);
    }

    void missingFileIsReported()
    {
        ScriptedAsker asker;
        MainWindow window;
        window.openFilePath(QStringLiteral("/nowhere/x.zconf2"));
        QCOMPARE(asker.count(QStringLiteral("message")), 1);
        QCOMPARE(asker.asked.first().text, QStringLiteral("Cannot open \"/nowhere/x.zconf2\" \u2014 no such file."));
        QCOMPARE(window.currentFile(), QString());
    }

    // A file that does not load: the message, and the open configuration
    // shown again at its page.
    void failedLoadKeepsPrevious()
    {
        ScriptedAsker asker;
        const QString path = demoCopy();
        auto window = openedWindow(path);
        QVERIFY(window);
        window->findChild<PageListPanel*>()->setCurrentRow(2);
        const QString title = window->windowTitle();
        const QString bad = TestEnvironment::makeTempDir() + QStringLiteral("/bad.zconf2");
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a zip");
        f.close();

        window->openFilePath(bad);
        QCOMPARE(asker.count(QStringLiteral("message")), 1);
        // The window's own failure text with the path, then the load's reason below it.
        const QStringList lines = asker.asked.last().text.split(QLatin1Char('\n'));
        QCOMPARE(lines.mid(0, 3), (QStringList{QStringLiteral("Failed to open file:"), bad, QString()}));
        QVERIFY2(lines.size() == 4 && lines[3].size() > 10, qPrintable(asker.asked.last().text));
        QCOMPARE(window->currentFile(), path);
        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(window->findChild<PageListPanel*>()->count(), 3);
        QCOMPARE(window->findChild<PageListPanel*>()->currentRow(), 2);
        auto* canvas = window->findChild<DashCanvas*>();
        QCOMPARE(window->findChild<ElementListPanel*>()->topLevelItemCount(), int(canvas->config->pages[2].masks.size()));
    }

    // The check dialog's jump: another page, then the mask with that id.
    void jumpToFinding()
    {
        ScriptedAsker asker;
        auto window = openedWindow(demoCopy());
        QVERIFY(window);
        auto* canvas = window->findChild<DashCanvas*>();
        const auto& masks = canvas->config->pages[1].masks;
        QVERIFY(masks.size() >= 2);
        const QString id = masks[1].id;
        window->onCheckJumpToElement(1, id);
        QCOMPARE(window->currentPageIndex(), 1);
        QCOMPARE(canvas->selectedMask(), 1);
        window->onCheckJumpToElement(1, QStringLiteral("no-such-id"));
        QCOMPARE(canvas->selectedMask(), 1);
        window->onCheckJumpToElement(7, id);
        QCOMPARE(window->currentPageIndex(), 1);
    }

    void menusAndToolbar()
    {
        MainWindow window;
        struct Entry {
            QString text;
            QKeySequence key;
            bool enabled = true;
            bool checkable = false;
        };
        const QList<QPair<QString, QList<Entry>>> menus{
            {"&File",
             {{"&Open...", QKeySequence::Open},
              {"&Save", QKeySequence::Save},
              {"Save &As...", QKeySequence("Ctrl+Shift+S")},
              {"&Rename Config...", {}},
              {"", {}},
              {"&New Homebrew Theme...", {}},
              {"&Export Theme...", {}},
              {"Export &Install Bundle...", {}},
              {"Install &Config Bundle...", {}},
              {"Open .dash&theme...", {}},
              {"Save As .dashtheme...", {}, false},
              {"&Online Themes...", {}},
              {"", {}},
              {"Load &CSV Data...", {}},
              {"", {}},
              {"E&xit", {}}}},
            {"&Edit",
             {{"&Undo", QKeySequence::Undo, false},
              {"&Redo", QKeySequence::Redo, false},
              {"", {}},
              {"&Insert Element...", QKeySequence("Ctrl+I")},
              {"&Delete Element", QKeySequence::Delete},
              {"D&uplicate Widget", QKeySequence("Ctrl+D")},
              {"&Copy Widget", QKeySequence::Copy},
              {"&Paste Widget", QKeySequence::Paste},
              {"Select &All Widgets", QKeySequence::SelectAll},
              {"", {}},
              {"&Clear Page", {}},
              {"&New Blank Page", QKeySequence("Ctrl+Shift+N")},
              {"&Delete Current Page", {}},
              {"Set Page &Background from Image...", {}},
              {"&Add Page from Template...", QKeySequence("Ctrl+T")},
              {"&Save Current Page as Template...", {}}}},
            {"&Tools",
             {{"&Settings...", {}},
              {"&Preferences...", {}},
              {"", {}},
              {"&Check config...", {}},
              {"", {}},
              {"&Preview (hide editor chrome)", QKeySequence(Qt::Key_F5), true, true},
              {"", {}},
              {"AIM &Element Library...", {}},
              {"Re&fresh box artwork", {}},
              {"&Generate Invisible Chrome from current theme...", {}}}},
            {"&Help", {{"&About Korvelanto...", {}}, {"", {}}, {"&Send Debug Report...", {}}}},
        };
        const QList<QAction*> top = window.menuBar()->actions();
        QCOMPARE(top.size(), menus.size());
        QMap<QString, QString> keys; // key -> action, across menus and toolbar
        for (int m = 0; m < menus.size(); ++m) {
            QCOMPARE(top[m]->text(), menus[m].first);
            const QList<QAction*> actions = top[m]->menu()->actions();
            QCOMPARE(actions.size(), menus[m].second.size());
            for (int i = 0; i < actions.size(); ++i) {
                const Entry& e = menus[m].second[i];
                QAction* a = actions[i];
                const QString where = menus[m].first + QLatin1Char('/') + a->text();
                QCOMPARE(a->isSeparator(), e.text.isEmpty());
                if (a->isSeparator())
                    continue;
                QVERIFY2(a->text().startsWith(e.text), qPrintable(where));
                QVERIFY2(a->shortcut() == e.key, qPrintable(where));
                QVERIFY2(a->isEnabled() == e.enabled, qPrintable(where));
                QVERIFY2(a->isCheckable() == e.checkable && !a->isChecked(), qPrintable(where));
                if (!e.key.isEmpty())
                    QVERIFY2(a->shortcutContext() == Qt::WindowShortcut, qPrintable(where));
            }
        }

        QToolBar* bar = window.findChild<QToolBar*>();
        QVERIFY(bar);
        QCOMPARE(bar->windowTitle(), QStringLiteral("Main"));
        const QStringList expected{"Open", "Save", "", "Undo", "Redo", "", "Grid Snap", "", "Load CSV",
                                   "Sample data", " Speed: ", "slider", "", " Speed: ", "combo"};
        const QList<QAction*> items = bar->actions();
        QCOMPARE(items.size(), expected.size());
        for (int i = 0; i < items.size(); ++i) {
            QWidget* w = bar->widgetForAction(items[i]);
            QString text = items[i]->isSeparator() ? QStringLiteral("") : items[i]->text();
            if (auto* check = qobject_cast<QCheckBox*>(w))
                text = check->text();
            else if (auto* label = qobject_cast<QLabel*>(w))
                text = label->text();
            else if (qobject_cast<QSlider*>(w))
                text = QStringLiteral("slider");
            else if (qobject_cast<QComboBox*>(w))
                text = QStringLiteral("combo");
            QVERIFY2(text.startsWith(expected[i]), qPrintable(QString::number(i) + QLatin1Char(' ') + text));
            QVERIFY2(items[i]->shortcut().isEmpty(), qPrintable(text));
        }
        auto* slider = window.findChild<QSlider*>(QStringLiteral("sampleSpeedSlider"));
        QCOMPARE(slider->minimum(), 1);
        QCOMPARE(slider->maximum(), 40);
        QCOMPARE(slider->value(), 10);
        QVERIFY(!slider->isEnabled());
        auto* unit = window.findChild<QComboBox*>(QStringLiteral("speedUnitCombo"));
        QCOMPARE(unit->count(), 3);
        QCOMPARE(unit->itemText(2), QStringLiteral("knots"));

        // No key is bound twice anywhere in the window.
        for (QAction* a : window.findChildren<QAction*>()) {
            for (const QKeySequence& key : a->shortcuts()) {
                const QString k = key.toString();
                QVERIFY2(!keys.contains(k), qPrintable(k + QStringLiteral(": ") + keys.value(k) + " / " + a->text()));
                keys.insert(k, a->text());
            }
        }
        for (QShortcut* s : window.findChildren<QShortcut*>()) {
            QVERIFY2(!keys.contains(s->key().toString()), qPrintable(s->key().toString()));
            QCOMPARE(s->context(), Qt::WindowShortcut);
        }
    }

    void closeAfterDrag_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<bool>("written");
        QTest::addColumn<bool>("blocked");
        QTest::newRow("cancel") << int(QMessageBox::Cancel) << false << false << false;
        QTest::newRow("discard") << int(QMessageBox::Discard) << true << false << false;
        QTest::newRow("save") << int(QMessageBox::Save) << true << true << false;
        // A folder where the archive is written first: the save fails and the
        // window stays.
        QTest::newRow("save fails") << int(QMessageBox::Save) << false << false << true;
    }

    void closeAfterDrag()
    {
        QFETCH(int, answer);
        QFETCH(bool, closes);
        QFETCH(bool, written);
        QFETCH(bool, blocked);
        ScriptedAsker asker;
        const QString path = demoCopy();
        const QByteArray before = bytesOf(path);
        auto window = openedWindow(path);
        QVERIFY(window);
        auto* canvas = window->findChild<DashCanvas*>();
        QTRY_VERIFY(canvas->viewScale() > 0.3);

        const DashConfig& shown = *canvas->config;
        std::vector<int> oldX;
        for (const MaskElement& m : shown.pages[0].masks)
            oldX.push_back(m.x);
        const MaskElement& target = shown.pages[0].masks.back();
        const QPoint from = canvas->maskRect(target).center().toPoint();
        const QPoint to = from + QPoint(int(40 * canvas->viewScale()), 0);
        QTest::mousePress(canvas, Qt::LeftButton, {}, from);
        QTest::mouseMove(canvas, to);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, to);
        const int dragged = canvas->selectedMask();
        QVERIFY(dragged >= 0);
        QVERIFY(window->hasUnsavedChanges());
        const int draggedX = shown.pages[0].masks[size_t(dragged)].x;
        QVERIFY2(qAbs(draggedX - oldX[size_t(dragged)] - 40) <= 1, qPrintable(QString::number(draggedX)));

        if (blocked) {
            QVERIFY(QDir().mkpath(path + QStringLiteral(".tmp/blocker")));
        }
        asker.buttons = {QMessageBox::StandardButton(answer)};
        QCOMPARE(window->close(), closes);
        QCOMPARE(asker.count(QStringLiteral("message")), blocked ? 2 : 1);
        QCOMPARE(window->isVisible(), !closes);
        if (blocked) {
            QCOMPARE(asker.asked.last().text,
                     QStringLiteral("Failed to save file:\n%1\n\nCould not write %1: %1.tmp: Is a directory").arg(path));
            QVERIFY(window->hasUnsavedChanges());
            QCOMPARE(bytesOf(path), before);
            asker.buttons = {QMessageBox::Discard};
            QVERIFY(window->close());
            return;
        }
        QCOMPARE(bytesOf(path) != before, written);
        if (written) {
            DashConfig reread;
            QVERIFY(reread.load(path));
            QCOMPARE(reread.pages[0].masks[size_t(dragged)].x, draggedX);
            QVERIFY(!window->hasUnsavedChanges());
        }
    }

    // Opening another file would drop the edits too: the same question.
    void openAfterEditAsks()
    {
        ScriptedAsker asker;
        const QString path = demoCopy();
        auto window = openedWindow(path);
        QVERIFY(window);
        auto* stack = window->findChild<QUndoStack*>();
        stack->push(new NewPageCommand(window->findChild<DashCanvas*>()->config, QStringLiteral("Extra")));
        const QString other = demoCopy();
        asker.buttons = {QMessageBox::Cancel};
        window->openFilePath(other);
        QCOMPARE(asker.count(QStringLiteral("message")), 1);
        QCOMPARE(window->currentFile(), path);
        QCOMPARE(stack->count(), 1);
        asker.buttons = {QMessageBox::Discard};
        window->openFilePath(other);
        QCOMPARE(window->currentFile(), other);
        QCOMPARE(window->findChild<PageListPanel*>()->count(), 3);
        QVERIFY(!window->hasUnsavedChanges());
    }

    void closeWithoutEditsAsksNothing()
    {
        ScriptedAsker asker;
        auto window = openedWindow(demoCopy());
        QVERIFY(window);
        QVERIFY(window->close());
        QCOMPARE(asker.asked.size(), 0);
        QVERIFY(!QSettings().value(QStringLiteral("MainWindow/geometry")).toByteArray().isEmpty());
    }

    void iconPreviewRemoval()
    {
        ScriptedAsker asker;
        auto window = openedWindow(demoCopy());
        QVERIFY(window);
        auto* canvas = window->findChild<DashCanvas*>();
        auto* panel = window->findChild<PropertyPanel*>();
        DashConfig& config = *canvas->config;
        config.setIconPreview(0, 1, QStringLiteral("preview.png"));
        QCOMPARE(config.iconPreviewGraphic(0, 1), QStringLiteral("preview.png"));

        // Without a selected mask nothing happens.
        Q_EMIT panel->iconPreviewRemoveRequested();
        QCOMPARE(config.iconPreviewGraphic(0, 1), QStringLiteral("preview.png"));

        canvas->setSelectedMask(1);
        Q_EMIT panel->iconPreviewRemoveRequested();
        QCOMPARE(config.iconPreviewGraphic(0, 1), QString());
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Removed icon preview graphic"));
    }

    // A label text typed into the property panel writes the model outside
    // the undo history; closing still asks.
    void propertyPanelEditAloneAsks()
    {
        ScriptedAsker asker;
        const QString path = demoCopy();
        const QByteArray before = bytesOf(path);
        auto window = openedWindow(path);
        QVERIFY(window);
        auto* canvas = window->findChild<DashCanvas*>();
        const DashConfig& config = *canvas->config;
        // Page 0's footer: mask 3 holds the Label "KORVELANTO DEMO".
        QCOMPARE(config.pages[0].masks[3].widgets[0].text, QStringLiteral("KORVELANTO DEMO"));
        Q_EMIT window->findChild<ElementListPanel*>()->widgetClicked(3, 0);
        QCOMPARE(canvas->selectedMask(), 3);
        auto* edit = window->findChild<QLineEdit*>(QStringLiteral("labelTextEdit"));
        QVERIFY(edit);
        edit->setText(QStringLiteral("CHANGED"));
        Q_EMIT edit->editingFinished();
        QCOMPARE(config.pages[0].masks[3].widgets[0].text, QStringLiteral("CHANGED"));
        QVERIFY(window->findChild<QUndoStack*>()->isClean());

        asker.buttons = {QMessageBox::Cancel};
        QVERIFY(!window->close());
        QCOMPARE(asker.count(QStringLiteral("message")), 1);
        asker.buttons = {QMessageBox::Discard};
        QVERIFY(window->close());
        QCOMPARE(bytesOf(path), before);
    }

    // A mask position typed into the panel is one undo step once it settles
    // (Return); the refresh it triggers inside the push re-shows rebuilt
    // records.
    void typedPositionIsUndoable()
    {
        ScriptedAsker asker;
        auto window = openedWindow(demoCopy());
        QVERIFY(window);
        auto* canvas = window->findChild<DashCanvas*>();
        auto* stack = window->findChild<QUndoStack*>();
        const DashConfig& config = *canvas->config;
        const int oldX = config.pages[0].masks[1].x;
        Q_EMIT window->findChild<ElementListPanel*>()->elementClicked(1);
        auto* x = window->findChild<QSpinBox*>(QStringLiteral("xSpin"));
        x->setValue(oldX + 5);
        QCOMPARE(config.pages[0].masks[1].x, oldX + 5);
        QCOMPARE(stack->count(), 0);
        QTest::keyClick(x, Qt::Key_Return);
        QCOMPARE(config.pages[0].masks[1].x, oldX + 5);
        QCOMPARE(stack->count(), 1);
        stack->undo();
        QCOMPARE(config.pages[0].masks[1].x, oldX);
        QCOMPARE(x->value(), oldX);
    }

    void undoChangingPageCountClampsPage()
    {
        ScriptedAsker asker;
        auto window = openedWindow(demoCopy());
        QVERIFY(window);
        auto* stack = window->findChild<QUndoStack*>();
        auto* pages = window->findChild<PageListPanel*>();
        auto* canvas = window->findChild<DashCanvas*>();
        auto* outliner = window->findChild<ElementListPanel*>();
        DashConfig& config = *canvas->config;
        stack->push(new NewPageCommand(&config, QStringLiteral("Extra")));
        QCOMPARE(pages->count(), 4);
        pages->setCurrentRow(3);
        QCOMPARE(window->currentPageIndex(), 3);
        QCOMPARE(outliner->topLevelItemCount(), 0);

        stack->undo();
        QCOMPARE(pages->count(), 3);
        QCOMPARE(window->currentPageIndex(), 2);
        QCOMPARE(pages->currentRow(), 2);
        QCOMPARE(outliner->topLevelItemCount(), int(config.pages[2].masks.size()));
        QVERIFY(canvas->paintOrder().size() == int(config.pages[2].masks.size()));
    }

    void findFocusesFilterAndPageSwitchClearsIt()
    {
        ScriptedAsker asker;
        auto window = openedWindow(demoCopy());
        QVERIFY(window);
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        auto* filter = window->findChild<QLineEdit*>(QStringLiteral("outlinerFilter"));
        filter->setText(QStringLiteral("rpm"));
        window->findChild<DashCanvas*>()->setFocus();
        QTest::keySequence(window.get(), QKeySequence::Find);
        QTRY_VERIFY(filter->hasFocus());
        QCOMPARE(filter->selectedText(), QStringLiteral("rpm"));

        window->findChild<PageListPanel*>()->setCurrentRow(1);
        QCOMPARE(window->currentPageIndex(), 1);
        QCOMPARE(filter->text(), QString());
    }

    void previewKeyTogglesBothWays()
    {
        MainWindow window;
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* canvas = window.findChild<DashCanvas*>();
        QTest::keyClick(&window, Qt::Key_F5);
        QVERIFY(canvas->previewMode);
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Preview - editor chrome hidden (F5 to exit)"));
        QTest::keyClick(&window, Qt::Key_F5);
        QVERIFY(!canvas->previewMode);
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Preview off"));
    }

    void speedSliderScales_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<double>("multiplier");
        QTest::newRow("slowest") << 1 << 0.1;
        QTest::newRow("start") << 10 << 1.0;
        QTest::newRow("fastest") << 40 << 4.0;
    }

    void speedSliderScales()
    {
        QFETCH(int, value);
        QFETCH(double, multiplier);
        MainWindow window;
        auto* slider = window.findChild<QSlider*>(QStringLiteral("sampleSpeedSlider"));
        slider->setValue(value == 10 ? 11 : value);
        slider->setValue(value);
        QCOMPARE(window.sampleSpeedMultiplier(), multiplier);
    }
};

KORV_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
