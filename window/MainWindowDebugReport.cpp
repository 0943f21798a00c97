// Sending a debug report: from the Help menu and from the config check.
#include "window/MainWindow.h"

#include "reports/SendDebugReportDialog.h"
#include "panels/Asker.h"

void MainWindow::showSendDebugReport()
{
    // A window that never opened a file still holds an empty configuration:
    // that is no configuration to describe.
    DashConfig* open = config.pageCount() > 0 ? &config : nullptr;
    debugreport::SendDebugReportDialog dialog(open, currentFilePath, this, QString(), false);
    Asker::instance().exec(&dialog);
}

void MainWindow::onSendCheckReportToSupport(const QString& report)
{
    debugreport::SendDebugReportDialog dialog(&config, currentFilePath, this,
                                              tr("Tools > Check config reported this:\n\n%1").arg(report), true);
    Asker::instance().exec(&dialog);
}
