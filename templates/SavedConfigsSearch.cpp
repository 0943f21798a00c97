#include "templates/SavedConfigsSearch.h"

#include "artwork/SavedConfigLedger.h"
#include "model/FileEntries.h"
#include "model/FileStamp.h"
#include "model/SamePath.h"
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

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
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
// How often a wait for a file lets the window repaint and Cancel be pressed.
constexpr std::chrono::milliseconds kPumpEvery(50);

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

// The files looked at one after another on a thread of their own, so one on
// a share that does not answer holds up the search a bounded time: it is
// left to its thread and another takes the next file.
struct Looks {
    std::mutex mutex;
    std::condition_variable answered;
    std::vector<Job> jobs;
    std::vector<std::optional<Look>> looks;
    int worker = 0; // the thread whose answers count; another stops
};

void startLooking(const std::shared_ptr<Looks>& looks, size_t from)
{
    int id = 0;
    {
        const std::lock_guard<std::mutex> lock(looks->mutex);
        id = ++looks->worker;
    }
    std::thread([looks, from, id] {
        for (size_t i = from; i < looks->jobs.size(); ++i) {
            Look found = look(looks->jobs[i]);
            const std::lock_guard<std::mutex> lock(looks->mutex);
            if (looks->worker != id)
                return;
            looks->looks[i] = std::move(found);
            looks->answered.notify_all();
        }
    }).detach();
}

void stopLooking(const std::shared_ptr<Looks>& looks)
{
    const std::lock_guard<std::mutex> lock(looks->mutex);
    looks->worker = -1;
}

// Merges what a look read into the kept counts; the counts of `names`.
QList<int> keptAfter(const Job& job, const Look& found)
{
    KeptCounts& kept = keptCounts()[job.file];
    if (kept.stamp != found.stamp || kept.counts.size() > kNamesKept)
        kept = KeptCounts{found.stamp, {}};
    for (qsizetype i = 0; i < found.read.size(); ++i)
        kept.counts.insert(found.read[i], found.counts[i]);
    QList<int> counts;
    for (const QString& name : job.names)
        counts << kept.counts.value(name);
    return counts;
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

QHash<QString, QList<TemplateReference>> SavedConfigsSearch::referencing(const QStringList& names,
                                                                       const QString& ownFile, QStringList* notRead,
                                                                       ConfigsFootprint* footprint,
                                                                       const std::function<bool(int, int)>& progress)
{
    // One search at a time keeps the answers (a thread that asks meanwhile
    // waits).
    static QRecursiveMutex searching;
    const QMutexLocker locked(&searching);
    QHash<QString, QList<TemplateReference>> found;
    QStringList files;
    QString why;
    if (footprint)
        footprint->addFile(SavedConfigLedger::path(), FileStamp::of(SavedConfigLedger::path()));
    for (const QString& aside : SavedConfigLedger::keptAside())
        notRead->append(tr("%1, an older list of the configurations Korvelanto saved, could not be read and was "
                           "kept aside: the files it names were not searched")
                            .arg(QDir::toNativeSeparators(aside)));
    if (!SavedConfigLedger::read(files, &why)) {
        notRead->append(why);
        return found;
    }
    const auto looks = std::make_shared<Looks>();
    for (const QString& file : std::as_const(files)) {
        if (ownFile.isEmpty() || !isSamePath(file, ownFile))
            looks->jobs.push_back(jobFor(file, names));
    }
    const int total = int(looks->jobs.size());
    looks->looks.resize(looks->jobs.size());
    if (total > 0)
        startLooking(looks, 0);
    QStringList gone;
    for (int f = 0; f < total; ++f) {
        const Job& job = looks->jobs[size_t(f)];
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(answerBound());
        std::optional<Look> answer;
        bool going = !progress || progress(f, total);
        while (going && !answer) {
            std::unique_lock<std::mutex> lock(looks->mutex);
            const auto until = std::min(deadline, std::chrono::steady_clock::now() + kPumpEvery);
            looks->answered.wait_until(lock, until, [&] { return looks->looks[size_t(f)].has_value(); });
            answer = looks->looks[size_t(f)];
            lock.unlock();
            if (answer || std::chrono::steady_clock::now() >= deadline)
                break;
            going = !progress || progress(f, total);
        }
        if (!going) {
            stopLooking(looks);
            notRead->append(tr("%n configuration(s) Korvelanto saved, left when the search was cancelled", int(total - f)));
            return found;
        }
        if (!answer) {
            // Left to its thread; the next file is looked at by another.
            startLooking(looks, size_t(f) + 1);
            answer = Look{Look::Slow, {}, {}, {}};
        }
        if (footprint)
            footprint->addFile(job.file, answer->stamp);
        const QString native = QDir::toNativeSeparators(job.file);
        switch (answer->kind) {
        case Look::Gone:
            gone << job.file;
            continue;
        case Look::Away:
            // Its folder or disk is away for now (a stick, a share not
            // mounted): it stays listed and may use it.
            notRead->append(tr("%1, a configuration Korvelanto saved, is on a folder or disk that is not there now")
                                .arg(native));
            continue;
        case Look::Slow:
            notRead->append(tr("%1, a configuration Korvelanto saved, did not answer within %n second(s)",
                               (answerBound() + 999) / 1000)
                                .arg(native));
            continue;
        case Look::Unreadable:
            keptCounts().remove(job.file);
            notRead->append(tr("%1, a configuration Korvelanto saved, cannot be read").arg(native));
            continue;
        case Look::Counted:
            break;
        }
        const QList<int> counts = keptAfter(job, *answer);
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (counts[i] > 0)
                found[names[i]].append({QFileInfo(job.file).fileName(), QFileInfo(job.file).fileName(), job.file,
                                        counts[i]});
        }
    }
    stopLooking(looks);
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
