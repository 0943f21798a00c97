#include "dialogs/ConfigCheckDialog.h"
#include "check/ConfigReport.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

namespace {

ConfigFinding finding(int severity, int page, const QString& id, const char* code, bool repairable = true)
{
    ConfigFinding f;
    f.severity = severity;
    f.pageIndex = page;
    f.elementId = id;
    f.code = QString::fromLatin1(code);
    f.message = QStringLiteral("msg ") + f.code;
    f.consequence = QStringLiteral("cons ") + f.code;
    f.repairable = repairable;
    return f;
}

QPushButton* button(ConfigCheckDialog& dialog, const QString& prefix)
{
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        if (b->text().startsWith(prefix))
            return b;
    return nullptr;
}

} // namespace

class TestConfigCheckDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void summaryRowsAndRepair_data();
    void summaryRowsAndRepair();
    void doubleClickJumps();
    void copiedReportEqualsSentReport();
    void setFindingsDropsRepairedRows();
};

void TestConfigCheckDialog::summaryRowsAndRepair_data()
{
    QTest::addColumn<ConfigFindings>("findings");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("repairText");
    QTest::addColumn<bool>("repairEnabled");

    QTest::newRow("empty") << ConfigFindings{}
                           << QStringLiteral("<b>No problems found.</b><br>Every element's artwork, click region and "
                                             "firmware slot line up. This does not check whether the dash <i>reads "
                                             "well</i> — only that it is built correctly.")
                           << QStringLiteral("Repair") << false;
    QTest::newRow("3 errors + 2 warnings, 2 repairable")
        << ConfigFindings{finding(0, 0, "m1", "marker-mismatch"), finding(0, 1, "m2", "missing-art"),
                          finding(0, 2, QString(), "page-background"), finding(1, 0, "m3", "bar-sweep", false),
                          finding(1, 0, "m4", "off-page")}
        << QStringLiteral("<b>3 thing(s) will go wrong on the dash.</b> 2 other item(s) are worth a look. 2 of them "
                          "can be repaired automatically. Double-click a row to go to it.")
        << QStringLiteral("Repair 2") << true;
    QTest::newRow("only warnings")
        << ConfigFindings{finding(1, 0, "m1", "off-page"), finding(1, 0, "m2", "off-page"),
                          finding(1, 1, "m3", "slot"), finding(1, 1, QString(), "other")}
        << QStringLiteral("<b>Nothing broken, 4 item(s) worth a look.</b> Double-click a row to go to it.")
        << QStringLiteral("Repair") << false;
}

void TestConfigCheckDialog::summaryRowsAndRepair()
{
    QFETCH(ConfigFindings, findings);
    QFETCH(QString, summary);
    QFETCH(QString, repairText);
    QFETCH(bool, repairEnabled);

    ConfigCheckDialog dialog(findings, QStringLiteral("Club.zconf2"));
    auto* label = dialog.findChild<QLabel*>();
    QVERIFY(label);
    QCOMPARE(label->text(), summary);
    auto* tree = dialog.findChild<QTreeWidget*>();
    QCOMPARE(tree->topLevelItemCount(), int(findings.size()));
    QPushButton* repair = button(dialog, QStringLiteral("Repair"));
    QVERIFY(repair);
    QCOMPARE(repair->text(), repairText);
    QCOMPARE(repair->isEnabled(), repairEnabled);
    if (!repairEnabled)
        QCOMPARE(repair->toolTip(), QStringLiteral("Nothing here can be fixed by arithmetic alone."));
    for (int i = 0; i < int(findings.size()); ++i) {
        QTreeWidgetItem* row = tree->topLevelItem(i);
        const ConfigFinding& f = findings[i];
        QCOMPARE(row->text(0), f.elementId.isEmpty() ? QStringLiteral("Page %1").arg(f.pageIndex + 1)
                                                     : QStringLiteral("Page %1  %2").arg(f.pageIndex + 1).arg(f.elementId));
        QCOMPARE(row->text(1), f.consequence + QLatin1Char('\n') + f.message);
        QCOMPARE(row->toolTip(1), f.consequence + "\n" + f.message + "\n\n" + f.code);
        QCOMPARE(row->foreground(0).color(), f.severity == 0 ? QColor(224, 84, 79) : QColor(217, 164, 65));
        QCOMPARE(row->font(0).bold(), f.severity == 0);
    }
}

void TestConfigCheckDialog::doubleClickJumps()
{
    ConfigCheckDialog dialog({finding(0, 0, "m1", "missing-art"), finding(1, 2, QString(), "page-background")},
                             QStringLiteral("Club.zconf2"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QSignalSpy jumps(&dialog, &ConfigCheckDialog::jumpToElement);
    auto* tree = dialog.findChild<QTreeWidget*>();
    QTreeWidgetItem* pageRow = tree->topLevelItem(1);
    const QRect rect = tree->visualItemRect(pageRow);
    // A press and release first, as a real double click has.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(jumps.size(), 1);
    QCOMPARE(jumps.at(0).at(0).toInt(), 2);
    QCOMPARE(jumps.at(0).at(1).toString(), QString());
    QVERIFY(dialog.isVisible());
}

void TestConfigCheckDialog::copiedReportEqualsSentReport()
{
    const ConfigFindings findings{finding(0, 2, "m12", "bar-sweep"), finding(1, 0, QString(), "page-background")};
    ConfigCheckDialog dialog(findings, QStringLiteral("Club.zconf2"));
    QSignalSpy sent(&dialog, &ConfigCheckDialog::sendToSupportRequested);
    QApplication::clipboard()->clear();
    QPushButton* copy = button(dialog, QStringLiteral("Copy report"));
    QTest::mouseClick(copy, Qt::LeftButton);
    QCOMPARE(copy->text(), QStringLiteral("Copied"));
    QTest::mouseClick(button(dialog, QStringLiteral("Send to support...")), Qt::LeftButton);
    QCOMPARE(sent.size(), 1);
    const QString report = sent.at(0).at(0).toString();
    QCOMPARE(QApplication::clipboard()->text(), report);
    QVERIFY(report.contains(QStringLiteral("ERROR  page 3 m12  msg bar-sweep\n        cons bar-sweep\n")));
    QVERIFY(report.contains(QStringLiteral("WARN   page 1  msg page-background\n")));
}

void TestConfigCheckDialog::setFindingsDropsRepairedRows()
{
    ConfigCheckDialog dialog({finding(0, 0, "m1", "marker-mismatch"), finding(1, 0, "m2", "off-page")},
                             QStringLiteral("Club.zconf2"));
    QSignalSpy repairs(&dialog, &ConfigCheckDialog::repairRequested);
    QTest::mouseClick(button(dialog, QStringLiteral("Repair 1")), Qt::LeftButton);
    QCOMPARE(repairs.size(), 1);
    dialog.setFindings({finding(1, 0, "m2", "off-page")});
    QCOMPARE(dialog.findChild<QTreeWidget*>()->topLevelItemCount(), 1);
    QPushButton* repair = button(dialog, QStringLiteral("Repair"));
    QCOMPARE(repair->text(), QStringLiteral("Repair"));
    QVERIFY(!repair->isEnabled());
}

QTEST_MAIN(TestConfigCheckDialog)
#include "tst_configcheckdialog.moc"
