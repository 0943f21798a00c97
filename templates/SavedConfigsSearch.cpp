#include "templates/SavedConfigsSearch.h"

#include "artwork/SavedConfigLedger.h"
#include "model/FileEntries.h"
#include "model/FileStamp.h"
#include "model/ZipArchive.h"
#include "templates/ConfigsFootprint.h"
#include "templates/TemplateReference.h"
#include "templates/TemplateReferenceCount.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QMutex>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <tuple>
#include <thread>
#include <vector>

namespace {

QString tr(const char* text, int n = -1)
{
    return QCoreApplication::translate("SavedConfigsSearch", text, nullptr, n);
}

// A listed file's counts as it was when read, by name: while its stamp is
// the same it is not read again, whatever was saved elsewhere meanwhile.
struct KeptCounts {
    FileStamp stamp;
    QHash<QString, int> counts;
};

// Far more names than a gesture asks and files than a user keeps: beyond,
// the answers start anew rather than grow.
constexpr qsizetype kNamesKept = 512;
constexpr qsizetype kFilesKept = 100000;
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
constexpr Qt::CaseSensitivity kNameCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kNameCase = Qt::CaseSensitive;
#endif
// How often a wait for a file lets the window repaint and Cancel be pressed.
constexpr std::chrono::milliseconds kPumpEvery(50);

// One search at a time keeps the answers (a thread that asks meanwhile
// waits).
QRecursiveMutex& searching()
{
    static QRecursiveMutex one;
    return one;
}

QHash<QString, KeptCounts>& keptCounts()
{
    static QHash<QString, KeptCounts> kept;
    return kept;
}

int& answerBound()
{
    static int milliseconds = 3000;
    return milliseconds;
}

std::function<void(const QString&)>& lookHook()
{
    static std::function<void(const QString&)> hook;
    return hook;
}

// One listed file to look at, with what is kept of it.
struct Job {
    QString file;
    FileStamp known;     // the stamp its kept counts are of
    QStringList unknown; // names not counted at that stamp
    QStringList names;   // every name asked
};

// What a look at one file found.
struct Look {
    enum Kind { Counted, Gone, Away, Unreadable, Slow } kind = Unreadable;
    FileStamp stamp;
    QStringList read; // the names counted now (none when the kept counts hold)
    QList<int> counts;
};

Look look(const Job& job)
{
    if (lookHook())
        lookHook()(job.file);
    Look found;
    found.stamp = FileStamp::of(job.file);
    if (!found.stamp.isValid()) {
        found.kind = SavedConfigLedger::isGone(job.file) ? Look::Gone
                     : FileEntries::kindOf(job.file) == FileEntries::Kind::Missing ? Look::Away
                                                                                  : Look::Unreadable;
        return found;
    }
    found.read = found.stamp == job.known ? job.unknown : job.names;
    found.kind = found.read.isEmpty() || SavedConfigsSearch::inArchive(job.file, found.read, &found.counts)
                     ? Look::Counted
                     : Look::Unreadable;
    return found;
}

} // namespace

// The files looked at one after another on a thread of their own, so one on
// a share that does not answer holds up the search a bounded time: it is
// left to its thread and another takes the next file. The window's thread
// is woken when all are looked at, or to show how far it has come.
struct SavedLooks {
    // One thread's share: every lanes-th file from its first.
    struct Lane {
        size_t at = 0;                               // the file being looked at
        std::chrono::steady_clock::time_point since; // since when
        int worker = 0;                              // the thread whose looks count
    };
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<Job> jobs;
    std::vector<std::optional<Look>> looks;
    std::vector<Lane> lanes;
    int lastWorker = 0;
    bool stopped = false;

    bool done() const
    {
        return std::all_of(lanes.cbegin(), lanes.cend(), [this](const Lane& l) { return l.at >= jobs.size(); });
    }
};

