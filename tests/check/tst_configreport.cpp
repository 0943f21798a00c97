#include "check/ConfigReport.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QtTest>

namespace {

ConfigFinding finding(int severity, int pageIndex, const QString& elementId, const QString& message,
                      const QString& consequence)
{
    ConfigFinding f;
    f.severity = severity;
    f.pageIndex = pageIndex;
    f.elementId = elementId;
    f.message = message;
    f.consequence = consequence;
    return f;
}

} // namespace

class ConfigReportTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyReport()
    {
        QCOMPARE(ConfigCheck::formatReport({}, "Club.zconf2").toUtf8(),
                 QByteArray("Korvelanto config check \xE2\x80\x94 Club.zconf2\n\nNo problems found.\n"));
    }

    void twoFindings()
    {
        const ConfigFindings findings{
            finding(0, 2, "m12", "Bar fills to 100 but the bar is 200 wide.",
                    "The coloured fill stops short of, or runs past, the bar artwork."),
            finding(1, 0, QString(), "The page has a background image (bkg.tgz) but never declares it.", "Nothing.")};
        QCOMPARE(ConfigCheck::formatReport(findings, "Club.zconf2").toUtf8(),
                 QByteArray("Korvelanto config check \xE2\x80\x94 Club.zconf2\n"
                            "\n2 problem(s): 1 error(s), 1 warning(s)\n\n"
                            "ERROR  page 3 m12  Bar fills to 100 but the bar is 200 wide.\n"
                            "        The coloured fill stops short of, or runs past, the bar artwork.\n"
                            "WARN   page 1  The page has a background image (bkg.tgz) but never declares it.\n"
                            "        Nothing.\n"));
    }
};

KORV_GUI_TEST_MAIN(ConfigReportTest)
#include "tst_configreport.moc"
