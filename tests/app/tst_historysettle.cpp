#include "DemoStock.h"
#include "support/DemoArtSession.h"

#include <QDirIterator>
#include <QFile>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>

// A run of arrow steps in the panel's geometry fields becomes its own
// history step before any other gesture: the toolbar's Undo clicked while
// the run still waits takes back exactly the steps, and a fit the run
// asked for that fails is said by the run.
class HistorySettleTest : public QObject, DemoArtSession {
    Q_OBJECT

    int bar = -1;

    QToolButton* toolbarButton(const QString& prefix) const
    {
        for (QToolBar* toolbar : window->findChildren<QToolBar*>()) {
            for (QAction* action : toolbar->actions()) {
                if (action->text().startsWith(prefix))
                    return qobject_cast<QToolButton*>(toolbar->widgetForAction(action));
            }
        }
        return nullptr;
    }

    int width() const { return paramValue(config->pages[kRace].masks[size_t(bar)].node, "WIDTH").toInt(); }

    QSpinBox* widthField()
    {
        select(kRace, bar);
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            return nullptr;
        auto* field = window->findChild<QSpinBox*>(QStringLiteral("wSpin"));
        if (field)
            field->setFocus();
        return field && field->hasFocus() ? field : nullptr;
    }

    // A key as the user gives it: to the window, which hands it to the
    // field with the focus.
    void press(Qt::Key key, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(window->windowHandle(), key);
    }

private Q_SLOTS:
    void init()
    {
        openDemo();
        bar = -1;
        for (size_t k = 0; k < config->pages[kRace].masks.size(); ++k) {
            if (maskPath(*config, kRace, int(k)) == DemoStock::barItem())
                bar = int(k);
        }
        QVERIFY(bar >= 0);
    }
    void cleanup() { closeDemo(); }

    void undoWithinTheRunUndoesExactlyTheSteps()
    {
        window->applyColorBar(bar);
        QVERIFY(config->colouredBar(kRace, bar).coloured);
        QVERIFY(window->save());
        const int before = width();
        const int steps = stack->count();
        QSpinBox* field = widthField();
        QVERIFY(field && field->isEnabled());
        press(Qt::Key_Up, 20);
        QCOMPARE(field->value(), before + 20);
        QCOMPARE(stack->count(), steps);
        QToolButton* undo = toolbarButton(QStringLiteral("Undo"));
        QVERIFY(undo && undo->isEnabled());
        QTest::mouseClick(undo, Qt::LeftButton);
        QCOMPARE(width(), before);
        QVERIFY(config->colouredBar(kRace, bar).coloured);
        QCOMPARE(stack->count(), steps + 1);
        QVERIFY2(stack->redoText().startsWith(QLatin1String("Move/Resize")), qPrintable(stack->redoText()));
        window->stepHistory(false);
        QCOMPARE(width(), before + 20);
    }

    // Discard takes the session's Color... and resizes back in the file and
    // leaves what they drew, as their undo does: every coloured and fitted
    // folder stays as it was.
    void discardLeavesTheColourAndTheFit()
    {
        const auto made = [this] {
            QStringList found;
            QDirIterator it(rs3->root(Rs3Fixture::Stable), QDir::Dirs | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                it.next();
                if (it.fileName().startsWith(QLatin1String("fit_")) || it.fileName().startsWith(QLatin1String("zbar_")))
                    found << it.filePath();
            }
            return found;
        };
        QVERIFY(made().isEmpty());
        window->applyColorBar(bar);
        QSpinBox* field = widthField();
        QVERIFY(field);
        press(Qt::Key_Down, 5);
        press(Qt::Key_Return);
        const int box = [this] {
            for (size_t k = 0; k < config->pages[kRace].masks.size(); ++k) {
                if (maskPath(*config, kRace, int(k)) == DemoStock::valueBoxItem())
                    return int(k);
            }
            return -1;
        }();
        QVERIFY(box >= 0);
        resize(kRace, box, 300);
        QCOMPARE(stack->count(), 3);
        const QStringList drawn = made();
        QVERIFY(drawn.size() >= 2);
        const QMap<QString, QByteArray> files = rs3->snapshot();
        asker->buttons = {QMessageBox::Discard};
        QVERIFY(window->close());
        QCOMPARE(made(), drawn);
        QCOMPARE(rs3->snapshot(), files);
    }

    // The fit of a run that cannot write its item is said when the run
    // settles, not by a later action.
    void failedFitIsSaidByTheRun()
    {
        const QString homebrew = DemoStock::itemPath(QStringLiteral("s04_homebrew"));
        QVERIFY(!QFileInfo::exists(rs3->absolutePath(Rs3Fixture::Stable, homebrew)));
        // A file where the homebrew set goes: no fit can be written.
        QVERIFY(rs3->writeFile(Rs3Fixture::Stable, homebrew, "in the way"));
        QSpinBox* field = widthField();
        QVERIFY(field);
        press(Qt::Key_Down, 3);
        press(Qt::Key_Return);
        QVERIFY2(status().startsWith(QLatin1String("Could not fit the art")), qPrintable(status()));
    }
};

KORV_TEST_MAIN(HistorySettleTest)

#include "tst_historysettle.moc"
