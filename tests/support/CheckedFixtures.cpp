#include "support/CheckedFixtures.h"

#include "check/ConfigCheck.h"
#include "model/DashConfig.h"
#include "support/ConfigFixture.h"
#include "support/FullInstallFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QRegularExpression>

namespace {

QStringList linesOf(const QString& name, const ConfigFindings& findings)
{
    static const QRegularExpression tempFolder(QStringLiteral("/tmp/([A-Za-z0-9_]+)-[0-9a-f]{12}"));
    QStringList lines{QStringLiteral("# ") + name};
    for (const ConfigFinding& f : findings) {
        QString line = QStringList{QString::number(f.pageIndex), f.elementId, f.code, QString::number(f.severity),
                                   f.repairable ? QStringLiteral("repairable") : QStringLiteral("kept"), f.message,
                                   f.consequence}
                           .join(QLatin1Char('|'));
        line.replace(TestEnvironment::homeDir(), QStringLiteral("<home>"));
        line.replace(tempFolder, QStringLiteral("/tmp/\\1-*"));
        lines << line;
    }
    return lines;
}

QStringList checked(const QString& name, const QString& path)
{
    DashConfig config;
    if (path.isEmpty() || !config.load(path))
        return {QStringLiteral("# ") + name + QStringLiteral(": could not open")};
    return linesOf(name, ConfigCheck::checkConfig(config));
}

QStringList samples()
{
    QStringList lines;
    const Rs3Fixture rs3;
    for (const auto& [name, cfg] : ConfigFixture::samples())
        lines << checked(QStringLiteral("sample ") + name, cfg.writeTempZip());
    return lines;
}

QStringList demo()
{
    const Rs3Fixture rs3;
    rs3.addDemoStock(Rs3Fixture::Stable);
    return checked(QStringLiteral("demo"), ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir()));
}

// The full install's configuration, then after each edit.
QStringList fullInstall()
{
    // As many items as the configuration names: a larger install finds the same.
    const FullInstallFixture install(FullInstallFixture::Counts{240, 40, 53});
    const QString path = install.isValid()
        ? install.writeConfig(TestEnvironment::makeTempDir(QStringLiteral("full")), QStringLiteral("Club"), 10)
        : QString();
    DashConfig c;
    if (path.isEmpty() || !c.load(path))
        return {QStringLiteral("# full install: could not open")};
    QStringList lines = linesOf(QStringLiteral("full install"), ConfigCheck::checkConfig(c));
    const bool coloured = c.applyBarColor(0, 14) && c.applyBarColor(3, 7);
    lines << linesOf(QStringLiteral("colours staged: ") + (coloured ? "yes" : "no"), ConfigCheck::checkConfig(c));
    const bool removed = c.removeMask(1, 8) && c.removeMask(2, 0);
    lines << linesOf(QStringLiteral("masks removed: ") + (removed ? "yes" : "no"), ConfigCheck::checkConfig(c));
    const bool saved = c.save(path);
    lines << linesOf(QStringLiteral("saved: ") + (saved ? "yes" : "no"), ConfigCheck::checkConfig(c));
    QMap<QString, BarColorRecord> records = c.loadBarColorSidecar();
    records.remove(c.sidecarKey(4, 9, SidecarStore::BarColors));
    const bool written = c.saveBarColorSidecar(records);
    lines << linesOf(QStringLiteral("store written: ") + (written ? "yes" : "no"), ConfigCheck::checkConfig(c));
    return lines;
}

} // namespace

namespace CheckedFixtures {

QStringList findingLines()
{
    return samples() + demo() + fullInstall();
}

} // namespace CheckedFixtures
