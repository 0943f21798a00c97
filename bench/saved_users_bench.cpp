// Delete Template's question reads, besides RaceStudio 3's configurations,
// every configuration the editor saved elsewhere. Each file's counts are
// kept by its stamp, so asking again reads none of them. This asks the
// question over an install of 200 configurations with 1,000 saved files of
// 20 pages listed, once (each file read) and again (none read), against the
// same question with 10 listed (each list in a data folder of its own, so
// neither is rewritten between questions), in the same process; the second
// question should cost at most 1.2 times the one with 10. The saved files
// are looked at on threads of their own while RaceStudio 3's are counted.

#include "artwork/SavedConfigLedger.h"
#include "model/InstallRoots.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"
#include "templates/TemplateUsers.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kInstallConfigs = 200;
constexpr int kPages = 20;
constexpr int kMasksPerPage = 12;

// A device file of kPages pages whose masks use another template's art.
QByteArray deviceXml()
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<overlay_cli><e c=\"GConfParam\">\n";
    for (int p = 0; p < kPages; ++p) {
        xml += "<e c=\"GPageParam\"><p n=\"PAGE_NAME\">Page " + QByteArray::number(p) + "</p>\n";
        for (int m = 0; m < kMasksPerPage; ++m)
            xml += "  <e c=\"GMaskParam\"><p n=\"PATH_REL_AiM_MASK\">aim/resources/overlay/mxg_12/masks/set/"
                   "standard/s04_homebrew/zother/Items/md" + QByteArray::number(m)
                   + "/</p><p n=\"XPOS\">" + QByteArray::number(m * 60) + "</p><p n=\"YPOS\">10</p></e>\n";
        xml += "</e>\n";
    }
    return xml + "</e></overlay_cli>\n";
}

bool writeList(const QStringList& files)
{
    QByteArray list = "korvelanto-saved-configs\t1\n";
    for (const QString& file : files)
        list += file.toUtf8().replace(' ', "%20") + '\n';
    QDir().mkpath(appDataDir());
    QFile out(SavedConfigLedger::path());
    return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(list) == list.size();
}

bool unusedAndComplete()
{
    const TemplateUsers users = TemplateUsers::ofFolderName(QStringLiteral("znordring"), nullptr, {});
    return !users.found() && users.complete();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TestEnvironment::isolate();
    Rs3Fixture rs3;
    const QByteArray device = deviceXml();
    for (int c = 0; c < kInstallConfigs; ++c)
        rs3.addUserConfig(Rs3Fixture::Stable, QStringLiteral("cfg_%1").arg(c, 4, 10, QLatin1Char('0')),
                          QStringLiteral("Race %1").arg(c), {device});
    const QString saved = TestEnvironment::makeTempDir(QStringLiteral("saved"));
    QStringList files;
    for (int i = 0; i < 1000; ++i) {
        const QString folder = saved + QStringLiteral("/Event%1").arg(i / 50);
        QDir().mkpath(folder);
        files << folder + QStringLiteral("/Race%1.zconf2").arg(i);
        if (!ZipFixture::writeZip(files.last(), QMap<QString, QByteArray>{{"dash1/dev/overlay.ov3.xml", device}})) {
            std::fprintf(stderr, "saved_users_bench: cannot write %s\n", qPrintable(files.last()));
            return 1;
        }
    }
    // Each side has a data folder of its own, its list written once: the
    // questions are asked again over a list that did not change.
    const QByteArray home = qgetenv("XDG_DATA_HOME");
    const QByteArray fewHome = home + "/few";
    const auto useHome = [&](const QByteArray& dataHome) { qputenv("XDG_DATA_HOME", dataHome); };
    useHome(fewHome);
    bool ok = writeList(files.mid(0, 10)) && unusedAndComplete();
    useHome(home);
    ok = writeList(files) && ok;
    QElapsedTimer first;
    first.start();
    ok = unusedAndComplete() && ok;
    const double firstMs = double(first.nsecsElapsed()) / 1e6;
    // The sides alternate, and which goes first too.
    std::vector<double> again;
    std::vector<double> base;
    const auto timed = [&](const QByteArray& dataHome, std::vector<double>& into) {
        useHome(dataHome);
        QElapsedTimer timer;
        timer.start();
        ok = unusedAndComplete() && ok;
        into.push_back(double(timer.nsecsElapsed()) / 1e6);
    };
    for (int r = 0; r < 9; ++r) {
        if (r % 2) {
            timed(home, again);
            timed(fewHome, base);
        } else {
            timed(fewHome, base);
            timed(home, again);
        }
    }
    std::sort(again.begin(), again.end());
    std::sort(base.begin(), base.end());
    const double againMs = again[again.size() / 2];
    const double baseMs = base[base.size() / 2];
    if (!ok) {
        std::fprintf(stderr, "saved_users_bench: a question found a user or could not read everything\n");
        return 1;
    }
    std::printf("saved_users_bench: %d configurations in the install, saved files of %d pages\n", kInstallConfigs,
                kPages);
    std::printf("question, 1,000 listed, first ask   %8.1f ms\n", firstMs);
    std::printf("question, 1,000 listed, asked again %8.1f ms (median of 9)\n", againMs);
    std::printf("question,    10 listed              %8.1f ms (median of 9)\n", baseMs);
    std::printf("%-46s ratio %.2f  goal <= 1.20\n", "1,000 listed asked again vs 10 listed", againMs / baseMs);
    return 0;
}
