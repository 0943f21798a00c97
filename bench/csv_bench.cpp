// Loads a large synthetic RS3 CSV export (100 channels, 20 Hz, 30 minutes,
// about 50 MB) and prints the load time against reading the same file into
// memory, then the throughput of value() against a plain binary search over
// the same column: the time column searched, and the queried channel's sample
// at the found row read, as value() must. What is left between the two is
// value()'s own cost: finding the channel and interpolating.
// When pandas is importable, the load is also timed against pandas'
// read_csv of the same file, rounds interleaved, best of five each.

#include "canvas/CsvDataSource.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kChannels = 100;
constexpr int kRate = 20;
constexpr int kSeconds = 30 * 60;
constexpr int kRows = kRate * kSeconds;

QString channelName(int c)
{
    return QStringLiteral("Channel %1").arg(c, 3, 10, QLatin1Char('0'));
}

bool writeExport(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray text;
    text.reserve(64 * 1024 * 1024);
    text += "\"Format\",\"AiM CSV File\"\r\n\"Session\",\"Bench\"\r\n\"Sample Rate\",\"20\"\r\n\r\n";
    QByteArray names = "\"Time\"";
    QByteArray units = "\"s\"";
    for (int c = 0; c < kChannels; ++c) {
        names += ",\"" + channelName(c).toUtf8() + '"';
        units += ",\"u\"";
    }
    text += names + "\r\n" + units + "\r\n\r\n";
    char cell[32];
    for (int r = 0; r < kRows; ++r) {
        const double t = double(r) / kRate;
        std::snprintf(cell, sizeof cell, "\"%.3f\"", t);
        text += cell;
        for (int c = 0; c < kChannels; ++c) {
            std::snprintf(cell, sizeof cell, ",\"%.6f\"", 1000.0 * std::sin(0.01 * r + c) + 100.0 * c);
            text += cell;
        }
        text += "\r\n";
    }
    return file.write(text) == text.size();
}

// Best of a few runs, in milliseconds.
template <typename F>
double bestMs(int runs, F&& body)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        body();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

// Milliseconds pandas' read_csv takes for the export, timed inside a Python
// process after its imports and a warm-up parse; -1 when pandas cannot be
// run. The names row is the header; metadata, units and blank lines are
// skipped, every value parsed as a float.
double pandasMs(const QString& python, const QString& path)
{
    static const char* const script =
        "import io, sys, time\n"
        "import pandas as pd\n"
        "pd.read_csv(io.StringIO('a,b\\n1,2\\n'))\n"
        "t = time.perf_counter()\n"
        "frame = pd.read_csv(sys.argv[1], skiprows=[0, 1, 2, 3, 5, 6], header=0)\n"
        "ms = (time.perf_counter() - t) * 1e3\n"
        "assert all(str(d) == 'float64' for d in frame.dtypes), 'not parsed as numbers'\n"
        "print(ms, frame.shape[0], frame.shape[1])\n";
    QProcess process;
    process.start(python, {QStringLiteral("-c"), QString::fromLatin1(script), path});
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return -1.0;
    const QList<QByteArray> words = process.readAllStandardOutput().simplified().split(' ');
    if (words.size() != 3 || words[1].toInt() != kRows || words[2].toInt() != kChannels + 1)
        return -1.0;
    return words[0].toDouble();
}

