#include "check/ConfigReport.h"

#include "check/ConfigCheck.h"

namespace ConfigCheck {

QString formatFindingLine(const ConfigFinding& finding)
{
    QString where = QStringLiteral("page %1").arg(finding.pageIndex + 1);
    if (!finding.elementId.isEmpty())
        where += QLatin1Char(' ') + finding.elementId;
    const QString label = finding.severity == 0 ? QStringLiteral("ERROR") : QStringLiteral("WARN ");
    return label + QStringLiteral("  ") + where + QStringLiteral("  ") + finding.message;
}

QString formatReport(const ConfigFindings& findings, const QString& configName)
{
    QString report = QStringLiteral("Korvelanto config check — ") + configName + QLatin1Char('\n');
    if (findings.isEmpty())
        return report + QStringLiteral("\nNo problems found.\n");
    const int errors = countErrors(findings);
    report += QStringLiteral("\n%1 problem(s): %2 error(s), %3 warning(s)\n\n")
                  .arg(findings.size())
                  .arg(errors)
                  .arg(findings.size() - errors);
    for (const ConfigFinding& finding : findings) {
        report += formatFindingLine(finding) + QLatin1Char('\n');
        report += QStringLiteral("        ") + finding.consequence + QLatin1Char('\n');
    }
    return report;
}

} // namespace ConfigCheck
