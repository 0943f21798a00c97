#include "check/ConfigCheck.h"
#include "model/DashConfig.h"
#include "support/CheckedFixtures.h"
#include "support/FullInstallFixture.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QGuiApplication>
#include <QtTest>

#include <functional>
#include <memory>

// Check config gives the findings it gave before its answers were kept
// between questions, and the kept coloured-bar answer follows every change
// of the records and masks it was built from.
namespace {

// The answer read afresh: the mask's node and its record as the store holds it now.
ColouredBar afresh(const DashConfig& c, int page, int mask)
{
    const QMap<QString, BarColorRecord> records = c.loadBarColorSidecar();
    const auto it = records.constFind(c.sidecarKey(page, mask, SidecarStore::BarColors));
    return colouredBarOf(c.pages[size_t(page)].masks[size_t(mask)].node, it == records.constEnd() ? nullptr : &*it);
}

QString mismatch(const DashConfig& c)
{
    for (int p = 0; p < c.pageCount(); ++p) {
        for (int k = 0; k < int(c.pages[size_t(p)].masks.size()); ++k) {
            const ColouredBar want = afresh(c, p, k);
            const pugi::xml_node node = c.pages[size_t(p)].masks[size_t(k)].node;
            for (const ColouredBar& got : {c.colouredBar(p, k), c.colouredBar(node)}) {
                if (got.coloured != want.coloured || got.origin != want.origin || got.recordFits != want.recordFits
                    || got.pasted != want.pasted)
                    return QStringLiteral("page %1 mask %2").arg(p).arg(k);
            }
        }
    }
    return {};
}

using Change = std::function<bool(DashConfig&)>;

bool writeStoreBytes(const DashConfig& c, const QByteArray& bytes)
{
    QFile file(c.barColorSidecarPath());
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

Q_DECLARE_METATYPE(Change)

class CheckFindingsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FullInstallFixture> m_install;
    QString m_path;

private Q_SLOTS:
    void initTestCase()
    {
        m_install = std::make_unique<FullInstallFixture>(FullInstallFixture::Counts{200, 40, 53});
        QVERIFY(m_install->isValid());
        m_path = m_install->writeConfig(TestEnvironment::makeTempDir(), QStringLiteral("Club"), 8);
        QVERIFY(!m_path.isEmpty());
    }

    void cleanupTestCase() { m_install.reset(); }

    void openCountsTheCheckPageBackgrounds()
    {
        DashConfig c;
        QVERIFY(c.load(m_path));
        ConfigFindings want;
        for (const ConfigFinding& f : ConfigCheck::checkConfig(c)) {
            if (f.code == QLatin1String("page-background"))
                want << f;
        }
        QVERIFY(want.size() > 1);
        const ConfigFindings got = ConfigCheck::checkPageBackgrounds(c);
        QCOMPARE(got.size(), want.size());
        for (int i = 0; i < int(got.size()); ++i) {
            QCOMPARE(got[i].pageIndex, want[i].pageIndex);
            QCOMPARE(got[i].severity, want[i].severity);
            QCOMPARE(got[i].message, want[i].message);
        }
    }

    void keptAnswerFollowsEveryChange_data()
    {
        QTest::addColumn<Change>("change");
        QTest::newRow("colouring staged") << Change([](DashConfig& c) { return c.applyBarColor(0, 14); });
        QTest::newRow("store written") << Change([](DashConfig& c) {
            QMap<QString, BarColorRecord> records = c.loadBarColorSidecar();
            records.remove(c.sidecarKey(1, 9, SidecarStore::BarColors));
            return c.saveBarColorSidecar(records);
        });
        QTest::newRow("store written by hand") << Change([](DashConfig& c) {
            QFile file(c.barColorSidecarPath());
            if (!file.open(QIODevice::ReadOnly))
                return false;
            QByteArray bytes = file.readAll();
            const int at = int(bytes.indexOf("\"colored\": true"));
            return at >= 0 && writeStoreBytes(c, bytes.replace(at, 15, "\"colored\": false"));
        });
        QTest::newRow("store removed by hand")
            << Change([](DashConfig& c) { return QFile::remove(c.barColorSidecarPath()); });
        QTest::newRow("mask removed") << Change([](DashConfig& c) { return c.removeMask(0, 2) && c.removeMask(1, 0); });
        QTest::newRow("page removed") << Change([](DashConfig& c) { return c.removePage(0); });
        QTest::newRow("saved") << Change([](DashConfig& c) {
            const QString path = c.zconf2Path;
            return c.applyBarColor(2, 14) && c.save(path);
        });
        QTest::newRow("opened again") << Change([](DashConfig& c) {
            const QString path = c.zconf2Path;
            return c.load(path);
        });
    }

    void keptAnswerFollowsEveryChange()
    {
        QFETCH(Change, change);
        const QString path = TestEnvironment::makeTempDir() + QStringLiteral("/Club.zconf2");
        QVERIFY(QFile::copy(m_path, path));
        QVERIFY(QFile::copy(DashConfig::sidecarPathsOf(m_path)[2], DashConfig::sidecarPathsOf(path)[2]));
        DashConfig c;
        QVERIFY(c.load(path));
        QCOMPARE(mismatch(c), QString());
        QVERIFY(c.colouredBar(1, 9).coloured);
        QVERIFY(change(c));
        QCOMPARE(mismatch(c), QString());
    }

    void sameFindingsAsBefore()
    {
        m_install.reset(); // the fixtures build installs of their own, one at a time
        QFile before(QFINDTESTDATA("check/data/checkfindings.txt"));
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QStringList want = QString::fromUtf8(before.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const QStringList got = CheckedFixtures::findingLines();
        // A change of findings a rule means to make: write the lines out,
        // read the difference, and keep them as the new reference.
        const QString out = qEnvironmentVariable("KORV_CHECK_FINDINGS_OUT");
        if (!out.isEmpty()) {
            QFile file(out);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(got.join(QLatin1Char('\n')).toUtf8() + '\n');
        }
        for (int i = 0; i < int(std::min(want.size(), got.size())); ++i)
            QCOMPARE(got[i], want[i]);
        QCOMPARE(got.size(), want.size());
    }
};

KORV_GUI_TEST_MAIN(CheckFindingsTest)

#include "tst_checkfindings.moc"