namespace {

// Files a thread of their own: a few threads share a long list, so a slow
// disk's wait overlaps another's.
constexpr size_t kFilesALane = 128;
constexpr size_t kMostLanes = 4;

// Starts a thread on a lane from `from` on; called with the mutex held.
void startLane(const std::shared_ptr<SavedLooks>& looks, size_t lane, size_t from)
{
    const int id = ++looks->lastWorker;
    const size_t step = looks->lanes.size();
    looks->lanes[lane] = {from, std::chrono::steady_clock::now(), id};
    if (from >= looks->jobs.size())
        return;
    std::thread([looks, lane, from, step, id] {
        for (size_t i = from; i < looks->jobs.size(); i += step) {
            Look found = look(looks->jobs[i]);
            const std::lock_guard<std::mutex> lock(looks->mutex);
            SavedLooks::Lane& mine = looks->lanes[lane];
            if (looks->stopped || mine.worker != id)
                return;
            looks->looks[i] = std::move(found);
            mine.at = i + step;
            mine.since = std::chrono::steady_clock::now();
            if (mine.at >= looks->jobs.size() && looks->done())
                looks->finished.notify_all();
        }
    }).detach();
}

void startLooking(const std::shared_ptr<SavedLooks>& looks)
{
    const size_t lanes = std::clamp<size_t>(looks->jobs.size() / kFilesALane, 1, kMostLanes);
    looks->lanes.resize(lanes);
    for (size_t lane = 0; lane < lanes; ++lane)
        startLane(looks, lane, lane);
}

// Waits until every file is looked at, telling `progress` every moment; a
// file that takes longer than the bound is left as it is, to its thread.
// False when `progress` says to stop.
bool waitForLooks(const std::shared_ptr<SavedLooks>& looks, const std::function<bool(int, int)>& progress)
{
    const int total = int(looks->jobs.size());
    std::unique_lock<std::mutex> lock(looks->mutex);
    while (!looks->finished.wait_for(lock, kPumpEvery, [&] { return looks->done(); })) {
        const auto now = std::chrono::steady_clock::now();
        for (size_t lane = 0; lane < looks->lanes.size(); ++lane) {
            const SavedLooks::Lane& l = looks->lanes[lane];
            if (l.at < looks->jobs.size() && now - l.since > std::chrono::milliseconds(answerBound()))
                startLane(looks, lane, l.at + looks->lanes.size());
        }
        const int looked = int(std::count_if(looks->looks.cbegin(), looks->looks.cend(), [](const auto& l) { return bool(l); }));
        lock.unlock();
        const bool going = !progress || progress(looked, total);
        lock.lock();
        if (!going) {
            looks->stopped = true;
            return false;
        }
    }
    looks->stopped = true;
    return true;
}

// Merges what a look read into the kept counts; whether any of `names` is
// counted in the file, each count in *counts.
bool keptAfter(const Job& job, const Look& found, QList<int>* counts)
{
    KeptCounts& kept = keptCounts()[job.file];
    if (kept.stamp != found.stamp || kept.counts.size() > kNamesKept)
        kept = KeptCounts{found.stamp, {}};
    for (qsizetype i = 0; i < found.read.size(); ++i)
        kept.counts.insert(found.read[i], found.counts[i]);
    bool any = false;
    counts->resize(job.names.size());
    for (qsizetype i = 0; i < job.names.size(); ++i)
        any = ((*counts)[i] = kept.counts.value(job.names[i])) > 0 || any;
    return any;
}

Job jobFor(const QString& file, const QStringList& names)
{
    Job job{file, {}, {}, names};
    const auto kept = keptCounts().constFind(file);
    if (kept != keptCounts().cend())
        job.known = kept->stamp;
    for (const QString& name : names) {
        if (kept == keptCounts().cend() || !kept->counts.contains(name))
            job.unknown << name;
    }
    return job;
}

} // namespace

void SavedConfigsSearch::setAnswerBoundForTesting(int milliseconds, const std::function<void(const QString&)>& hook)
{
    answerBound() = milliseconds;
    lookHook() = hook;
}

bool SavedConfigsSearch::inArchive(const QString& zconf2, const QStringList& names, QList<int>* counts)
{
    *counts = QList<int>(names.size(), 0);
    QMap<QString, QByteArray> entries;
    const auto wanted = [](const QString& entry) {
        return entry.section(QLatin1Char('/'), -1).compare(QLatin1String("overlay.ov3.xml"), Qt::CaseInsensitive) == 0;
    };
    if (zconf2.isEmpty() || !QFileInfo(zconf2).isFile() || !readZipEntries(zconf2, wanted, ExtractLimits(), &entries))
        return false;
    for (const QByteArray& bytes : std::as_const(entries)) {
        const QList<int> found = TemplateReferenceCount::inDeviceBytes(bytes, names);
        for (qsizetype i = 0; i < counts->size(); ++i)
            (*counts)[i] += found[i];
    }
    return true;
}

