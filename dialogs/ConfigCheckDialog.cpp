#include "dialogs/ConfigCheckDialog.h"

#include "dialogs/WrappedRowDelegate.h"
#include "check/ConfigCheck.h"
#include "check/ConfigReport.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

ConfigCheckDialog::ConfigCheckDialog(const ConfigFindings& findings, const QString& configName, QWidget* parent)
    : QDialog(parent), findings(findings), configName(configName)
{
    setWindowTitle(tr("Check config"));
    resize(820, 480);
    auto* layout = new QVBoxLayout(this);

    summaryLabel = new QLabel(this);
    summaryLabel->setWordWrap(true);
    layout->addWidget(summaryLabel, 0);

    tree = new QTreeWidget(this);
    tree->setColumnCount(2);
    tree->setHeaderLabels({tr("Where"), tr("What will happen")});
    tree->setRootIsDecorated(false);
    tree->setAlternatingRowColors(true);
    tree->setWordWrap(true);
    tree->setItemDelegate(new WrappedRowDelegate(tree));
    tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tree->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    connect(tree, &QTreeWidget::itemDoubleClicked, this, &ConfigCheckDialog::onItemDoubleClicked);
    layout->addWidget(tree, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    repairButton = buttons->addButton(tr("Repair"), QDialogButtonBox::ActionRole);
    connect(repairButton, &QPushButton::clicked, this, &ConfigCheckDialog::onRepairClicked);
    QPushButton* send = buttons->addButton(tr("Send to support..."), QDialogButtonBox::ActionRole);
    send->setToolTip(tr("Opens the debug report with these findings filled in and the config attached. "
                        "You can review and edit everything before it is sent."));
    connect(send, &QPushButton::clicked, this, &ConfigCheckDialog::onSendToSupportClicked);
    QPushButton* copy = buttons->addButton(tr("Copy report"), QDialogButtonBox::ActionRole);
    copy->setEnabled(true);
    connect(copy, &QPushButton::clicked, this, [this, copy] {
        onCopyReportClicked();
        copy->setText(tr("Copied"));
    });
    layout->addWidget(buttons, 0);

    rebuild();
}

void ConfigCheckDialog::setFindings(const ConfigFindings& newFindings)
{
    findings = newFindings;
    rebuild();
}

QString ConfigCheckDialog::summaryText() const
{
    if (findings.isEmpty())
        return tr("<b>No problems found.</b><br>Every element's artwork, click region and firmware slot line up. "
                  "This does not check whether the dash <i>reads well</i> — only that it is built correctly.");
    const int errors = ConfigCheck::countErrors(findings);
    const int others = int(findings.size()) - errors;
    const int repairable = ConfigCheck::countRepairable(findings);
    QString text = errors > 0 ? tr("<b>%n thing(s) will go wrong on the dash.</b> ", nullptr, errors)
                              : tr("<b>Nothing broken, %n item(s) worth a look.</b> ", nullptr, others);
    if (errors >= 1 && others >= 1)
        text += tr("%n other item(s) are worth a look. ", nullptr, others);
    if (repairable > 0)
        text += tr("%n of them can be repaired automatically. ", nullptr, repairable);
    return text + tr("Double-click a row to go to it.");
}

void ConfigCheckDialog::addFindingRow(const ConfigFinding& finding)
{
    auto* item = new QTreeWidgetItem(tree);
    QString where = tr("Page %1").arg(finding.pageIndex + 1);
    if (!finding.elementId.isEmpty())
        where += QStringLiteral("  ") + finding.elementId;
    item->setText(0, where);
    item->setText(1, finding.consequence + QLatin1Char('\n') + finding.message);
    // The whole finding, in case the column is too narrow to read it, then
    // the rule's code.
    item->setToolTip(1, finding.consequence + QLatin1Char('\n') + finding.message + QStringLiteral("\n\n")
                            + finding.code);
    const bool error = finding.severity == 0;
    item->setForeground(0, error ? QColor(224, 84, 79) : QColor(217, 164, 65));
    QFont font = item->font(0);
    font.setWeight(error ? QFont::Bold : QFont::Normal);
    item->setFont(0, font);
    item->setData(0, Qt::UserRole, finding.pageIndex);
    item->setData(0, Qt::UserRole + 1, finding.elementId);
}

void ConfigCheckDialog::rebuild()
{
    tree->clear();
    summaryLabel->setText(summaryText());
    for (const ConfigFinding& finding : findings)
        addFindingRow(finding);
    if (!findings.isEmpty())
        tree->resizeColumnToContents(0);

    const int repairable = ConfigCheck::countRepairable(findings);
    repairButton->setEnabled(repairable >= 1);
    if (repairable >= 1) {
        repairButton->setText(tr("Repair %1").arg(repairable));
        repairButton->setToolTip(tr("Snap each marker onto the item it marks, and each bar's fill to the bar's own "
                                    "width. Nothing is guessed — a firmware slot or a missing image is left for you."));
    } else {
        repairButton->setText(tr("Repair"));
        repairButton->setToolTip(tr("Nothing here can be fixed by arithmetic alone."));
    }
}

void ConfigCheckDialog::onItemDoubleClicked(QTreeWidgetItem* item, int)
{
    if (!item)
        return;
    Q_EMIT jumpToElement(item->data(0, Qt::UserRole).toInt(), item->data(0, Qt::UserRole + 1).toString());
}

void ConfigCheckDialog::onRepairClicked()
{
    Q_EMIT repairRequested();
}

void ConfigCheckDialog::onSendToSupportClicked()
{
    Q_EMIT sendToSupportRequested(ConfigCheck::formatReport(findings, configName));
}

void ConfigCheckDialog::onCopyReportClicked()
{
    QApplication::clipboard()->setText(ConfigCheck::formatReport(findings, configName));
}
