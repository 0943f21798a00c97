#include "panels/PageListPanel.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QSignalBlocker>
#include <QSignalSpy>
#include <QtTest>

namespace {

std::vector<PageModel> makePages(int count)
{
    std::vector<PageModel> pages(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        pages[size_t(i)].name = QStringLiteral("Page %1").arg(i);
    return pages;
}

QList<int> emitted(const QSignalSpy& spy)
{
    QList<int> rows;
    for (const QList<QVariant>& args : spy)
        rows << args.at(0).toInt();
    return rows;
}

} // namespace

class PageListPanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void setPagesSignals_data()
    {
        QTest::addColumn<int>("before");  // pages before the refill (-1: never filled)
        QTest::addColumn<int>("current"); // row made current before the refill
        QTest::addColumn<int>("after");
        QTest::addColumn<bool>("blocked");
        QTest::addColumn<QList<int>>("signalled");

        QTest::newRow("empty vector") << -1 << -1 << 0 << false << QList<int>{};
        QTest::newRow("emptied") << 3 << 1 << 0 << false << QList<int>{};
        QTest::newRow("first fill") << -1 << -1 << 3 << false << QList<int>{0};
        QTest::newRow("refill with row 0 current") << 3 << 0 << 3 << false << QList<int>{0};
        QTest::newRow("refill with row 2 current") << 3 << 2 << 2 << false << QList<int>{0};
        QTest::newRow("refill, blocked") << 3 << 0 << 3 << true << QList<int>{};
        QTest::newRow("refill from row 2, blocked") << 3 << 2 << 4 << true << QList<int>{};
    }

    void setPagesSignals()
    {
        QFETCH(int, before);
        QFETCH(int, current);
        QFETCH(int, after);
        QFETCH(bool, blocked);
        QFETCH(QList<int>, signalled);

        PageListPanel panel;
        if (before >= 0) {
            QSignalBlocker block(&panel);
            panel.setPages(makePages(before));
            panel.setCurrentRow(current);
        }
        QSignalSpy spy(&panel, &PageListPanel::pageSelected);
        {
            const QSignalBlocker block(blocked ? &panel : nullptr);
            panel.setPages(makePages(after));
        }
        QCOMPARE(emitted(spy), signalled);
        QCOMPARE(panel.count(), after);
        QCOMPARE(panel.currentRow(), after > 0 ? 0 : -1);
        for (int i = 0; i < after; ++i)
            QCOMPARE(panel.item(i)->text(), QStringLiteral("Page %1").arg(i));
    }

    void userChoosesARow()
    {
        PageListPanel panel;
        panel.resize(180, 400);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        panel.setPages(makePages(3));
        QSignalSpy spy(&panel, &PageListPanel::pageSelected);
        QTest::mouseClick(panel.viewport(), Qt::LeftButton, Qt::NoModifier,
                          panel.visualItemRect(panel.item(2)).center());
        QTest::keyClick(&panel, Qt::Key_Up);
        QCOMPARE(emitted(spy), (QList<int>{2, 1}));
    }

    void thumbnails_data()
    {
        QTest::addColumn<QSize>("background"); // invalid: no picture
        QTest::addColumn<QSize>("icon");       // invalid: no icon

        QTest::newRow("no picture") << QSize() << QSize();
        QTest::newRow("800 x 480") << QSize(800, 480) << QSize(120, 72);
        QTest::newRow("4:3") << QSize(400, 300) << QSize(96, 72);
        QTest::newRow("wide and small") << QSize(60, 12) << QSize(120, 24);
    }

    void thumbnails()
    {
        QFETCH(QSize, background);
        QFETCH(QSize, icon);
        std::vector<PageModel> pages = makePages(1);
        if (background.isValid()) {
            QPixmap picture(background);
            picture.fill(Qt::darkCyan);
            pages[0].background = picture;
        }
        PageListPanel panel;
        panel.setPages(pages);
        QCOMPARE(panel.item(0)->text(), QStringLiteral("Page 0"));
        const QIcon shown = panel.item(0)->icon();
        QCOMPARE(shown.isNull(), !icon.isValid());
        if (icon.isValid())
            QCOMPARE(shown.availableSizes().value(0), icon);
    }
};

KORV_TEST_MAIN(PageListPanelTest)
#include "tst_pagelistpanel.moc"