SavedConfigsSearch::SavedConfigsSearch(const QStringList& names, const QString& ownFile)
    : m_names(names), m_looks(std::make_shared<SavedLooks>())
{
    searching().lock();
    m_listStamp = FileStamp::of(SavedConfigLedger::path());
    for (const QString& aside : SavedConfigLedger::keptAside())
        m_notRead << tr("%1, an older list of the configurations Korvelanto saved, could not be read and was kept "
                        "aside: the files it names were not searched")
                         .arg(QDir::toNativeSeparators(aside));
    // The list as last read while it is the same file.
    static FileStamp lastStamp;
    static QStringList lastFiles;
    QStringList files;
    QString why;
    if (m_listStamp.isValid() && m_listStamp == lastStamp)
        files = lastFiles;
    else if (!SavedConfigLedger::read(files, &why))
        m_notRead << why;
    else
        std::tie(lastStamp, lastFiles) = std::make_pair(m_listStamp, files);
    // Told by its name as listed (absolute and cleaned): a look at the
    // disk here could wait on a share that does not answer.
    const QString own = ownFile.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(ownFile).absoluteFilePath());
    for (const QString& file : std::as_const(files)) {
        if (own.isEmpty() || file.compare(own, kNameCase) != 0)
            m_looks->jobs.push_back(jobFor(file, names));
    }
    m_looks->looks.resize(m_looks->jobs.size());
    const std::lock_guard<std::mutex> lock(m_looks->mutex);
    startLooking(m_looks);
}

SavedConfigsSearch::~SavedConfigsSearch()
{
    {
        const std::lock_guard<std::mutex> lock(m_looks->mutex);
        m_looks->stopped = true;
    }
    searching().unlock();
}

QHash<QString, QList<TemplateReference>> SavedConfigsSearch::referencing(const QStringList& names,
                                                                       const QString& ownFile, QStringList* notRead,
                                                                       ConfigsFootprint* footprint,
                                                                       const std::function<bool(int, int)>& progress)
{
    SavedConfigsSearch search(names, ownFile);
    return search.referencing(notRead, footprint, progress);
}

QHash<QString, QList<TemplateReference>> SavedConfigsSearch::referencing(QStringList* notRead,
                                                                       ConfigsFootprint* footprint,
                                                                       const std::function<bool(int, int)>& progress)
{
    const QStringList& names = m_names;
    const std::shared_ptr<SavedLooks>& looks = m_looks;
    QHash<QString, QList<TemplateReference>> found;
    QString why;
    if (footprint)
        footprint->addFile(SavedConfigLedger::path(), m_listStamp);
    *notRead += m_notRead;
    const int total = int(looks->jobs.size());
    if ((progress && !progress(0, total)) || !waitForLooks(looks, progress)) {
        const auto left = std::count_if(looks->looks.cbegin(), looks->looks.cend(), [](const auto& l) { return !l; });
        notRead->append(tr("%n configuration(s) Korvelanto saved, left when the search was cancelled", int(left)));
        return found;
    }
    QStringList gone;
    QList<int> counts;
    for (int f = 0; f < total; ++f) {
        const Job& job = looks->jobs[size_t(f)];
        // One not looked at was left to its thread.
        const Look* answer = looks->looks[size_t(f)] ? &*looks->looks[size_t(f)] : nullptr;
        const Look slow{Look::Slow, {}, {}, {}};
        if (!answer)
            answer = &slow;
        if (footprint)
            footprint->addFile(job.file, answer->stamp);
        const auto native = [&job] { return QDir::toNativeSeparators(job.file); };
        switch (answer->kind) {
        case Look::Gone:
            gone << job.file;
            continue;
        case Look::Away:
            // Its folder or disk is away for now (a stick, a share not
            // mounted): it stays listed and may use it.
            notRead->append(tr("%1, a configuration Korvelanto saved, is on a folder or disk that is not there now")
                                .arg(native()));
            continue;
        case Look::Slow:
            notRead->append(tr("%1, a configuration Korvelanto saved, did not answer within %n second(s)",
                               (answerBound() + 999) / 1000)
                                .arg(native()));
            continue;
        case Look::Unreadable:
            keptCounts().remove(job.file);
            notRead->append(tr("%1, a configuration Korvelanto saved, cannot be read").arg(native()));
            continue;
        case Look::Counted:
            break;
        }
        if (!keptAfter(job, *answer, &counts))
            continue;
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (counts[i] > 0)
                found[names[i]].append({QFileInfo(job.file).fileName(), QFileInfo(job.file).fileName(), job.file,
                                        counts[i]});
        }
    }
    if (progress)
        progress(total, total);
    // What is gone is no longer kept; beyond the bound the answers start anew.
    for (const QString& file : std::as_const(gone))
        keptCounts().remove(file);
    if (keptCounts().size() > kFilesKept)
        keptCounts().clear();
    if (!SavedConfigLedger::forget(gone, &why))
        qWarning().noquote() << "SavedConfigsSearch: files that are gone stay listed:" << why;
    return found;
}
