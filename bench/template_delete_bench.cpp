// Delete Template keeps every folder it removes in a dated backup. This
// times the delete of a large template (its store folder and its copy in
// the stable install, each `megabytes` of art in 100 files) against reading
// the same files once (the cost of looking at what is kept), in the same
// process, and prints the ratio: on one disk the folders are moved, so the
// delete costs next to nothing whatever their size. A second row makes the
// folders go as across disks (copied whole, then synced, then removed) to
// show what the move saves.
//
// Usage: template_delete_bench [megabytes a folder, default 25]

#include "model/FolderKeep.h"
#include "model/InstallRoots.h"
#include "model/PageModel.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "templates/PageTemplate.h"
#include "templates/PageTemplateLibrary.h"
#include "templates/TemplateContent.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kFiles = 100;
constexpr int kRounds = 5;

void fill(const QString& folder, qint64 bytes)
{
    const QByteArray chunk(bytes / kFiles, 'x');
    for (int i = 0; i < kFiles; ++i) {
        QDir().mkpath(folder + QStringLiteral("/Items/md%1").arg(i % 10));
        QFile file(folder + QStringLiteral("/Items/md%1/art%2.tgz").arg(i % 10).arg(i));
        if (file.open(QIODevice::WriteOnly))
            file.write(chunk);
    }
}

qint64 readEverything(const QStringList& folders)
{
    qint64 total = 0;
    for (const QString& folder : folders) {
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (file.open(QIODevice::ReadOnly))
                total += file.readAll().size();
        }
    }
    return total;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Milliseconds of the delete and of the baseline read, median of the rounds.
std::pair<double, double> timeDeletes(const Rs3Fixture& fx, qint64 bytes)
{
    std::vector<double> deletes;
    std::vector<double> reads;
    for (int r = 0; r < kRounds; ++r) {
        QSettings().setValue(QStringLiteral("homebrew/mirrorToAim"), false);
        PageModel page;
        TemplateContent content;
        content.pMainXml = PageTemplateLibrary::buildTemplatePMain(&page);
        const QString store = PageTemplateLibrary::saveHomebrewTemplate("mxs_12", "zbig", "Big", content, nullptr, {});
        QSettings().remove(QStringLiteral("homebrew/mirrorToAim"));
        fill(store, bytes);
        const QString mirror =
            PageTemplateLibrary::mirrorTemplateToRs3(store, fx.root(Rs3Fixture::Stable), "mxs_12", "zbig");
        QElapsedTimer timer;
        timer.start();
        readEverything({store, mirror});
        reads.push_back(timer.nsecsElapsed() / 1e6);
        PageTemplate tpl;
        tpl.folderName = QStringLiteral("zbig");
        tpl.folderPath = mirror;
        tpl.homebrew = true;
        timer.restart();
        if (!PageTemplateLibrary::deleteHomebrewTemplate("mxs_12", tpl, {}, true))
            std::fprintf(stderr, "delete failed\n");
        deletes.push_back(timer.nsecsElapsed() / 1e6);
        QDir(appDataDir() + QStringLiteral("/artwork_backups")).removeRecursively();
    }
    return {median(deletes), median(reads)};
}

} // namespace

int main(int argc, char** argv)
{
    TestEnvironment::isolate();
    QCoreApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 25;
    Rs3Fixture fx;
    QDir().mkpath(fx.absolutePath(Rs3Fixture::Stable, QStringLiteral("aim/resources/overlay/mxs_12/masks/set/standard")));
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});

    const auto moved = timeDeletes(fx, megabytes << 20);
    std::printf("delete of 2 x %lld MB, same disk (moved): %.1f ms, reading it: %.1f ms, ratio %.2f\n",
                megabytes, moved.first, moved.second, moved.first / moved.second);
    FolderKeep::setRenameHookForTesting([](const QString&, const QString&) { return false; });
    const auto copied = timeDeletes(fx, megabytes << 20);
    std::printf("delete of 2 x %lld MB, as across disks (copied, synced): %.1f ms, reading it: %.1f ms, ratio %.2f\n",
                megabytes, copied.first, copied.second, copied.first / copied.second);
    return 0;
}
