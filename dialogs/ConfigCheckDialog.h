#pragma once

#include "check/ConfigFinding.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// Lists the config check's findings and passes the user's requests on: a
// jump to a finding's element, the repair, or a debug report. It changes
// nothing itself; after a repair the caller hands it the new findings.
class ConfigCheckDialog : public QDialog {
    Q_OBJECT

public:
    ConfigCheckDialog(const ConfigFindings& findings, const QString& configName, QWidget* parent = nullptr);

    void setFindings(const ConfigFindings& newFindings);

Q_SIGNALS:
    void jumpToElement(int pageIndex, const QString& elementId);
    void repairRequested();
    void sendToSupportRequested(const QString& report);

private:
    void rebuild();
    QString summaryText() const;
    void addFindingRow(const ConfigFinding& finding);
    void onItemDoubleClicked(QTreeWidgetItem* item, int column);
    void onRepairClicked();
    void onSendToSupportClicked();
    void onCopyReportClicked();

    ConfigFindings findings;
    QString configName;
    QTreeWidget* tree = nullptr;
    QLabel* summaryLabel = nullptr;
    QPushButton* repairButton = nullptr;
};
