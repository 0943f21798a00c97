// A paste's undo, Discard and a save each consult the ledger of who took
// which pasted-into art folder. A configuration using 10 pasted-into folders
// is saved until 10,000 and 100,000 claims were made (one per folder and
// save), and the three are timed against the same after 10 claims (one
// save), in the same run: each ledger in a data folder of its own, their
// rounds taken in turn. Printed as ratios; near 1 means the cost does not
// grow with the saves made before.
//
// A last row merges one paste's claim into ledgers of 30,000 and 60,000
// use claims.
//
// Usage: art_claims_bench [rounds, default 15]

#include "artwork/ArtClaimLedger.h"
#include "artwork/ArtState.h"
#include "artwork/MadeArtFolders.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <functional>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kFolders = 10;

struct Subject {
    int claims = 0;
    QString name; // the application name, and so its data folder
    QString install;
    std::unique_ptr<ArtState> window;
    QStringList folders;
    std::vector<double> undo, discard, save;
};

// A paste that made its own folder with one picture; its mark.
ArtState::Mark paste(ArtState& window, const QString& folder, MadeArtFolders& made)
{
    if (made.make(folder)) {
        made.noteNewFile(folder + QStringLiteral("/a.png"));
        TestFiles::writeBytes(folder + QStringLiteral("/a.png"), folder.toUtf8());
    }
    return window.kept(made, {folder});
}

void prepare(Subject& s)
{
    QCoreApplication::setApplicationName(s.name);
    s.install = TestEnvironment::makeTempDir(s.name);
    s.window = std::make_unique<ArtState>();
    for (int i = 0; i < kFolders; ++i) {
        MadeArtFolders made;
        s.folders << s.install + QStringLiteral("/s04_homebrew/zpaste_%1").arg(i);
        paste(*s.window, s.folders.last(), made);
    }
    for (int made = 0; made < s.claims; made += kFolders)
        s.window->saved(s.folders);
    s.window->forgetSaved();
    QDir().mkpath(s.install + QStringLiteral("/s04_homebrew/zbox"));
}

double timed(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e3;
}

void round(Subject& s, int k)
{
    QCoreApplication::setApplicationName(s.name);
    // A paste after the saves, then its undo.
    MadeArtFolders made;
    const ArtState::Mark mark = paste(*s.window, s.install + QStringLiteral("/s04_homebrew/zlate_%1").arg(k), made);
    s.undo.push_back(timed([&] { s.window->takeBack(made, mark); }));
    // A picture added to a folder changed in place, then Discard.
    const QString box = s.install + QStringLiteral("/s04_homebrew/zbox");
    s.window->savedArt.aboutToWrite(box, {QStringLiteral("new.png")});
    TestFiles::writeBytes(box + QStringLiteral("/new.png"), "new");
    s.discard.push_back(timed([&] { s.window->putBackSaved(); }));
    s.save.push_back(timed([&] { s.window->saved(s.folders); }));
    s.window->forgetSaved();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A ledger of `uses` use claims of files, each of a writer of its own, all
// of a folder a running paste used before them (so a write keeps them all).
void writeUseClaims(const QString& name, int uses)
{
    QCoreApplication::setApplicationName(name);
    const QString folder = TestEnvironment::makeTempDir(name) + QStringLiteral("/s04_homebrew/zused");
    QDir().mkpath(folder);
    QDir().mkpath(QFileInfo(ArtClaimLedger::path()).path());
    QByteArray bytes = "korvelanto-art-claims\t2\t" + name.toLatin1() + '\n';
    const QByteArray editor = ArtClaimLedger::editorKey().toLatin1();
    bytes += "1\tp\t" + editor + "/w/write-1\t" + folder.toUtf8() + '\n';
    for (int i = 0; i < uses; ++i)
        bytes += QByteArray::number(i + 2) + "\tu\t" + editor + '/' + QByteArray::number(i, 36) + '\t'
            + folder.toUtf8() + '\n';
    TestFiles::writeBytes(ArtClaimLedger::path(), bytes);
    if (bytes.size() > 8 * 1024 * 1024)
        std::printf("the ledger of %d use claims is over its bound: it would be started anew\n", uses);
}

// One paste's claim merged into a ledger of 30,000 and of 60,000 use
// claims: a trim linear in the lines takes about twice as long for twice
// the lines.
void trimRow(int rounds)
{
    const int uses[] = {30000, 60000};
    std::vector<double> times[2];
    for (int k = 0; k < rounds; ++k) {
        for (int i : {k % 2, 1 - k % 2}) {
            const QString name = QStringLiteral("art-claims-trim-%1").arg(uses[i]);
            writeUseClaims(name, uses[i]);
            ArtState window;
            MadeArtFolders made;
            const QString folder = TestEnvironment::makeTempDir(name) + QStringLiteral("/s04_homebrew/zpaste");
            times[i].push_back(timed([&] { paste(window, folder, made); }));
        }
    }
    std::printf("one paste, ledger of %d use claims: %.1f ms; of %d: %.1f ms; ratio %.2f (linear: about 2)\n",
                uses[0], median(times[0]) / 1e3, uses[1], median(times[1]) / 1e3, median(times[1]) / median(times[0]));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TestEnvironment::isolate();
    const int rounds = argc > 1 ? std::max(3, QByteArray(argv[1]).toInt()) : 15;
    std::vector<Subject> subjects(3);
    const int claims[] = {10, 10000, 100000};
    for (size_t i = 0; i < subjects.size(); ++i) {
        subjects[i].claims = claims[i];
        subjects[i].name = QStringLiteral("art-claims-%1").arg(claims[i]);
        QElapsedTimer made;
        made.start();
        prepare(subjects[i]);
        std::printf("%6d claims made in %.1f s; ledger %lld bytes\n", claims[i], made.elapsed() / 1000.0,
                    QFileInfo(ArtClaimLedger::path()).size());
    }
    for (int k = 0; k < rounds; ++k) {
        for (size_t i = 0; i < subjects.size(); ++i)
            round(subjects[(i + size_t(k)) % subjects.size()], k);
    }
    const Subject& base = subjects[0];
    std::printf("median µs       undo  discard     save\n");
    for (const Subject& s : subjects)
        std::printf("%6d claims %8.0f %8.0f %8.0f\n", s.claims, median(s.undo), median(s.discard), median(s.save));
    for (size_t i = 1; i < subjects.size(); ++i) {
        const Subject& s = subjects[i];
        std::printf("ratio %d/%d claims: undo %.2f, discard %.2f, save %.2f\n", s.claims, base.claims,
                    median(s.undo) / median(base.undo), median(s.discard) / median(base.discard),
                    median(s.save) / median(base.save));
    }
    trimRow(std::max(3, rounds / 3));
    return 0;
}