bool pandasImportable(const QString& python)
{
    if (python.isEmpty())
        return false;
    QProcess process;
    process.start(python, {QStringLiteral("-c"), QStringLiteral("import pandas")});
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

// The python3 on the PATH, or the system's one (where the distribution's
// pandas package goes) when the first cannot import pandas; empty if neither.
QString pythonWithPandas()
{
    const QStringList candidates = {QStandardPaths::findExecutable(QStringLiteral("python3")),
                                    QStringLiteral("/usr/bin/python3")};
    for (const QString& python : candidates) {
        if (pandasImportable(python))
            return python;
    }
    return {};
}

// Our load against pandas, rounds alternating (and which goes first too).
void comparePandas(const QString& path)
{
    const char* const row = "CSV load vs pandas read_csv";
    const QString python = pythonWithPandas();
    if (python.isEmpty()) {
        std::printf("%-40s skipped: pandas not installed (goal <= 0.55)\n", row);
        return;
    }
    double ours = 1e300;
    double theirs = 1e300;
    bool ok = true;
    for (int r = 0; r < 5 && ok; ++r) {
        const auto timeOurs = [&] {
            CsvDataSource source;
            QElapsedTimer timer;
            timer.start();
            ok = source.load(path) && ok;
            ours = std::min(ours, double(timer.nsecsElapsed()) / 1e6);
        };
        const auto timeTheirs = [&] {
            const double ms = pandasMs(python, path);
            ok = ms > 0.0 && ok;
            theirs = std::min(theirs, ms);
        };
        if (r % 2 == 0) {
            timeOurs();
            timeTheirs();
        } else {
            timeTheirs();
            timeOurs();
        }
    }
    if (!ok) {
        std::printf("%-40s skipped: pandas could not read the export (goal <= 0.55)\n", row);
        return;
    }
    std::printf("load %.1f ms; pandas read_csv %.1f ms (best of 5, interleaved)\n", ours, theirs);
    std::printf("%-40s ratio %.2f  goal <= 0.55\n", row, ours / theirs);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "csv_bench: no temporary folder\n");
        return 1;
    }
    const QString path = dir.filePath(QStringLiteral("bench.csv"));
    if (!writeExport(path)) {
        std::fprintf(stderr, "csv_bench: cannot write %s\n", qPrintable(path));
        return 1;
    }
    const qint64 bytes = QFile(path).size();

    qint64 readBytes = 0;
    const double readMs = bestMs(3, [&] {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            readBytes += file.readAll().size();
    });
    CsvDataSource source;
    bool loaded = true;
    const double loadMs = bestMs(3, [&] { loaded = source.load(path) && loaded; });
    if (!loaded || readBytes == 0) {
        std::fprintf(stderr, "csv_bench: load failed: %s\n", qPrintable(source.errorText()));
        return 1;
    }
    std::printf("export: %.1f MB, %d rows x %d channels, %lld channels loaded, duration %.2f s\n",
                bytes / 1e6, kRows, kChannels, static_cast<long long>(source.channelNames().size()), source.duration());
    std::printf("load: %.1f ms; read into memory: %.1f ms; ratio %.1f\n", loadMs, readMs, loadMs / readMs);
    comparePandas(path);

    // Same query stream for both: random channels at random times.
    constexpr int kCalls = 2000000;
    std::mt19937 random(42);
    std::uniform_real_distribution<double> anyTime(-1.0, kSeconds + 1.0);
    std::uniform_int_distribution<int> anyChannel(0, kChannels - 1);
    std::vector<double> queryTimes(kCalls);
    std::vector<int> queryChannels(kCalls);
    for (int i = 0; i < kCalls; ++i) {
        queryTimes[size_t(i)] = anyTime(random);
        queryChannels[size_t(i)] = anyChannel(random);
    }
    QStringList names;
    for (int c = 0; c < kChannels; ++c)
        names.append(channelName(c).toLower()); // resolved through the cache after the first call
    std::vector<double> times(kRows);
    for (int r = 0; r < kRows; ++r)
        times[size_t(r)] = double(r) / kRate;
    // Laid out as the source keeps them: one array per channel.
    std::vector<std::vector<double>> columns(kChannels, std::vector<double>(kRows));
    for (int c = 0; c < kChannels; ++c) {
        for (int r = 0; r < kRows; ++r)
            columns[size_t(c)][size_t(r)] = 1000.0 * std::sin(0.01 * r + c) + 100.0 * c;
    }

    volatile double sink = 0.0;
    const double valueMs = bestMs(3, [&] {
        double sum = 0.0;
        for (int i = 0; i < kCalls; ++i)
            sum += source.value(names.at(queryChannels[size_t(i)]), queryTimes[size_t(i)]);
        sink = sink + sum;
    });
    const double searchMs = bestMs(3, [&] {
        double sum = 0.0;
        for (int i = 0; i < kCalls; ++i) {
            const size_t row =
                size_t(std::upper_bound(times.begin(), times.end(), queryTimes[size_t(i)]) - times.begin());
            sum += columns[size_t(queryChannels[size_t(i)])][std::min(row, size_t(kRows - 1))];
        }
        sink = sink + sum;
    });
    const double valueRate = kCalls / (valueMs / 1e3);
    const double searchRate = kCalls / (searchMs / 1e3);
    std::printf("value(): %.2f M calls/s; plain binary search: %.2f M/s; ratio %.1f\n",
                valueRate / 1e6, searchRate / 1e6, searchRate / valueRate);
    return 0;
}
